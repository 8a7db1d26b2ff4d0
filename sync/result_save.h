#pragma once
// Saving the sync page's results into the item database of the signed-in
// account: TongBu::OnSaveUpdated starts 20 SaveSyncResultsThread, which
// share the result list row by row and one connection (g_ItemDb). Each
// ticked row with a new price becomes a DDItems row with that price and
// IsUpdate '1': inserted when the item is new, updated when it is stored.
#include "platform/types.h"

// The next result row to claim in a save; ItemSaveRun guards it.
extern int g_NextSaveResultRow;

// A save thread. `param` is the run (ItemSaveRun, store/save_run.h); the
// run's last thread closes its connection. Takes the number of result rows
// once; rows added later are not seen by this save. Writes its progress
// into g_SyncStatusText.
UINT SaveSyncResultsThread(LPVOID param);

// Stores the result list's ticked rows as a save does, from a copy taken now,
// on a thread of its own with a connection of its own: the rows a stopped
// price run ticked stay saved when a new start empties the list before the
// page has handled that run's end. UI thread.
void SaveResultsApart();
