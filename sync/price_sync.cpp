#include "sync/price_sync.h"

#include <string>
#include <utility>

#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "services/text_services.h"
#include "shop/Q_Web.h"
#include "shop/item_ops.h"
#include "sync/bookstore_readers.h"
#include "sync/price_rules.h"
#include "sync/result_save.h"
#include "sync/sync_run.h"

namespace {

// What the account status and the row of an edit that found the session
// gone say.
constexpr const char* kLoginLost = "登陆失效，请重新登录";

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

// False when the edit was sent and the price stayed as it was.
bool EditPrice(const SyncResultRow& row) {
  const CString old_price = row.Cell(3);
  const CString new_price = row.Cell(4);
  if (old_price == new_price) return true;  // nothing to change
  CString reply;
  std::string answer;
  EditTbItemPrice(row.Cell(1), old_price, new_price, g_TbToken, reply, &answer);
  return RecordPriceEdit(row, CString(), reply, answer);
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
  const unsigned run = SyncRunOf(param);
  PriceConsumerBegins(run);
  long not_changed = 0;
  const auto edit = [&not_changed](const SyncResultRow& row) {
    if (!EditPrice(row)) ++not_changed;
  };
  if (RunSyncConsumer(param, ConsumerWaits::kUntickedRowAndSignIn, edit)) {
    ::PostMessage(g_SyncHwnd, WM_SYNC_DONE, run, not_changed);
  }
  // A save of this run that a new start queued writes from here on: the
  // edit in hand, if any, has had its reply.
  PriceConsumerEnds(run);
  return 0;
}

bool RecordPriceEdit(const SyncResultRow& row, const CString& log, const CString& reply,
                     const std::string& answer) {
  if (reply.IsEmpty()) {
    // The row stays unticked, so nothing of it is saved; the consumer
    // waits for a new sign-in and then goes on with the next row. The
    // session is gone whichever run sent the edit. The status shows before
    // the flag clears, so whoever sees the flag clear finds it there.
    WriteResultOutcome(row, log + kLoginLost, false);
    ShowLoginLost();
    g_LoggedIn = 0;
    return false;
  }
  // An edit the shop refused, or a request that got no answer, changed
  // nothing in the shop: the reply shows, and the unticked row is not saved
  // as updated.
  const bool done = JsonAnswerSucceeded(answer);
  if (!WriteResultOutcome(row, log + reply, done) && done) {
    // A new start has emptied the list since the row was claimed: the price
    // the shop now has goes with the rest of its run, if that run's rows
    // are being saved.
    CListCtrl::RowCopy late{row.index, row.cells};
    late.cells.resize(kSyncColumns);
    late.cells[6] = log + reply;
    SaveLateConfirmation(row.run, std::move(late));
  }
  return done;
}

void ShowLoginLost() { ShowAccountStatus(kLoginLost); }
