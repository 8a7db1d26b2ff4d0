#include "tests/sites/bookstores.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace sites {

struct Bookstores::State {
  mutable std::mutex mutex;  // guards everything below
  SellerCentre* centre = nullptr;
  Marketplace* market = nullptr;
  std::map<std::string, BookProduct> products;
  std::set<std::string> removed;  // product numbers gone from the store
  std::map<std::string, std::pair<std::optional<std::string>, std::optional<std::string>>> jd;
  std::map<std::string, bool> on_shelf;
  ReplyMode product_mode = ReplyMode::kNormal;
  ReplyMode stock_mode = ReplyMode::kNormal;
  ReplyMode jd_mode = ReplyMode::kNormal;
  std::chrono::milliseconds slow_delay{2000};
  std::vector<StockRequest> stock_requests;
  int product_requests = 0;
  int jd_requests = 0;
  std::vector<ItemVisit> item_visits;

  // The shop's item with this merchant code (or id); none without a centre.
  std::optional<ShopItem> ShopItemWhere(bool by_code, const std::string& key) const {
    if (centre == nullptr) return std::nullopt;
    return by_code ? centre->ItemWithCode(key) : centre->ItemWithId(key);
  }
  std::optional<BookProduct> Product(const std::string& number) const {
    if (removed.count(number) != 0) return std::nullopt;
    auto own = products.find(number);
    if (own != products.end()) return own->second;
    if (auto item = ShopItemWhere(true, number)) return DangdangProductFor(*item);
    return std::nullopt;
  }
};

namespace {

const char kGbkHtml[] = "text/html; charset=GBK";

// UTF-8 texts of the stock replies (u8 literals keep their encoding whatever
// the narrow execution character set is).
std::string Utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

std::string Cents(long cents) {
  char text[32];
  std::snprintf(text, sizeof(text), "%ld.%02ld", cents / 100, cents % 100);
  return text;
}

// Markup around the price block, like a real product page's: navigation,
// scripts, recommendations with prices in classes of their own, reviews.
// Nothing in it looks like an element the readers look for.
std::string Filler(size_t size, int seed) {
  static const char* const kWords[] = {"文学", "小说", "青春文学", "历史", "哲学", "心理学",
                                       "经济管理", "少儿", "教材", "考试", "外语", "计算机"};
  std::string out;
  out.reserve(size + 4096);
  for (int i = 0; out.size() < size; ++i) {
    const int n = seed * 7919 + i;
    const char* word = kWords[n % 12];
    switch (i % 4) {
      case 0:
        out += "<li class=\"nav_item\"><a href=\"http://category.dangdang.com/cp01." +
               std::to_string(n % 97) + ".00.00.00.00.html\" title=\"" + word +
               "\" target=\"_blank\" name=\"nav" + std::to_string(i) + "\">" + word +
               "</a><span class=\"arrow\"></span></li>\r\n";
        break;
      case 1:
        out += "<li ddt-pit=\"" + std::to_string(i) + "\"><p class=\"pic\"><a href=\"http://product.dangdang.com/" +
               std::to_string(23000000 + n) + ".html\" title=\"" + word + "精选第" +
               std::to_string(n) + "册\"><img src=\"http://img3m" + std::to_string(n % 9) +
               ".ddimg.cn/" + std::to_string(n) + ".jpg\" alt=\"" + word +
               "\"></a></p>\r\n<p class=\"name\"><a href=\"#\">" + word + "精选第" + std::to_string(n) +
               "册（全新修订版）</a></p><p class=\"price\"><span class=\"rob\"><span class=\"sign\">&yen;</span>"
               "<span class=\"num\">" + std::to_string(10 + n % 80) + "</span><span class=\"tail\">." +
               std::to_string(10 + n % 89) + "</span></span><span class=\"price_r\">&yen;" +
               std::to_string(20 + n % 90) + ".00</span></p></li>\r\n";
        break;
      case 2:
        out += "<script type=\"text/javascript\">var prodSpuInfo_" + std::to_string(i) +
               " = {\"productId\":\"" + std::to_string(25000000 + n) +
               "\",\"categoryPath\":\"01.41.26.15.00.00\",\"shopId\":\"0\",\"describeMap\":\"" +
               std::to_string(n % 3) + "\"};</script>\r\n";
        break;
      default:
        out += "<div class=\"comment_items clearfix\"><div class=\"items_right\"><div class=\"describe_detail\">"
               "<span>这本书内容很好，" + std::string(word) + "类的书里少见的佳作，印刷清晰，纸张不错，"
               "物流也很快，值得推荐给朋友。</span></div><div class=\"starline clearfix\"><span>2016-10-" +
               std::to_string(10 + n % 20) + " 12:" + std::to_string(10 + n % 50) +
               ":09</span></div></div></div>\r\n";
        break;
    }
  }
  return out;
}

const std::string& HeadFiller() {
  static const std::string text = Filler(70000, 1);
  return text;
}
const std::string& TailFiller() {
  static const std::string text = Filler(130000, 2);
  return text;
}

std::string SaleBlock(const BookProduct& product) {
  std::string block;
  if (product.empty_right_block && product.sale_layout != SaleLayout::kRight) {
    block += "<div class=\"price_info\"><div class=\"right\"><span class=\"price_d\">&yen;</span></div></div>\r\n";
  }
  switch (product.sale_layout) {
    case SaleLayout::kRight:
      block += "<div class=\"price_info clearfix\"><div class=\"right\"><span class=\"price_d\">&yen;" +
               product.sale + "</span></div>\r\n";
      break;
    case SaleLayout::kPriceSale:
      block += "<div class=\"price_pc\" id=\"pc-price\"><div class=\"price_d\">当当价</div>"
               "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>" + product.sale + "</p>\r\n";
      break;
    case SaleLayout::kDdPrice:
      block += "<div class=\"price_pc\" id=\"pc-price\"><div class=\"price_d\">\r\n"
               "<p class=\"t\" id=\"dd-price-text\">当当价</p>\r\n<p id=\"dd-price\">\r\n\t"
               "<span class=\"yen\">&yen;</span>\r\n\t " + product.sale + " \r\n</p>\r\n</div>\r\n";
      break;
  }
  return block;
}

std::string ListBlock(const BookProduct& product) {
  switch (product.list_layout) {
    case ListLayout::kSpan:
      return "<div class=\"price_m_box\">定价：<span class=\"price_m\">&yen;" + product.list + "</span></div>\r\n";
    case ListLayout::kDiv:
      return "<div class=\"price_m\">定价 <span class=\"yen\">&yen;</span>" + product.list + "</div>\r\n";
    case ListLayout::kOriginal:
      return "<div class=\"price_m\" id='original-price'>定价\r\n<span class=\"yen\">&yen;</span>\r\n\t" +
             product.list + " \r\n</div>\r\n";
    case ListLayout::kNone:
      break;
  }
  return std::string();
}

std::string DiscountBlock(const BookProduct& product) {
  switch (product.discount_layout) {
    case DiscountLayout::kSpan:
      return "<span class=\"price_zhe\" >" + product.discount + "</span>\r\n";
    case DiscountLayout::kDiv:
      return "<div class=\"price_zhe\" id=\"price_discount\" >" + product.discount + "</div>\r\n";
    case DiscountLayout::kNone:
      break;
  }
  return std::string();
}

std::string StockReply(const BookProduct* product, const std::string& province) {
  const bool in_stock = product != nullptr && product->InStock(province);
  std::string reply = "{\"errorCode\":\"0\",\"stock\":{\"province_id\":\"" + province + "\",\"status\":\"";
  reply += in_stock ? "instock\",\"stock_tips\":\"" + Utf8(u8"现货，今天下单明天送达")
                    : "nostock\",\"stock_tips\":\"" + Utf8(u8"该地区暂时缺货");
  reply += "\"}}";
  return reply;
}

std::string ItemPage(const std::optional<ShopItem>& item, bool on_shelf) {
  std::string body;
  if (!item) {
    body = "<div class=\"error-notice\"><h2>很抱歉，您查看的宝贝不存在，可能已下架或者被转移。</h2></div>";
  } else {
    body = "<div class=\"tb-detail-hd\"><h3 class=\"tb-main-title\" data-title=\"" + item->title +
           "\">" + item->title + "</h3></div>\r\n<div class=\"tb-price\"><em class=\"tb-rmb\">&yen;</em>"
           "<em class=\"tb-rmb-num\">" + item->price + "</em></div>\r\n";
    body += on_shelf ? "<div class=\"tb-action\"><a class=\"J_LinkBuy\" href=\"#\">立刻购买</a>"
                       "<a class=\"J_LinkBasket\" href=\"#\">加入购物车</a></div>"
                     : "<div class=\"tb-off-sale\"><i class=\"tb-icon\"></i><strong>此宝贝已下架</strong>"
                       "<p>看看其他宝贝吧</p></div>";
  }
  std::string page = "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"gbk\">\r\n<title>" +
                     (item ? item->title : std::string("淘宝网")) + "-淘宝网</title>\r\n</head>\r\n<body>\r\n";
  page += Filler(15000, 3) + body + "\r\n" + Filler(10000, 4) + "</body>\r\n</html>\r\n";
  return page;
}

// Sends `body` as the mode says (nothing when the server stops while a slow reply waits).
void Answer(const SiteServer& server, ReplyMode mode, std::chrono::milliseconds slow, int status,
            std::string body, const char* type, httplib::Response& response) {
  if (mode == ReplyMode::kSlow && !server.SleepFor(slow)) return;
  response.status = status;
  if (mode == ReplyMode::kEmpty) {
    response.set_content("", type);
  } else if (mode == ReplyMode::kCut) {
    auto shared = std::make_shared<std::string>(std::move(body));
    response.set_content_provider(shared->size(), type,
                                  [shared](size_t offset, size_t, httplib::DataSink& sink) {
                                    const size_t half = shared->size() / 2;
                                    if (offset >= half) return false;
                                    sink.write(shared->data() + offset, half - offset);
                                    return true;
                                  });
  } else {
    response.set_content(body, type);
  }
}

}  // namespace

bool BookProduct::InStock(const std::string& province) const {
  if (nostock_everywhere || nostock_provinces.count(province) != 0) return false;
  if (nostock_odd_codes && !province.empty() && (province.back() - '0') % 2 == 1) return false;
  return true;
}

long Cents(const std::string& price) { return std::lround(std::strtod(price.c_str(), nullptr) * 100); }

std::string PriceText(long cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld.%02ld", cents / 100, cents % 100);
  return text;
}

BookProduct DangdangProductFor(const ShopItem& item) {
  unsigned long long k = std::strtoull(item.code.c_str(), nullptr, 10);
  BookProduct product;
  product.number = item.code;
  product.title = item.title;
  product.sale_layout = static_cast<SaleLayout>(k % 3);
  product.list_layout = static_cast<ListLayout>((k / 3) % 3);
  product.discount_layout = static_cast<DiscountLayout>((k / 9) % 3);
  product.empty_right_block = k % 11 == 0;
  // The discount in percent of the list price, and prices whole cents.
  static const int kPercents[] = {75, 80, 50, 30, 85, 65, 100};
  const int percent = kPercents[k % 7];
  long sale = std::lround(std::strtod(item.price.c_str(), nullptr) * 80.0);
  if (sale < 100) sale = 100;
  const long list = (sale * 100 + percent / 2) / percent;
  product.sale = Cents(sale);
  product.list = Cents(list);
  product.discount = "(" + (percent % 10 == 0 ? std::to_string(percent / 10)
                                              : std::to_string(percent / 10) + "." + std::to_string(percent % 10)) +
                     "折)";
  product.nostock_everywhere = k % 5 == 0;
  product.nostock_odd_codes = k % 5 == 1;
  return product;
}

std::string DangdangPage(const BookProduct& product) {
  std::string page =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n<title>《" +
      product.title + "》】-当当网</title>\r\n</head>\r\n<body>\r\n";
  page += HeadFiller();
  page += "<div class=\"name_info\" ddt-pit=\"1\" ddt-area=\"001\"><h1 title=\"" + product.title + "\">\r\n" +
          product.title + "\r\n</h1></div>\r\n<div class=\"price_info\" id=\"product_info\">\r\n";
  page += SaleBlock(product) + ListBlock(product) + DiscountBlock(product);
  page += "</div>\r\n";
  page += TailFiller();
  page += "</body>\r\n</html>\r\n";
  return page;
}

std::string DangdangNotFoundPage() {
  return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"gb2312\">\r\n<title>当当网</title>\r\n"
         "</head>\r\n<body>\r\n<div class=\"error_page\"><p class=\"tip\">对不起，您要访问的页面暂时没有找到"
         "</p><p>您可以：<a href=\"http://www.dangdang.com\">返回首页</a></p></div>\r\n</body>\r\n</html>\r\n";
}

std::string JdReply(const std::string& sku, const std::optional<std::string>& p,
                    const std::optional<std::string>& m) {
  std::string reply = "{\"id\":\"J_" + sku + "\"";
  if (p) reply += ",\"p\":\"" + *p + "\"";
  if (m) reply += ",\"m\":\"" + *m + "\"";
  return reply + ",\"op\":\"" + (p ? *p : std::string("-1")) + "\"}";
}

Bookstores::Bookstores(SiteServer& server, SellerCentre* centre, Marketplace* market)
    : server_(server), state_(std::make_shared<State>()) {
  state_->centre = centre;
  state_->market = market;
  std::shared_ptr<State> state = state_;

  server.Route("GET", "/([^/]*)\\.html", [state, &server](const SiteRequest& request,
                                                         httplib::Response& response) {
    std::optional<BookProduct> product;
    ReplyMode mode;
    std::chrono::milliseconds slow;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      ++state->product_requests;
      product = state->Product(request.match[1]);
      mode = state->product_mode;
      slow = state->slow_delay;
    }
    if (product) {
      Answer(server, mode, slow, 200, DangdangPage(*product), kGbkHtml, response);
    } else {
      Answer(server, mode, slow, 404, DangdangNotFoundPage(), kGbkHtml, response);
    }
  });

  server.Route("GET", "/pricestock/callback\\.php", [state, &server](const SiteRequest& request,
                                                                     httplib::Response& response) {
    StockRequest record{request.http.get_param_value("product_id"),
                        request.http.get_param_value("province_id"), std::string()};
    const std::string& target = request.http.target;
    const size_t question = target.find('?');
    if (question != std::string::npos) record.query = target.substr(question + 1);
    std::optional<BookProduct> product;
    ReplyMode mode;
    std::chrono::milliseconds slow;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->stock_requests.push_back(record);
      product = state->Product(record.product_id);
      mode = state->stock_mode;
      slow = state->slow_delay;
    }
    Answer(server, mode, slow, 200, StockReply(product ? &*product : nullptr, record.province_id),
           "application/json; charset=utf-8", response);
  });

  server.Route("GET", "/prices/mgets", [state, &server](const SiteRequest& request,
                                                        httplib::Response& response) {
    std::string skus = request.http.get_param_value("skuIds");
    std::string reply = "[";
    ReplyMode mode;
    std::chrono::milliseconds slow;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      ++state->jd_requests;
      mode = state->jd_mode;
      slow = state->slow_delay;
      for (size_t at = 0; at <= skus.size();) {
        size_t comma = skus.find(',', at);
        std::string one = skus.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        at = comma == std::string::npos ? skus.size() + 1 : comma + 1;
        if (one.rfind("J_", 0) == 0) one = one.substr(2);
        if (reply.size() > 1) reply += ",";
        auto own = state->jd.find(one);
        if (own != state->jd.end()) {
          reply += JdReply(one, own->second.first, own->second.second);
        } else if (auto product = state->Product(one)) {
          reply += JdReply(one, product->sale, product->list);
        } else {
          reply += JdReply(one, std::string("-1"), std::string("-1"));
        }
      }
    }
    Answer(server, mode, slow, 200, reply + "]\n", "application/json; charset=utf-8", response);
  });

  server.Route("GET", "/item\\.htm", [state](const SiteRequest& request, httplib::Response& response) {
    const std::string id = request.http.get_param_value("id");
    std::optional<ShopItem> item;
    bool on_shelf = false;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->item_visits.push_back(
          {id, state->market == nullptr || state->market->IsSignedIn(request)});
      item = state->ShopItemWhere(false, id);
      on_shelf = item && item->on_sale;
      auto own = state->on_shelf.find(id);
      if (own != state->on_shelf.end()) {
        on_shelf = own->second;
        if (!item) {
          item = ShopItem();
          item->id = id;
          item->title = "宝贝" + id;
          item->price = "0.00";
        }
      }
    }
    response.set_content(ItemPage(item, on_shelf), kGbkHtml);
  });
}

Bookstores::~Bookstores() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->centre = nullptr;
  state_->market = nullptr;
}

std::map<std::string, std::string> Bookstores::HostKeys() const {
  const std::string port = ":" + std::to_string(server_.port());
  return {{"DangDang", "product.dangdang.localhost" + port},
          {"DangDangStock", "stock.dangdang.localhost" + port},
          {"JD", "p.jd.localhost" + port}};
}

void Bookstores::SetProduct(const BookProduct& product) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->products[product.number] = product;
}

void Bookstores::RemoveProduct(const std::string& number) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->removed.insert(number);
}

void Bookstores::SetJdPrice(const std::string& sku, std::optional<std::string> p,
                            std::optional<std::string> m) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->jd[sku] = {std::move(p), std::move(m)};
}

void Bookstores::SetItemOnShelf(const std::string& item_id, bool on_shelf) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->on_shelf[item_id] = on_shelf;
}

void Bookstores::SetProductReplies(ReplyMode mode) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->product_mode = mode;
}

void Bookstores::SetStockReplies(ReplyMode mode) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->stock_mode = mode;
}

void Bookstores::SetJdReplies(ReplyMode mode) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->jd_mode = mode;
}

void Bookstores::SetSlowDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->slow_delay = delay;
}

std::vector<StockRequest> Bookstores::StockRequests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->stock_requests;
}

int Bookstores::ProductPageRequests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->product_requests;
}

int Bookstores::JdRequests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->jd_requests;
}

std::vector<Bookstores::ItemVisit> Bookstores::ItemVisits() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->item_visits;
}

void Bookstores::ClearRequests() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->stock_requests.clear();
  state_->product_requests = 0;
  state_->jd_requests = 0;
  state_->item_visits.clear();
}

}  // namespace sites
