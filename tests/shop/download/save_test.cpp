// Saving the item list into the account's database on 20 threads, and the
// two re-loads, headless against the local marketplace (the re-loads fetch
// the form token).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "store/item_db.h"
#include "tests/shop/download/shop_fixture.h"
#include "tests/support/sync_fixture.h"

namespace shoptest {
namespace {

class SaveTest : public ShopFixture {
 protected:
  void AddRow(const std::string& number, const std::string& id, const std::string& code,
              const std::string& price) {
    CListCtrl& list = page_->m_ItemList;
    list.InsertRow(list.GetItemCount(), {number, id, code, price});
  }
  void FillList(int count, int first = 0) {
    for (int i = first; i < first + count; ++i) {
      AddRow(std::to_string(i), std::to_string(700000 + i), std::to_string(30000000 + i),
             std::to_string(i % 97) + ".50");
    }
  }
  bool Save() {
    page_->SendMessage(WM_COMMAND, ID_SAVE_DATA, 0);
    return WaitWorkers();
  }
  void Exec(const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(ItemDbPath().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
  }
  std::string Count() const { return page_->m_ItemCountEdit.GetWindowText().str(); }
};

TEST_F(SaveTest, StoresEveryRowOnceNotUpdatedAndNamesRowsFromZero) {
  AddRow("0", "5001", "12345678", "19.90");
  ASSERT_TRUE(Save());
  EXPECT_EQ(page_->m_SaveStatusText.GetWindowText(), "已经保存第0行数据");
  const auto rows = DbRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "1");
  EXPECT_EQ(rows[0].tb_id, "5001");
  EXPECT_EQ(rows[0].code, "12345678");
  EXPECT_EQ(rows[0].price, "19.90");
  EXPECT_EQ(rows[0].is_update, "0");
  EXPECT_TRUE(ui::headless::MessageBoxes().empty()) << "a save from the menu announces nothing";
  EXPECT_EQ(g_ItemDb, nullptr);

  FillList(999, 1);
  ASSERT_TRUE(Save());
  const auto all = DbRows();
  ASSERT_EQ(all.size(), 1000u);
  std::set<std::string> ids;
  for (const DbRow& row : all) {
    ids.insert(row.tb_id);
    EXPECT_EQ(row.is_update, "0");
  }
  EXPECT_EQ(ids.size(), 1000u);
}

TEST_F(SaveTest, ListStoredAlreadyWritesNothingAndShowsNoProgress) {
  FillList(300);
  ASSERT_TRUE(Save());
  Exec("UPDATE DDItems SET Price='1.00', IsUpdate='1' WHERE ID=5");
  page_->m_SaveStatusText.SetWindowText("");
  ASSERT_TRUE(Save());
  EXPECT_EQ(page_->m_SaveStatusText.GetWindowText(), "");
  const auto rows = DbRows();
  ASSERT_EQ(rows.size(), 300u);
  EXPECT_EQ(rows[4].price, "1.00");  // the stored row keeps its values
  EXPECT_EQ(rows[4].is_update, "1");
}

// One item id in many rows, saved by 20 threads at the same moment, and two
// runs walking the same list at once: each item id is stored once.
TEST_F(SaveTest, OneItemIdIsStoredOnceWhateverTheTiming) {
  for (int i = 0; i < 400; ++i) AddRow(std::to_string(i), "4242", std::to_string(1000 + i), "2.00");
  ASSERT_TRUE(Save());
  EXPECT_EQ(DbRows().size(), 1u);

  page_->m_ItemList.DeleteAllItems();
  FillList(3000);
  page_->SendMessage(WM_COMMAND, ID_SAVE_DATA, 0);
  page_->SendMessage(WM_COMMAND, ID_SAVE_DATA, 0);
  ASSERT_TRUE(WaitWorkers());
  const auto rows = DbRows();
  std::set<std::string> ids;
  for (const DbRow& row : rows) EXPECT_TRUE(ids.insert(row.tb_id).second) << row.tb_id;
  EXPECT_EQ(rows.size(), 3001u);
}

// A save writes the rows the list held when it began: a search of the empty
// warehouse or "清空", 150 ms into the save of 20,000 rows, empties the list
// under it and loses none of them.
TEST_F(SaveTest, EmptyingTheListDuringASaveLosesNoRow) {
  struct Case {
    const char* name;
    std::function<void()> empty_list;
  };
  const Case cases[] = {
      {"搜索宝贝", [&] {
         ChooseItemSet(0);
         page_->m_SearchButton.UserClick();
       }},
      {"清空", [&] { page_->SendMessage(WM_COMMAND, ID_CLEAR_LIST, 0); }},
  };
  int first = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    page_->m_ItemList.DeleteAllItems();
    FillList(20000, first);
    page_->SendMessage(WM_COMMAND, ID_SAVE_DATA, 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    c.empty_list();
    EXPECT_EQ(page_->m_ItemList.GetItemCount(), 0);
    ASSERT_TRUE(PumpUntil([] { return g_ItemDb == nullptr && worker_registry::LiveCount() == 0; }));
    if (!page_->m_SearchButton.IsWindowEnabled()) page_->m_StopButton.UserClick();
    ASSERT_TRUE(WaitWorkers());
    std::set<std::string> ids;
    for (const DbRow& row : DbRows()) EXPECT_TRUE(ids.insert(row.tb_id).second) << row.tb_id;
    first += 20000;
    EXPECT_EQ(ids.size(), static_cast<size_t>(first));
    EXPECT_EQ(ids.count(std::to_string(700000 + first - 1)), 1u) << "the last row";
  }
  EXPECT_EQ(support::ItemDbIntegrity(), "ok");
}

// Texts from the seller centre's pages go into statements as values only.
TEST_F(SaveTest, QuotesInTheRowsNeitherBreakNorExtendAStatement) {
  const std::string evil_id = "1'); DELETE FROM DDItems; --";
  AddRow("0", "100", "10001", "1.00");
  AddRow("1", evil_id, "O'Neil", "3'5");
  AddRow("2", "' OR '1'='1", "20002", "2.00");
  ASSERT_TRUE(Save());
  ASSERT_TRUE(Save());  // the lookups find the quoted ids: nothing twice
  const auto rows = DbRows();
  ASSERT_EQ(rows.size(), 3u);
  std::set<std::string> ids;
  for (const DbRow& row : rows) ids.insert(row.tb_id);
  EXPECT_TRUE(ids.count(evil_id));
  EXPECT_TRUE(ids.count("' OR '1'='1"));
  for (const DbRow& row : rows) {
    if (row.tb_id != evil_id) continue;
    EXPECT_EQ(row.code, "O'Neil");
    EXPECT_EQ(row.price, "3'5");
  }
}

TEST_F(SaveTest, EmptyItemIdIsStoredOnce) {
  AddRow("0", "", "10001", "1.00");
  AddRow("1", "", "10002", "2.00");
  AddRow("2", "77", "10003", "3.00");
  ASSERT_TRUE(Save());
  const auto rows = DbRows();
  ASSERT_EQ(rows.size(), 2u);
  int empty = 0;
  for (const DbRow& row : rows) empty += row.tb_id.empty();
  EXPECT_EQ(empty, 1);
}

TEST_F(SaveTest, FailedOpenStoresNothingAndGoesOn) {
  FillList(50);
  std::filesystem::remove_all(folder_->path() + "/Data");
  ASSERT_TRUE(Save());
  EXPECT_EQ(BoxesWithText("创建db库失败！"), 1);
  EXPECT_EQ(page_->m_SaveStatusText.GetWindowText().Left(10), "已经保存第");
  EXPECT_FALSE(std::filesystem::exists(ItemDbPath()));
}

TEST_F(SaveTest, ReloadingTwiceKeepsEachItemOnce) {
  FillList(25);
  ASSERT_TRUE(Save());
  page_->m_ItemList.DeleteAllItems();
  centre_->ClearListRequests();
  const size_t requests_before = server_->RequestCount();

  page_->SendMessage(WM_COMMAND, ID_IMPORT_ALL, 0);
  EXPECT_EQ(Count(), "25");
  EXPECT_EQ(g_ListFromDb.load(), 1);
  EXPECT_TRUE(sync_start_.IsWindowEnabled());
  EXPECT_EQ(g_TbToken.Get().str(), centre_->Token());
  EXPECT_GT(server_->RequestCount(), requests_before) << "the token was fetched";

  const auto first = ListRows();
  page_->SendMessage(WM_COMMAND, ID_IMPORT_ALL, 0);
  EXPECT_EQ(Count(), "25");
  const auto rows = ListRows();
  ASSERT_EQ(rows.size(), 25u);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(rows[i][0], std::to_string(i + 1)) << "column 编号 shows ID";
  EXPECT_EQ(rows, first);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty()) << "no confirmation";
}

TEST_F(SaveTest, ReloadOfRowsNotUpdatedAsksAndTakesItsRange) {
  FillList(10);
  ASSERT_TRUE(Save());
  Exec("UPDATE DDItems SET IsUpdate='1' WHERE ID IN (2, 7)");
  page_->m_ItemList.DeleteAllItems();
  auto ids = [&] {
    std::vector<std::string> out;
    for (const auto& row : ListRows()) out.push_back(row[0]);
    return out;
  };
  auto import = [&](const char* from, const char* to, int answer) {
    page_->m_ItemList.DeleteAllItems();
    page_->m_ItemCountEdit.SetWindowText("");
    sync_start_.EnableWindow(FALSE);
    page_->m_RangeFromEdit.SetWindowText(from);
    page_->m_RangeToEdit.SetWindowText(to);
    ui::headless::ClearMessageBoxes();
    ui::headless::ScriptMessageBoxAnswers({answer});
    page_->SendMessage(WM_COMMAND, ID_IMPORT_NOT_UPDATED, 0);
    const auto boxes = ui::headless::MessageBoxes();
    return boxes.empty() ? std::string("(no question)") : boxes[0].text.str();
  };

  EXPECT_EQ(import("", "", IDOK), "亲，您确定要下载全部数据吗?");
  EXPECT_EQ(ids(), (std::vector<std::string>{"1", "3", "4", "5", "6", "8", "9", "10"}));
  EXPECT_EQ(Count(), "8");
  EXPECT_TRUE(sync_start_.IsWindowEnabled());

  EXPECT_EQ(import("2", "5", IDOK), "亲，您确定要下载第2至5条的数据吗?");
  EXPECT_EQ(ids(), (std::vector<std::string>{"3", "4", "5"}));

  // One bound missing, or not a number: nothing is loaded, the count and
  // the Start button all the same.
  for (auto [from, to] : {std::pair{"3", ""}, std::pair{"", "9"}, std::pair{"1 or 1=1", "9"},
                          std::pair{"1", "9; DELETE FROM DDItems"}, std::pair{"-1", "9"}}) {
    import(from, to, IDOK);
    EXPECT_TRUE(ids().empty()) << from << " / " << to;
    EXPECT_EQ(Count(), "0");
    EXPECT_TRUE(sync_start_.IsWindowEnabled());
  }
  EXPECT_EQ(DbRows().size(), 10u);

  // Cancel: nothing loaded; the token was fetched and the flag set before.
  g_TbToken = "";
  EXPECT_EQ(import("1", "10", IDCANCEL), "亲，您确定要下载第1至10条的数据吗?");
  EXPECT_TRUE(ids().empty());
  EXPECT_EQ(Count(), "");
  EXPECT_FALSE(sync_start_.IsWindowEnabled());
  EXPECT_EQ(g_TbToken.Get().str(), centre_->Token());
  EXPECT_EQ(g_ListFromDb.load(), 1);
}

}  // namespace
}  // namespace shoptest
