#pragma once
// The price run ("更新价格") of the sync page: producers read each shop
// item's bookstore page and apply the pricing conditions, the consumer edits
// the prices that differ in the shop. Both run in the frame of sync_run.h;
// TongBu::OnStartSync starts them. The consumer also serves the category
// method's steps.
#include "platform/types.h"

// Producer. Per shop row: the bookstore's page for the store in g_SiteCombo
// (read anew for every row); a page-not-found reply deletes the Taobao item
// (the row stays unticked, no result row); otherwise the price rules decide,
// a result row is appended when the price must change, and the shop row is
// ticked.
UINT PriceCheckThread(LPVOID param);

// Consumer. Per result row, while the seller is signed in and the row is not
// ticked by hand: equal old and new prices are passed over; otherwise the
// price edit is sent. A reply goes into column 6 and ticks the row; an empty
// reply is taken for a lost sign-in (g_LoggedIn cleared, ShowLoginLost) and
// the consumer waits for a new one, going on with the next row. At its end
// it posts WM_SYNC_DONE to the page, unless a newer run has begun.
UINT PriceEditThread(LPVOID param);

// Shows the account status "登陆失效，请重新登录" where a sign-in's status
// shows. Any thread.
void ShowLoginLost();
