#include "sync/stock_sync.h"

#include "services/globals.h"
#include "services/page_lists.h"
#include "shop/item_ops.h"
#include "sync/bookstore_readers.h"
#include "sync/sync_run.h"

const char* const kItemSetOnSale = "出售中的宝贝";
const char* const kItemSetWarehouse = "仓库中的宝贝";

namespace {

// The stock run logs its outcomes without punctuation and leaves a refused
// delisting at that.
constexpr StockActionTexts kStockRunTexts = {"下架成功", "下架失败", "删除成功",
                                             "删除失败", "上架成功", "上架失败", false};

bool CheckStock(const SyncShopRow& shop) {
  const CString item_set = CurrentItemSet();
  const bool in_stock = GetDangdangStock(shop.code);
  const char* stock_state = nullptr;
  if (item_set == kItemSetOnSale && !in_stock) stock_state = "0";
  if (item_set == kItemSetWarehouse && in_stock) stock_state = "1";
  if (stock_state != nullptr) {
    std::vector<CString> cells = ShopResultCells(shop);
    cells[5] = stock_state;
    AppendResultRow(shop, cells);
  }
  return true;
}

// Appends one operation's outcome to `outcome`.
void Note(StockOutcome& outcome, bool succeeded, const char* success_text, const char* failure_text) {
  outcome.succeeded = succeeded;
  outcome.log += succeeded ? success_text : failure_text;
}

}  // namespace

CString CurrentItemSet() { return g_ItemSetCombo ? SelectedText(*g_ItemSetCombo) : CString(); }

StockOutcome RunStockAction(const CString& item_id, const CString& stock_state,
                            const CString& item_set, const StockActionTexts& texts) {
  StockOutcome outcome;
  const bool from_db = g_ListFromDb.load() != 0;
  if (stock_state == "0") {
    const bool eligible = from_db ? IsTaobaoItemOnShelf(item_id) : item_set == kItemSetOnSale;
    if (!eligible) return outcome;
    switch (g_StockActionMode.load()) {
      case 1:
        Note(outcome, OffShelfTbItem(item_id, g_TbToken), texts.delisted, texts.delist_failed);
        if (!outcome.succeeded && texts.delete_after_failed_delist)
          Note(outcome, DeleteTbItem(item_id, g_TbToken), texts.deleted, texts.delete_failed);
        break;
      case 2:
        Note(outcome, DeleteTbItem(item_id, g_TbToken), texts.deleted, texts.delete_failed);
        break;
      default:
        break;
    }
  } else if (stock_state == "1") {
    const bool eligible = from_db ? !IsTaobaoItemOnShelf(item_id) : item_set == kItemSetWarehouse;
    if (eligible && g_ListWhenInStockCheck && g_ListWhenInStockCheck->GetCheck() == BST_CHECKED)
      Note(outcome, UpShelfTbItem(item_id, g_TbToken), texts.listed, texts.list_failed);
  }
  return outcome;
}

UINT StockCheckThread(LPVOID param) {
  RunSyncProducer(param, g_SyncStartButton, &CheckStock);
  return 0;
}

UINT StockActionThread(LPVOID param) {
  // The consumer keeps the item set of its start, whatever the box shows later.
  const CString item_set = CurrentItemSet();
  RunSyncConsumer(param, ConsumerWaits::kRowOnly, [&item_set](const SyncResultRow& row) {
    const StockOutcome outcome = RunStockAction(row.Cell(1), row.Cell(5), item_set, kStockRunTexts);
    if (!outcome.log.IsEmpty()) WriteResultOutcome(row, outcome.log, outcome.succeeded);
  });
  return 0;
}
