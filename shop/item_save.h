#pragma once
// Saving the item list into the item database (TaoBao::OnSaveData queues a
// save of the list's rows as they stand, written by 20 SaveItemsThread) and
// loading it back (TaoBao::OnImportAll, TaoBao::OnImportNotUpdated).
#include "platform/types.h"

// The next row to claim in the save that writes; ItemSaveRun guards it.
extern int g_NextSaveRow;

// A save thread. `param` is the save (ItemSaveRun, store/save_run.h), made
// by TaoBao::OnSaveData with a copy of the list's rows; the save's last
// thread hands the connection to the user-interface thread, which closes
// it. The threads write every row, also at the program's end.
UINT SaveItemsThread(LPVOID param);
