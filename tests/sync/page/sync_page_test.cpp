// The sync page headless: its set-up and published globals, the refusals of
// Start, Stop, the radio group, the double-click, the end of a price run, and
// the save of the result list into the account's database on 20 threads.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file/profile.h"
#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "store/item_db.h"
#include "sync/TongBu.h"
#include "sync/result_save.h"
#include "sync/sync_run.h"
#include "tests/sites/hosts_ini.h"
#include "tests/support/page_globals.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;

using StoredRow = support::ItemDbRow;

std::vector<StoredRow> StoredRows() { return support::ItemDbRows(); }

void Exec(const std::string& sql) {
  sqlite3* db = OpenItemDb();
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

class SyncPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
    std::snprintf(g_CookieBuffer, sizeof g_CookieBuffer, "tracknick=synctest; t=1");
    folder_ = std::make_unique<sites::TestProgramFolder>();
    for (int c = 0; c < 4; ++c) shop_.InsertColumn(c, "");
    for (int c = 0; c < 5; ++c) rules_.InsertColumn(c, "");
    g_ItemList = &shop_;
    g_RuleList = &rules_;
    ASSERT_TRUE(page_.Create(TongBu::IDD, nullptr));
  }
  void TearDown() override {
    page_.m_StartButton.EnableWindow(TRUE);
    EXPECT_TRUE(WaitWorkers());
    page_.DestroyWindow();
    ui::RunPending();
    support::ForgetPageGlobals();
    g_RuleList = nullptr;
    g_CookieBuffer[0] = '\0';
    folder_.reset();
    ReloadHosts();
  }
  static bool WaitWorkers() { return support::WaitWorkersAndPosts(60s); }
  // A result row of a price run: id, code, old price, new price; ticked or not.
  void AddResult(const std::string& id, const std::string& code, const std::string& price,
                 bool ticked) {
    CListCtrl& list = page_.m_SyncList;
    const int row = list.GetItemCount();
    list.InsertRow(row, {std::to_string(row).c_str(), id.c_str(), code.c_str(), "10.00",
                         price.c_str(), "", "需要更新", ""});
    list.SetCheck(row, ticked);
  }
  bool Save() {
    page_.SendMessage(WM_COMMAND, ID_SAVE_UPDATED, 0);
    return WaitWorkers();
  }
  std::vector<ui::headless::MessageBoxRecord> Boxes() const { return ui::headless::MessageBoxes(); }

  std::unique_ptr<sites::TestProgramFolder> folder_;
  CListCtrl shop_, rules_;
  TongBu page_;
};

TEST_F(SyncPageTest, SetUpPublishesTheControlsAndStartsIdleWithStartDisabled) {
  EXPECT_EQ(g_SyncList, &page_.m_SyncList);
  EXPECT_EQ(g_SiteCombo, &page_.m_SiteCombo);
  EXPECT_EQ(g_SyncStartButton, &page_.m_StartButton);
  EXPECT_EQ(g_ListWhenInStockCheck, &page_.m_ListWhenInStockCheck);
  EXPECT_EQ(g_UpdateStockCheck, &page_.m_UpdateStockCheck);
  EXPECT_EQ(g_AnalysedEdit, &page_.m_AnalysedEdit);
  EXPECT_EQ(g_NeedUpdateEdit, &page_.m_NeedUpdateEdit);
  EXPECT_EQ(g_CurrentRowEdit, &page_.m_CurrentRowEdit);
  EXPECT_EQ(g_CategoryStep1Button, &page_.m_CategoryStep1Button);
  EXPECT_EQ(g_CategoryStep2Button, &page_.m_CategoryStep2Button);
  EXPECT_EQ(g_SyncStatusText, &page_.m_SyncStatusText);
  EXPECT_EQ(g_SyncHwnd, page_.GetSafeHwnd());
  EXPECT_EQ(g_StockActionMode.load(), 0);

  EXPECT_FALSE(page_.m_StartButton.IsWindowEnabled());
  EXPECT_TRUE(page_.m_StopButton.IsWindowEnabled());
  EXPECT_FALSE(page_.m_CategoryStep1Button.IsWindowVisible());

  const CListCtrl& list = page_.m_SyncList;
  ASSERT_EQ(list.GetColumnCount(), 8);
  const char* headings[] = {"编号", " 淘宝商品ID", "商家编码", "原价", "新价", "货存状况", "操作动作", "日志"};
  const int widths[] = {50, 100, 100, 100, 100, 50, 100, 200};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(list.GetColumn(c).heading, headings[c]);
    EXPECT_EQ(list.GetColumn(c).width, widths[c]);
    EXPECT_EQ(list.GetColumn(c).format, LVCFMT_CENTER);
  }

  struct Box {
    const CComboBox& combo;
    std::vector<std::string> entries;
    std::string selected;
  };
  std::vector<std::string> threads;
  for (int n = 1; n <= 15; ++n) threads.push_back(std::to_string(n));
  const Box boxes[] = {
      {page_.m_ProcessTypeCombo, {"更新价格", "更新库存", "更新库存和价格"}, "更新价格"},
      {page_.m_SiteCombo, {"当当网", "京东图书", "卓越图书", "博库", "文轩", "苏宁图书"}, "当当网"},
      {page_.m_ThreadCombo, threads, "15"},
  };
  for (const Box& box : boxes) {
    ASSERT_EQ(box.combo.GetCount(), static_cast<int>(box.entries.size()));
    for (int i = 0; i < box.combo.GetCount(); ++i) {
      CString text;
      box.combo.GetLBText(i, text);
      EXPECT_EQ(text.str(), box.entries[i]);
    }
    CString selected;
    box.combo.GetLBText(box.combo.GetCurSel(), selected);
    EXPECT_EQ(selected.str(), box.selected);
  }
}

TEST_F(SyncPageTest, StartRefusesWithoutConditionsAfterEmptyingTheResults) {
  struct Case {
    const char* name;
    int rules;
    bool tick_one;
    const char* type;  // added to the type box and chosen; null: "更新价格"
    const char* box;   // null: none
    const char* store = "当当网";
  };
  const Case cases[] = {
      {"no condition", 0, false, nullptr, "亲，请先在条件列表里添加条件！"},
      {"none ticked", 2, false, nullptr, "亲，请在条件列表里勾选一条作为同步条件！"},
      {"none ticked, stock type", 2, false, "更新库存", "亲，请在条件列表里勾选一条作为同步条件！"},
      {"unknown type", 1, true, "更新价格 ", nullptr},
      // Stores whose pages the program cannot read: no price run.
      {"卓越图书", 1, true, nullptr, "暂不支持读取卓越图书的页面，请选择当当网或京东图书。", "卓越图书"},
      {"博库", 1, true, nullptr, "暂不支持读取博库的页面，请选择当当网或京东图书。", "博库"},
      {"文轩, price and stock", 1, true, "更新库存和价格",
       "暂不支持读取文轩的页面，请选择当当网或京东图书。", "文轩"},
      {"苏宁图书", 1, true, nullptr, "暂不支持读取苏宁图书的页面，请选择当当网或京东图书。", "苏宁图书"},
  };
  shop_.InsertRow(0, {"0", "520000000001", "20000001", "20.00"});  // a run would tick it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::headless::ClearMessageBoxes();
    rules_.DeleteAllItems();
    for (int i = 0; i < c.rules; ++i) rules_.InsertRow(i, {"0", "所有商品", "", "9", "1"});
    if (c.tick_one) rules_.SetCheck(0, TRUE);
    page_.m_ProcessTypeCombo.SetCurSel(0);
    if (c.type) {
      int index = page_.m_ProcessTypeCombo.FindStringExact(-1, c.type);
      if (index < 0) index = page_.m_ProcessTypeCombo.AddString(c.type);
      page_.m_ProcessTypeCombo.SetCurSel(index);
    }
    page_.m_SiteCombo.SelectString(-1, c.store);
    AddResult("1", "2", "3.00", true);
    page_.m_StartButton.EnableWindow(TRUE);
    page_.m_StartButton.UserClick();

    EXPECT_EQ(page_.m_SyncList.GetItemCount(), 0);
    EXPECT_EQ(worker_registry::LiveCount(), 0) << "no thread starts";
    ASSERT_TRUE(WaitWorkers());
    EXPECT_FALSE(shop_.GetCheck(0)) << "no run";
    EXPECT_TRUE(page_.m_StartButton.IsWindowEnabled());
    const auto boxes = Boxes();
    if (c.box == nullptr) {
      EXPECT_TRUE(boxes.empty());
      continue;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.box);
    EXPECT_EQ(boxes[0].caption, g_SoftName);
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(boxes[0].owner, nullptr);
  }
}

TEST_F(SyncPageTest, StopEnablesStartRadioTakesTheActionAndDoubleClickOpensTheItemPage) {
  page_.m_StopButton.UserClick();
  EXPECT_TRUE(page_.m_StartButton.IsWindowEnabled());
  EXPECT_FALSE(page_.m_StopButton.IsWindowEnabled());

  const struct {
    int id, mode;
  } radios[] = {{IDC_SYNC_DELETE, 2}, {IDC_SYNC_DELIST, 1}, {IDC_SYNC_NO_ACTION, 0}};
  for (const auto& radio : radios) {
    static_cast<CButton*>(page_.GetDlgItem(radio.id))->UserClick();
    EXPECT_EQ(page_.m_StockActionMode, radio.mode);
    EXPECT_EQ(g_StockActionMode.load(), radio.mode);
  }

  AddResult("5550001", "123", "1.00", false);
  AddResult("5550002", "124", "1.00", false);
  page_.m_SyncList.UserHeaderDoubleClick(2);  // nothing selected yet
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "请选择");
  EXPECT_EQ(boxes[0].caption, "VorlupTovrane");
  EXPECT_EQ(boxes[0].owner, page_.GetSafeHwnd());
  EXPECT_TRUE(ui::headless::OpenedUrls().empty());

  page_.m_SyncList.UserDoubleClick(1, POINT{5, 5});
  page_.m_SyncList.UserHeaderDoubleClick(0);  // row 1 stays selected
  const auto urls = ui::headless::OpenedUrls();
  const CString expected = "https://" + Hosts().item + "/item.htm?id=5550002";
  EXPECT_EQ(urls, (std::vector<CString>{expected, expected}));
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(SyncPageTest, EndOfAPriceRunEnablesStartSavesTheTickedRowsAndSaysSo) {
  AddResult("7001", "30001", "12.50", true);
  AddResult("7002", "30002", "13.50", false);
  page_.PostMessage(WM_SYNC_DONE, CurrentSyncRun(), 0);
  ui::PumpUntil([&] { return !Boxes().empty(); }, 5s);
  ASSERT_TRUE(WaitWorkers());

  EXPECT_TRUE(page_.m_StartButton.IsWindowEnabled());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "全部同步 完毕！");
  EXPECT_EQ(boxes[0].caption, "提示");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(boxes[0].owner, page_.GetSafeHwnd());
  EXPECT_EQ(StoredRows(), (std::vector<StoredRow>{{"7001", "30001", "12.50", "1"}}));
  EXPECT_EQ(g_ItemDb, nullptr) << "the save's connection is closed after its last thread";
}

TEST_F(SyncPageTest, SaveStoresTickedRowsWithANewPriceOnly) {
  // Nothing ticked: the database stays untouched, the progress text too.
  page_.m_SyncStatusText.SetWindowText("before");
  AddResult("8001", "1", "1.00", false);
  AddResult("8002", "2", "2.00", false);
  ASSERT_TRUE(Save());
  EXPECT_TRUE(StoredRows().empty());
  EXPECT_EQ(page_.m_SyncStatusText.GetWindowText(), "before");

  // An empty list: the save ends at once.
  page_.m_SyncList.DeleteAllItems();
  ASSERT_TRUE(Save());
  EXPECT_EQ(page_.m_SyncStatusText.GetWindowText(), "before");

  // A new id is inserted, reported with the list's 0-based row number.
  AddResult("8101", "40001", "21.00", true);
  ASSERT_TRUE(Save());
  EXPECT_EQ(StoredRows(), (std::vector<StoredRow>{{"8101", "40001", "21.00", "1"}}));
  EXPECT_EQ(page_.m_SyncStatusText.GetWindowText(), "已经添加第0行数据");

  // An id stored twice: both rows get the new price; the old code stays.
  // A row without a new price (a stock run's) is passed over; quotes in a
  // value are stored as they are.
  Exec("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('8201','50001','9.00','0')");
  Exec("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('8201','50001','9.50','0')");
  Exec("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('8301','60001','7.00','0')");
  page_.m_SyncList.DeleteAllItems();
  AddResult("8201", "50001x", "19.90", true);
  AddResult("8301", "60001", "", true);
  AddResult("83'02", "6'0002", "5.00", true);
  ASSERT_TRUE(Save());
  EXPECT_EQ(StoredRows(), (std::vector<StoredRow>{{"8101", "40001", "21.00", "1"},
                                                  {"8201", "50001", "19.90", "1"},
                                                  {"8201", "50001", "19.90", "1"},
                                                  {"8301", "60001", "7.00", "0"},
                                                  {"83'02", "6'0002", "5.00", "1"}}));

  // Saving again writes the same values again; rows stay ticked.
  ASSERT_TRUE(Save());
  EXPECT_EQ(StoredRows().size(), 5u);
  EXPECT_TRUE(page_.m_SyncList.GetCheck(0));

  // The progress text of a stored item, row 0.
  page_.m_SyncList.DeleteAllItems();
  AddResult("8101", "40001", "22.00", true);
  ASSERT_TRUE(Save());
  EXPECT_EQ(page_.m_SyncStatusText.GetWindowText(), "已经保存第0行数据");
  EXPECT_EQ(StoredRows()[0], (StoredRow{"8101", "40001", "22.00", "1"}));
}

TEST_F(SyncPageTest, OverlappingSavesEachKeepTheirConnectionAndStoreEveryItemOnce) {
  for (int i = 0; i < 600; ++i) {
    AddResult(std::to_string(900000 + i), std::to_string(i), std::to_string(i % 50) + ".80", i % 3 != 0);
  }
  // Three saves started at once, from the menu and at the end of a run.
  page_.SendMessage(WM_COMMAND, ID_SAVE_UPDATED, 0);
  page_.SendMessage(WM_COMMAND, ID_SAVE_UPDATED, 0);
  page_.PostMessage(WM_SYNC_DONE, CurrentSyncRun(), 0);
  ASSERT_TRUE(WaitWorkers());
  const auto rows = StoredRows();
  ASSERT_EQ(rows.size(), 400u);
  for (const StoredRow& row : rows) {
    const int i = std::stoi(row.tb_id) - 900000;
    EXPECT_NE(i % 3, 0);
    EXPECT_EQ(row, (StoredRow{row.tb_id, std::to_string(i), std::to_string(i % 50) + ".80", "1"}));
  }
  EXPECT_EQ(g_ItemDb, nullptr);
}

TEST_F(SyncPageTest, StockOptionsComeFromTheOptionsFileOnlyAsTrueOrFalse) {
  const struct {
    const char* up;
    const char* update;
    bool up_ticked, update_ticked;
  } cases[] = {
      {"true", "true", true, true},
      {"false", "true", false, true},
      {"TRUE", nullptr, false, false},  // any other text, a missing key too, leaves the box
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.up);
    const CString ini = GetSystemIniPath();
    WritePrivateProfileStringA("SYSCONFIG", "HasStoreUp", c.up, ini);
    WritePrivateProfileStringA("SYSCONFIG", "HasStoreUpdate", c.update, ini);
    TongBu page;
    ASSERT_TRUE(page.Create(TongBu::IDD, nullptr));
    EXPECT_EQ(page.m_ListWhenInStockCheck.GetCheck() == BST_CHECKED, c.up_ticked);
    EXPECT_EQ(page.m_UpdateStockCheck.GetCheck() == BST_CHECKED, c.update_ticked);
    page.DestroyWindow();
  }
}

TEST_F(SyncPageTest, ResultListMenuOffersOnlyTheSaveAndSavesWhatIsTickedThen) {
  AddResult("9101", "70001", "15.00", true);
  ui::headless::ScriptPopupCommands({ID_SAVE_UPDATED});
  page_.m_SyncList.UserRightClick(0, POINT{10, 10});
  ASSERT_TRUE(WaitWorkers());
  const auto menus = ui::headless::PopupMenusShown();
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0], std::vector<CString>{"保存更新成功的数据"});
  EXPECT_EQ(StoredRows(), (std::vector<StoredRow>{{"9101", "70001", "15.00", "1"}}));
}

}  // namespace
