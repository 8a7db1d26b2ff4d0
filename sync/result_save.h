#pragma once
// Saving the sync page's results into the item database of the signed-in
// account. A save writes the ticked rows of the result list as they stood
// when it began, on 20 SaveSyncResultsThread that share them row by row and
// one connection (g_ItemDb); saves are queued behind every save begun
// before them (store/save_run.h). Each ticked row with a new price becomes
// a DDItems row with that price and IsUpdate '1': inserted when the item is
// new, updated when it is stored.
#include <vector>

#include "platform/types.h"
#include "platform/ui/controls.h"

class ItemSaveRun;

// The next row to claim in the save that writes; ItemSaveRun guards it.
extern int g_NextSaveResultRow;

// A save thread. `param` is the save (ItemSaveRun); the save's last thread
// closes its connection. Writes its progress into g_SyncStatusText.
UINT SaveSyncResultsThread(LPVOID param);

// Queues a save of the result list's ticked rows as they stand now (the
// page's "保存更新成功的数据" and the end of a price run). UI thread.
void SaveTickedResults();

// The save of a price run that a new start (or the program's end) replaces
// before the page has handled the run's end. BeginStoppedRunSave queues it
// before the result list is emptied, in its place among the saves; the
// run's edits that the shop confirms from then on are added to it instead
// of to the list; FinishStoppedRunSave gives it the rows that the run had
// ticked, copied as the list was emptied. It writes once the run's price
// consumers have ended, so no confirmation of the run comes after it.
// UI thread.
ItemSaveRun* BeginStoppedRunSave(unsigned run);
void FinishStoppedRunSave(unsigned run, ItemSaveRun* save, std::vector<CListCtrl::RowCopy> ticked);

// A price consumer of `run` begins and ends; an edit that the shop
// confirmed after its run was replaced goes to that run's save, if any.
// Consumer threads.
void PriceConsumerBegins(unsigned run);
void PriceConsumerEnds(unsigned run);
void SaveLateConfirmation(unsigned run, CListCtrl::RowCopy row);
