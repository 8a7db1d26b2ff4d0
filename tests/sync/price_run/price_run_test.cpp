// Price runs ("更新价格") of the sync page against the local marketplace and
// bookstores, headless: the whole road from sign-in and download through the
// edits, Stop, the save and a re-load; and the runs' edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/internet.h"
#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/internal.h"
#include "services/globals.h"
#include "sync/price_sync.h"
#include "sync/sync_run.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;
using sites::Cents;
using sites::PriceText;

// "." as the price edit sends it.
std::string Escaped(std::string price) {
  for (size_t at = price.find('.'); at != std::string::npos; at = price.find('.', at))
    price.replace(at, 1, "%2E");
  return price;
}

std::vector<sites::ShopItem> OnSaleShop(int count, int on_bound_every = 0) {
  sites::ShopOptions options;
  options.count = count;
  options.on_sale = true;
  options.on_bound_every = on_bound_every;
  return sites::GenerateShop(options);
}

class PriceRunTest : public support::SyncFixture {
 protected:
  // Gives item i the sale price `sale_cents` at the bookstore; returns the
  // new price the run computes ("10" 折, no markup: the sale price, at
  // least 5.00), or "" when the shop price stays.
  std::string Price(const sites::ShopItem& item, long sale_cents) {
    SetSalePrice(item, PriceText(sale_cents));
    const std::string fresh = PriceText(std::max(sale_cents, 500L));
    return fresh == item.price ? "" : fresh;
  }
  void Start() { tongbu_->m_StartButton.UserClick(); }
  void Stop() { tongbu_->m_StopButton.UserClick(); }
  // The producers have ended and `edited` result rows are ticked.
  bool WaitEdited(size_t edited) {
    return PumpUntil([&] {
      if (g_LiveProducers.load() != 0) return false;
      size_t ticked = 0;
      for (const auto& row : Results()) ticked += row.ticked ? 1 : 0;
      return ticked == edited;
    });
  }
  int ShopTicks() const {
    int ticks = 0;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ticks += taobao_->m_ItemList.GetCheck(i) ? 1 : 0;
    return ticks;
  }
};

TEST_F(PriceRunTest, TwoThousandItemsOnFifteenProducers) {
  // 39 items on the bounds two price blocks share, in every kind of case
  // below: the pages of both blocks carry them, the run edits them once.
  const std::vector<sites::ShopItem> items = OnSaleShop(2000, 51);
  std::map<std::string, std::string> fresh;  // id -> new price, for the items that change
  std::map<std::string, std::string> old;    // id -> shop price
  std::set<std::string> vanished;
  for (size_t i = 0; i < items.size(); ++i) {
    const sites::ShopItem& item = items[i];
    old[item.id] = item.price;
    std::string price;
    switch (i % 5) {
      case 0: price = Price(item, Cents(item.price)); break;
      case 1: price = Price(item, Cents(item.price) + 100); break;
      case 2: price = Price(item, 310); break;
      case 3: price = Price(item, Cents(item.price) + 50); break;
      case 4:
        books_->RemoveProduct(item.code);
        vanished.insert(item.id);
        break;
    }
    if (!price.empty()) fresh[item.id] = price;
  }
  ASSERT_TRUE(Download(items));
  ASSERT_EQ(taobao_->m_ItemList.GetItemCount(), 2000);
  ASSERT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());
  AddAllProductsRule("10", "0");
  centre_->ClearOperationForms();

  Start();
  EXPECT_FALSE(tongbu_->m_StartButton.IsWindowEnabled());
  ASSERT_TRUE(WaitEdited(fresh.size()));
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 0) << "a run with results waits for Stop";
  Stop();
  ASSERT_TRUE(WaitSyncDone());
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 1);
  EXPECT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());

  // The result list holds exactly the items whose price differs, each edited.
  const auto results = Results();
  ASSERT_EQ(results.size(), fresh.size());
  std::set<std::string> listed;
  for (size_t r = 0; r < results.size(); ++r) {
    const auto& cells = results[r].cells;
    SCOPED_TRACE(cells[1]);
    listed.insert(cells[1]);
    EXPECT_EQ(cells[0], std::to_string(r));
    ASSERT_EQ(fresh.count(cells[1]), 1u);
    EXPECT_EQ(cells[3], old[cells[1]]);
    EXPECT_EQ(cells[4], fresh[cells[1]]);
    EXPECT_EQ(cells[5], "");
    EXPECT_EQ(cells[6], "{\"success\":true,\"itemId\":\"" + cells[1] + "\",\"price\":\"" +
                            fresh[cells[1]] + "\"}");
    EXPECT_TRUE(results[r].ticked);
  }
  EXPECT_EQ(listed.size(), fresh.size());

  // Each edit reached the seller centre once, with its body.
  std::map<std::string, int> edits;
  for (const auto& form : PriceEdits()) {
    const std::string id = form.Field("itemId");
    ++edits[id];
    EXPECT_EQ(form.query,
              "_input_charset=utf-8&_output_charset=utf-8&action=goodsmanager/GoodsPriceEditAction"
              "&event_submit_do_edit_item=1");
    EXPECT_EQ(form.body, "oldtext=" + Escaped(old[id]) + "&newItemPrice=" + Escaped(fresh[id]) +
                             "&itemId=" + id + "&_tb_token_=" + centre_->Token() + "&type=c");
  }
  EXPECT_EQ(edits.size(), fresh.size());
  for (const auto& [id, times] : edits) EXPECT_EQ(times, 1) << id;

  // The vanished books were deleted in the shop; their rows stay unticked.
  std::set<std::string> deleted;
  for (const auto& form : Deletes()) deleted.insert(form.Field("selectedIds"));
  EXPECT_EQ(deleted, vanished);
  EXPECT_EQ(Deletes().size(), vanished.size());
  for (const auto& item : centre_->Items()) EXPECT_EQ(vanished.count(item.id), 0u) << item.id;
  const CListCtrl& shop = taobao_->m_ItemList;
  for (int i = 0; i < shop.GetItemCount(); ++i) {
    EXPECT_EQ(shop.GetCheck(i) != 0, vanished.count(shop.GetItemText(i, 1).str()) == 0) << i;
  }

  // The account's database: the new prices, marked, for the edited items only.
  const auto stored = DbRows();
  ASSERT_EQ(stored.size(), 2000u);
  for (const auto& row : stored) {
    SCOPED_TRACE(row.tb_id);
    const bool changed = fresh.count(row.tb_id) == 1;
    EXPECT_EQ(row.price, changed ? fresh[row.tb_id] : old[row.tb_id]);
    EXPECT_EQ(row.is_update, changed ? "1" : "0");
  }

  // A re-load of the items no sync has updated leaves the edited ones out.
  taobao_->m_ItemList.DeleteAllItems();
  ui::headless::ScriptMessageBoxAnswers({IDOK});
  taobao_->OnImportNotUpdated();
  std::set<std::string> reloaded;
  for (int i = 0; i < shop.GetItemCount(); ++i) reloaded.insert(shop.GetItemText(i, 1).str());
  EXPECT_EQ(reloaded.size(), 2000u - fresh.size());
  for (const auto& [id, price] : fresh) EXPECT_EQ(reloaded.count(id), 0u) << id;
}

TEST_F(PriceRunTest, RunsThatEndByThemselves) {
  struct Case {
    const char* name;
    int items;            // -1: no list downloaded at all
    bool prices_differ;
    const char* store;
    const char* markup = "0";  // of the one condition, 10 折
  };
  const Case cases[] = {
      {"empty shop list", -1, false, "当当网"},
      {"no price differs", 30, false, "当当网"},
      // Prices of 100,000.00 and more are never sent.
      {"condition pricing beyond the limit", 30, true, "当当网", "99999999"},
      {"condition pricing beyond a float's cents", 30, true, "当当网",
       "1000000000000000000000000000000"},
  };
  AddAllProductsRule("10", "0");
  int done = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.items < 0) {
      tongbu_->m_StartButton.EnableWindow(TRUE);
    } else {
      taobao_->m_ItemList.DeleteAllItems();
      auto items = OnSaleShop(c.items);
      for (auto& item : items) {
        item.price = PriceText(std::max(Cents(item.price), 500L));  // above the floor
        SetSalePrice(item, c.prices_differ ? "88.88" : item.price);
      }
      ASSERT_TRUE(Download(items));
    }
    tongbu_->m_SiteCombo.SelectString(-1, c.store);
    pricing_->m_RuleList.SetItemText(0, 4, c.markup);
    books_->ClearRequests();
    centre_->ClearOperationForms();
    Start();
    ASSERT_TRUE(WaitSyncDone(done));
    ++done;
    EXPECT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());
    EXPECT_TRUE(Results().empty());
    EXPECT_TRUE(PriceEdits().empty());
    EXPECT_EQ(ShopTicks(), std::max(c.items, 0)) << "every shop row processed";
  }
}

TEST_F(PriceRunTest, CutOrEmptyBookstorePagesDeleteNothingAndEveryRowIsProcessed) {
  auto items = OnSaleShop(40);
  for (auto& item : items) SetSalePrice(item, PriceText(Cents(item.price) + 300));
  ASSERT_TRUE(Download(items));
  AddAllProductsRule("10", "0");
  int done = 0;
  for (const sites::ReplyMode mode : {sites::ReplyMode::kEmpty, sites::ReplyMode::kCut}) {
    SCOPED_TRACE(mode == sites::ReplyMode::kEmpty ? "empty" : "cut");
    books_->SetProductReplies(mode);
    centre_->ClearOperationForms();
    Start();
    // A page that holds no price gives no row; a cut one may still hold it.
    ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0; }));
    ASSERT_TRUE(WaitEdited(Results().size()));
    if (mode == sites::ReplyMode::kEmpty) {
      ASSERT_TRUE(WaitSyncDone(done)) << "no result row: the run ends by itself";
      EXPECT_TRUE(Results().empty());
    } else {
      Stop();
      ASSERT_TRUE(WaitSyncDone(done));
    }
    ++done;
    EXPECT_TRUE(Deletes().empty());
    EXPECT_EQ(ShopTicks(), 40);
    EXPECT_EQ(PriceEdits().size(), Results().size());
    EXPECT_EQ(centre_->Items().size(), 40u);
  }
}

TEST_F(PriceRunTest, MoreProducersThanRowsClaimEachRowOnce) {
  const auto items = OnSaleShop(3);
  for (const auto& item : items) Price(item, Cents(item.price) + 1);
  ASSERT_TRUE(Download(items));
  AddAllProductsRule("10", "0");
  books_->ClearRequests();
  Start();
  ASSERT_TRUE(WaitEdited(3));
  EXPECT_EQ(books_->ProductPageRequests(), 3);
  // "已分析 3 个，需更新 3 个", as many as were analysed and listed.
  EXPECT_EQ(tongbu_->m_AnalysedEdit.GetWindowText(), "3");
  EXPECT_EQ(tongbu_->m_NeedUpdateEdit.GetWindowText(), "3");
  Stop();
  ASSERT_TRUE(WaitSyncDone());
  EXPECT_EQ(PriceEdits().size(), 3u);
}

TEST_F(PriceRunTest, EditsWaitForTheSignInAndResumeAfterALostOneWithTheNextRow) {
  const auto items = OnSaleShop(12);
  for (const auto& item : items) Price(item, Cents(item.price) + 200);
  ASSERT_TRUE(Download(items));
  AddAllProductsRule("10", "0");
  centre_->ClearOperationForms();

  // Not signed in at the start: the list fills, nothing is edited.
  g_LoggedIn = 0;
  Start();
  ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0 && Results().size() == 12; }));
  PumpUntil([] { return false; }, 200ms);
  EXPECT_TRUE(PriceEdits().empty());

  // Signed in, the first edit finds the session gone (an empty reply).
  centre_->SetOperationFault(sites::OperationFault::kEmptyBody);
  g_LoggedIn = 1;
  ASSERT_TRUE(PumpUntil([] { return g_LoggedIn.load() == 0; }));
  EXPECT_EQ(ui::GetStatusText(), "VorlupTovrane----淘宝账户状态：登陆失效，请重新登录");
  EXPECT_EQ(taobao_->GetWindowText(), "VorlupTovrane----淘宝账户状态：登陆失效，请重新登录");
  PumpUntil([] { return false; }, 200ms);
  ASSERT_EQ(PriceEdits().size(), 1u) << "no edit while signed out";

  // A new sign-in: the edits go on with the next row; the failed one stays.
  centre_->SetOperationFault(sites::OperationFault::kNormal);
  SignIn();
  ASSERT_TRUE(WaitEdited(11));
  const auto results = Results();
  EXPECT_FALSE(results[0].ticked);
  EXPECT_EQ(results[0].cells[6], "登陆失效，请重新登录") << "the reason the end box points at";
  std::map<std::string, int> edits;
  for (const auto& form : PriceEdits()) ++edits[form.Field("itemId")];
  EXPECT_EQ(edits.size(), 12u);
  for (const auto& [id, times] : edits) EXPECT_EQ(times, 1) << id;
  Stop();
  ASSERT_TRUE(WaitSyncDone(0, "全部同步 完毕！\n1 个宝贝的价格未能修改，原因见“操作动作”列。"));
  // Only the edited rows are stored as updated.
  int updated = 0;
  for (const auto& row : DbRows()) updated += row.is_update == "1";
  EXPECT_EQ(updated, 11);
}

// Price edits that fail: the connection cut, no answer in time, the shop
// refusing the edit (success false or 0, a GBK refusal), a JSON answer cut
// short, a seller-centre page in place of the JSON answer, or the seller
// centre sending the request to the sign-in page. The failed rows stay
// unticked and nothing of them is saved; a failure shows its reply and the
// consumer goes on, the sign-in page stops the edits until a new sign-in.
// Success alone is ticked and saved, and only in its own run: a reply that
// comes after Stop and a new start leaves the new list alone. The same for
// the price run and the price-and-stock run; the price run's end box counts
// its edits that failed.
TEST_F(PriceRunTest, FailedPriceEditsAreNeitherTickedNorSaved) {
  using sites::OperationFault;
  struct Case {
    std::string name;
    int type;  // 0 "更新价格", 2 "更新库存和价格"
    OperationFault fault;
    int failing;        // the first edits that fail
    const char* shown;  // in column 6 of a failed row (the sign-in page: none)
    bool stale = false;  // the first edit is held while the seller stops and starts again
  };
  const Case faults[] = {
      {"cut", 0, OperationFault::kCut, 2, "dwError = "},
      {"time-out", 0, OperationFault::kStall, 1, "dwError = "},
      {"sign-in page", 0, OperationFault::kSignInRedirect, 1, nullptr},
      {"success false", 0, OperationFault::kRefused, 2,
       "{ \"success\" : false, \"msg\" : \"invalid price\" }"},
      {"error page", 0, OperationFault::kNoSuccessText, 1, "系统繁忙，请稍后再试。"},
      {"success 0", 0, OperationFault::kSuccessZero, 2, "{\"success\":0,"},
      {"JSON cut short", 0, OperationFault::kCutJson, 1, "{\"success\":"},
      {"GBK refusal", 0, OperationFault::kGbkRefusal, 2, "价格不能低于成本運\",\"success\":false}"},
      {"success true", 0, OperationFault::kNormal, 0, nullptr},
      {"success after Stop and a new start", 0, OperationFault::kNormal, 6, nullptr, true},
  };
  std::vector<Case> cases;
  for (const int type : {0, 2}) {
    for (Case c : faults) {
      c.name = (type == 0 ? "price run, " : "price and stock, ") + c.name;
      c.type = type;
      cases.push_back(c);
    }
  }
  const InternetTimeouts timeouts = GetInternetTimeouts();
  AddAllProductsRule("10", "0");
  std::uint64_t first_id = 540000000000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool sign_in = c.fault == OperationFault::kSignInRedirect;
    sites::ShopOptions options;
    options.count = 6;
    options.on_sale = true;
    options.first_id = first_id;
    first_id += 100;
    const auto items = sites::GenerateShop(options);
    std::map<std::string, std::string> old, fresh;
    for (const auto& item : items) {
      old[item.id] = item.price;
      fresh[item.id] = Price(item, Cents(item.price) + 200);
    }
    ASSERT_TRUE(Download(items));
    tongbu_->m_ProcessTypeCombo.UserSelect(c.type);
    centre_->ClearOperationForms();

    // The result list fills while the consumer waits for the sign-in.
    g_LoggedIn = 0;
    Start();
    ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0 && Results().size() == 6; }));
    centre_->FailNextPriceEdits(c.fault, c.failing);
    if (c.fault == OperationFault::kStall) {
      // Short enough for the stalled edit, long enough for the other
      // requests of a loaded machine.
      InternetTimeouts quick = timeouts;
      quick.idle = 3000ms;
      SetInternetTimeouts(quick);
    }
    centre_->HoldOperations(c.stale);
    g_LoggedIn = 1;
    if (sign_in) {
      ASSERT_TRUE(PumpUntil([] { return g_LoggedIn.load() == 0; }));
      EXPECT_EQ(ui::GetStatusText(), "VorlupTovrane----淘宝账户状态：登陆失效，请重新登录");
      PumpUntil([] { return false; }, 200ms);
      EXPECT_EQ(PriceEdits().size(), 1u) << "no edit while signed out";
      SignIn();
    }
    if (c.stale) {
      // The first edit is held; signed out, the new run edits nothing itself.
      ASSERT_TRUE(PumpUntil([&] { return PriceEdits().size() == 1; }));
      Stop();
      g_LoggedIn = 0;
      Start();
      ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0 && Results().size() == 6; }));
      centre_->HoldOperations(false);
      // The old consumer has had its reply and ended: only the new one is left.
      ASSERT_TRUE(PumpUntil([] { return worker_registry::LiveCount() == 1; }));
      EXPECT_EQ(PriceEdits().size(), 1u);
    } else {
      ASSERT_TRUE(WaitEdited(6 - c.failing));
      SetInternetTimeouts(timeouts);
      EXPECT_EQ(g_LoggedIn.load(), 1);
      EXPECT_EQ(PriceEdits().size(), 6u) << "every row tried once";
    }
    // The held edit went through in the shop.
    const std::string held_id = c.stale ? PriceEdits().at(0).Field("itemId") : "";

    const auto results = Results();
    const auto site = centre_->Items();
    for (int r = 0; r < 6; ++r) {
      const std::string& id = results[r].cells[1];
      SCOPED_TRACE(id);
      const bool failed = r < c.failing;
      EXPECT_EQ(results[r].ticked, !failed);
      if (!failed) {
        EXPECT_EQ(results[r].cells[6], "{\"success\":true,\"itemId\":\"" + id + "\",\"price\":\"" +
                                           fresh[id] + "\"}");
      } else if (sign_in) {
        EXPECT_NE(results[r].cells[6].find("登陆失效，请重新登录"), std::string::npos);
      } else if (c.stale) {
        EXPECT_EQ(results[r].cells[6], "需要更新");
      } else {
        EXPECT_NE(results[r].cells[6].find(c.shown), std::string::npos) << results[r].cells[6];
      }
      for (const auto& item : site) {
        if (item.id == id) {
          EXPECT_EQ(item.price, failed && id != held_id ? old[id] : fresh[id]) << "the shop's price";
        }
      }
    }

    const int not_changed = c.stale ? 0 : c.failing;  // the new run sent no edit
    const std::string end = not_changed == 0 ? "全部同步 完毕！"
                                             : "全部同步 完毕！\n" + std::to_string(not_changed) +
                                                   " 个宝贝的价格未能修改，原因见“操作动作”列。";
    const int boxes = BoxesWithText(end.c_str());
    Stop();
    if (c.type == 0) {
      ASSERT_TRUE(WaitSyncDone(boxes, end.c_str()));
    } else {
      ASSERT_TRUE(WaitWorkers());
      tongbu_->OnSaveUpdated();  // "保存更新成功的数据"
      ASSERT_TRUE(WaitWorkers());
    }
    // The held edit of a price run is saved with its run's rows; a price and
    // stock run's rows are saved only from the menu, and its new start
    // emptied the list before that.
    std::set<std::string> failed_ids;
    for (int r = 0; r < c.failing; ++r) {
      if (results[r].cells[1] != held_id || c.type != 0) failed_ids.insert(results[r].cells[1]);
    }
    for (const auto& row : DbRows()) {
      if (old.count(row.tb_id) == 0) continue;
      SCOPED_TRACE(row.tb_id);
      const bool failed = failed_ids.count(row.tb_id) == 1;
      EXPECT_EQ(row.is_update, failed ? "0" : "1");
      EXPECT_EQ(row.price, failed ? old[row.tb_id] : fresh[row.tb_id]);
    }
  }
}

// "停止同步", then "开始同步" before the page has handled the stopped run's end
// message: the message is the old run's, and the new run goes on to its own
// end; what the old run ticked is saved all the same.
TEST_F(PriceRunTest, AStoppedRunsLateEndLeavesTheNextRunAlone) {
  const auto items = OnSaleShop(6);
  std::map<std::string, std::string> fresh;
  for (const auto& item : items) fresh[item.id] = Price(item, Cents(item.price) + 100);
  ASSERT_TRUE(Download(items));
  AddAllProductsRule("10", "0");
  Start();
  ASSERT_TRUE(WaitEdited(6));
  Stop();
  // The old consumer posts its end and leaves; nothing is pumped meanwhile.
  for (int waited = 0; worker_registry::LiveCount() > 0 && waited < 2000; ++waited)
    std::this_thread::sleep_for(5ms);
  ASSERT_EQ(worker_registry::LiveCount(), 0);
  centre_->ClearOperationForms();
  Start();
  PumpUntil([] { return false; }, 300ms);  // the old end message is handled here
  ASSERT_FALSE(tongbu_->m_StartButton.IsWindowEnabled()) << "the new run was ended";
  ASSERT_TRUE(WaitEdited(6));
  EXPECT_EQ(PriceEdits().size(), 6u);
  EXPECT_TRUE(tongbu_->m_StopButton.IsWindowEnabled());
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 0);
  // The old run's ticks, saved when the new start emptied the list.
  EXPECT_TRUE(PumpUntil([&] {
    int updated = 0;
    for (const auto& row : DbRows())
      updated += row.is_update == "1" && row.price == fresh[row.tb_id];
    return updated == 6;
  }, 10s));
  Stop();
  ASSERT_TRUE(WaitSyncDone());
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 1);
}

TEST_F(PriceRunTest, TheProgramsEndStopsARunWithoutAnnouncingIt) {
  const auto items = OnSaleShop(6);
  for (const auto& item : items) Price(item, Cents(item.price) + 100);
  ASSERT_TRUE(Download(items));
  AddAllProductsRule("10", "0");
  Start();
  ASSERT_TRUE(WaitEdited(6));  // the consumer now waits for Stop
  EXPECT_TRUE(ui::detail::StopWorkers(std::chrono::seconds(10)));
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 0);
  EXPECT_FALSE(tongbu_->m_StartButton.IsWindowEnabled());
}

// Result rows whose old and new prices are given by the shop rows (column 3
// old, column 0 new), for the consumer's own tests.
UINT GivenRowsProducer(LPVOID param) {
  RunSyncProducer(param, g_SyncStartButton, [](const SyncShopRow& shop) {
    std::vector<CString> cells(kSyncColumns);
    cells[1] = shop.id;
    cells[2] = shop.code;
    cells[3] = shop.price;
    cells[4] = g_ItemList->GetItemText(shop.index, 0);
    cells[6] = "需要更新";
    AppendResultRow(shop, cells);
    return true;
  });
  return 0;
}

TEST_F(PriceRunTest, EqualPricesArePassedOverAndAHandTickedRowHoldsTheConsumer) {
  const auto items = OnSaleShop(4);
  centre_->SetItems(items);
  CListCtrl& shop = taobao_->m_ItemList;
  const char* fresh[] = {"9.90", "", "35", "12.00"};
  const char* olds[] = {"10.00", "", "35.00", "12.00"};
  for (int i = 0; i < 4; ++i)
    shop.InsertRow(i, {fresh[i], items[i].id.c_str(), items[i].code.c_str(), olds[i]});
  centre_->ClearOperationForms();
  g_TbToken = centre_->Token().c_str();  // no download has read it
  g_LoggedIn = 0;
  ResetSyncState();
  tongbu_->m_StartButton.EnableWindow(FALSE);
  StartSyncThreads(1, &GivenRowsProducer, &PriceEditThread);
  ASSERT_TRUE(PumpUntil([&] { return Results().size() == 4; }));
  tongbu_->m_SyncList.SetCheck(2, TRUE);  // ticked by hand before the consumer comes
  g_LoggedIn = 1;
  ASSERT_TRUE(PumpUntil([&] { return !PriceEdits().empty(); }));
  PumpUntil([] { return false; }, 300ms);
  auto edits = PriceEdits();
  ASSERT_EQ(edits.size(), 1u) << "row 1 (equal, both empty) passed over, row 2 holds";
  EXPECT_EQ(edits[0].Field("itemId"), items[0].id);

  tongbu_->m_SyncList.SetCheck(2, FALSE);
  ASSERT_TRUE(PumpUntil([&] { return PriceEdits().size() == 2; }));
  PumpUntil([] { return false; }, 200ms);
  edits = PriceEdits();
  ASSERT_EQ(edits.size(), 2u) << "row 3 (equal) passed over";
  EXPECT_EQ(edits[1].Field("newItemPrice"), "35") << "35 and 35.00 differ";
  const auto results = Results();
  EXPECT_FALSE(results[1].ticked);
  EXPECT_FALSE(results[3].ticked);
  EXPECT_EQ(results[3].cells[6], "需要更新");
  Stop();
  ASSERT_TRUE(WaitSyncDone());
}

}  // namespace
