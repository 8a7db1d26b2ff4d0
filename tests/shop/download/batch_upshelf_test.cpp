// Batch listing from the item list's pop-up menu against the local seller
// centre: the groups and their forms, the claims beside a throttled request,
// and the road from a warehouse download to a shop whose items are all on sale.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/TovraneApp.h"
#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "shop/batch_upshelf.h"
#include "shop/item_ops.h"
#include "tests/shop/download/shop_fixture.h"

namespace shoptest {
namespace {

using namespace std::chrono_literals;
using sites::OperationForm;
using sites::ShopItem;

class BatchUpShelfTest : public ShopFixture {
 protected:
  // The form token and x_id of an earlier test's seller centre are not this one's.
  void SetUp() override {
    ShopFixture::SetUp();
    g_TbToken = "";
    g_XId = "";
  }
  void TearDown() override {
    ShopFixture::TearDown();
    g_TbToken = "";
    g_XId = "";
  }
  void FillList(const std::vector<ShopItem>& items) { FillListOf(*page_, items); }
  static void FillListOf(TaoBao& page, const std::vector<ShopItem>& items) {
    page.m_ItemList.DeleteAllItems();
    for (size_t i = 0; i < items.size(); ++i) {
      page.m_ItemList.InsertRow(static_cast<int>(i),
                                {CString(std::to_string(i)), CString(items[i].id),
                                 CString(items[i].code), CString(items[i].price)});
    }
  }
  // Chooses "批量上架（仅用于大于1万的情况）" from the list's pop-up menu and
  // waits for the listing threads.
  void BatchList() {
    ui::headless::ScriptPopupCommands({ID_BATCH_UPSHELF});
    page_->m_ItemList.UserRightClick(0, POINT{10, 10});
    ui::RunPending();  // the chosen command comes as a posted message
    ASSERT_TRUE(WaitWorkers());
  }
  std::vector<OperationForm> GroupForms() const {
    std::vector<OperationForm> forms;
    for (const OperationForm& form : centre_->OperationForms()) {
      if (form.Field("event_submit_do_up_shelf") == "1") forms.push_back(form);
    }
    return forms;
  }
};

// The item part of a group's form: five fields per slot, in slot order.
std::string ExpectedPart(const std::vector<std::string>& slot_ids) {
  std::string part;
  for (const std::string& id : slot_ids) {
    part += "&selectedIds=" + id + "&goods_num:" + id + "=300&stuff_status:" + id +
            "=5&autoEnd:" + id + "=true&prepayCat:" + id + "=true";
  }
  return part;
}

// Row counts against the groups sent, their forms, and the progress line.
TEST_F(BatchUpShelfTest, GroupsOfTwentySlots) {
  struct Case {
    int rows;
    int groups;
  };
  for (const Case c : {Case{45, 3}, Case{40, 2}, Case{0, 0}, Case{1, 1}}) {
    std::vector<ShopItem> items = Shop(c.rows).Items();
    if (c.rows == 45) items[7].id.clear();  // a row without an item id
    centre_->SetItems(items);
    FillList(items);
    g_XId = CString(centre_->XId().c_str());
    g_TbToken = "";  // fetched by the command
    page_->m_UpShelfStatusText.SetWindowText("");
    centre_->ClearOperationForms();
    BatchList();

    EXPECT_EQ(g_TbToken.Get().str(), centre_->Token()) << c.rows;
    const std::vector<OperationForm> forms = GroupForms();
    EXPECT_EQ(forms.size(), centre_->OperationForms().size());
    ASSERT_EQ(static_cast<int>(forms.size()), c.groups) << c.rows << " rows";
    std::map<int, std::string> parts;  // by group, from the first id
    std::set<std::string> progress;
    for (int g = 0; g < c.groups; ++g) {
      std::vector<std::string> slots;
      for (int slot = 0; slot < 20; ++slot) {
        const int row = g * 20 + slot;
        slots.push_back(row < c.rows ? items[static_cast<size_t>(row)].id : std::string());
      }
      const std::string expected = ExpectedPart(slots);
      int found = 0;
      for (const OperationForm& form : forms) {
        found += form.body.size() >= expected.size() &&
                 form.body.compare(form.body.size() - expected.size(), expected.size(),
                                   expected) == 0;
      }
      EXPECT_EQ(found, 1) << c.rows << " rows, group " << g;
      progress.insert("正在上架第" + std::to_string(g) + "组数据");
    }
    const std::string shown = page_->m_UpShelfStatusText.GetWindowText().str();
    if (c.groups == 0) {
      EXPECT_EQ(shown, "");
    } else {
      EXPECT_EQ(progress.count(shown), 1u) << shown;
    }
    // Listed, each group with as many items as it named; only full groups
    // count as listed, so the last of 45 is reported refused and not retried.
    int on_sale = 0;
    for (const ShopItem& item : centre_->Items()) on_sale += item.on_sale;
    EXPECT_EQ(on_sale, c.rows == 45 ? 44 : c.rows);
    EXPECT_EQ(worker_registry::LiveCount(), 0);
  }
}

// The claims share g_WorkMutex with the throttled request: with "4000" the
// groups go one at a time; with a site slower than both waits, claims wait
// again and no group is sent twice.
TEST_F(BatchUpShelfTest, ClaimsBesideAThrottledRequest) {
  struct Case {
    const char* wait;
    std::chrono::milliseconds site;
    int max_in_flight;  // 0: not checked
  };
  for (const Case c : {Case{"4000", 100ms, 1}, Case{"100", 700ms, 0}}) {
    const std::vector<ShopItem> items = Shop(200).Items();
    centre_->SetItems(items);
    FillList(items);
    g_XId = CString(centre_->XId().c_str());
    page_->m_UpShelfWaitEdit.SetWindowText(c.wait);
    centre_->SetOperationDelay(c.site);
    centre_->ClearOperationForms();
    centre_->ResetMaxOperationsInFlight();
    BatchList();

    std::map<std::string, int> sent;
    for (const OperationForm& form : GroupForms()) {
      for (const std::string& id : form.Values("selectedIds")) ++sent[id];
    }
    EXPECT_EQ(GroupForms().size(), 10u) << c.wait;
    EXPECT_EQ(sent.size(), items.size()) << c.wait;
    for (const auto& [id, count] : sent) EXPECT_EQ(count, 1) << c.wait << " " << id;
    if (c.max_in_flight) {
      EXPECT_EQ(centre_->MaxOperationsInFlight(), c.max_in_flight);
    }
    for (const ShopItem& item : centre_->Items()) EXPECT_TRUE(item.on_sale) << item.id;
  }
}

// Download the warehouse set of a 1,000-item shop, list it in groups, and
// download both sets again: everything is on sale, each group posted once.
TEST_F(BatchUpShelfTest, WarehouseDownloadListedAndDownloadedAgain) {
  const std::vector<ShopItem> items = Shop(1000).Status("myOff").Items();
  centre_->SetItems(items);
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  ASSERT_EQ(page_->m_ItemList.GetItemCount(), 1000);

  centre_->ClearOperationForms();
  BatchList();
  const std::vector<OperationForm> forms = GroupForms();
  EXPECT_EQ(forms.size(), 50u);
  std::map<std::string, int> sent;
  for (const OperationForm& form : forms) {
    EXPECT_EQ(form.Field("x_id"), centre_->XId());
    for (const std::string& id : form.Values("selectedIds")) ++sent[id];
  }
  EXPECT_EQ(sent.size(), 1000u);
  for (const auto& [id, count] : sent) EXPECT_EQ(count, 1) << id;

  // The end of a download leaves Search disabled until "停止搜索".
  page_->m_StopButton.UserClick();
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  EXPECT_EQ(page_->m_ItemList.GetItemCount(), 0);
  page_->m_StopButton.UserClick();
  ChooseItemSet(1);
  ASSERT_TRUE(SearchAndWait());
  const std::map<std::string, int> counts = ListIdCounts();
  EXPECT_EQ(counts.size(), 1000u);
  for (const ShopItem& item : items) EXPECT_EQ(counts.count(item.id), 1u) << item.id;
}

// With the session signed out, the operations change nothing: the list
// pages answer with the sign-in page and the price edit with an empty body.
TEST_F(BatchUpShelfTest, OperationsOfAnEndedSession) {
  std::vector<ShopItem> items = Shop(2).OnSale().Items();
  centre_->SetItems(items);
  const CString token = centre_->Token().c_str();
  CString reply;
  EditTbItemPrice(items[0].id.c_str(), items[0].price.c_str(), "9.9", token, reply);
  EXPECT_NE(reply.Find("\"success\":true"), -1) << reply.str();

  market_->ExpireSessions();
  EXPECT_FALSE(OffShelfTbItem(items[1].id.c_str(), token));
  EXPECT_FALSE(DeleteTbItem(items[1].id.c_str(), token));
  EditTbItemPrice(items[1].id.c_str(), items[1].price.c_str(), "9.9", token, reply);
  EXPECT_EQ(reply, "");
  const std::vector<ShopItem> now = centre_->Items();
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[0].price, "9.90");
  EXPECT_TRUE(now[1].on_sale);
  EXPECT_EQ(now[1].price, items[1].price);
  const std::vector<OperationForm> forms = centre_->OperationForms();
  ASSERT_EQ(forms.size(), 4u);
  for (size_t i = 0; i < forms.size(); ++i) EXPECT_EQ(forms[i].signed_in, i == 0) << i;
}

// Closing the main window while every listing thread waits inside its
// request: the requests give up, no further group is claimed, and no thread
// outlives the page whose controls it writes.
TEST_F(BatchUpShelfTest, ClosingTheMainWindowEndsTheListing) {
  // The main window makes the program's own item page.
  page_->DestroyWindow();
  page_.reset();
  const std::vector<ShopItem> items = Shop(2000).Items();
  centre_->SetItems(items);
  centre_->SetOperationDelay(std::chrono::minutes(1));
  g_XId = CString(centre_->XId().c_str());

  int live_at_close = -1;
  std::chrono::steady_clock::time_point closed;
  ui::headless::ScriptModal([&](CDialog& dlg) {
    TaoBao& page = static_cast<MainDlg&>(dlg).m_TaoBao;
    FillListOf(page, items);
    page.SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0);
    ASSERT_TRUE(PumpUntil([&] { return centre_->OperationsInFlight() == kBatchUpShelfThreadCount; },
                          std::chrono::seconds(60)));
    live_at_close = worker_registry::LiveCount();
    closed = std::chrono::steady_clock::now();
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(theApp.InitInstance(), FALSE);
  const auto exit_took = std::chrono::steady_clock::now() - closed;

  EXPECT_EQ(live_at_close, kBatchUpShelfThreadCount);
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  EXPECT_LT(exit_took, std::chrono::seconds(10)) << "the requests in flight did not give up";
  EXPECT_EQ(GroupForms().size(), static_cast<size_t>(kBatchUpShelfThreadCount));
}

}  // namespace
}  // namespace shoptest
