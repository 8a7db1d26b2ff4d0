#include "sync/category_sync.h"

#include <cstdlib>

#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "sync/TongBu.h"
#include "sync/bookstore_readers.h"
#include "sync/price_rules.h"
#include "sync/price_sync.h"
#include "sync/sync_run.h"

CMap<CString, const CString&, CString, const CString&>* g_CategoryMap = [] {
  auto* map = new CMap<CString, const CString&, CString, const CString&>(10);
  map->InitHashTable(17);
  return map;
}();
CListCtrl* g_CategoryList = nullptr;

namespace {

bool PriceByCategory(const SyncShopRow& shop) {
  const CString category = LookupCategory(shop.code);
  if (category.IsEmpty() || g_CategoryList == nullptr) return false;
  const int k = std::atoi(category);
  const CString list_price = g_CategoryList->GetItemText(k, 2);
  CString base = g_CategoryList->GetItemText(k, 3);
  CString price_text = shop.price;
  if (ApplyCategoryPriceRule(base, price_text, list_price)) {
    std::vector<CString> cells = ShopResultCells(shop);
    cells[4] = base;
    cells[6] = price_text;
    AppendResultRow(shop, cells);
  }
  return true;
}

bool PriceByPage(const SyncShopRow& shop) {
  const CString store = SelectedText(*g_SiteCombo);
  const CString page = HttpGetUtf8(GetSourceUrl(store, shop.code));
  std::vector<CString> cells;
  if (MakePriceResultRow(shop, store, page, cells)) AppendResultRow(shop, cells);
  return true;
}

// Starts a step: `producer` on N threads (the thread box), PriceEditThread
// as consumer. The step's button stays disabled until OnStopCategorySync.
// False when the step could not start.
bool StartCategoryStep(TongBu& page, CButton& step_button, AFX_THREADPROC producer) {
  ResetSyncState();
  page.m_StartButton.EnableWindow(FALSE);
  // The consumer ends only on Stop once it has rows: Stop must be there to
  // press, also after an earlier Stop left it disabled.
  page.m_StopButton.EnableWindow(TRUE);
  step_button.EnableWindow(FALSE);
  if (!StartSyncThreads(std::atoi(SelectedText(page.m_ThreadCombo)), producer, &PriceEditThread)) {
    page.OnStopSync();
    page.OnStopCategorySync();
    return false;
  }
  return true;
}

}  // namespace

CString LookupCategory(CString key) {
  CString value;
  if (g_CategoryMap == nullptr || g_CategoryMap->IsEmpty()) return value;
  if (!g_CategoryMap->Lookup(key, value)) value.Empty();
  return value;
}

UINT CategoryStep1Thread(LPVOID param) {
  RunSyncProducer(param, g_CategoryStep1Button, &PriceByCategory);
  return 0;
}

UINT CategoryStep2Thread(LPVOID param) {
  RunSyncProducer(param, g_CategoryStep2Button, &PriceByPage, ProducerWaits::kUntickedShopRow);
  return 0;
}

// The page's handlers of the method (buttons 1032, 1035, 1034).

void TongBu::OnCategoryStep1() {
  ClearResultsSavingUnendedRun();
  if (g_ItemList) g_ItemList->EnableWindow(FALSE);
  m_PriceRunUnended = StartCategoryStep(*this, m_CategoryStep1Button, &CategoryStep1Thread);
}

void TongBu::OnCategoryStep2() {
  ClearResultsSavingUnendedRun();
  m_PriceRunUnended = StartCategoryStep(*this, m_CategoryStep2Button, &CategoryStep2Thread);
}

void TongBu::OnStopCategorySync() {
  m_CategoryStep2Button.EnableWindow(TRUE);
  m_CategoryStep1Button.EnableWindow(TRUE);
  if (g_ItemList) g_ItemList->EnableWindow(TRUE);
}
