// The item operations: one goods-manager form each, judged by the reply.
#include "shop/item_ops.h"

#include <string>

#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "shop/seller_pages.h"

namespace {

// Longest throttle wait: a longer number in the edit waits this long.
constexpr DWORD kMaxWaitMs = 24 * 60 * 60 * 1000;

CString PriceEditUrl() {
  return "https://" + Hosts().seller +
         "/auction/merchandise/auction_list.json?_input_charset=utf-8&_output_charset=utf-8"
         "&action=goodsmanager/GoodsPriceEditAction&event_submit_do_edit_item=1";
}

// A reply that is the sign-in page comes back empty, as an ended session's.
CString Post(const CString& url, const CString& form, std::string* body = nullptr) {
  return PostSellerForm(url, form, nullptr, body);
}

bool Contains(const CString& reply, const char* text) { return reply.Find(text) >= 0; }

// The throttle wait of the wait edit's text, in ms; empty text: none.
bool ThrottleWait(const CString& text, DWORD& wait_ms) {
  if (text.IsEmpty()) return false;
  unsigned long long value = 0;
  for (char c : text.str()) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > kMaxWaitMs) value = kMaxWaitMs;
  }
  wait_ms = static_cast<DWORD>(value);
  return true;
}

// Holds g_WorkMutex from a successful timed wait until the end of scope.
class ThrottleLock {
 public:
  explicit ThrottleLock(DWORD wait_ms) : held_(g_WorkMutex.Lock(wait_ms)) {}
  ~ThrottleLock() {
    if (held_) g_WorkMutex.Unlock();
  }
  ThrottleLock(const ThrottleLock&) = delete;
  ThrottleLock& operator=(const ThrottleLock&) = delete;

 private:
  bool held_;
};

}  // namespace

bool DeleteTbItem(CString item_id, CString token) {
  const CString body = "_tb_token_=" + token + "&pageName=goodsOnSale" +
                       "&action=goodsmanager/GoodsManageAction" + "&event_submit_do_delete=1" +
                       "&selectedIds=" + item_id;
  const CString reply = Post(OnSaleListUrl(), body);
  return !Contains(reply, "删除成功：0个") && Contains(reply, "删除成功：1个");
}

bool OffShelfTbItem(CString item_id, CString token) {
  const CString body = "_tb_token_=" + token + "&pageName=goodsOnSale" +
                       "&action=goodsmanager/GoodsManageAction" + "&event_submit_do_off_shelf=1" +
                       "&selectedIds=" + item_id;
  const CString reply = Post(OnSaleListUrl(), body);
  return Contains(reply, "下架成功：1个");
}

bool UpShelfTbItem(CString item_id, CString token) {
  CString page = HttpGetWithCookie(InStockListUrl());
  const CString x_id = RegexFirst(page, MakeRegex(kXIdPattern));
  const CString body = "_tb_token_=" + token + "&pageName=goodsInStock" +
                       "&action=goodsmanager/GoodsManageAction" + "&x_id=" + x_id +
                       "&status=inStock" + "&isarchive=false" + "&singleId=" + item_id +
                       "&singleIdNum=30" + "&event_submit_do_up_shelf_single=上架";
  const CString reply = Post(InStockListUrl(), body);
  return !Contains(reply, "上架成功：0个") && Contains(reply, "上架成功：1个");
}

bool UpShelfTbItems(CString items, CString token) {
  const CString body = "_tb_token_=" + token + "&pageName=goodsInStock" +
                       "&action=goodsmanager/GoodsManageAction" + "&x_id=" + g_XId.Get() +
                       "&status=inStock" + "&isarchive=false" + "&event_submit_do_up_shelf=1" +
                       items;
  const CString wait_text = g_UpShelfWaitEdit ? g_UpShelfWaitEdit->GetWindowText() : CString();
  DWORD wait_ms = 0;
  CString reply;
  if (!ThrottleWait(wait_text, wait_ms)) {
    reply = Post(InStockListUrl(), body);
  } else {
    // Held for the whole request, so that throttled requests go one at a
    // time; a request whose wait ran out goes alongside the holder.
    ThrottleLock lock(wait_ms);
    reply = Post(InStockListUrl(), body);
  }
  return !Contains(reply, "上架成功：0个") && Contains(reply, "上架成功：20个");
}

void EditTbItemPrice(CString item_id, CString old_price, CString new_price, CString token,
                     CString& reply, std::string* answer) {
  old_price.Replace(".", "%2E");
  new_price.Replace(".", "%2E");
  const CString body = "oldtext=" + old_price + "&newItemPrice=" + new_price +
                       "&itemId=" + item_id + "&_tb_token_=" + token + "&type=c";
  reply = Post(PriceEditUrl(), body, answer);
}
