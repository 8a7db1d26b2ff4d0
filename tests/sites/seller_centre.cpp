#include "tests/sites/seller_centre.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unordered_map>

namespace sites {

const double kBlockBoundsForTests[21] = {0,  8,  14, 17, 20, 23, 26, 29, 32, 35, 38,
                                         41, 44, 47, 50, 60, 70, 80, 90, 100, 200};

struct SellerCentre::State {
  mutable std::mutex mutex;  // guards everything below
  Marketplace* market = nullptr;
  std::vector<ShopItem> items;
  int rows_per_page = 20;
  std::string token;
  std::string x_id;
  bool token_input = true;
  bool x_id_input = true;
  int expire_after = -1;  // list pages left before the session ends; -1 never
  bool expired = false;
  std::chrono::milliseconds delay{0};
  int cut_every = 0;
  int list_posts = 0;
  std::vector<ListRequest> requests;
  std::vector<std::string> cut_ids;
  // Item operations.
  OperationFault op_fault = OperationFault::kNormal;
  std::chrono::milliseconds op_delay{0};
  bool op_held = false;
  std::string op_reply;
  std::set<std::string> refused_delistings;  // item ids whose delisting is refused
  std::vector<OperationForm> op_forms;
  int op_in_flight = 0;
  int op_max_in_flight = 0;
  OperationFault price_edit_fault = OperationFault::kNormal;
  int price_edit_faults_left = 0;  // price edits still to answer with price_edit_fault
  std::string sign_in_url;         // empty: no marketplace
  // Position of each item id in `items`; rebuilt after the items change.
  std::unordered_map<std::string, size_t> index;
  bool index_stale = true;

  ShopItem* Find(const std::string& id) {
    if (id.empty()) return nullptr;
    if (index_stale) {
      index.clear();
      for (size_t i = 0; i < items.size(); ++i) index.emplace(items[i].id, i);
      index_stale = false;
    }
    auto found = index.find(id);
    return found == index.end() ? nullptr : &items[found->second];
  }
  void Erase(const std::string& id) {
    if (ShopItem* item = Find(id)) {
      items.erase(items.begin() + (item - items.data()));
      index_stale = true;
    }
  }

  bool SignedIn(const SiteRequest& request) const {
    if (expired) return false;
    return market == nullptr || market->IsSignedIn(request);
  }
  // As the real seller centre does: a signed-out request is sent to the
  // login host's sign-in form (shown here when there is no marketplace).
  void AnswerSignedOut(httplib::Response& response) const {
    if (sign_in_url.empty()) {
      response.set_content(SignInFormPage(), "text/html; charset=GBK");
    } else {
      response.set_redirect(sign_in_url);
    }
  }
};

namespace {

const char kGbkHtml[] = "text/html; charset=GBK";
const char kEndText[] = "没有找到符合条件的宝贝！";

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"gbk\">\r\n<title>" + title +
         "</title>\r\n</head>\r\n<body>\r\n" + body + "\r\n</body>\r\n</html>\r\n";
}

std::string HexId(std::mt19937_64& random) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(random()));
  return text;
}

int FromHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && FromHex(text[i + 1]) >= 0 &&
               FromHex(text[i + 2]) >= 0) {
      out += static_cast<char>(FromHex(text[i + 1]) * 16 + FromHex(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// A price bound as the form sends it; empty or not a number: no bound.
bool ParseBound(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end && *end == '\0';
}

std::string RowBlock(const ShopItem& item, bool on_sale) {
  std::string start;
  if (item.fault == RowFault::kNoStart) {
    start = on_sale ? "<tr class=\"goods-old \">" : "<tr class=\"goods-old\">";
  } else if (item.fault == RowFault::kUpperCase) {
    start = on_sale ? "<TR CLASS=\"GOODS-SID \">" : "<TR CLASS=\"GOODS-SID\">";
  } else {
    start = on_sale ? "<tr class=\"goods-sid \">" : "<tr class=\"goods-sid\">";
  }
  std::string id_part;
  if (item.fault != RowFault::kNoId) {
    id_part = on_sale ? "<input id = \"selectedIds:" + item.id +
                            "\" type=\"checkbox\" name=\"selectedIds\" value=\"" + item.id + "\">"
                      : "<input type=\"checkbox\" class=\"J_Check\" itemIds=\"" + item.id + "\">";
  }
  std::string price_part = item.fault == RowFault::kNoPrice
                               ? "<span class=\"price\">" + item.price + "</span>"
                               : "<span class=\"price\" data-price=\"" + item.price + "\">" +
                                     item.price + "</span>";
  return start + "\r\n<td class=\"check\">" + id_part +
         "</td>\r\n<td class=\"title\"><a href=\"//item.taobao.com/item.htm?id=" + item.id +
         "\" target=\"_blank\">" + item.title + "</a>\r\n<p class=\"code\">商家编码：" + item.code +
         "</p></td>\r\n<td>" + price_part +
         "</td>\r\n<td class=\"op\"><a href=\"#\" class=\"J_Copy\">复制链接</a></td>\r\n</tr>\r\n";
}

std::string ListPage(const std::string& total_text, const std::string& rows, bool end_text) {
  std::string body = "<div class=\"goods-manager\">\r\n<ul class=\"pagination\"><li>共有" +
                     total_text + "条记录 </li></ul>\r\n";
  if (end_text) {
    body += "<div class=\"no-result\">";
    body += kEndText;
    body += "</div>\r\n";
  } else {
    body += "<table class=\"goods-list\">\r\n" + rows + "</table>\r\n";
  }
  body += "</div>";
  return Page("宝贝管理", body);
}

bool InSet(const ShopItem& item, bool on_sale, const std::string& status) {
  if (item.on_sale != on_sale) return false;
  if (on_sale || status.empty() || status == "inStock") return true;
  return item.status == status;
}


std::string FieldOf(const std::vector<std::pair<std::string, std::string>>& fields,
                    const std::string& name) {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return std::string();
}

enum class Operation { kNone, kDelete, kOffShelf, kUpShelfSingle, kUpShelfGroup, kEditPrice };

// The operation a goods-manager form asks for; a list search carries the
// same fields with empty values.
Operation OperationOf(const std::vector<std::pair<std::string, std::string>>& fields) {
  if (FieldOf(fields, "event_submit_do_delete") == "1") return Operation::kDelete;
  if (FieldOf(fields, "event_submit_do_off_shelf") == "1") return Operation::kOffShelf;
  if (!FieldOf(fields, "event_submit_do_up_shelf_single").empty()) return Operation::kUpShelfSingle;
  if (FieldOf(fields, "event_submit_do_up_shelf") == "1") return Operation::kUpShelfGroup;
  return Operation::kNone;
}

std::string ResultPage(const std::string& text) {
  return Page("宝贝管理", "<div class=\"msg-box\"><p class=\"msg\">" + text + "</p></div>");
}

std::string ErrorPage() { return Page("出错了", "<p>非法请求，请刷新页面后重试。</p>"); }

std::string PriceText(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || !end || *end != '\0') return text;
  char price[32];
  std::snprintf(price, sizeof(price), "%.2f", value);
  return price;
}

// Carries out `operation` on the shop and gives its reply. Caller holds the lock.
std::string Carry(SellerCentre::State& state, Operation operation, const OperationForm& form,
                  const std::string& type) {
  const bool price_edit = operation == Operation::kEditPrice;
  if (form.Field("_tb_token_") != state.token) {
    return price_edit ? "{\"success\":false,\"msg\":\"invalid token\"}" : ErrorPage();
  }
  const bool on_sale_page = type == "11";
  int count = 0;
  switch (operation) {
    case Operation::kDelete:
    case Operation::kOffShelf: {
      if (!on_sale_page) return ErrorPage();
      for (const std::string& id : form.Values("selectedIds")) {
        ShopItem* item = state.Find(id);
        if (!item || !item->on_sale) continue;
        if (operation == Operation::kOffShelf && state.refused_delistings.count(id) != 0) continue;
        ++count;
        if (operation == Operation::kDelete) {
          state.Erase(id);
        } else {
          item->on_sale = false;
          item->status = "myOff";
        }
      }
      return ResultPage((operation == Operation::kDelete ? "删除成功：" : "下架成功：") +
                        std::to_string(count) + "个");
    }
    case Operation::kUpShelfSingle:
    case Operation::kUpShelfGroup: {
      if (on_sale_page || form.Field("x_id") != state.x_id) return ErrorPage();
      const std::vector<std::string> ids = operation == Operation::kUpShelfSingle
                                               ? form.Values("singleId")
                                               : form.Values("selectedIds");
      for (const std::string& id : ids) {
        ShopItem* item = state.Find(id);
        if (!item || item->on_sale) continue;
        ++count;
        item->on_sale = true;
      }
      return ResultPage("上架成功：" + std::to_string(count) + "个");
    }
    case Operation::kEditPrice: {
      const std::string id = form.Field("itemId");
      ShopItem* item = state.Find(id);
      if (!item) return "{\"success\":false,\"msg\":\"no such item\"}";
      item->price = PriceText(form.Field("newItemPrice"));
      return "{\"success\":true,\"itemId\":\"" + id + "\",\"price\":\"" + item->price + "\"}";
    }
    case Operation::kNone:
      break;
  }
  return ErrorPage();
}

const char kRefusedPriceEdit[] = "{ \"success\" : false, \"msg\" : \"invalid price\" }";
const char kZeroPriceEdit[] = "{\"success\":0,\"msg\":\"price unchanged\"}";
// "運" is DF 5C in GBK.
const char kGbkPriceEditRefusal[] = "{\"msg\":\"价格不能低于成本運\",\"success\":false}";

// Records, carries out and answers one operation POST, counting it in
// flight until its reply is ready.
void AnswerOperation(const std::shared_ptr<SellerCentre::State>& state, const SiteServer& server,
                     const SiteRequest& request, httplib::Response& response,
                     Operation operation) {
  OperationForm form;
  form.method = request.http.method;
  form.path = request.http.path;
  const size_t question = request.http.target.find('?');
  if (question != std::string::npos) form.query = request.http.target.substr(question + 1);
  form.raw_head = request.raw_head;
  form.body = request.http.body;
  form.fields = ParseFormBody(request.http.body);
  const std::string type = request.http.get_param_value("type");

  std::chrono::milliseconds delay{0};
  OperationFault fault;
  std::string reply;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->op_max_in_flight = std::max(state->op_max_in_flight, ++state->op_in_flight);
    form.signed_in = state->SignedIn(request);
    delay = state->op_delay;
    fault = state->op_fault;
    if (operation == Operation::kEditPrice && state->price_edit_faults_left > 0) {
      --state->price_edit_faults_left;
      fault = state->price_edit_fault;
    }
    if (fault == OperationFault::kNormal && !form.signed_in) fault = OperationFault::kSignInRedirect;
    if (!state->op_reply.empty()) {
      reply = state->op_reply;
    } else if (fault == OperationFault::kNormal) {
      reply = Carry(*state, operation, form, type);
    } else if (fault == OperationFault::kNoSuccessText) {
      reply = ResultPage("系统繁忙，请稍后再试。");
    } else if (fault == OperationFault::kRefused || fault == OperationFault::kSuccessZero ||
               fault == OperationFault::kCutJson || fault == OperationFault::kGbkRefusal) {
      reply = operation != Operation::kEditPrice        ? ErrorPage()
              : fault == OperationFault::kRefused       ? kRefusedPriceEdit
              : fault == OperationFault::kSuccessZero   ? kZeroPriceEdit
              : fault == OperationFault::kCutJson       ? "{\"success\":"
                                                        : kGbkPriceEditRefusal;
    }
    state->op_forms.push_back(std::move(form));
  }
  // Held until the client has long given up (or the server stops).
  if (fault == OperationFault::kStall) delay = std::max(delay, std::chrono::milliseconds(60000));
  if (delay.count() > 0) server.SleepFor(delay);
  const auto held = [&state] {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->op_held;
  };
  while (held() && server.SleepFor(std::chrono::milliseconds(5))) {
  }
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    --state->op_in_flight;
  }
  const char* content_type = operation != Operation::kEditPrice     ? kGbkHtml
                             : fault == OperationFault::kGbkRefusal ? "application/json;charset=GBK"
                                                                    : "application/json;charset=UTF-8";
  switch (fault) {
    case OperationFault::kStatus500:
      response.status = 500;
      response.set_content(Page("500", "<p>服务器错误</p>"), kGbkHtml);
      return;
    case OperationFault::kSignInRedirect:
      state->AnswerSignedOut(response);
      return;
    case OperationFault::kCut:
      // The header promises a body; the connection closes before its first byte.
      response.set_content_provider(
          64, content_type, [](size_t, size_t, httplib::DataSink&) { return false; });
      return;
    default:
      response.set_content(reply, content_type);
  }
}

}  // namespace

std::string OperationForm::Field(const std::string& name) const { return FieldOf(fields, name); }

std::vector<std::string> OperationForm::Values(const std::string& name) const {
  std::vector<std::string> values;
  for (const auto& [key, value] : fields) {
    if (key == name) values.push_back(value);
  }
  return values;
}

std::string ListRequest::Field(const std::string& name) const {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return std::string();
}

bool ListRequest::Has(const std::string& name) const {
  for (const auto& field : fields) {
    if (field.first == name) return true;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> ParseFormBody(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> fields;
  size_t at = 0;
  while (at < body.size()) {
    size_t end = body.find('&', at);
    if (end == std::string::npos) end = body.size();
    std::string pair = body.substr(at, end - at);
    at = end + 1;
    if (pair.empty()) continue;
    size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      fields.emplace_back(Decode(pair), std::string());
    } else {
      fields.emplace_back(Decode(pair.substr(0, equals)), Decode(pair.substr(equals + 1)));
    }
  }
  return fields;
}

std::vector<ShopItem> GenerateShop(const ShopOptions& options) {
  std::vector<ShopItem> items;
  items.reserve(static_cast<size_t>(std::max(options.count, 0)));
  std::mt19937 random(12345);
  const RowFault faults[] = {RowFault::kShortCode, RowFault::kLongCode, RowFault::kNoPrice,
                             RowFault::kNoId,      RowFault::kUpperCase, RowFault::kNoStart};
  int fault_turn = 0;
  int bound_turn = 0;
  for (int i = 0; i < options.count; ++i) {
    ShopItem item;
    item.id = std::to_string(options.first_id + static_cast<std::uint64_t>(i));
    item.code = std::to_string(options.first_code + i);
    const int block = i % 20;
    const double low = kBlockBoundsForTests[block];
    const double high = kBlockBoundsForTests[block + 1];
    // Whole cents strictly inside the block.
    const int low_cents = static_cast<int>(low * 100) + 1;
    const int high_cents = static_cast<int>(high * 100) - 1;
    int cents = low_cents + static_cast<int>(random() % static_cast<unsigned>(high_cents - low_cents + 1));
    if (options.on_bound_every > 0 && i % options.on_bound_every == options.on_bound_every - 1) {
      cents = static_cast<int>(kBlockBoundsForTests[1 + bound_turn++ % 19] * 100);
    }
    char price[32];
    std::snprintf(price, sizeof(price), "%.2f", cents / 100.0);
    item.price = price;
    item.on_sale = options.on_sale;
    item.status = options.status;
    item.title = "图书第" + std::to_string(i) + "号";
    item.category = options.category;
    if (options.malformed_every > 0 && i % options.malformed_every == options.malformed_every - 1) {
      item.fault = faults[fault_turn++ % 6];
      if (item.fault == RowFault::kShortCode) item.code = item.code.substr(0, 3);
      if (item.fault == RowFault::kLongCode) item.code = "9787" + item.code.substr(0, 8);
    }
    items.push_back(std::move(item));
  }
  return items;
}

SellerCentre::SellerCentre(SiteServer& server, Marketplace* market)
    : state_(std::make_shared<State>()) {
  std::mt19937_64 random{std::random_device{}()};
  state_->market = market;
  if (market) state_->sign_in_url = market->SignInUrl();
  state_->token = "tk" + HexId(random);
  state_->x_id = "x" + HexId(random);
  std::shared_ptr<State> state = state_;

  server.Route("GET", "/auction/merchandise/auction_list\\.htm",
               [state](const SiteRequest& request, httplib::Response& response) {
                 std::lock_guard<std::mutex> lock(state->mutex);
                 if (!state->SignedIn(request)) {
                   state->AnswerSignedOut(response);
                   return;
                 }
                 std::string body = "<form id=\"J_GoodsForm\" method=\"post\">\r\n";
                 if (state->token_input) {
                   body += "<input name='_tb_token_' type='hidden' value='" + state->token + "'>\r\n";
                 }
                 if (state->x_id_input) {
                   body += "<input type=hidden name=\"x_id\" value=\"" + state->x_id + "\">\r\n";
                 }
                 body += "</form>\r\n<h3>仓库中的宝贝</h3>";
                 response.set_content(Page("宝贝管理", body), kGbkHtml);
               });

  server.Route("POST", "/auction/merchandise/auction_list\\.htm",
               [state, &server](const SiteRequest& request, httplib::Response& response) {
                 const Operation operation = OperationOf(ParseFormBody(request.http.body));
                 if (operation != Operation::kNone) {
                   AnswerOperation(state, server, request, response, operation);
                   return;
                 }
                 ListRequest record;
                 record.type = request.http.get_param_value("type");
                 record.body = request.http.body;
                 record.fields = ParseFormBody(request.http.body);
                 const bool counting = request.http.body.empty();
                 const bool on_sale = record.type == "11";

                 std::chrono::milliseconds delay{0};
                 bool cut = false;
                 bool record_signed_in = true;
                 std::string reply;
                 {
                   std::lock_guard<std::mutex> lock(state->mutex);
                   if (!counting) {
                     ++state->list_posts;
                     delay = state->delay;
                     cut = state->cut_every > 0 && state->list_posts % state->cut_every == 0;
                     if (state->expire_after == 0 && !state->expired) {
                       state->expired = true;
                       if (state->market) state->market->ExpireSessions();
                     }
                     if (state->expire_after > 0) --state->expire_after;
                   }
                   record.signed_in = state->SignedIn(request);
                   record.cut = cut && record.signed_in;
                   if (!record.signed_in) {
                     // answered below, by the redirect
                   } else if (!counting && record.Field("_tb_token_") != state->token) {
                     reply = Page("出错了", "<p>非法请求，请刷新页面后重试。</p>");
                   } else {
                     int page = 1;
                     if (!counting) page = std::atoi(record.Field("page").c_str());
                     double low = 0, high = 0;
                     const bool has_low = ParseBound(record.Field("startPrice"), low);
                     const bool has_high = ParseBound(record.Field("endPrice"), high);
                     const std::string status = record.Field("status");
                     const std::string keyword = record.Field("searchKeyword");
                     const std::string category = record.Field("shopCatName");
                     std::vector<const ShopItem*> matches;
                     size_t whole_set = 0;
                     for (const ShopItem& item : state->items) {
                       if (!InSet(item, on_sale, counting ? "" : status)) continue;
                       ++whole_set;
                       const double price = std::strtod(item.price.c_str(), nullptr);
                       if (has_low && price < low) continue;
                       if (has_high && price > high) continue;
                       if (!keyword.empty() && item.title.find(keyword) == std::string::npos) continue;
                       if (!category.empty() && category != "全部类目" && item.category != category)
                         continue;
                       matches.push_back(&item);
                     }
                     const size_t per_page = static_cast<size_t>(std::max(state->rows_per_page, 1));
                     const size_t first = page >= 1 ? static_cast<size_t>(page - 1) * per_page
                                                    : std::numeric_limits<size_t>::max();
                     std::string rows;
                     if (page >= 1 && first < matches.size()) {
                       for (size_t i = first; i < std::min(matches.size(), first + per_page); ++i) {
                         rows += RowBlock(*matches[i], on_sale);
                         record.ids.push_back(matches[i]->id);
                       }
                     } else {
                       record.end_text = true;
                     }
                     const size_t total = counting ? whole_set : matches.size();
                     reply = ListPage(std::to_string(total), rows, record.end_text);
                     if (cut) state->cut_ids.insert(state->cut_ids.end(), record.ids.begin(), record.ids.end());
                   }
                   record_signed_in = record.signed_in;
                   state->requests.push_back(record);
                 }
                 if (delay.count() > 0 && !server.SleepFor(delay)) return;
                 if (!record_signed_in) {
                   state->AnswerSignedOut(response);
                   return;
                 }
                 if (!cut) {
                   response.set_content(reply, kGbkHtml);
                   return;
                 }
                 auto body = std::make_shared<std::string>(std::move(reply));
                 response.set_content_provider(
                     body->size(), kGbkHtml,
                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                       const size_t half = body->size() / 2;
                       if (offset >= half) return false;  // hang up half-way
                       sink.write(body->data() + offset, half - offset);
                       return true;
                     });
               });

  server.Route("POST", "/auction/merchandise/auction_list\\.json",
               [state, &server](const SiteRequest& request, httplib::Response& response) {
                 AnswerOperation(state, server, request, response, Operation::kEditPrice);
               });
}

SellerCentre::~SellerCentre() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->market = nullptr;
  state_->items.clear();
  state_->index_stale = true;
}

void SellerCentre::SetItems(std::vector<ShopItem> items) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->items = std::move(items);
  state_->index_stale = true;
}

void SellerCentre::AddItems(const std::vector<ShopItem>& items) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->items.insert(state_->items.end(), items.begin(), items.end());
  state_->index_stale = true;
}

std::vector<ShopItem> SellerCentre::Items() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->items;
}

std::optional<ShopItem> SellerCentre::ItemWithCode(const std::string& code) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (const ShopItem& item : state_->items) {
    if (item.code == code) return item;
  }
  return std::nullopt;
}

std::optional<ShopItem> SellerCentre::ItemWithId(const std::string& id) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (const ShopItem& item : state_->items) {
    if (item.id == id) return item;
  }
  return std::nullopt;
}

void SellerCentre::SetRowsPerPage(int rows) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->rows_per_page = rows;
}

std::string SellerCentre::Token() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->token;
}

std::string SellerCentre::XId() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->x_id;
}

void SellerCentre::SetHiddenInputs(bool token, bool x_id) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->token_input = token;
  state_->x_id_input = x_id;
}

void SellerCentre::ExpireSessionAfterListPages(int pages) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->expire_after = pages;
}

void SellerCentre::SetListDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->delay = delay;
}

void SellerCentre::CutEveryNthListPage(int n) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->cut_every = n;
}

void SellerCentre::SetOperationFault(OperationFault fault) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_fault = fault;
}

void SellerCentre::FailNextPriceEdits(OperationFault fault, int times) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->price_edit_fault = fault;
  state_->price_edit_faults_left = times;
}

void SellerCentre::SetOperationDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_delay = delay;
}

void SellerCentre::SetOperationReply(const std::string& body) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_reply = body;
}

void SellerCentre::HoldOperations(bool held) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_held = held;
}

void SellerCentre::RefuseDelisting(const std::string& item_id) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->refused_delistings.insert(item_id);
}

std::vector<OperationForm> SellerCentre::OperationForms() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->op_forms;
}

void SellerCentre::ClearOperationForms() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_forms.clear();
}

int SellerCentre::OperationsInFlight() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->op_in_flight;
}

int SellerCentre::MaxOperationsInFlight() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->op_max_in_flight;
}

void SellerCentre::ResetMaxOperationsInFlight() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->op_max_in_flight = state_->op_in_flight;
}

std::vector<ListRequest> SellerCentre::ListRequests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->requests;
}

void SellerCentre::ClearListRequests() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->requests.clear();
}

std::vector<std::string> SellerCentre::CutItemIds() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->cut_ids;
}

void RouteLiveSellerPage(SiteServer& server) {
  server.Route("GET", "/auction/sell.jhtml", [](const SiteRequest&, httplib::Response& res) {
    res.set_content("<html><title>卖家中心</title></html>", kGbkHtml);
  });
}

}  // namespace sites
