#pragma once
// The seller centre's item lists on the local sites, for the item-list
// download: one shop of generated items in GBK pages, read as the real
// seller centre is read.
//
//   GET  https://seller.../auction/merchandise/auction_list.htm?type=1
//        the warehouse list page with the hidden inputs
//        "<input name='_tb_token_' type='hidden' value='...'>" and
//        "<input type=hidden name=\"x_id\" value=\"...\">"
//   POST the same path with type=11 (on sale) or type=1 (warehouse)
//        the goods-manager form: answers by page, startPrice/endPrice,
//        status, searchKeyword and shopCatName with the total
//        "<li>共有N条记录 </li>", N rows per page in the layout of the item
//        set, and "没有找到符合条件的宝贝！" past the last page. An empty body
//        (the counting request) is page 1 of the whole item set. A body whose
//        _tb_token_ is not the page's token gets an error page.
//
//   POST the same paths, the item operations (told apart by their fields):
//        type=11 event_submit_do_delete=1 / event_submit_do_off_shelf=1 with
//        selectedIds: "删除成功：N个" / "下架成功：N个"; type=1 with x_id and
//        event_submit_do_up_shelf_single (singleId) or event_submit_do_up_shelf=1
//        (every selectedIds): "上架成功：N个". N counts the items of the right
//        set that the request named (0 for an unknown item or one in the
//        other set); a delete removes the item, a delisting moves it into the
//        warehouse (status myOff), a listing onto the shelf. A wrong token or
//        x_id gets an error page.
//   POST /auction/merchandise/auction_list.json (the price edit: itemId,
//        newItemPrice, oldtext with "%2E" for ".", _tb_token_) sets the
//        item's price and answers {"success":true,...}, or
//        {"success":false,...} for an unknown item or a wrong token.
//
// Without a live session (Marketplace::IsSignedIn, when a marketplace is
// given) every request, the operations' included, is redirected to the
// marketplace's sign-in form (Marketplace::SignInUrl); without a
// marketplace an expired session gets the sign-in form itself.
//
// Threads: every member may be called from any thread while the server
// runs; the routes hold the state, so requests that arrive after this object
// has gone find the shop empty and the session check dropped.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "tests/sites/marketplace.h"
#include "tests/sites/site_server.h"

namespace sites {

// How one item's row block is spoiled (generated shops with malformed rows).
enum class RowFault {
  kNone,
  kShortCode,  // merchant code of three digits: the row is dropped
  kLongCode,   // twelve digits: kept whole
  kNoPrice,    // no data-price: the row comes with an empty price
  kNoId,       // no item-id input: the row comes with an empty id
  kUpperCase,  // row start in capitals: found all the same
  kNoStart,    // no row start: the item is not seen at all
};

struct ShopItem {
  std::string id;        // Taobao item id, digits
  std::string code;      // merchant code, as the row shows it (faults included)
  std::string price;     // "%.2f"
  bool on_sale = false;  // false: in the warehouse
  std::string status = "myOff";  // warehouse: saleOut, myOff, neverUp or timmingShelf
  std::string title;     // GBK
  std::string category;  // GBK name of the shop category; empty: none
  RowFault fault = RowFault::kNone;
};

struct ShopOptions {
  int count = 100;
  std::uint64_t first_id = 520000000000;  // ids count up from here
  int first_code = 20000000;              // eight-digit merchant codes count up from here
  bool on_sale = false;
  std::string status = "myOff";
  // Every n-th item costs exactly a bound between two price blocks, the 19
  // bounds in turn (0: none).
  int on_bound_every = 0;
  // Every n-th item's row is spoiled, cycling through the faults (0: none).
  int malformed_every = 0;
  std::string category;  // GBK; given to every item
};

// Items spread over the 20 price blocks of the download (item i in block
// i % 20, at a price strictly inside it unless it falls on a bound).
std::vector<ShopItem> GenerateShop(const ShopOptions& options);

// The price bounds the download sends, as numbers: block b (1..20) is
// [kBlockBoundsForTests[b-1], kBlockBoundsForTests[b]], block 20 open above.
extern const double kBlockBoundsForTests[21];

// One list request as the seller centre saw it.
struct ListRequest {
  std::string type;  // "1" or "11"
  std::string body;  // raw, as sent
  std::vector<std::pair<std::string, std::string>> fields;  // in order, values decoded
  bool signed_in = true;
  bool end_text = false;         // answered with "没有找到符合条件的宝贝！"
  bool cut = false;              // the reply was cut off half-way
  std::vector<std::string> ids;  // item ids on the page
  // The decoded value of the first field `name`; empty when missing.
  std::string Field(const std::string& name) const;
  bool Has(const std::string& name) const;
};

// One item-operation form as the seller centre received it.
struct OperationForm {
  std::string method;
  std::string path;      // without the query
  std::string query;     // after "?", as sent
  std::string raw_head;  // request line and header lines, as sent
  std::string body;      // the body's bytes, as sent
  std::vector<std::pair<std::string, std::string>> fields;  // in order, values decoded
  bool signed_in = true;
  std::string Field(const std::string& name) const;
  // Every value of the fields called `name`, in order.
  std::vector<std::string> Values(const std::string& name) const;
};

// How the item operations answer (the shop stays unchanged but for kNormal).
enum class OperationFault {
  kNormal,
  kNoSuccessText,  // a page of the seller centre without any success text
  kStatus500,      // status 500 with an error page
  kEmptyBody,      // status 200 and an empty body, as a lost sign-in answers
  kCut,            // the connection closes after the header, before the body
  kStall,          // no answer for a minute: the client times out first
  kSignInRedirect, // redirected to the sign-in form, as for an ended session
  kRefused,        // a price edit answers { "success" : false, "msg" : "invalid price" },
                   // another operation the error page
  // Price edits that do not say success, each other operation the error page:
  kSuccessZero,    // {"success":0,"msg":"..."}
  kCutJson,        // a whole HTTP answer whose JSON stops short: {"success":
  kGbkRefusal,     // in GBK (charset=GBK), success false after a message whose
                   // last character's second byte is 0x5C
};

class SellerCentre {
 public:
  // `market` (may be null: every request counts as signed in) must outlive
  // this object; this object's end drops the routes' use of it.
  SellerCentre(SiteServer& server, Marketplace* market);
  ~SellerCentre();
  SellerCentre(const SellerCentre&) = delete;
  SellerCentre& operator=(const SellerCentre&) = delete;

  void SetItems(std::vector<ShopItem> items);
  void AddItems(const std::vector<ShopItem>& items);
  std::vector<ShopItem> Items() const;
  // The first item with this merchant code, or this id (without copying the shop).
  std::optional<ShopItem> ItemWithCode(const std::string& code) const;
  std::optional<ShopItem> ItemWithId(const std::string& id) const;
  void SetRowsPerPage(int rows);  // 20 at start

  std::string Token() const;
  std::string XId() const;
  // Whether the warehouse page carries the hidden token and x_id inputs.
  void SetHiddenInputs(bool token, bool x_id);

  // Switches.
  // After this many further list pages (POSTs with a body), the session
  // ends: the marketplace's sessions expire and every later page is the
  // sign-in page. Negative: never.
  void ExpireSessionAfterListPages(int pages);
  // Every list POST with a body waits this long before it answers.
  void SetListDelay(std::chrono::milliseconds delay);
  // Every n-th list POST with a body is cut off half-way (0: none).
  void CutEveryNthListPage(int n);

  // Item operations. The fault and the delay act on every operation POST
  // (the price edit included); a reply text set here answers every
  // operation in place of its own (empty: the operation's own reply), the
  // shop unchanged.
  void SetOperationFault(OperationFault fault);
  // The next `times` price edits answer with `fault`, the later ones and the
  // other operations as before.
  void FailNextPriceEdits(OperationFault fault, int times);
  void SetOperationDelay(std::chrono::milliseconds delay);
  void SetOperationReply(const std::string& body);
  // While held, every operation POST, once carried out, waits with its reply.
  void HoldOperations(bool held);
  // A delisting of `item_id` leaves it on sale and counts it not
  // ("下架成功：0个"); its other operations go on as usual.
  void RefuseDelisting(const std::string& item_id);
  std::vector<OperationForm> OperationForms() const;
  void ClearOperationForms();
  // Operation POSTs being answered right now, and the most at once since
  // the last reset.
  int OperationsInFlight() const;
  int MaxOperationsInFlight() const;
  void ResetMaxOperationsInFlight();

  std::vector<ListRequest> ListRequests() const;
  void ClearListRequests();
  // Item ids of the pages whose replies were cut off.
  std::vector<std::string> CutItemIds() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The upload host's seller page as a live session shows it ("卖家中心"), for
// a seller centre without a marketplace: the program's sign-in check and the
// price edits read it.
void RouteLiveSellerPage(SiteServer& server);

// Decodes a url-encoded form body (percent escapes and "+"), keeping the
// field order; a bare key has an empty value.
std::vector<std::pair<std::string, std::string>> ParseFormBody(const std::string& body);

}  // namespace sites
