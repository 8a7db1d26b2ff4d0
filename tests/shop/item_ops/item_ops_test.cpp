// The item operations against the local seller centre: the forms they send,
// how they judge the replies, what they do to the shop, the throttle of
// group listing measured on the site, and many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "shop/item_ops.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using sites::OperationFault;
using sites::OperationForm;
using sites::ShopItem;

std::string U(std::string_view gbk) { return GbkToUtf8(gbk); }

ShopItem Item(const std::string& id, bool on_sale, const std::string& price = "20.00") {
  ShopItem item;
  item.id = id;
  item.code = "2000" + id.substr(id.size() - 4);
  item.price = price;
  item.on_sale = on_sale;
  item.title = "图书";
  return item;
}

// A group's item part as the batch listing builds it.
CString GroupPart(const std::vector<std::string>& ids) {
  CString part;
  for (int slot = 0; slot < 20; ++slot) {
    const std::string id = slot < static_cast<int>(ids.size()) ? ids[slot] : std::string();
    part += ("&selectedIds=" + id + "&goods_num:" + id + "=300&stuff_status:" + id +
             "=5&autoEnd:" + id + "=true&prepayCat:" + id + "=true")
                .c_str();
  }
  return part;
}

std::vector<std::string> Ids(int first, int count) {
  std::vector<std::string> ids;
  for (int i = 0; i < count; ++i) ids.push_back(std::to_string(530000000000LL + first + i));
  return ids;
}

class ItemOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
    g_CookieBuffer[0] = '\0';
    server_ = std::make_unique<sites::SiteServer>();
    // No marketplace: every request counts as signed in.
    centre_ = std::make_unique<sites::SellerCentre>(*server_, nullptr);
    folder_ = std::make_unique<sites::TestProgramFolder>();
    sites::WriteHostsIni(*folder_, *server_);
    token_ = centre_->Token().c_str();
    g_TbToken = token_;
    g_XId = CString(centre_->XId().c_str());
    g_UpShelfWaitEdit = &wait_edit_;
  }

  void TearDown() override {
    g_UpShelfWaitEdit = nullptr;
    g_TbToken = "";
    g_XId = "";
    centre_.reset();
    server_.reset();
    folder_.reset();
    ReloadHosts();
  }

  bool InShop(const std::string& id, bool on_sale) const {
    for (const ShopItem& item : centre_->Items()) {
      if (item.id == id) return item.on_sale == on_sale;
    }
    return false;
  }
  bool Gone(const std::string& id) const {
    for (const ShopItem& item : centre_->Items()) {
      if (item.id == id) return false;
    }
    return true;
  }
  OperationForm LastForm() const {
    auto forms = centre_->OperationForms();
    return forms.empty() ? OperationForm() : forms.back();
  }

  // Runs `count` calls of `call` on threads of their own, each started
  // `stagger` after the one before; waits for all of them.
  static void RunConcurrently(int count, const std::function<void(int)>& call,
                              std::chrono::milliseconds stagger = 0ms) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
      threads.emplace_back(call, i);
      if (stagger.count() > 0) std::this_thread::sleep_for(stagger);
    }
    for (auto& thread : threads) thread.join();
  }

  std::unique_ptr<sites::SiteServer> server_;
  std::unique_ptr<sites::SellerCentre> centre_;
  std::unique_ptr<sites::TestProgramFolder> folder_;
  CEdit wait_edit_;  // stands in for the item page's "上架不了填数字：4000"
  CString token_;
};

// The forms, byte for byte, and what each operation does to the shop.
TEST_F(ItemOpsTest, FormsAndTheirEffectOnTheShop) {
  const std::vector<std::string> group = Ids(100, 20);
  std::vector<ShopItem> items = {Item("530000000001", true), Item("530000000002", true),
                                 Item("530000000003", false)};
  for (const std::string& id : group) items.push_back(Item(id, false));
  centre_->SetItems(items);
  const std::string token = token_.str();
  const std::string x_id = centre_->XId();

  EXPECT_TRUE(DeleteTbItem("530000000001", token_));
  EXPECT_TRUE(Gone("530000000001"));
  OperationForm form = LastForm();
  EXPECT_EQ(form.method, "POST");
  EXPECT_EQ(form.path, "/auction/merchandise/auction_list.htm");
  EXPECT_EQ(form.query, "type=11");
  EXPECT_EQ(form.body, "_tb_token_=" + token +
                           "&pageName=goodsOnSale&action=goodsmanager/GoodsManageAction"
                           "&event_submit_do_delete=1&selectedIds=530000000001");
  EXPECT_NE(form.raw_head.find("Content-Type:\tapplication/x-www-form-urlencoded\r\n"),
            std::string::npos);

  EXPECT_TRUE(OffShelfTbItem("530000000002", token_));
  EXPECT_TRUE(InShop("530000000002", false));
  form = LastForm();
  EXPECT_EQ(form.query, "type=11");
  EXPECT_EQ(form.body, "_tb_token_=" + token +
                           "&pageName=goodsOnSale&action=goodsmanager/GoodsManageAction"
                           "&event_submit_do_off_shelf=1&selectedIds=530000000002");

  server_->ClearRequests();
  EXPECT_TRUE(UpShelfTbItem("530000000003", token_));
  EXPECT_TRUE(InShop("530000000003", true));
  form = LastForm();
  EXPECT_EQ(form.query, "type=1");
  EXPECT_EQ(form.body, "_tb_token_=" + token +
                           "&pageName=goodsInStock&action=goodsmanager/GoodsManageAction&x_id=" +
                           x_id +
                           "&status=inStock&isarchive=false&singleId=530000000003"
                           "&singleIdNum=30&event_submit_do_up_shelf_single=上架");
  // One fresh GET of the warehouse page before the POST.
  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].query, "type=1");
  EXPECT_EQ(requests[1].method, "POST");

  EXPECT_TRUE(UpShelfTbItems(GroupPart(group), token_));
  for (const std::string& id : group) EXPECT_TRUE(InShop(id, true)) << id;
  form = LastForm();
  EXPECT_EQ(form.query, "type=1");
  EXPECT_EQ(form.body, "_tb_token_=" + token +
                           "&pageName=goodsInStock&action=goodsmanager/GoodsManageAction&x_id=" +
                           x_id + "&status=inStock&isarchive=false&event_submit_do_up_shelf=1" +
                           GroupPart(group).str());

  CString reply;
  EditTbItemPrice("530000000002", "12.50", "9.9", token_, reply);
  form = LastForm();
  EXPECT_EQ(form.path, "/auction/merchandise/auction_list.json");
  EXPECT_EQ(form.query,
            "_input_charset=utf-8&_output_charset=utf-8"
            "&action=goodsmanager/GoodsPriceEditAction&event_submit_do_edit_item=1");
  EXPECT_EQ(form.body, "oldtext=12%2E50&newItemPrice=9%2E9&itemId=530000000002&_tb_token_=" +
                           token + "&type=c");
  EXPECT_NE(reply.Find("\"success\":true"), -1) << reply.str();
  for (const ShopItem& item : centre_->Items()) {
    if (item.id == "530000000002") {
      EXPECT_EQ(item.price, "9.90");
    }
  }
  // A price without a point goes out unchanged.
  EditTbItemPrice("530000000002", "35", "36", token_, reply);
  EXPECT_EQ(LastForm().body.substr(0, 26), "oldtext=35&newItemPrice=36");

  // Once done, each is refused: the item is gone or in the other set.
  EXPECT_FALSE(DeleteTbItem("530000000001", token_));
  EXPECT_FALSE(OffShelfTbItem("530000000002", token_));
  EXPECT_FALSE(UpShelfTbItem("530000000003", token_));
  EXPECT_FALSE(UpShelfTbItems(GroupPart(group), token_));
  EXPECT_FALSE(DeleteTbItem("530000000002", token_));  // in the warehouse now
  EditTbItemPrice("530000000001", "20.00", "21.00", token_, reply);
  EXPECT_NE(reply.Find("\"success\":false"), -1) << reply.str();
}

// Success is judged by the reply's text alone (full-width colons); a price
// edit by its JSON answer's top-level "success", as its bytes came.
TEST_F(ItemOpsTest, RepliesJudgedByTheirSuccessText) {
  enum Op { kDelete, kOff, kUp, kGroup, kPrice };
  struct Case {
    Op op;
    std::string_view reply;  // may hold zero bytes
    bool expected;
  };
  const Case cases[] = {
      {kDelete, "删除成功：1个", true},
      {kDelete, "删除成功：0个<br>删除成功：1个", false},
      {kDelete, "删除成功：10个", false},
      {kDelete, "删除成功:1个", false},  // ASCII colon
      {kOff, "下架成功：1个", true},
      {kOff, "下架成功：0个，下架成功：1个，出错了", true},
      {kOff, "下架成功：10个", false},
      {kUp, "上架成功：1个", true},
      {kUp, "上架成功：0个 上架成功：1个", false},
      {kGroup, "上架成功：20个", true},
      {kGroup, "上架成功：19个", false},
      {kGroup, "上架成功：0个 上架成功：20个", false},
      {kGroup, "上架成功：1个", false},
      {kPrice, "\r\n { \"success\" :\tfalse , \"msg\":\"invalid price\"}", false},
      {kPrice, "{\"success\":\"False\"", false},  // a string, cut short
      {kPrice, "{\"data\":{\"success\":false},\"success\":true}", true},  // nested: not it
      {kPrice, "{\"msg\":\"\\\"success\\\":false\"}", true},  // in a string: cannot be judged
      {kPrice, "<html><p>系统繁忙，请稍后再试。</p></html>", false},
      {kPrice, "{\"success\":0}", false},
      {kPrice, "{\"success\":\"0\"}", false},
      {kPrice, "{\"success\":null}", false},
      {kPrice, "{\"success\":\"ok\"}", false},
      {kPrice, "{\"success\":[true]}", false},
      {kPrice, "{\"success\":{\"success\":true}}", false},
      {kPrice, "{\"Success\":false}", false},
      {kPrice, "{\"success\":true,\"SUCCESS\":false}", false},  // every one must say true
      {kPrice, "{\"success\":false,\"success\":true}", false},
      {kPrice, "{\"success\":fal", false},
      {kPrice, "{\"success\":", false},
      {kPrice, "{\"success\":true}{}", false},
      {kPrice, "[{\"success\":true}]", false},
      {kPrice, "{\"succ\\u0065ss\":false}", false},
      // GBK: "運" is DF 5C, its second byte a backslash to a byte scanner.
      {kPrice, "{\"msg\":\"价格不能低于成本運\",\"success\":false}", false},
      {kPrice, "{\"success\":true,\"msg\":\"价格已改为運\"}", true},
      {kPrice, "\xEF\xBB\xBF{\"success\":true,\"msg\":\"价格已改\"}", true},  // mark, then GBK
      {kPrice, "\xEF\xBB\xBF\xEF\xBB\xBF{\"success\":true}", false},  // one mark only
      {kPrice, "\xEF\xBB\xBF \xEF\xBB\xBF{\"success\":true}", false},
      // A zero byte is no end of the answer.
      {kPrice, "{\"success\":true}\0{\"success\":false}"sv, false},
      {kPrice, "{\"success\":true}\0<html><p>系统繁忙，请稍后再试。</p></html>"sv, false},
      {kPrice, "{\"success\":true}\0"sv, false},
      {kPrice, "{\"success\":\"TRUE\"}", false},
      {kPrice, "{\"success\":\" true \"}", false},
      {kPrice, "{\"success\":\"untrue\"}", false},
      {kPrice, "\xEF\xBB\xBF{\"success\":true}", true},
      {kPrice, " \xEF\xBB\xBF\r\n{\"msg\":\"\xE6\x94\xB9\"}\n", true},  // UTF-8, no success
      {kPrice, "{\"SUCCESS\":\"true\",\"data\":[false]}", true},
  };
  for (const Case& c : cases) {
    centre_->SetOperationReply(std::string(c.reply));
    bool result = false;
    switch (c.op) {
      case kDelete: result = DeleteTbItem("1", token_); break;
      case kOff: result = OffShelfTbItem("1", token_); break;
      case kUp: result = UpShelfTbItem("1", token_); break;
      case kGroup: result = UpShelfTbItems(GroupPart(Ids(0, 20)), token_); break;
      case kPrice: {
        CString reply;
        std::string answer;
        EditTbItemPrice("1", "20.00", "21.00", token_, reply, &answer);
        result = JsonAnswerSucceeded(answer);
        break;
      }
    }
    EXPECT_EQ(result, c.expected) << "operation " << c.op << ", reply " << U(c.reply);
  }
}

// A refused or lost request shows only in the reply: false, or the reply
// text handed over; the shop stays as it was.
TEST_F(ItemOpsTest, FailedRequestsGiveFalseAndLeaveTheShop) {
  const std::vector<std::string> group = Ids(0, 20);
  std::vector<ShopItem> items = {Item("530000000901", true), Item("530000000902", false)};
  for (const std::string& id : group) items.push_back(Item(id, false));
  struct Case {
    OperationFault fault;
    bool reply_empty;
  };
  for (const Case& c : {Case{OperationFault::kNoSuccessText, false},
                        Case{OperationFault::kStatus500, true},
                        Case{OperationFault::kEmptyBody, true}}) {
    centre_->SetItems(items);
    centre_->SetOperationFault(c.fault);
    const int fault = static_cast<int>(c.fault);
    EXPECT_FALSE(DeleteTbItem("530000000901", token_)) << fault;
    EXPECT_FALSE(OffShelfTbItem("530000000901", token_)) << fault;
    EXPECT_FALSE(UpShelfTbItem("530000000902", token_)) << fault;
    EXPECT_FALSE(UpShelfTbItems(GroupPart(group), token_)) << fault;
    CString reply = "untouched";
    EditTbItemPrice("530000000901", "20.00", "18.00", token_, reply);
    EXPECT_EQ(reply.IsEmpty(), c.reply_empty) << fault << " " << U(reply.str());
    EXPECT_TRUE(InShop("530000000901", true));
    EXPECT_TRUE(InShop("530000000902", false));
    EXPECT_EQ(centre_->Items()[0].price, "20.00");
  }

  // A wrong token, an x_id of no warehouse search, and a seller centre that
  // cannot be reached.
  centre_->SetOperationFault(OperationFault::kNormal);
  EXPECT_FALSE(DeleteTbItem("530000000901", "tk-of-another-session"));
  g_XId = "";
  EXPECT_FALSE(UpShelfTbItems(GroupPart(group), token_));
  EXPECT_TRUE(InShop("530000000901", true));
  EXPECT_TRUE(InShop(group[0], false));
  server_->SetRefuse(true);
  EXPECT_FALSE(DeleteTbItem("530000000901", token_));
  CString reply;
  EditTbItemPrice("530000000901", "20.00", "18.00", token_, reply);
  EXPECT_EQ(reply.Left(10), "dwError = ");
  // The preliminary page GET lets the internet failure through; no POST.
  const size_t posts = centre_->OperationForms().size();
  EXPECT_ANY_THROW(UpShelfTbItem("530000000902", token_));
  EXPECT_EQ(centre_->OperationForms().size(), posts);
  server_->SetRefuse(false);
}

// An item id goes into the form as it stands, unescaped.
TEST_F(ItemOpsTest, ItemIdGoesOutUnescaped) {
  const CString id = "52&x=1 2%";
  DeleteTbItem(id, token_);
  EXPECT_EQ(LastForm().body.substr(LastForm().body.size() - 22), "&selectedIds=52&x=1 2%");
  CString reply;
  EditTbItemPrice(id, "1", "2", token_, reply);
  EXPECT_NE(LastForm().body.find("&itemId=52&x=1 2%&"), std::string::npos);
}

// The throttle of group listing, seen as the seller centre's count of
// operation posts in flight at once.
TEST_F(ItemOpsTest, GroupListingThrottle) {
  const CString part = GroupPart(Ids(0, 20));

  // The site's answer times leave a loaded machine room to start every
  // thread and connect while the earlier posts are still being answered.

  // Empty edit: every call posts at once.
  wait_edit_.SetWindowText("");
  centre_->SetOperationDelay(3000ms);
  centre_->ResetMaxOperationsInFlight();
  RunConcurrently(50, [&](int) { UpShelfTbItems(part, token_); });
  EXPECT_GE(centre_->MaxOperationsInFlight(), 40);
  EXPECT_EQ(centre_->OperationForms().size(), 50u);

  // A wait longer than ten answers and a site answering in 100 ms: one at a
  // time, every call posts.
  wait_edit_.SetWindowText("60000");
  centre_->SetOperationDelay(100ms);
  centre_->ClearOperationForms();
  centre_->ResetMaxOperationsInFlight();
  RunConcurrently(10, [&](int) { UpShelfTbItems(part, token_); });
  EXPECT_EQ(centre_->MaxOperationsInFlight(), 1);
  EXPECT_EQ(centre_->OperationForms().size(), 10u);

  // A site slower than the wait: the second call's wait runs out and it
  // posts alongside the holder.
  wait_edit_.SetWindowText("150");
  centre_->SetOperationDelay(2000ms);
  centre_->ResetMaxOperationsInFlight();
  RunConcurrently(2, [&](int) { UpShelfTbItems(part, token_); }, 50ms);
  EXPECT_EQ(centre_->MaxOperationsInFlight(), 2);

  // A text that starts with no digit waits 0 ms: the lock only when free.
  wait_edit_.SetWindowText("abc");
  centre_->SetOperationDelay(2000ms);
  centre_->ResetMaxOperationsInFlight();
  RunConcurrently(3, [&](int) { UpShelfTbItems(part, token_); }, 20ms);
  EXPECT_EQ(centre_->MaxOperationsInFlight(), 3);

  // The lock is let go after the request, also after an empty reply.
  wait_edit_.SetWindowText("4000");
  centre_->SetOperationDelay(0ms);
  centre_->SetOperationFault(OperationFault::kEmptyBody);
  EXPECT_FALSE(UpShelfTbItems(part, token_));
  bool free_after = false;
  std::thread([&] {
    free_after = g_WorkMutex.Lock(0);
    if (free_after) g_WorkMutex.Unlock();
  }).join();
  EXPECT_TRUE(free_after);
}

// Twenty threads call the single-item operations at once while the user-
// interface thread rewrites the token and x_id (the same values, as a new
// search of the same session reads them).
TEST_F(ItemOpsTest, TwentyThreadsAtOnce) {
  constexpr int kThreads = 20;
  constexpr int kPerThread = 3;
  std::vector<ShopItem> items;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string base = std::to_string(540000000000LL + t * 100 + i * 10);
      items.push_back(Item(base + "1", true));   // deleted
      items.push_back(Item(base + "2", true));   // delisted
      items.push_back(Item(base + "3", false));  // listed
      items.push_back(Item(base + "4", true));   // new price
    }
  }
  centre_->SetItems(items);
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::thread rewriter([&] {
    const CString x_id = centre_->XId().c_str();
    while (!done) {
      g_TbToken = token_;
      g_XId = x_id;
      std::this_thread::yield();
    }
  });
  RunConcurrently(kThreads, [&](int t) {
    for (int i = 0; i < kPerThread; ++i) {
      const std::string base = std::to_string(540000000000LL + t * 100 + i * 10);
      if (!DeleteTbItem((base + "1").c_str(), g_TbToken)) ++failures;
      if (!OffShelfTbItem((base + "2").c_str(), g_TbToken)) ++failures;
      if (!UpShelfTbItem((base + "3").c_str(), g_TbToken)) ++failures;
      CString reply;
      EditTbItemPrice((base + "4").c_str(), "20.00", "19.5", g_TbToken, reply);
      if (reply.Find("\"success\":true") < 0) ++failures;
    }
  });
  done = true;
  rewriter.join();
  EXPECT_EQ(failures.load(), 0);
  int deleted = 0, delisted = 0, listed = 0, repriced = 0;
  const auto now = centre_->Items();
  for (const ShopItem& item : now) {
    const char kind = item.id.back();
    delisted += kind == '2' && !item.on_sale;
    listed += kind == '3' && item.on_sale;
    repriced += kind == '4' && item.price == "19.50";
  }
  deleted = static_cast<int>(items.size() - now.size());
  EXPECT_EQ(deleted, kThreads * kPerThread);
  EXPECT_EQ(delisted, kThreads * kPerThread);
  EXPECT_EQ(listed, kThreads * kPerThread);
  EXPECT_EQ(repriced, kThreads * kPerThread);
}

}  // namespace
