#pragma once
// The seller centre's item operations: delete, delist, list one item, list a
// group of 20, and change a price. Each posts one goods-manager form with the
// session (HttpPostForm) and judges the reply by Taobao's success text;
// EditTbItemPrice hands the reply to its caller instead.
//
// Threads: free functions without state of their own, called from many
// worker threads at once. The token is the caller's copy (g_TbToken read
// when the call is made); UpShelfTbItems reads g_XId and the wait edit
// g_UpShelfWaitEdit itself. None raises an exception of its own; only the
// page GET of UpShelfTbItem may throw the internet exception (no POST then).
#include <string>

#include "platform/text/CString.h"

// True when the reply reports one item deleted and none refused.
bool DeleteTbItem(CString item_id, CString token);
// True when the reply reports one item delisted.
bool OffShelfTbItem(CString item_id, CString token);
// Fetches the warehouse page for its x_id, then lists the item; true when
// the reply reports one item listed and none refused.
bool UpShelfTbItem(CString item_id, CString token);
// Lists the group whose form fields `items` holds (each beginning with "&").
// Throttle, from the text of the wait edit: empty, post at once; otherwise
// wait up to the leading number of ms for g_WorkMutex and post holding it,
// or without it once the wait has run out. True when the reply reports 20
// items listed and none refused.
bool UpShelfTbItems(CString items, CString token);
// Posts the price edit ("." in both prices sent as "%2E"); `reply` receives
// the reply as HttpPostForm gives it (empty: refused or signed out), except
// that the sign-in page, where the seller centre sends an ended session,
// comes back empty. `answer`, when given, receives the answer's bytes as
// they came, in their own code page (empty when no answer came or the
// sign-in page did): what JsonAnswerSucceeded judges.
void EditTbItemPrice(CString item_id, CString old_price, CString new_price, CString token,
                     CString& reply, std::string* answer = nullptr);
