// The window's handlers while a throttled batch listing holds the work lock
// across each of its requests to a slow seller centre: each returns at once
// and does what it does, and the listing's groups are claimed as before.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "platform/thread/thread.h"
#include "platform/ui/app.h"
#include "services/globals.h"
#include "shop/QuChongFu.h"
#include "shop/item_download.h"
#include "store/item_db.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ThrottledListingTest : public support::SyncFixture {
 protected:
  void TearDown() override {
    EXPECT_TRUE(WaitWorkers());
    dup_.DestroyWindow();
    g_DupList = nullptr;
    g_DupProgressEdit = nullptr;
    SyncFixture::TearDown();
  }
  QuChongFu dup_;
};

TEST_F(ThrottledListingTest, HandlersReturnAtOnceAndGroupsAreClaimedOnce) {
  // 3 groups; items 1 and 2 carry item 0's code; the bookstore's prices
  // are the shop's, so a price run edits nothing.
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
  for (sites::ShopItem& item : items) item.on_sale = false;
  AddAllProductsRule("10", "0");
  ASSERT_TRUE(dup_.Create(QuChongFu::IDD, nullptr));
  g_XId = CString(centre_->XId().c_str());
  taobao_->m_UpShelfWaitEdit.SetWindowText("4000");
  centre_->SetOperationDelay(1500ms);
  CListCtrl& list = taobao_->m_ItemList;
  auto press = [&](int id) { static_cast<CButton*>(dup_.GetDlgItem(id))->UserClick(); };
  auto ticks = [&] {
    int ticked = 0;
    for (int i = 0; i < 60; ++i) ticked += list.GetCheck(i);
    return ticked;
  };

  int boxes = 0;
  struct Row {
    const char* name;
    std::function<void()> prepare, press, check;
    bool listing_again = false;  // the groups claimed before go out twice
    // The handler empties the list and downloads it anew: the groups not
    // yet claimed list what the list holds then, so only the count of
    // groups sent is known.
    bool list_replaced = false;
  };
  const Row rows[] = {
      {"整理", [] {}, [&] { press(IDC_QC_COLLECT); },
       [&] { EXPECT_EQ(g_TbInfoArray->size(), 60u); }},
      {"开始查重",
       [&] {
         press(IDC_QC_COLLECT);
         ASSERT_TRUE(WaitWorkers());
         dup_.m_ResultList.DeleteAllItems();
       },
       [&] { press(IDC_QC_START_CHECK); }, [&] { EXPECT_EQ(dup_.m_ResultList.GetItemCount(), 3); }},
      {"批量上架 again", [] {}, [&] { taobao_->SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0); }, [] {},
       true},
      {"开始同步", [&] { boxes = BoxesWithText("全部同步 完毕！"); },
       [&] { tongbu_->m_StartButton.UserClick(); },
       [&] {
         EXPECT_EQ(BoxesWithText("全部同步 完毕！"), boxes + 1);
         EXPECT_EQ(ticks(), 60);
       }},
      {"category step 1", [&] { for (int i = 0; i < 60; ++i) list.SetCheck(i, TRUE); },
       [&] { tongbu_->OnCategoryStep1(); }, [&] { EXPECT_EQ(ticks(), 0); }},
      {"end of a download",
       [&] {
         boxes = BoxesWithText("全部下载完毕！");
         sqlite3* db = OpenItemDb();
         RunItemSql(db, "DELETE FROM DDItems");
         sqlite3_close(db);
       },
       [&] {  // the twentieth worker's end message
         g_DownloadDoneCount = kWorkerCount - 1;
         taobao_->SendMessage(WM_TAOBAO_WORKER_DONE, g_SearchGeneration.load(), 0);
       },
       [&] {
         EXPECT_EQ(BoxesWithText("全部下载完毕！"), boxes + 1);
         EXPECT_EQ(DbRows().size(), 60u);  // saved again
       }},
      {"搜索宝贝",
       [&] {
         boxes = BoxesWithText("全部下载完毕！");
         // After a download the user presses "停止搜索" before searching again.
         if (!taobao_->m_SearchButton.IsWindowEnabled()) taobao_->m_StopButton.UserClick();
       },
       [&] { taobao_->m_SearchButton.UserClick(); },
       [&] {
         EXPECT_EQ(BoxesWithText("全部下载完毕！"), boxes + 1);
         // At least the group in flight at the press was on sale by then.
         EXPECT_GE(list.GetItemCount(), 20);
       },
       false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    centre_->SetItems(items);
    row.prepare();
    centre_->ClearOperationForms();
    taobao_->SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0);
    // A listing request is under way, its thread holding the work lock.
    ASSERT_TRUE(PumpUntil([&] { return centre_->OperationsInFlight() > 0; }, 10s));
    // The window's thread: the handler, then each pass of its queue until
    // the listing and what the handler started have ended.
    Clock::time_point start = Clock::now();
    row.press();
    Clock::duration longest = Clock::now() - start;
    for (int ran = 1; ran > 0 || worker_registry::LiveCount() > 0;) {
      std::this_thread::sleep_for(5ms);
      start = Clock::now();
      ran = ui::RunPending();
      longest = std::max(longest, Clock::now() - start);
    }
    EXPECT_LT(longest, 1s);

    std::map<std::string, int> sent;
    int groups = 0;
    for (const sites::OperationForm& form : centre_->OperationForms()) {
      groups += form.Field("event_submit_do_up_shelf") == "1";
      for (const std::string& id : form.Values("selectedIds")) ++sent[id];
    }
    row.check();
    if (row.list_replaced) {
      EXPECT_EQ(groups, 3);
      continue;
    }
    for (int i = 0, before = 2; i < 60; ++i) {
      const int times = sent[list.GetItemText(i, 1).str()];
      EXPECT_TRUE(row.listing_again ? times >= 1 && times <= before && (i > 0 || times == 2)
                                    : times == 1)
          << "row " << i << ": " << times;
      before = times;
    }
    for (const sites::ShopItem& item : centre_->Items()) EXPECT_TRUE(item.on_sale) << item.id;
  }
}

}  // namespace
