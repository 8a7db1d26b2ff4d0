#pragma once
// The bookstores on the local sites: Dangdang's product pages and stock
// service, JD's price service, and the marketplace's public item pages.
//
//   GET http://<DangDang>/<number>.html
//        GBK product page of about 200 KB in one of the layouts below;
//        "对不起，您要访问的页面暂时没有找到" (status 404) for an unknown number
//   GET http://<DangDangStock>/pricestock/callback.php?...&product_id=N&...&province_id=P...
//        UTF-8 reply; holds "nostock" when the product has none in the province
//   GET http://<JD>/prices/mgets?type=1&skuIds=J_N[,J_M...]
//        [{"id":"J_N","p":"39.80","m":"49.00"}]; "-1" for both fields of an
//        unknown sku, as the real service answers
//   GET https://<Item>/item.htm?id=N
//        GBK item page; "此宝贝已下架" when the item is not on sale
//
// Products are the shop's: every item of the seller centre has a Dangdang
// product and a JD sku under its merchant code, and an item page under its
// id, generated from the item (DangdangProductFor). Tests may set products
// of their own, which win.
//
// Threads: every member may be called from any thread while the server
// runs; the routes hold the state.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"

namespace sites {

// Where a Dangdang page shows its sale price.
enum class SaleLayout {
  kRight,      // <div class="right"><span class="price_d">&yen;30.00</span>
  kPriceSale,  // <p id="price_sale"><span class="yen">&yen;</span>30.00</p>
  kDdPrice,    // <p id="dd-price"> ... <span class="yen">&yen;</span> 30.00 </p>, blanks and line breaks around
};
// Where it shows the list price.
enum class ListLayout {
  kSpan,      // <span class="price_m">&yen;40.00</span>
  kDiv,       // <div class="price_m">定价 <span class="yen">&yen;</span>40.00</div>
  kOriginal,  // <div class="price_m" id='original-price'>... <span class="yen">&yen;</span> 40.00 </div>
  kNone,      // no list price
};
// Where it shows the discount.
enum class DiscountLayout {
  kSpan,  // <span class="price_zhe" >(7.5折)</span>
  kDiv,   // <div class="price_zhe" id="price_discount" >(7.5折)</div>
  kNone,
};

struct BookProduct {
  std::string number;        // product number (the shop's merchant code)
  std::string title;         // GBK
  std::string sale = "30.00";
  std::string list = "40.00";
  std::string discount = "(7.5折)";  // GBK, as the element holds it
  SaleLayout sale_layout = SaleLayout::kRight;
  ListLayout list_layout = ListLayout::kSpan;
  DiscountLayout discount_layout = DiscountLayout::kSpan;
  // A sale-price element of the first layout with an empty number ahead of
  // the real one (only with the other two sale layouts).
  bool empty_right_block = false;
  // Province codes whose stock reply says "nostock"; `nostock_everywhere`
  // makes every province's say so.
  std::set<std::string> nostock_provinces;
  bool nostock_everywhere = false;
  bool nostock_odd_codes = false;  // also every province whose code ends in an odd digit

  bool InStock(const std::string& province) const;
};

// A price text ("12.30") in cents, and cents as a price text "%ld.%02ld".
long Cents(const std::string& price);
std::string PriceText(long cents);

// The product that the bookstores hold for a shop item: layouts, prices,
// discount and stock vary with the merchant code.
BookProduct DangdangProductFor(const ShopItem& item);

// A product page as the site serves it (GBK, about 200 KB).
std::string DangdangPage(const BookProduct& product);
// The not-found page.
std::string DangdangNotFoundPage();
// A JD price reply; a field that is not given is left out.
std::string JdReply(const std::string& sku, const std::optional<std::string>& p,
                    const std::optional<std::string>& m);

// How the bookstores' routes answer.
enum class ReplyMode {
  kNormal,
  kSlow,   // after the delay of SetSlowDelay
  kEmpty,  // an empty 200 reply
  kCut,    // the body stops half-way and the connection is closed
};

// One stock request as the service saw it.
struct StockRequest {
  std::string product_id;
  std::string province_id;
  std::string query;  // as sent
};

class Bookstores {
 public:
  // `centre` (may be null: only products set here exist) and `market` (may
  // be null: item pages count every request as signed in) must outlive this
  // object; this object's end drops the routes' use of them.
  Bookstores(SiteServer& server, SellerCentre* centre, Marketplace* market = nullptr);
  ~Bookstores();
  Bookstores(const Bookstores&) = delete;
  Bookstores& operator=(const Bookstores&) = delete;

  // Host names for the options file's HOSTS keys "DangDang", "DangDangStock"
  // and "JD" ("<name>.localhost:<port>" of this server).
  std::map<std::string, std::string> HostKeys() const;

  void SetProduct(const BookProduct& product);
  // The product is gone from the store: its page is the not-found page.
  void RemoveProduct(const std::string& number);
  // A JD sku of its own: a field without a value is left out of the reply.
  void SetJdPrice(const std::string& sku, std::optional<std::string> p,
                  std::optional<std::string> m);
  // An item page of its own: on the shelf or not.
  void SetItemOnShelf(const std::string& item_id, bool on_shelf);

  // Switches, each for its service. A refused connection is the server's
  // switch (SiteServer::SetRefuse): give the bookstores a server of their
  // own to refuse them alone.
  void SetProductReplies(ReplyMode mode);
  void SetStockReplies(ReplyMode mode);
  void SetJdReplies(ReplyMode mode);
  void SetSlowDelay(std::chrono::milliseconds delay);  // 2 s at start

  std::vector<StockRequest> StockRequests() const;
  int ProductPageRequests() const;
  int JdRequests() const;
  // Item page requests so far, and whether each carried a live session.
  struct ItemVisit {
    std::string id;
    bool signed_in = false;
  };
  std::vector<ItemVisit> ItemVisits() const;
  void ClearRequests();

  struct State;

 private:
  SiteServer& server_;
  std::shared_ptr<State> state_;
};

}  // namespace sites
