#include "tests/support/page_globals.h"

#include "services/globals.h"

namespace support {

void ForgetPageGlobals() {
  g_ItemList = nullptr;
  g_ItemSetCombo = nullptr;
  g_CategoryTree = nullptr;
  g_SearchButton = nullptr;
  g_SaveStatusText = nullptr;
  g_UpShelfStatusText = nullptr;
  g_ItemCountEdit = nullptr;
  g_UpShelfWaitEdit = nullptr;
  g_TotalCountEdit = nullptr;
  g_TaoBaoHwnd = nullptr;
  g_SyncStartButton = nullptr;
  g_SyncList = nullptr;
}

}  // namespace support
