#include "tests/support/page_globals.h"

#include "platform/thread/thread.h"
#include "platform/ui/app.h"
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
  g_RuleList = nullptr;
  g_RegionList = nullptr;
  g_UseKeyWordCheck = nullptr;
  g_UsePriceCheck = nullptr;
  g_UseAllProductsCheck = nullptr;
  g_QiangGouJiaCheck = nullptr;
  g_YuanJiaZheEdit = nullptr;
  g_ShiYongZheEdit = nullptr;
  g_RegionStockMode = 0;
  g_SiteCombo = nullptr;
  g_ListWhenInStockCheck = nullptr;
  g_UpdateStockCheck = nullptr;
  g_AnalysedEdit = nullptr;
  g_NeedUpdateEdit = nullptr;
  g_CurrentRowEdit = nullptr;
  g_CategoryStep1Button = nullptr;
  g_CategoryStep2Button = nullptr;
  g_SyncStatusText = nullptr;
  g_SyncHwnd = nullptr;
  g_StockActionMode = 0;
}

bool WaitWorkersAndPosts(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    // A worker posts before it ends, so once none is live all it posted is
    // queued; a pass that finds nothing to run cannot have started one.
    if (worker_registry::LiveCount() == 0 && ui::RunPending() == 0) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    ui::PumpUntil([] { return worker_registry::LiveCount() == 0; }, std::chrono::milliseconds(50));
  }
}

}  // namespace support
