#pragma once
// A save run into the item database: a number of threads share one
// connection and a row counter. The item page's save of the item list and
// the sync page's save of the result list both run this way.
//
// Each run opens its own connection and publishes it in g_ItemDb; the
// connection stays open until the last thread of that run has ended, then
// the user-interface thread closes it (and forgets it in g_ItemDb unless a
// newer run has put its own there). Runs may overlap: no thread ever works
// on a connection that another run has closed.
#include <atomic>
#include <functional>

#include "platform/thread/thread.h"

struct sqlite3;

class ItemSaveRun {
 public:
  // Opens the account's database for a run of `threads` threads and
  // publishes the connection in g_ItemDb, sets `next_row` to 0, and starts
  // the threads of `thread`, each given the run. UI thread. `next_row` is
  // guarded by the runs' counter lock, which Start takes alone (it never
  // waits for g_WorkMutex) and the threads inside g_WorkMutex (WorkClaim).
  static void Start(int threads, int& next_row, AFX_THREADPROC thread);

  // A save thread's loop, given the run: claims row after row of
  // `next_row` below `rows` and runs `save` on each inside a catch of the
  // layer's exceptions and std::exception. At the program's end (the
  // worker registry's stop signal) it claims no further row. Then it
  // counts itself out of the run; the last thread's end closes the
  // connection. `save` is called only when the run has a
  // connection (it has none only when SQLite had no memory for one).
  static void RunThread(ItemSaveRun* run, int& next_row, int rows,
                        const std::function<void(sqlite3* db, int row)>& save);

 private:
  explicit ItemSaveRun(int threads) : live_(threads) {}
  void ThreadEnded();

  sqlite3* db_ = nullptr;
  std::atomic<int> live_;
};
