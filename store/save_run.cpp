#include "store/save_run.h"

#include <sqlite3.h>

#include <deque>
#include <mutex>
#include <utility>

#include "platform/exception.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "store/item_db.h"

namespace {
constexpr DWORD kClaimLockTimeout = 500;
// The saves' row counters. A save's start takes it alone: it may run on the
// window's thread, and a throttled listing request holds g_WorkMutex.
std::mutex g_RowCounterLock;

// The queue of saves, the first of them writing when `writing` is set, and
// who waits for the queue to empty, all under `lock`. It is taken before
// g_RowCounterLock, never after it, and never while waiting for
// g_WorkMutex. Never destroyed: a save thread may end as the program exits.
struct SaveQueue {
  std::mutex lock;
  std::deque<ItemSaveRun*> saves;
  bool writing = false;
  std::vector<std::function<void()>> when_written;
};
SaveQueue& Saves() {
  static auto* queue = new SaveQueue;
  return *queue;
}
}  // namespace

ItemSaveRun* ItemSaveRun::Queue(int threads, int& next_row, AFX_THREADPROC thread,
                                std::vector<Row> rows, int holds) {
  auto* run = new ItemSaveRun;
  run->db_ = OpenItemDb();
  g_ItemDb = run->db_;
  run->threads_ = threads;
  run->next_row_ = &next_row;
  run->thread_ = thread;
  run->rows_ = std::move(rows);
  run->holds_ = holds;
  std::lock_guard<std::mutex> lock(Saves().lock);
  Saves().saves.push_back(run);
  StartTurns();
  return run;
}

void ItemSaveRun::Add(std::vector<Row> rows) {
  std::lock_guard<std::mutex> lock(Saves().lock);
  if (holds_ == 0) return;  // writing already: too late, and never asked for
  rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
               std::make_move_iterator(rows.end()));
}

void ItemSaveRun::Release() {
  std::lock_guard<std::mutex> lock(Saves().lock);
  if (holds_ > 0) --holds_;
  StartTurns();
}

// With the queue's lock held: starts the first save when none writes and
// it has no hold left. A save none of whose threads the system would make
// is written (it stores nothing) and the next one gets its turn.
void ItemSaveRun::StartTurns() {
  while (!Saves().writing && !Saves().saves.empty() && Saves().saves.front()->holds_ == 0) {
    ItemSaveRun* run = Saves().saves.front();
    Saves().writing = true;
    {
      std::lock_guard<std::mutex> counter(g_RowCounterLock);
      *run->next_row_ = 0;
    }
    run->live_ = run->threads_;
    int unstarted = 0;
    for (int i = 0; i < run->threads_; ++i) {
      if (!AfxBeginThread(run->thread_, run)) ++unstarted;
    }
    // Until the unstarted threads are counted out no thread can be the
    // last; when they make the count 0, every started thread has ended.
    if (unstarted == 0 || (run->live_ -= unstarted) > 0) break;
    Saves().saves.pop_front();
    Saves().writing = false;
    run->Close();
  }
  if (!Saves().writing && Saves().saves.empty()) {
    for (auto& done : Saves().when_written) ui::Post(std::move(done));
    Saves().when_written.clear();
  }
}

void ItemSaveRun::RunThread(ItemSaveRun* run,
                            const std::function<void(sqlite3* db, const Row& row)>& save) {
  const int rows = static_cast<int>(run->rows_.size());
  for (;;) {
    int row = rows;
    {
      // A wait that runs out waits again: no row is claimed without the lock.
      WorkClaim claim(g_RowCounterLock, kClaimLockTimeout);
      if (*run->next_row_ < rows) row = (*run->next_row_)++;
    }
    if (row >= rows) break;
    if (!run->db_) continue;
    RunWorkerPass([&] { save(run->db_, run->rows_[static_cast<size_t>(row)]); });
  }
  run->ThreadEnded();
}

void ItemSaveRun::ThreadEnded() {
  if (--live_ != 0) return;
  // The next save starts from this thread, before it ends: the program's
  // exit, which waits for every thread, never finds none while saves wait.
  std::lock_guard<std::mutex> lock(Saves().lock);
  Saves().saves.pop_front();  // this save: only the first one writes
  Saves().writing = false;
  Close();
  StartTurns();
}

void ItemSaveRun::Close() {
  sqlite3* db = db_;
  delete this;
  // The handle stays open until the user-interface thread has forgotten it
  // in g_ItemDb, so its address cannot be taken by a new connection while
  // g_ItemDb still names it.
  ui::Post([db] {
    if (g_ItemDb == db) g_ItemDb = nullptr;
    if (db) sqlite3_close(db);
  });
}

void ItemSaveRun::WhenAllWritten(std::function<void()> done) {
  {
    std::lock_guard<std::mutex> lock(Saves().lock);
    if (Saves().writing || !Saves().saves.empty()) {
      Saves().when_written.push_back(std::move(done));
      return;
    }
  }
  done();
}

bool ItemSaveRun::AllWritten() {
  std::lock_guard<std::mutex> lock(Saves().lock);
  return !Saves().writing && Saves().saves.empty();
}
