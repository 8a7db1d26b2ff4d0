// The window's handlers pressed while a throttled batch listing holds the
// work lock across each of its requests to a slow seller centre: each
// handler returns at once and does what it does, the window's thread is
// never held for long while the listing goes on, and the listing's groups
// are claimed as before.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/app.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "shop/QuChongFu.h"
#include "shop/item_download.h"
#include "store/item_db.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPromptly = 1s;

class ThrottledListingTest : public support::SyncFixture {
 protected:
  void TearDown() override {
    if (dup_page_) {
      EXPECT_TRUE(WaitWorkers());
      dup_page_->DestroyWindow();
      dup_page_.reset();
      g_DupList = nullptr;
      g_DupProgressEdit = nullptr;
    }
    SyncFixture::TearDown();
  }
  void Press(CDialog& page, int id) { static_cast<CButton*>(page.GetDlgItem(id))->UserClick(); }
  // Pumps the window's queue until every worker has ended; the longest that
  // one pass of the queue took.
  static Clock::duration LongestPassUntilWorkersEnd() {
    Clock::duration longest{};
    for (const auto deadline = Clock::now() + 120s; Clock::now() < deadline;) {
      const auto start = Clock::now();
      const int ran = ui::RunPending();
      longest = std::max(longest, Clock::now() - start);
      if (ran == 0 && worker_registry::LiveCount() == 0) break;
      std::this_thread::sleep_for(5ms);
    }
    return longest;
  }
  int ShopTicks() const {
    int ticks = 0;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ticks += taobao_->m_ItemList.GetCheck(i);
    return ticks;
  }
  size_t CollectedRecords() {
    std::lock_guard<std::mutex> lock(g_DupStateLock);
    return g_TbInfoArray ? g_TbInfoArray->size() : 0;
  }

  std::unique_ptr<QuChongFu> dup_page_;
};

TEST_F(ThrottledListingTest, HandlersReturnAtOnceAndGroupsAreClaimedOnce) {
  // 60 items, 3 groups; items 1 and 2 carry item 0's merchant code. The
  // bookstore's prices are the shop's: a price run changes nothing.
  sites::ShopOptions options;
  options.count = 60;
  options.on_sale = true;
  std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  items[1].code = items[2].code = items[0].code;
  for (sites::ShopItem& item : items) {
    item.price = "21.50";
    SetSalePrice(item, item.price);
  }
  ASSERT_TRUE(Download(items));
  ASSERT_EQ(taobao_->m_ItemList.GetItemCount(), 60);
  std::vector<sites::ShopItem> in_stock = items;
  for (sites::ShopItem& item : in_stock) item.on_sale = false;
  AddAllProductsRule("10", "0");
  tongbu_->m_ThreadCombo.SetCurSel(2);
  dup_page_ = std::make_unique<QuChongFu>();
  ASSERT_TRUE(dup_page_->Create(QuChongFu::IDD, nullptr));
  g_XId = CString(centre_->XId().c_str());
  taobao_->m_UpShelfWaitEdit.SetWindowText("4000");
  centre_->SetOperationDelay(1500ms);

  int boxes = 0;
  struct Row {
    const char* name;
    std::function<void()> prepare, press, check;
    bool listing_again = false;  // the groups claimed so far go out twice
  };
  const Row rows[] = {
      {"整理", [] {}, [&] { Press(*dup_page_, IDC_QC_COLLECT); },
       [&] { EXPECT_EQ(CollectedRecords(), 60u); }},
      {"开始查重",
       [&] {
         Press(*dup_page_, IDC_QC_COLLECT);
         ASSERT_TRUE(WaitWorkers());
         dup_page_->m_ResultList.DeleteAllItems();
       },
       [&] { Press(*dup_page_, IDC_QC_START_CHECK); },
       [&] { EXPECT_EQ(dup_page_->m_ResultList.GetItemCount(), 3); }},
      {"批量上架 again", [] {}, [&] { taobao_->SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0); },
       [] {}, true},
      {"开始同步", [&] { boxes = BoxesWithText("全部同步 完毕！"); },
       [&] { tongbu_->m_StartButton.UserClick(); },
       [&] {
         EXPECT_EQ(BoxesWithText("全部同步 完毕！"), boxes + 1);
         EXPECT_EQ(ShopTicks(), 60);
       }},
      {"end of a download",
       [&] {
         boxes = BoxesWithText("全部下载完毕！");
         sqlite3* db = OpenItemDb();
         ASSERT_TRUE(RunItemSql(db, "DELETE FROM DDItems"));
         sqlite3_close(db);
       },
       [&] {
         // The twentieth worker's end message.
         g_DownloadDoneCount = kWorkerCount - 1;
         taobao_->SendMessage(WM_TAOBAO_WORKER_DONE, g_SearchGeneration.load(), 0);
       },
       [&] {
         EXPECT_EQ(BoxesWithText("全部下载完毕！"), boxes + 1);
         EXPECT_EQ(DbRows().size(), 60u);  // saved again
       }},
      {"category step 1",
       [&] {
         for (int i = 0; i < 60; ++i) taobao_->m_ItemList.SetCheck(i, TRUE);
       },
       [&] { tongbu_->OnCategoryStep1(); },
       [&] { EXPECT_EQ(ShopTicks(), 0); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    centre_->SetItems(in_stock);
    row.prepare();
    centre_->ClearOperationForms();
    taobao_->SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0);
    // A listing request is under way: its thread holds the work lock.
    ASSERT_TRUE(PumpUntil([&] { return centre_->OperationsInFlight() > 0; }, 10s));
    const auto start = Clock::now();
    row.press();
    const Clock::duration press_took = Clock::now() - start;
    const Clock::duration longest_pass = LongestPassUntilWorkersEnd();
    EXPECT_LT(press_took, kPromptly);
    EXPECT_LT(longest_pass, kPromptly);

    std::map<std::string, int> sent;
    for (const sites::OperationForm& form : centre_->OperationForms()) {
      if (form.Field("event_submit_do_up_shelf") != "1") continue;
      for (const std::string& id : form.Values("selectedIds")) ++sent[id];
    }
    // Choosing the command again sets the claims back to group 0, so the
    // groups claimed before go out twice; otherwise each group goes once.
    int previous = 2;
    for (int i = 0; i < 60; ++i) {
      const int times = sent[taobao_->m_ItemList.GetItemText(i, 1).str()];
      if (row.listing_again) {
        EXPECT_TRUE(times >= 1 && times <= previous) << "row " << i << ": " << times;
        if (i == 0) {
          EXPECT_EQ(times, 2);
        }
        previous = times;
      } else {
        EXPECT_EQ(times, 1) << "row " << i;
      }
    }
    for (const sites::ShopItem& item : centre_->Items()) EXPECT_TRUE(item.on_sale) << item.id;
    row.check();
  }
}

}  // namespace
