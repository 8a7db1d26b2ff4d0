// The saves of price runs against the local marketplace, headless: whatever
// the seller presses after a run (Start at once, Start before the stopped
// run's end was handled, Start with an edit still in flight, the program's
// end), the account's database ends with every price the shop confirmed,
// once per item and marked updated, in the order of the runs.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/internal.h"
#include "services/globals.h"
#include "store/item_db.h"
#include "store/save_run.h"
#include "sync/sync_run.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;
using sites::Cents;
using sites::PriceText;

class RunSavesTest : public support::SyncFixture {
 protected:
  // A shop of `count` items on sale, downloaded (and so saved with '0');
  // every bookstore price `raise` cents above the shop's.
  void Shop(int count, std::uint64_t first_id, long raise) {
    sites::ShopOptions options;
    options.count = count;
    options.on_sale = true;
    options.first_id = first_id;
    items_ = sites::GenerateShop(options);
    downloaded_.clear();
    for (const auto& item : items_) {
      downloaded_[item.id] = item.price;
      SetSalePrice(item, PriceText(Cents(item.price) + raise));
    }
    ASSERT_TRUE(Download(items_));
  }
  void Start() { tongbu_->m_StartButton.UserClick(); }
  void Stop() { tongbu_->m_StopButton.UserClick(); }
  int Ticked() const {
    int ticked = 0;
    for (const auto& row : Results()) ticked += row.ticked ? 1 : 0;
    return ticked;
  }
  bool Saved() {
    return PumpUntil([] { return ItemSaveRun::AllWritten() && g_ItemDb == nullptr; });
  }
  // Stop, without handling anything, until the stopped run's threads have
  // left: its end message waits in the queue.
  void StopLeavingTheEndUnhandled() {
    Stop();
    for (int waited = 0; worker_registry::LiveCount() > 0 && waited < 4000; ++waited)
      std::this_thread::sleep_for(5ms);
    ASSERT_EQ(worker_registry::LiveCount(), 0);
  }
  // Every item of the shop stands once in the database: with the price the
  // shop has and '1' when the shop's price changed, as downloaded and '0'
  // otherwise. Returns how many were changed.
  int ExpectDatabaseMatchesShop() {
    std::map<std::string, std::vector<support::ItemDbRow>> stored;
    for (auto& row : DbRows()) stored[row.tb_id].push_back(row);
    int changed = 0;
    for (const auto& item : centre_->Items()) {
      SCOPED_TRACE(item.id);
      const auto rows = stored[item.id];
      EXPECT_EQ(rows.size(), 1u);
      if (rows.empty()) continue;
      const bool edited = item.price != downloaded_[item.id];
      changed += edited ? 1 : 0;
      EXPECT_EQ(rows[0].price, item.price);
      EXPECT_EQ(rows[0].is_update, edited ? "1" : "0");
    }
    EXPECT_EQ(support::ItemDbIntegrity(), "ok");
    return changed;
  }

  std::vector<sites::ShopItem> items_;
  std::map<std::string, std::string> downloaded_;
};

// After a run of 2,000 edits: the seller presses Start at once after the
// end box, or before the page has handled the stopped run's end, or while
// its last edit is still in flight, or ends the program right after such a
// Start. The new run edits nothing itself (signed out), so what stands in
// the database is the first run's save.
TEST_F(RunSavesTest, TheRunsSaveKeepsEveryConfirmedPriceWhateverIsPressedNext) {
  enum class Then {
    kStartAfterTheEndBox,
    kStartBeforeTheEnd,
    kStartWithAnEditInFlight,
    kEndProgram,
    kCloseDuringTheRun,  // the main window's close box, without Stop
  };
  struct Case {
    const char* name;
    Then then;
    std::chrono::milliseconds end_after = 0ms;  // kEndProgram: after the new start
  };
  const Case cases[] = {
      {"Start right after the end box", Then::kStartAfterTheEndBox},
      {"Start before the stopped run's end", Then::kStartBeforeTheEnd},
      {"Start with an edit in flight", Then::kStartWithAnEditInFlight},
      {"the program's end at once after such a Start", Then::kEndProgram, 0ms},
      {"the program's end 50 ms after such a Start", Then::kEndProgram, 50ms},
      {"the program's end 200 ms after such a Start", Then::kEndProgram, 200ms},
      {"the close box while the run waits for Stop", Then::kCloseDuringTheRun},
  };
  AddAllProductsRule("10", "0");
  std::uint64_t first_id = 560000000000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shop(2000, first_id, 100);
    first_id += 10000;
    g_LoggedIn = 1;
    Start();
    if (c.then == Then::kStartWithAnEditInFlight) {
      ASSERT_TRUE(PumpUntil([&] { return Ticked() >= 1000; }));
      centre_->HoldOperations(true);
      ASSERT_TRUE(PumpUntil([&] { return centre_->OperationsInFlight() == 1; }));
      Stop();
    } else {
      ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0 && Ticked() == 2000; }));
      if (c.then == Then::kCloseDuringTheRun) {
        tongbu_->EndUnendedPriceRun();  // as the main window's close does
        ASSERT_TRUE(Saved());
        EXPECT_TRUE(ui::detail::StopWorkers(120s));
        EXPECT_EQ(ExpectDatabaseMatchesShop(), 2000);
        continue;
      }
      if (c.then == Then::kStartAfterTheEndBox) {
        const int boxes = BoxesWithText("全部同步 完毕！");
        Stop();
        ASSERT_TRUE(PumpUntil([&] { return BoxesWithText("全部同步 完毕！") > boxes; }));
      } else {
        StopLeavingTheEndUnhandled();
      }
    }
    g_LoggedIn = 0;
    Start();
    centre_->HoldOperations(false);
    if (c.then == Then::kEndProgram) {
      PumpUntil([] { return false; }, c.end_after);
      EXPECT_TRUE(ui::detail::StopWorkers(120s));
    } else {
      ASSERT_TRUE(Saved());
    }
    const int edited = ExpectDatabaseMatchesShop();
    if (c.then == Then::kStartWithAnEditInFlight) {
      EXPECT_GE(edited, 1001) << "the edit in flight went through";
    } else {
      EXPECT_EQ(edited, 2000);
    }
    if (c.then != Then::kEndProgram) {
      Stop();
      ASSERT_TRUE(WaitWorkers());
    }
    EXPECT_TRUE(ItemSaveRun::AllWritten());
  }
}

// Two runs of the same items, the first one's save (queued at a Start
// before its end was handled) held up by another writer until the second
// run has ended and queued its own: the second run's prices stay.
TEST_F(RunSavesTest, TheNewerRunsPricesStayWhenTheOlderSaveFallsBehind) {
  AddAllProductsRule("10", "0");
  Shop(2000, 580000000000, 100);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0 && Ticked() == 2000; }));
  StopLeavingTheEndUnhandled();

  // The second run: the seller has loaded 200 of the items again, whose
  // bookstore prices rose once more.
  CListCtrl& list = taobao_->m_ItemList;
  while (list.GetItemCount() > 200) list.DeleteItem(list.GetItemCount() - 1);
  for (int i = 0; i < 200; ++i) {
    const auto& item = *centre_->ItemWithId(list.GetItemText(i, 1).str());
    SetSalePrice(item, PriceText(Cents(downloaded_[item.id]) + 300));
  }

  // Another connection holds the write lock from before the Start until the
  // second run's save is queued (well within the savers' busy wait).
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(ItemDbPath().c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const int boxes = BoxesWithText("全部同步 完毕！");
  Start();
  const bool second_done = PumpUntil(
      [&] { return g_LiveProducers.load() == 0 && Ticked() == 200; }, 8s);
  Stop();
  const bool second_saving =
      second_done && PumpUntil([&] { return BoxesWithText("全部同步 完毕！") > boxes; }, 1s);
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  ASSERT_TRUE(second_saving);
  ASSERT_TRUE(WaitWorkers());
  ASSERT_TRUE(Saved());

  // The database holds what the shop holds, and the shop the second run's
  // prices where it edited them.
  EXPECT_EQ(ExpectDatabaseMatchesShop(), 2000);
  const auto second = Results();
  ASSERT_EQ(second.size(), 200u);
  for (const auto& row : second) EXPECT_EQ(centre_->ItemWithId(row.cells[1])->price, row.cells[4]);
}

}  // namespace
