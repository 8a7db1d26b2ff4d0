#include "sync/price_sync.h"

#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "shop/Q_Web.h"
#include "shop/item_ops.h"
#include "sync/bookstore_readers.h"
#include "sync/price_rules.h"
#include "sync/sync_run.h"

namespace {

// The bookstore's page-not-found text: the book is gone from the store.
constexpr const char* kPageNotFound = "对不起，您要访问的页面暂时没有找到";

bool CheckPrice(const SyncShopRow& shop) {
  const CString store = SelectedText(*g_SiteCombo);
  const CString page = HttpGetQuiet(GetSourceUrl(store, shop.code));
  if (page.Find(kPageNotFound) >= 0) {
    DeleteTbItem(shop.id, g_TbToken);  // a failed delete is not reported
    return false;
  }
  std::vector<CString> cells;
  if (MakePriceResultRow(shop, store, page, cells)) AppendResultRow(shop, cells);
  return true;
}

void EditPrice(const SyncResultRow& row) {
  const CString old_price = row.Cell(3);
  const CString new_price = row.Cell(4);
  if (old_price == new_price) return;
  CString reply;
  EditTbItemPrice(row.Cell(1), old_price, new_price, g_TbToken, reply);
  RecordPriceEdit(row, CString(), reply);
}

}  // namespace

bool MakePriceResultRow(const SyncShopRow& shop, const CString& store, const CString& page,
                        std::vector<CString>& cells) {
  CString price_text = shop.price;
  float new_price = 0;
  if (!ApplyPriceRule(new_price, price_text, page, store)) return false;
  cells = ShopResultCells(shop);
  cells[4].Format("%.2f", static_cast<double>(new_price));
  cells[6] = price_text;
  return true;
}

UINT PriceCheckThread(LPVOID param) {
  RunSyncProducer(param, g_SyncStartButton, &CheckPrice);
  return 0;
}

UINT PriceEditThread(LPVOID param) {
  if (RunSyncConsumer(param, ConsumerWaits::kUntickedRowAndSignIn, &EditPrice)) {
    ::PostMessage(g_SyncHwnd, WM_SYNC_DONE, 0, 0);
  }
  return 0;
}

void RecordPriceEdit(const SyncResultRow& row, const CString& log, const CString& reply) {
  if (reply.IsEmpty()) {
    // The row stays unticked, so nothing of it is saved; the consumer
    // waits for a new sign-in and then goes on with the next row. The
    // session is gone whichever run sent the edit.
    WriteResultOutcome(row, log, false);
    g_LoggedIn = 0;
    ShowLoginLost();
    return;
  }
  // An edit the shop refused, or a request that got no answer, changed
  // nothing in the shop: the reply shows, and the unticked row is not saved
  // as updated.
  WriteResultOutcome(row, log + reply, !IsPriceEditRefused(reply));
}

void ShowLoginLost() { ShowAccountStatus("登陆失效，请重新登录"); }
