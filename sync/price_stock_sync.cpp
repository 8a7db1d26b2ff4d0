#include "sync/price_stock_sync.h"

#include <string>

#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "shop/item_ops.h"
#include "sync/bookstore_readers.h"
#include "sync/price_rules.h"
#include "sync/price_sync.h"
#include "sync/stock_sync.h"
#include "sync/sync_run.h"

namespace {

// The delist and list texts end in an ASCII comma, the delete texts in a
// full-width one; a refused delisting is followed by a delete.
constexpr StockActionTexts kPriceStockTexts = {"下架成功,", "下架失败,", "删除成功，",
                                               "删除失败，", "上架成功,", "上架失败,", true};

bool CheckPriceAndStock(const SyncShopRow& shop) {
  const CString store = SelectedText(*g_SiteCombo);
  const CString page = HttpGetQuiet(GetSourceUrl(store, shop.code));
  std::vector<CString> cells;
  if (MakePriceResultRow(shop, store, page, cells)) {
    // Stock is always Dangdang's, whatever store the page names.
    cells[5] = CString(GetDangdangStock(shop.code) ? "1" : "0");
    AppendResultRow(shop, cells);
  }
  return true;
}

void ActOnPriceAndStock(const SyncResultRow& row, const CString& item_set) {
  const CString id = row.Cell(1);
  const CString old_price = row.Cell(3);
  const CString new_price = row.Cell(4);
  CString log = RunStockAction(id, row.Cell(5), item_set, kPriceStockTexts).log;
  // Equal prices: no edit, and the row keeps the producer's text unticked.
  if (old_price == new_price) return;
  CString reply;
  std::string answer;
  EditTbItemPrice(id, old_price, new_price, g_TbToken, reply, &answer);
  RecordPriceEdit(row, log, reply, answer);
}

}  // namespace

UINT PriceStockCheckThread(LPVOID param) {
  RunSyncProducer(param, g_SyncStartButton, &CheckPriceAndStock);
  return 0;
}

UINT PriceStockActionThread(LPVOID param) {
  const CString item_set = CurrentItemSet();
  RunSyncConsumer(param, ConsumerWaits::kRowAndSignIn,
                  [&item_set](const SyncResultRow& row) { ActOnPriceAndStock(row, item_set); });
  return 0;
}
