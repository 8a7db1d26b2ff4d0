// Runs when the system fails them, headless against the local sites: worker
// threads the system would not make, and statements the item database
// refuses. Each run still ends, nothing waits for a thread that never ran,
// nothing handed to one is lost, and a refused statement is reported.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "shop/QuChongFu.h"
#include "shop/batch_upshelf.h"
#include "shop/item_download.h"
#include "store/item_db.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;

std::vector<sites::ShopItem> OnSaleShop(int count) {
  sites::ShopOptions options;
  options.count = count;
  options.on_sale = true;
  return sites::GenerateShop(options);
}

class FailuresTest : public support::SyncFixture {
 protected:
  void TearDown() override {
    worker_registry::FailThreadStartsForTesting(0);
    if (dup_page_) {
      dup_page_->DestroyWindow();
      dup_page_.reset();
      g_DupList = nullptr;
      g_DupProgressEdit = nullptr;
    }
    SyncFixture::TearDown();
  }
  void FillShopList(const std::vector<sites::ShopItem>& items) {
    CListCtrl& list = taobao_->m_ItemList;
    list.DeleteAllItems();
    for (size_t i = 0; i < items.size(); ++i)
      list.InsertRow(static_cast<int>(i), {std::to_string(i), items[i].id, items[i].code, items[i].price});
  }
  int UpShelfForms() const {
    int forms = 0;
    for (const auto& form : centre_->OperationForms()) forms += form.Field("event_submit_do_up_shelf") == "1";
    return forms;
  }
  size_t CollectedRecords() {
    std::lock_guard<std::mutex> lock(g_DupStateLock);
    return g_TbInfoArray ? g_TbInfoArray->size() : 0;
  }

  std::unique_ptr<QuChongFu> dup_page_;
};

// Each run type with the system refusing some of its threads, then all of
// them: it ends without waiting for the threads that never ran, the threads
// that did run do all of its work, and what was handed to a thread that
// never ran is released.
TEST_F(FailuresTest, RunsWhoseThreadsTheSystemWouldNotMakeStillEnd) {
  std::vector<sites::ShopItem> items = OnSaleShop(90);
  for (sites::ShopItem& item : items) {
    item.price = "21.50";  // the bookstore's price: a price run changes nothing
    SetSalePrice(item, item.price);
  }
  centre_->SetItems(items);
  AddAllProductsRule("10", "0");
  constexpr int kProducers = 3;
  struct RunType {
    const char* name;
    std::vector<int> refusals;      // how many of its starts fail, one run each
    std::function<void()> prepare;  // before the refusals
    std::function<void()> start;
    std::function<void(int refused)> check;
  };
  int boxes_before = 0;
  int incomplete_before = 0;
  // Download end messages that call the download incomplete because no
  // worker could be started.
  auto unstarted_download_boxes = [] {
    int count = 0;
    for (const auto& box : ui::headless::MessageBoxes()) {
      const std::string& text = box.text.str();
      count += text.starts_with("下载未完成：已下载 0 个宝贝，") &&
               text.find("下载线程无法启动") != std::string::npos;
    }
    return count;
  };
  auto shop_ticks = [&] {
    int ticks = 0;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ticks += taobao_->m_ItemList.GetCheck(i);
    return ticks;
  };
  auto prepare_sync = [&] {
    FillShopList(items);
    tongbu_->m_ThreadCombo.SetCurSel(kProducers - 1);
    boxes_before = BoxesWithText("全部同步 完毕！");
  };
  const RunType runs[] = {
      {"download", {kWorkerCount - 1, kWorkerCount},
       [&] {
         if (!taobao_->m_SearchButton.IsWindowEnabled()) taobao_->m_StopButton.UserClick();
         taobao_->m_ItemSetCombo.UserSelect(1);  // "出售中的宝贝"
         boxes_before = BoxesWithText("全部下载完毕！");
         incomplete_before = unstarted_download_boxes();
       },
       [&] { taobao_->m_SearchButton.UserClick(); },
       [&](int refused) {
         // The end message comes once every worker has ended, those that
         // never ran included; with none that ran it calls the download
         // incomplete, not done.
         const bool none_ran = refused == kWorkerCount;
         EXPECT_EQ(BoxesWithText("全部下载完毕！"), boxes_before + (none_ran ? 0 : 1));
         EXPECT_EQ(unstarted_download_boxes(), incomplete_before + (none_ran ? 1 : 0));
         EXPECT_EQ(taobao_->m_ItemList.GetItemCount(), none_ran ? 0 : 90);
       }},
      {"batch listing", {kBatchUpShelfThreadCount - 1, kBatchUpShelfThreadCount},
       [&] {
         FillShopList(items);
         centre_->ClearOperationForms();
       },
       [&] { taobao_->OnBatchUpShelf(); },
       [&](int refused) { EXPECT_EQ(UpShelfForms(), refused < kBatchUpShelfThreadCount ? 5 : 0); }},
      {"duplicate collection", {49, 50}, [&] { FillShopList(items); },
       [&] { dup_page_->OnCollectItems(); },
       [&](int refused) { EXPECT_EQ(CollectedRecords(), refused < 50 ? 90u : 0u); }},
      {"duplicate scan", {1},
       [&] {
         // Two more items with the code of item 0 give rows.
         std::vector<sites::ShopItem> with_copies = items;
         for (const char* id : {"880001", "880002"}) {
           with_copies.push_back(items[0]);
           with_copies.back().id = id;
         }
         FillShopList(with_copies);
         dup_page_->OnCollectItems();
         ASSERT_TRUE(WaitWorkers());
         dup_page_->m_ResultList.DeleteAllItems();
       },
       [&] { dup_page_->OnStartDuplicateCheck(); },
       [&](int) { EXPECT_EQ(dup_page_->m_ResultList.GetItemCount(), 0); }},
      // Producers first, then the consumer.
      {"price run", {kProducers - 1, kProducers, kProducers + 1}, prepare_sync,
       [&] { tongbu_->OnStartSync(); },
       [&](int refused) {
         const bool consumer_ran = refused <= kProducers;
         EXPECT_EQ(BoxesWithText("全部同步 完毕！"), boxes_before + (consumer_ran ? 1 : 0));
         EXPECT_EQ(shop_ticks(), refused < kProducers ? 90 : 0);
         EXPECT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());
         if (!consumer_ran) {
           EXPECT_FALSE(tongbu_->m_StopButton.IsWindowEnabled());
         }
       }},
      {"category step", {kProducers + 1}, prepare_sync,
       [&] { tongbu_->OnCategoryStep1(); },
       [&](int) {
         EXPECT_EQ(BoxesWithText("全部同步 完毕！"), boxes_before);
         EXPECT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());
         EXPECT_FALSE(tongbu_->m_StopButton.IsWindowEnabled());
         EXPECT_TRUE(tongbu_->m_CategoryStep1Button.IsWindowEnabled());
         EXPECT_TRUE(taobao_->m_ItemList.IsWindowEnabled());
       }},
  };

  dup_page_ = std::make_unique<QuChongFu>();
  ASSERT_TRUE(dup_page_->Create(QuChongFu::IDD, nullptr));
  for (const RunType& run : runs) {
    for (const int refused : run.refusals) {
      SCOPED_TRACE(std::string(run.name) + ", " + std::to_string(refused) + " refused");
      run.prepare();
      worker_registry::FailThreadStartsForTesting(refused);
      run.start();
      // Every thread that ran has ended, and what it posted has been handled.
      ASSERT_TRUE(WaitWorkers(60s));
      worker_registry::FailThreadStartsForTesting(0);
      run.check(refused);
    }
  }
}

// Saves into a database that refuses every write: each refused statement is
// reported, with SQLite's reason and the statement. Item 0 is stored before.
TEST_F(FailuresTest, ASaveTheDatabaseRefusesIsReported) {
  const std::vector<sites::ShopItem> items = OnSaleShop(3);
  {
    sqlite3* db = OpenItemDb();
    ASSERT_NE(db, nullptr);
    ASSERT_TRUE(RunItemSql(db, ("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('" + items[0].id +
                                "','" + items[0].code + "','" + items[0].price + "','0')")
                                   .c_str()));
    ASSERT_TRUE(RunItemSql(db,
                           "CREATE TRIGGER NoInsert BEFORE INSERT ON DDItems BEGIN "
                           "SELECT RAISE(ABORT, 'list is read-only'); END;"
                           "CREATE TRIGGER NoUpdate BEFORE UPDATE ON DDItems BEGIN "
                           "SELECT RAISE(ABORT, 'list is read-only'); END;"));
    sqlite3_close(db);
  }
  struct Save {
    const char* name;
    std::function<void()> start;
    std::vector<std::string> statements;  // how each refused statement begins
  };
  const Save saves[] = {
      {"item list",
       [&] {
         FillShopList(items);
         taobao_->OnSaveData();
       },
       {"INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT '" + items[1].id,
        "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT '" + items[2].id}},
      {"sync results",
       [&] {
         CListCtrl& results = tongbu_->m_SyncList;
         for (int i = 0; i < 2; ++i) {
           results.InsertRow(i, {std::to_string(i), items[i].id, items[i].code, items[i].price,
                                 "9.90", "", "", ""});
           results.SetCheck(i, TRUE);
         }
         tongbu_->OnSaveUpdated();
       },
       {"UPDATE DDItems SET Price='9.90', IsUpdate='1' where TbId='" + items[0].id + "'",
        "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT '" + items[1].id}},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.name);
    ::testing::internal::CaptureStderr();
    save.start();
    const bool ended = WaitWorkers(60s);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ended);
    const auto rows = DbRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].price, items[0].price);
    for (const std::string& statement : save.statements) {
      EXPECT_NE(said.find("item database: list is read-only (19) in: " + statement), std::string::npos)
          << said;
    }
  }
}

}  // namespace
