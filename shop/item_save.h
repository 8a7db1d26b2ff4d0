#pragma once
// Saving the item list into the item database (TaoBao::OnSaveData starts a
// run of 20 SaveItemsThread) and loading it back (TaoBao::OnImportAll,
// TaoBao::OnImportNotUpdated).
#include "platform/types.h"

// The next list row to claim in a save run; ItemSaveRun guards it.
extern int g_NextSaveRow;

// A save thread. `param` is the run (ItemSaveRun, store/save_run.h),
// made by TaoBao::OnSaveData; the run's last thread hands the connection to
// the user-interface thread, which closes it. At the program's end (the
// worker registry's stop signal) the threads claim no further row.
UINT SaveItemsThread(LPVOID param);
