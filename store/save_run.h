#pragma once
// Saves into the item database: the item page's save of the item list and
// the sync page's saves of the result list.
//
// A save writes the rows its caller copied from the list when the save
// began, never the list itself, which the window may empty while the save
// runs. Saves are queued and write one after another in the order they were
// queued, so where two saves store one item the later save's value stays.
// A save writes on a number of threads that share one connection and a row
// counter; a save queued with holds waits besides until each hold has been
// released, and may be given more rows until then (the rows of a stopped
// price run whose last edit is still in flight).
//
// Each save opens its own connection when it is queued and publishes it in
// g_ItemDb; the connection stays open until the save's last thread has
// ended, then the user-interface thread closes it (and forgets it in
// g_ItemDb unless a newer save has put its own there).
//
// Saves go on at the program's end: its exit waits for their threads, and
// a save that waits for a hold starts writing as soon as it is released.
#include <atomic>
#include <functional>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/controls.h"

struct sqlite3;

class ItemSaveRun {
 public:
  using Row = CListCtrl::RowCopy;

  // Opens the account's database for a save of `rows` and publishes the
  // connection in g_ItemDb, and queues the save. When it is its turn (every
  // save queued before it has been written, and its `holds` released), it
  // sets `next_row` to 0 and starts `threads` threads of `thread`, each
  // given the save. UI thread. `next_row` is guarded by the saves' counter
  // lock, which the threads take inside g_WorkMutex (WorkClaim) and the
  // start alone; only one save writes at a time. The result serves Add and
  // Release of a save queued with holds; one without may be gone already.
  static ItemSaveRun* Queue(int threads, int& next_row, AFX_THREADPROC thread,
                            std::vector<Row> rows, int holds = 0);
  // Adds rows to a save that still has a hold. Any thread.
  void Add(std::vector<Row> rows);
  // Releases one hold; the save may start writing at once. Any thread.
  void Release();

  // A save thread's loop, given the save: claims row after row of its
  // rows and runs `save` on each inside a catch of the layer's exceptions
  // and std::exception. Then it counts itself out of the save; the last
  // thread's end closes the connection and starts the next save. `save` is
  // called only when the save has a connection (it has none only when
  // SQLite had no memory for one).
  static void RunThread(ItemSaveRun* run,
                        const std::function<void(sqlite3* db, const Row& row)>& save);

  // Calls `done` on the user-interface thread once no save is queued or
  // writing: at once (within this call) when none is. UI thread.
  static void WhenAllWritten(std::function<void()> done);
  // Whether no save is queued or writing. Any thread.
  static bool AllWritten();

 private:
  ItemSaveRun() = default;
  static void StartTurns();
  void ThreadEnded();
  void Close();

  sqlite3* db_ = nullptr;
  int threads_ = 0;
  int* next_row_ = nullptr;
  AFX_THREADPROC thread_ = nullptr;
  std::vector<Row> rows_;  // fixed once the save writes
  int holds_ = 0;          // guarded by the queue's lock
  std::atomic<int> live_{0};
};
