// The item operations: one goods-manager form each, judged by the reply.
#include "shop/item_ops.h"

#include <optional>
#include <string>

#include "platform/text/ascii.h"
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
CString Post(const CString& url, const CString& body) { return PostSellerForm(url, body); }

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

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads the JSON string whose opening quote is at `at` into `text` (escapes
// give the escaped character); `at` ends after the closing quote, or at the
// end of an unterminated string.
void ReadJsonString(const std::string& json, size_t& at, std::string& text) {
  text.clear();
  for (++at; at < json.size(); ++at) {
    if (json[at] == '"') {
      ++at;
      return;
    }
    if (json[at] == '\\' && at + 1 < json.size()) ++at;
    text.push_back(json[at]);
  }
}

// The value of member `name` of the JSON object or array that opens at
// `at`, at its top level only (a member of the same name in a nested
// object is not it): a string's text or a bare word; none when absent.
std::optional<std::string> TopLevelMember(const std::string& json, size_t at, const char* name) {
  int depth = 0;
  std::string text;
  while (at < json.size()) {
    const char c = json[at];
    if (c == '"') {
      ReadJsonString(json, at, text);
      size_t next = at;
      while (next < json.size() && IsJsonSpace(json[next])) ++next;
      if (depth != 1 || text != name || next >= json.size() || json[next] != ':') continue;
      ++next;
      while (next < json.size() && IsJsonSpace(json[next])) ++next;
      if (next < json.size() && json[next] == '"') {
        ReadJsonString(json, next, text);
        return text;
      }
      const size_t end = json.find_first_of(",}] \t\r\n", next);
      return json.substr(next, end == std::string::npos ? std::string::npos : end - next);
    }
    if (c == '{' || c == '[') ++depth;
    if ((c == '}' || c == ']') && --depth == 0) break;
    ++at;
  }
  return std::nullopt;
}

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
                     CString& reply) {
  old_price.Replace(".", "%2E");
  new_price.Replace(".", "%2E");
  const CString body = "oldtext=" + old_price + "&newItemPrice=" + new_price +
                       "&itemId=" + item_id + "&_tb_token_=" + token + "&type=c";
  reply = Post(PriceEditUrl(), body);
}

bool IsPriceEditRefused(const CString& reply) {
  const std::string& json = reply.str();
  size_t at = 0;
  while (at < json.size() && IsJsonSpace(json[at])) ++at;
  // The endpoint answers JSON; anything else came from elsewhere (an error
  // page, a request without an answer) and changed no price.
  if (at == json.size() || (json[at] != '{' && json[at] != '[')) return true;
  const std::optional<std::string> success = TopLevelMember(json, at, "success");
  return success && AsciiLower(*success) == "false";
}
