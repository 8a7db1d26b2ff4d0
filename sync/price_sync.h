#pragma once
// The price run ("更新价格") of the sync page: producers read each shop
// item's bookstore page and apply the pricing conditions, the consumer edits
// the prices that differ in the shop. Both run in the frame of sync_run.h;
// TongBu::OnStartSync starts them. The consumer also serves the category
// method's steps.
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "platform/types.h"

struct SyncShopRow;
struct SyncResultRow;

// Producer. Per shop row: the bookstore's page for the store in g_SiteCombo
// (read anew for every row); a page-not-found reply deletes the Taobao item
// (the row stays unticked, no result row); otherwise the price rules decide,
// a result row is appended when the price must change, and the shop row is
// ticked.
UINT PriceCheckThread(LPVOID param);

// Consumer. Per result row, while the seller is signed in and the row is not
// ticked by hand: equal old and new prices are passed over; otherwise the
// price edit is sent and its reply recorded (RecordPriceEdit). At its end
// it posts WM_SYNC_DONE to the page, unless a newer run has begun: wParam
// its run (SyncRunOf), lParam the number of edits it sent that did not go
// through. It counts among its run's price consumers while it lives
// (PriceConsumerBegins), so that a save of the run waits for its last edit.
UINT PriceEditThread(LPVOID param);

// Applies the pricing conditions to the bookstore `page` of shop row `shop`
// (store name `store`). When its price must change, fills `cells` with the
// result row's cells (column 1 item id, 2 merchant code, 3 the shop price,
// 4 the new price "%.2f", 6 the decision text) and returns true. Producer
// threads of the price runs.
bool MakePriceResultRow(const SyncShopRow& shop, const CString& store, const CString& page,
                        std::vector<CString>& cells);

// Records the reply of result row `row`'s price edit, after `log` (what the
// consumer did to the item before; empty for the price run): column 6 gets
// the log and the reply, and the row is ticked when `answer`, the reply's
// bytes as they came, says the edit went through (JsonAnswerSucceeded);
// otherwise (a refusal, a page other than the JSON answer, "dwError = <n>")
// the row stays unticked. An empty reply (also the sign-in page) is a lost
// sign-in: column 6 gets the log and "登陆失效，请重新登录", ShowLoginLost,
// then g_LoggedIn cleared, the row unticked; the consumer then waits for a
// new sign-in. A row of a run that a newer one replaced gets nothing
// (WriteResultOutcome); an edit of it that went through goes to that run's
// save instead (SaveLateConfirmation). Returns whether the edit went
// through. Consumer threads.
bool RecordPriceEdit(const SyncResultRow& row, const CString& log, const CString& reply,
                     const std::string& answer);

// Shows the account status "登陆失效，请重新登录" where a sign-in's status
// shows. Any thread.
void ShowLoginLost();
