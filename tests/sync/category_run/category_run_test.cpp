// The category method of the sync page, driven through its handlers (its
// buttons stay hidden), headless against the local marketplace and
// bookstores: step 1 by the category table, step 2 by the bookstore pages
// with its wait at a ticked shop row.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "sync/category_sync.h"
#include "sync/sync_run.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;

std::string Money(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

class CategoryRunTest : public support::SyncFixture {
 protected:
  void SetUp() override {
    SyncFixture::SetUp();
    AddAllProductsRule("10", "0");  // the new price is the base (or sale) price
    categories_.InsertColumn(0, "");
    for (int c = 0; c < 4; ++c) categories_.InsertColumn(c, "");
    g_CategoryList = &categories_;
  }
  void TearDown() override {
    SyncFixture::TearDown();
    g_CategoryMap->RemoveAll();
    g_CategoryList = nullptr;
  }

  std::vector<sites::ShopItem> OnSaleShop(int count) {
    sites::ShopOptions options;
    options.count = count;
    options.on_sale = true;
    return sites::GenerateShop(options);
  }
  int ShopTicks() const {
    int ticks = 0;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ticks += taobao_->m_ItemList.GetCheck(i) ? 1 : 0;
    return ticks;
  }
  std::string Analysed() const { return tongbu_->m_AnalysedEdit.GetWindowText().str(); }

  CListCtrl categories_;
};

// An empty map: every row is claimed, none has a category, nothing is
// ticked, and the consumer ends with the producers and announces the end.
TEST_F(CategoryRunTest, StepOneWithAnEmptyMapEndsByItself) {
  ASSERT_TRUE(Download(OnSaleShop(20)));
  EXPECT_TRUE(LookupCategory("20000000").IsEmpty());
  tongbu_->OnCategoryStep1();
  EXPECT_FALSE(taobao_->m_ItemList.IsWindowEnabled());
  EXPECT_FALSE(tongbu_->m_CategoryStep1Button.IsWindowEnabled());
  EXPECT_FALSE(tongbu_->m_StartButton.IsWindowEnabled());
  ASSERT_TRUE(WaitSyncDone());
  EXPECT_EQ(BoxesWithText("全部同步 完毕！"), 1);
  EXPECT_EQ(Analysed(), "20") << "every row claimed";
  EXPECT_EQ(ShopTicks(), 0);
  EXPECT_TRUE(Results().empty());
  EXPECT_TRUE(tongbu_->m_StartButton.IsWindowEnabled());
  EXPECT_FALSE(tongbu_->m_CategoryStep1Button.IsWindowEnabled()) << "only the stop command frees it";
  EXPECT_FALSE(tongbu_->m_CategoryStep1Button.IsWindowVisible());

  tongbu_->OnStopCategorySync();
  EXPECT_TRUE(tongbu_->m_CategoryStep1Button.IsWindowEnabled());
  EXPECT_TRUE(tongbu_->m_CategoryStep2Button.IsWindowEnabled());
  EXPECT_TRUE(taobao_->m_ItemList.IsWindowEnabled());
}

// A filled map: items of a category are priced by its base price, the
// others are left unticked; the consumer edits the prices.
TEST_F(CategoryRunTest, StepOnePricesByTheCategory) {
  const auto items = OnSaleShop(12);
  ASSERT_TRUE(Download(items));
  categories_.InsertRow(0, {"0", "文学", "40.00", "30.00"});
  categories_.InsertRow(1, {"1", "童书", "25.00", "12.50"});
  std::set<std::string> priced;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i % 3 == 2) continue;  // no category
    const char* category = i % 3 == 0 ? "0" : "1";
    g_CategoryMap->SetAt(items[i].code.c_str(), category);
    priced.insert(items[i].id);
  }
  EXPECT_EQ(LookupCategory(items[1].code.c_str()), "1");
  EXPECT_TRUE(LookupCategory("").IsEmpty());

  tongbu_->OnCategoryStep1();
  ASSERT_TRUE(PumpUntil([&] {
    int ticked = 0;
    for (const auto& row : Results()) ticked += row.ticked;
    return g_LiveProducers.load() == 0 && ticked == static_cast<int>(priced.size());
  }));
  tongbu_->m_StopButton.UserClick();
  ASSERT_TRUE(WaitSyncDone());

  std::set<std::string> listed;
  for (const auto& row : Results()) {
    SCOPED_TRACE(row.cells[1]);
    listed.insert(row.cells[1]);
    const bool first = LookupCategory(row.cells[2].c_str()) == "0";
    EXPECT_EQ(row.cells[4], first ? "30.00" : "12.50");
    EXPECT_EQ(row.cells[6].find("{\"success\":true"), 0u);
    EXPECT_TRUE(row.ticked);
  }
  EXPECT_EQ(listed, priced);
  for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) {
    const CString code = taobao_->m_ItemList.GetItemText(i, 2);
    EXPECT_EQ(taobao_->m_ItemList.GetCheck(i) != 0, !LookupCategory(code).IsEmpty()) << code.str();
  }
  EXPECT_EQ(PriceEdits().size(), priced.size());
}

// Step 2 waits at a ticked shop row: it goes on once the row is unticked,
// and ends when the step is stopped while it waits.
TEST_F(CategoryRunTest, StepTwoWaitsAtATickedRow) {
  const auto items = OnSaleShop(10);
  for (const auto& item : items) SetSalePrice(item, Money(std::stod(item.price) + 1));
  ASSERT_TRUE(Download(items));
  books_->SetSlowDelay(150ms);
  books_->SetProductReplies(sites::ReplyMode::kSlow);
  tongbu_->m_ThreadCombo.UserSelect(0);  // one producer

  tongbu_->OnCategoryStep2();
  EXPECT_TRUE(taobao_->m_ItemList.IsWindowEnabled());
  EXPECT_FALSE(tongbu_->m_CategoryStep2Button.IsWindowEnabled());
  // Row 7 ticked by hand long before the producer gets there.
  taobao_->m_ItemList.SetCheck(7, TRUE);
  ASSERT_TRUE(PumpUntil([&] { return Analysed() == "7" && taobao_->m_ItemList.GetCheck(6); }));
  // Held at row 7: a while later it still has not claimed it.
  PumpUntil([] { return false; }, 400ms);
  EXPECT_EQ(Analysed(), "7");
  taobao_->m_ItemList.SetCheck(7, FALSE);
  ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0; }));
  EXPECT_EQ(Analysed(), "10");
  EXPECT_EQ(ShopTicks(), 10);
  EXPECT_EQ(books_->ProductPageRequests(), 10);

  // Stopped while it waits: the producer ends there; the consumer goes on
  // until Stop, then announces the end.
  tongbu_->m_StopButton.UserClick();
  ASSERT_TRUE(WaitSyncDone());
  tongbu_->OnStopCategorySync();
  EXPECT_FALSE(tongbu_->m_StopButton.IsWindowEnabled());
  tongbu_->OnCategoryStep2();
  EXPECT_TRUE(tongbu_->m_StopButton.IsWindowEnabled()) << "the step can be stopped";
  taobao_->m_ItemList.SetCheck(4, TRUE);
  ASSERT_TRUE(PumpUntil([&] { return Analysed() == "4" && taobao_->m_ItemList.GetCheck(3); }));
  tongbu_->OnStopCategorySync();
  ASSERT_TRUE(PumpUntil([&] { return g_LiveProducers.load() == 0; }));
  EXPECT_EQ(Analysed(), "4");
  for (int i = 5; i < 10; ++i) EXPECT_FALSE(taobao_->m_ItemList.GetCheck(i)) << i;
  tongbu_->m_StopButton.UserClick();
  ASSERT_TRUE(WaitSyncDone(1));
}

}  // namespace
