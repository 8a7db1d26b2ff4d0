// The duplicate finder page, headless: its buttons pressed as the user
// presses them, over a shop list of our own. The results are held against
// a scan that compares every record with every record, as the page's rows
// are defined.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "shop/QuChongFu.h"

namespace {

using namespace std::chrono_literals;

struct Item {
  std::string id, code;
};

// One result row: number, item id, merchant code.
struct Row {
  std::string number, id, code;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.number << ", " << row.id << ", " << row.code << "}";
}

// Every record against every record, in array order: a record is listed
// when another item carries its code, unless the same item stood earlier.
std::vector<Row> ReferenceScan(const std::vector<Item>& records, int first_number) {
  std::vector<Row> rows;
  int number = first_number;
  for (size_t i = 0; i < records.size(); ++i) {
    const Item& a = records[i];
    bool partner = false, seen = false;
    for (size_t j = 0; j < records.size(); ++j) {
      const Item& b = records[j];
      if (b.code != a.code) continue;
      if (b.id != a.id) partner = true;
      else if (j < i) seen = true;
    }
    if (partner && !seen) rows.push_back({std::to_string(number++), a.id, a.code});
  }
  return rows;
}

class DuplicateFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
    for (const char* heading : {"编号", " 淘宝商品ID", "商家编码"}) {
      shop_list_.InsertColumn(shop_list_.GetColumnCount(), heading);
    }
    g_ItemList = &shop_list_;
    {
      StateLock lock(g_DupStateLock);
      g_DupResultRow = 0;  // the program never resets it; each test starts afresh
      g_TbInfoArray.reset();
    }
    page_ = std::make_unique<QuChongFu>();
    ASSERT_TRUE(page_->Create(QuChongFu::IDD, nullptr));
  }

  void TearDown() override {
    EXPECT_TRUE(WaitWorkers());
    page_->DestroyWindow();
    page_.reset();
    ui::RunPending();
    g_DupList = nullptr;
    g_DupProgressEdit = nullptr;
    g_ItemList = nullptr;
  }

  // The work lock, as a throttled listing request holds it: the workers'
  // claims wait, the buttons do not.
  struct WorkLock {
    WorkLock() { g_WorkMutex.Lock(); }
    ~WorkLock() { g_WorkMutex.Unlock(); }
  };
  using StateLock = std::lock_guard<std::mutex>;

  void Fill(const std::vector<Item>& items) {
    shop_list_.DeleteAllItems();
    for (size_t i = 0; i < items.size(); ++i) {
      shop_list_.InsertRow(static_cast<int>(i),
                           {std::to_string(i), items[i].id, items[i].code});
    }
  }
  static bool WaitWorkers() {
    const bool ended =
        ui::PumpUntil([] { return worker_registry::LiveCount() == 0; }, 120s);
    ui::RunPending();
    return ended;
  }
  void Press(int id) {
    auto* button = dynamic_cast<CButton*>(page_->GetDlgItem(id));
    ASSERT_NE(button, nullptr);
    button->UserClick();
  }
  void Collect() {
    Press(IDC_QC_COLLECT);
    ASSERT_TRUE(WaitWorkers());
  }
  void Scan() {
    Press(IDC_QC_START_CHECK);
    ASSERT_TRUE(WaitWorkers());
  }
  // Puts records into the array in this order, as a collection might have.
  static void SetRecords(const std::vector<Item>& records) {
    auto array = std::make_shared<TbInfoArray>();
    for (const Item& item : records)
      array->push_back(std::make_unique<const TbInfo>(TbInfo{item.id, item.code}));
    StateLock lock(g_DupStateLock);
    g_TbInfoArray = array;
  }
  // The records of the current array, in its order.
  static std::vector<Item> Records() {
    std::vector<Item> records;
    StateLock lock(g_DupStateLock);
    if (g_TbInfoArray) {
      for (const auto& record : *g_TbInfoArray)
        records.push_back({record->TbId.str(), record->DDID.str()});
    }
    return records;
  }
  std::vector<Row> Results(int from = 0) const {
    std::vector<Row> rows;
    for (int i = from; i < page_->m_ResultList.GetItemCount(); ++i) {
      rows.push_back({page_->m_ResultList.GetItemText(i, 0).str(),
                      page_->m_ResultList.GetItemText(i, 1).str(),
                      page_->m_ResultList.GetItemText(i, 2).str()});
      EXPECT_EQ(page_->m_ResultList.GetItemText(i, 3), "");
      EXPECT_EQ(page_->m_ResultList.GetItemText(i, 4), "");
    }
    return rows;
  }
  std::string Progress() const { return page_->m_ProgressEdit.GetWindowText().str(); }
  static std::string ScanEnd(size_t count) {
    return "正在查：第" + std::to_string(count - 1) + "行";
  }

  CListCtrl shop_list_;
  std::unique_ptr<QuChongFu> page_;
};

TEST_F(DuplicateFinderTest, PagePublishesItsListWithFiveCentredColumns) {
  EXPECT_EQ(g_DupList, &page_->m_ResultList);
  EXPECT_EQ(g_DupProgressEdit, &page_->m_ProgressEdit);
  const CListCtrl& list = page_->m_ResultList;
  ASSERT_EQ(list.GetColumnCount(), 5);
  const std::pair<const char*, int> columns[] = {
      {"编号", 50}, {" 淘宝商品ID", 100}, {"商家编码", 100}, {"操作动作", 100}, {"日志", 200}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list.GetColumn(i).heading, columns[i].first);
    EXPECT_EQ(list.GetColumn(i).width, columns[i].second);
    EXPECT_EQ(list.GetColumn(i).format, LVCFMT_CENTER);
  }
  EXPECT_EQ(list.GetExtendedStyle(), 0x225u);
}

// The records in a known array order, scanned once.
TEST_F(DuplicateFinderTest, EdgeCasesOfPartners) {
  struct Case {
    const char* name;
    std::vector<Item> records;
    std::vector<Row> rows;
  };
  const Case cases[] = {
      {"a code on two items lists both",
       {{"1", "A"}, {"2", "A"}, {"3", "B"}},
       {{"0", "1", "A"}, {"1", "2", "A"}}},
      {"three items: one row each",
       {{"1", "A"}, {"2", "A"}, {"3", "A"}},
       {{"0", "1", "A"}, {"1", "2", "A"}, {"2", "3", "A"}}},
      {"four items: one row each",
       {{"1", "A"}, {"2", "A"}, {"3", "A"}, {"4", "A"}},
       {{"0", "1", "A"}, {"1", "2", "A"}, {"2", "3", "A"}, {"3", "4", "A"}}},
      {"same id and code are no partners",
       {{"1", "A"}, {"1", "A"}, {"2", "B"}},
       {}},
      {"an item twice is listed once, where it first stands",
       {{"1", "A"}, {"2", "A"}, {"1", "A"}},
       {{"0", "1", "A"}, {"1", "2", "A"}}},
      {"an item twice after its partner",
       {{"2", "A"}, {"1", "A"}, {"1", "A"}, {"3", "B"}},
       {{"0", "2", "A"}, {"1", "1", "A"}}},
      {"empty codes are partners when ids differ",
       {{"1", ""}, {"4", "B"}, {"2", ""}},
       {{"0", "1", ""}, {"1", "2", ""}}},
      {"codes compare exactly",
       {{"1", "a"}, {"2", "A"}, {"3", "A "}, {"4", "A"}},
       {{"0", "2", "A"}, {"1", "4", "A"}}},
      {"the last record takes part",
       {{"1", "A"}, {"2", "B"}, {"3", "C"}, {"4", "A"}},
       {{"0", "1", "A"}, {"1", "4", "A"}}},
      {"a single record", {{"1", "A"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    page_->m_ResultList.DeleteAllItems();
    {
      StateLock lock(g_DupStateLock);
      g_DupResultRow = 0;
    }
    SetRecords(c.records);
    Scan();
    EXPECT_EQ(Results(), c.rows);
    EXPECT_EQ(Progress(), ScanEnd(c.records.size()));
  }
}

TEST_F(DuplicateFinderTest, BeforeAnyCollectionOrOnAnEmptyListNothingIsListed) {
  page_->m_ProgressEdit.SetWindowText("x");
  Scan();
  EXPECT_TRUE(Results().empty());
  EXPECT_EQ(Progress(), "x");
  Collect();
  ASSERT_NE(g_TbInfoArray, nullptr);
  EXPECT_TRUE(g_TbInfoArray->empty());
  Scan();
  EXPECT_TRUE(Results().empty());
  EXPECT_EQ(Progress(), "x");
}

TEST_F(DuplicateFinderTest, CollectionTakesEveryRowOnceAndASecondRunAppendsNumberedOn) {
  std::vector<Item> items;
  for (int i = 0; i < 2000; ++i)
    items.push_back({std::to_string(500000 + i), std::to_string(9000 + i % 700)});
  Fill(items);
  Collect();
  const std::vector<Item> records = Records();
  ASSERT_EQ(records.size(), items.size());
  std::map<std::string, std::string> by_id;
  for (const Item& record : records) by_id[record.id] = record.code;
  ASSERT_EQ(by_id.size(), items.size());
  for (const Item& item : items) EXPECT_EQ(by_id[item.id], item.code);
  EXPECT_EQ(Progress().rfind("正在整理第", 0), 0u) << Progress();

  Scan();
  const std::vector<Row> first = ReferenceScan(records, 0);
  ASSERT_EQ(first.size(), items.size());  // every code stands on two or three items
  EXPECT_EQ(Results(), first);
  EXPECT_EQ(Progress(), ScanEnd(items.size()));

  Collect();
  Scan();
  EXPECT_EQ(Results(static_cast<int>(first.size())),
            ReferenceScan(Records(), static_cast<int>(first.size())));
  EXPECT_EQ(page_->m_ResultList.GetItemCount(), static_cast<int>(first.size() * 2));
}

// Random shops with few codes (groups of two to six and more), repeated
// ids and empty texts, collected and scanned through the page.
TEST_F(DuplicateFinderTest, RandomShopsGiveTheRowsOfTheFullComparison) {
  std::mt19937 random(20261207);
  int listed = 0;
  // How often each shape came up: codes on 1 to 4 (and more) distinct items,
  // empty codes that are shared, an item that stands twice in a shared code.
  std::map<std::string, int> shapes;
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int size = std::uniform_int_distribution<int>(0, 120)(random);
    const int codes = std::max(1, size / std::uniform_int_distribution<int>(2, 5)(random));
    const int ids = std::max(1, size - std::uniform_int_distribution<int>(0, size / 4 + 1)(random));
    std::vector<Item> items;
    for (int i = 0; i < size; ++i) {
      const int code = std::uniform_int_distribution<int>(0, codes)(random);
      const int id = std::uniform_int_distribution<int>(0, ids)(random);
      items.push_back({id == 0 ? "" : std::to_string(600000 + id),
                       code == 0 ? "" : std::to_string(7000 + code)});
    }
    std::map<std::string, std::map<std::string, int>> by_code;
    for (const Item& item : items) ++by_code[item.code][item.id];
    for (const auto& [code, ids_of_code] : by_code) {
      ++shapes["items " + std::to_string(std::min<size_t>(ids_of_code.size(), 5))];
      if (ids_of_code.size() < 2) continue;
      if (code.empty()) ++shapes["shared empty code"];
      for (const auto& id_count : ids_of_code) shapes["item twice"] += id_count.second > 1;
    }
    Fill(items);
    Collect();
    const std::vector<Item> records = Records();
    ASSERT_EQ(records.size(), items.size());
    Scan();
    const std::vector<Row> expected = ReferenceScan(records, listed);
    ASSERT_EQ(Results(listed), expected);
    if (!items.empty()) {
      EXPECT_EQ(Progress(), ScanEnd(items.size()));
    }
    listed += static_cast<int>(expected.size());
  }
  EXPECT_GT(listed, 3000);
  for (const char* shape : {"items 1", "items 2", "items 3", "items 4", "items 5",
                            "shared empty code", "item twice"})
    EXPECT_GE(shapes[shape], 50) << shape;
}

// A list large enough that a collection is still appending while the
// buttons are pressed again.
std::vector<Item> LargeShop() {
  std::vector<Item> items;
  for (int i = 0; i < 20000; ++i)
    items.push_back({std::to_string(800000 + i), std::to_string(40000 + i % 6000)});
  return items;
}

TEST_F(DuplicateFinderTest, ScanDuringCollectionReadsOnlyCollectedRecords) {
  const std::vector<Item> items = LargeShop();
  Fill(items);
  std::set<std::pair<std::string, std::string>> known;
  for (const Item& item : items) known.insert({item.id, item.code});
  // Scans pressed at three points of one collection; should the collection
  // end before all three, the next one is tried.
  int during_collection = 0;
  for (int attempt = 0; attempt < 20 && during_collection < 3; ++attempt) {
    during_collection = 0;
    Press(IDC_QC_COLLECT);
    for (bool ended = false; during_collection < 3 && !ended;) {
      if (!g_WorkMutex.Lock(0)) continue;
      const size_t size = g_TbInfoArray->size();
      ended = size == items.size();
      if (!ended && size > items.size() * during_collection / 3) {
        Press(IDC_QC_START_CHECK);
        ++during_collection;
      }
      g_WorkMutex.Unlock();
    }
    ASSERT_TRUE(WaitWorkers());
  }
  EXPECT_EQ(during_collection, 3);
  // Scans over the records collected so far list rows of the shop, numbered
  // in the list's order.
  const std::vector<Row> during = Results();
  for (size_t i = 0; i < during.size(); ++i) {
    EXPECT_EQ(during[i].number, std::to_string(i));
    EXPECT_TRUE(known.count({during[i].id, during[i].code})) << during[i];
  }
  // The collection went on to the end: every row once.
  ASSERT_EQ(Records().size(), items.size());
  Scan();
  EXPECT_EQ(Results(static_cast<int>(during.size())),
            ReferenceScan(Records(), static_cast<int>(during.size())));
}

TEST_F(DuplicateFinderTest, CollectionPressedAgainWhileCollectingHoldsEachRowOnce) {
  const std::vector<Item> items = LargeShop();
  Fill(items);
  for (int press = 0; press < 4; ++press) {
    Press(IDC_QC_COLLECT);
    std::this_thread::sleep_for(3ms);
  }
  ASSERT_TRUE(WaitWorkers());
  const std::vector<Item> records = Records();
  ASSERT_EQ(records.size(), items.size());
  std::set<std::string> ids;
  for (const Item& record : records) ids.insert(record.id);
  EXPECT_EQ(ids.size(), items.size());
}

TEST_F(DuplicateFinderTest, CollectionPressedDuringScanKeepsTheScannedRecords) {
  const std::vector<Item> items = LargeShop();
  Fill(items);
  Collect();
  const std::vector<Item> scanned = Records();
  // Catch a scan between two of its claims and replace the array under it.
  // Should a scan end before it is caught, the next one is tried.
  bool caught = false;
  for (int attempt = 0; attempt < 20 && !caught; ++attempt) {
    const int before = page_->m_ResultList.GetItemCount();
    Press(IDC_QC_START_CHECK);
    for (bool ended = false; !caught && !ended;) {
      if (!g_WorkMutex.Lock(0)) continue;
      if (g_NextScanIndex > 0 && g_NextScanIndex < static_cast<int>(scanned.size())) {
        caught = true;
        Press(IDC_QC_COLLECT);
        EXPECT_TRUE(g_TbInfoArray->empty());
      }
      ended = g_NextScanIndex >= static_cast<int>(scanned.size());
      g_WorkMutex.Unlock();
    }
    ASSERT_TRUE(WaitWorkers());
    EXPECT_EQ(Results(before), ReferenceScan(scanned, before));
  }
  EXPECT_TRUE(caught);
  EXPECT_EQ(Records().size(), items.size());
}

TEST_F(DuplicateFinderTest, ClaimsWaitWhileTheLockIsHeldPastTheirTimeOut) {
  Fill(LargeShop());
  size_t collected = 0;
  int next_row = 0;
  {
    WorkLock lock;
    Press(IDC_QC_COLLECT);
    collected = g_TbInfoArray->size();
    next_row = g_NextFillRow;
    std::this_thread::sleep_for(1200ms);  // more than two timed waits
    EXPECT_EQ(g_TbInfoArray->size(), collected);
    EXPECT_EQ(g_NextFillRow, next_row);
  }
  ASSERT_TRUE(WaitWorkers());
  EXPECT_EQ(Records().size(), 20000u);
}

TEST_F(DuplicateFinderTest, EachItemOfALargeGroupIsListedOnce) {
  // Counting alone, on a large group whose 500 items each stand twice.
  std::vector<TbInfo> storage;
  for (int i = 0; i < 1000; ++i) storage.push_back({std::to_string(i % 500), "X"});
  std::vector<const TbInfo*> records;
  for (const TbInfo& info : storage) records.push_back(&info);
  const std::vector<bool> listed = DuplicatesListed(records);
  for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i], i < 500) << i;
}

}  // namespace
