#include "store/save_run.h"

#include <sqlite3.h>

#include <mutex>

#include "platform/exception.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "store/item_db.h"

namespace {
constexpr DWORD kClaimLockTimeout = 500;
// The runs' row counters. Start takes it alone: it runs on the window's
// thread, and a throttled listing request holds g_WorkMutex.
std::mutex g_RowCounterLock;
}  // namespace

void ItemSaveRun::Start(int threads, int& next_row, AFX_THREADPROC thread) {
  auto* run = new ItemSaveRun(threads);
  run->db_ = OpenItemDb();
  g_ItemDb = run->db_;

  {
    std::lock_guard<std::mutex> lock(g_RowCounterLock);
    next_row = 0;
  }
  for (int i = 0; i < threads; ++i) {
    // A thread the system would not make counts as ended at once, so the
    // run's last thread still closes the connection.
    if (!AfxBeginThread(thread, run)) run->ThreadEnded();
  }
}

void ItemSaveRun::RunThread(ItemSaveRun* run, int& next_row, int rows,
                            const std::function<void(sqlite3* db, int row)>& save) {
  for (;;) {
    int row = rows;
    {
      // A wait that runs out waits again: no row is claimed without the lock.
      WorkClaim claim(g_RowCounterLock, kClaimLockTimeout);
      if (next_row < rows) row = next_row++;
    }
    // At the program's end the rows not yet claimed stay unsaved.
    if (row >= rows || worker_registry::StopRequested()) break;
    if (!run->db_) continue;
    RunWorkerPass([&] { save(run->db_, row); });
  }
  run->ThreadEnded();
}

void ItemSaveRun::ThreadEnded() {
  if (--live_ != 0) return;
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
