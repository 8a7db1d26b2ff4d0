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
    LockWaitingAgain(g_WorkMutex, 500);
    const size_t size = g_TbInfoArray ? g_TbInfoArray->size() : 0;
    g_WorkMutex.Unlock();
    return size;
  }
  int Boxes() const { return static_cast<int>(ui::headless::MessageBoxes().size()); }

  std::unique_ptr<QuChongFu> dup_page_;
};

// Each run type with the system refusing some of its threads and then all
// of them: it ends without waiting for the threads that never ran, and the
// threads that did run do all of its work.
TEST_F(FailuresTest, RunsWhoseThreadsTheSystemWouldNotMakeStillEnd) {
  const std::vector<sites::ShopItem> items = OnSaleShop(90);
  centre_->SetItems(items);
  struct RunType {
    const char* name;
    int threads;  // threads the run starts
    std::function<void()> prepare;  // before the refusals
    std::function<void()> start;
    // Checks the run's end; `ran` is whether any of its threads ran.
    std::function<void(bool ran)> check;
  };
  int boxes_before = 0;
  const RunType runs[] = {
      {"download", kWorkerCount, [] {},
       [&] {
         if (!taobao_->m_SearchButton.IsWindowEnabled()) taobao_->m_StopButton.UserClick();
         taobao_->m_ItemSetCombo.UserSelect(1);  // "出售中的宝贝"
         boxes_before = BoxesWithText("全部下载完毕！");
         taobao_->m_SearchButton.UserClick();
       },
       [&](bool ran) {
         // The end message comes once every worker has ended, those that
         // never ran included.
         EXPECT_TRUE(PumpUntil([&] { return BoxesWithText("全部下载完毕！") > boxes_before; }, 60s));
         EXPECT_EQ(BoxesWithText("全部下载完毕！"), boxes_before + 1);
         EXPECT_EQ(taobao_->m_ItemList.GetItemCount(), ran ? 90 : 0);
       }},
      {"batch listing", kBatchUpShelfThreadCount,
       [&] {
         FillShopList(items);
         centre_->ClearOperationForms();
       },
       [&] { taobao_->OnBatchUpShelf(); },
       [&](bool ran) { EXPECT_EQ(UpShelfForms(), ran ? 5 : 0); }},
      {"duplicate collection", 50, [&] { FillShopList(items); },
       [&] { dup_page_->OnCollectItems(); },
       [&](bool ran) { EXPECT_EQ(CollectedRecords(), ran ? 90u : 0u); }},
      {"duplicate scan", 1,
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
       [&](bool ran) { EXPECT_EQ(dup_page_->m_ResultList.GetItemCount() > 0, ran); }},
  };

  dup_page_ = std::make_unique<QuChongFu>();
  ASSERT_TRUE(dup_page_->Create(QuChongFu::IDD, nullptr));
  for (const RunType& run : runs) {
    // All but one refused; then all of them.
    for (const bool ran : {true, false}) {
      SCOPED_TRACE(std::string(run.name) + (ran ? ", one thread made" : ", no thread made"));
      run.prepare();
      worker_registry::FailThreadStartsForTesting(run.threads - (ran ? 1 : 0));
      run.start();
      ASSERT_TRUE(WaitWorkers(60s));
      // The download's save at its end may take what is left of the refusals.
      worker_registry::FailThreadStartsForTesting(0);
      run.check(ran);
      ASSERT_TRUE(WaitWorkers(60s));
    }
  }
}

// Saves into a database that refuses every write: each refused statement is
// reported, with SQLite's reason and the statement.
TEST_F(FailuresTest, ASaveTheDatabaseRefusesIsReported) {
  {
    sqlite3* db = OpenItemDb();
    ASSERT_NE(db, nullptr);
    ASSERT_TRUE(RunItemSql(db,
                           "CREATE TRIGGER NoInsert BEFORE INSERT ON DDItems BEGIN "
                           "SELECT RAISE(ABORT, 'list is read-only'); END;"
                           "CREATE TRIGGER NoUpdate BEFORE UPDATE ON DDItems BEGIN "
                           "SELECT RAISE(ABORT, 'list is read-only'); END;"));
    sqlite3_close(db);
  }
  const std::vector<sites::ShopItem> items = OnSaleShop(3);
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
       {"INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT '" + items[0].id,
        "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT '" + items[2].id}},
  };
  for (const Save& save : saves) {
    SCOPED_TRACE(save.name);
    ::testing::internal::CaptureStderr();
    save.start();
    const bool ended = WaitWorkers(60s);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(DbRows().empty());
    for (const std::string& statement : save.statements) {
      EXPECT_NE(said.find("item database: list is read-only (19) in: " + statement), std::string::npos)
          << said;
    }
  }
}

}  // namespace
