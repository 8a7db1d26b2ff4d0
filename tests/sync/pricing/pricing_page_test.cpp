// The pricing-conditions page, headless, in a program folder of its own: the
// conditions database, the options file and the province file as the page
// reads and writes them, compared byte for byte.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "platform/text/codepage.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "sync/DangDangTongBu.h"
#include "sync/option_checks.h"
#include "tests/sites/hosts_ini.h"
#include "tests/support/gui_session.h"
#include "tests/support/page_globals.h"

namespace fs = std::filesystem;

namespace {

// UTF-8 text: narrow literals here are GBK, as in the program.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// One good record, then a tail of 6,000 "x," pairs that the pattern
// library gives up on: 12,017 bytes.
std::string ProvinceFileWithAGiveUpTail() { return "11,北京,TRUE\r\n" + Repeated("x,", 6000) + "x\r\n"; }

// Rows of a query on a database file, cells joined by "|", rows by ";".
std::string Query(const fs::path& db_path, const char* sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open(db_path.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
          const auto* text = sqlite3_column_text(statement, c);
          out += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
        }
        out += ";";
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return out;
}

class PricingPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
  }
  void TearDown() override { Close(); }

  fs::path Data() const { return fs::path(folder_.path()) / "Data"; }
  fs::path Db() const { return Data() / "FenLei.db"; }
  fs::path Regions() const { return Data() / U8(u8"地区.txt"); }

  DangDangTongBu& Open() {
    Close();
    page_ = std::make_unique<DangDangTongBu>();
    EXPECT_TRUE(page_->Create(DangDangTongBu::IDD, nullptr));
    return *page_;
  }
  void Close() {
    if (page_) page_->DestroyWindow();
    page_.reset();
    ui::RunPending();
    support::ForgetPageGlobals();
  }

  // Rows of a list: its cells joined by "|", "+" in front when ticked.
  static std::vector<std::string> Rows(const CListCtrl& list) {
    std::vector<std::string> rows;
    for (int i = 0; i < list.GetItemCount(); ++i) {
      std::string row = list.GetCheck(i) ? "+" : "";
      for (int c = 0; c < list.GetColumnCount(); ++c)
        row += (c ? "|" : "") + list.GetItemText(i, c).str();
      rows.push_back(row);
    }
    return rows;
  }

  void AddRule(const char* type, const char* match, const char* discount, const char* markup) {
    page_->m_TypeCombo.SetCurSel(page_->m_TypeCombo.FindStringExact(-1, type));
    page_->m_MatchEdit.SetWindowText(match);
    page_->m_DiscountEdit.SetWindowText(discount);
    page_->m_MarkupEdit.SetWindowText(markup);
    Click(IDC_DD_ADD_RULE);
  }
  void Click(int id) { static_cast<CButton*>(page_->GetDlgItem(id))->UserClick(); }
  void Command(int id) {
    page_->SendMessage(WM_COMMAND, MAKEWPARAM_(id, 0), 0);
    ui::RunPending();
  }
  static int Boxes(const char* text) {
    int n = 0;
    for (const auto& box : ui::headless::MessageBoxes()) n += box.text == text;
    return n;
  }

  sites::TestProgramFolder folder_;
  std::unique_ptr<DangDangTongBu> page_;
};

TEST_F(PricingPageTest, FirstStartInAnEmptyDataFolder) {
  DangDangTongBu& page = Open();
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
  EXPECT_EQ(Query(Db(), "select name from sqlite_master order by name"), "FenLei;ZheKou;");
  EXPECT_EQ(page.m_RuleList.GetItemCount(), 0);
  EXPECT_EQ(page.m_RegionList.GetItemCount(), 0);
  for (CButton* box : {g_UseKeyWordCheck, g_UsePriceCheck, g_UseAllProductsCheck, g_QiangGouJiaCheck})
    EXPECT_EQ(box->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(g_YuanJiaZheEdit->GetWindowText(), "d");
  EXPECT_EQ(g_ShiYongZheEdit->GetWindowText(), "d");
  EXPECT_EQ(g_RuleList, &page.m_RuleList);
  EXPECT_EQ(g_RegionList, &page.m_RegionList);
  EXPECT_EQ(page.m_RuleList.GetExtendedStyle(), 0x225u);
  EXPECT_EQ(page.m_RegionList.GetExtendedStyle(), 0x225u);
  CString type;
  page.m_TypeCombo.GetLBText(page.m_TypeCombo.GetCurSel(), type);
  EXPECT_EQ(type, "关键字");
  // The missing province file is noted in the day's log.
  std::string log;
  for (const auto& entry : fs::directory_iterator(fs::path(folder_.path()) / "Log"))
    log += ReadBytes(entry.path());
  EXPECT_NE(log.find("地区.txt[不存在]"), std::string::npos);

  // The radio pair sets the published mode at once.
  Click(IDC_DD_REGION_IN_IF_ANY);
  EXPECT_EQ(g_RegionStockMode, 1);
  Click(IDC_DD_REGION_OUT_IF_ANY);
  EXPECT_EQ(g_RegionStockMode, 0);
}

TEST_F(PricingPageTest, HandMadeDatabaseListsItsRowsAndKeepsThemOnEveryOpen) {
  const std::string made = U8(
      u8"CREATE TABLE FenLei(ID INTEGER PRIMARY KEY,DDID VARCHAR(30),NewPrice VARCHAR(10),"
      u8"OldPrice VARCHAR(10));"
      u8"CREATE TABLE ZheKou(ID INTEGER PRIMARY KEY,IsCheck VARCHAR(10),TreatMethod VARCHAR(50),"
      u8"PiPei VARCHAR(50),ZheK VARCHAR(30),JiaJia VARCHAR(30));"
      u8"INSERT INTO ZheKou VALUES(3,NULL,'关键字','计算机','8.6','1');"
      u8"INSERT INTO ZheKou VALUES(7,NULL,'价格区间','0-88','9','0');"
      u8"INSERT INTO ZheKou VALUES(9,NULL,'所有商品',NULL,'9.5','2');"
      // Older files kept the markup as typed, in GBK: "1元".
      u8"INSERT INTO ZheKou VALUES(11,NULL,'所有商品','','8',CAST(X'31D4AA' AS TEXT));");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Db().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, made.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  const std::string stored = Query(Db(), "select * from ZheKou");
  // Shown in GBK, on the first open and on the next (the tables exist then).
  const std::vector<std::string> shown = {"3|关键字|计算机|8.6|1", "7|价格区间|0-88|9|0",
                                          "9|所有商品||9.5|2", "11|所有商品||8|1元"};
  EXPECT_EQ(Rows(Open().m_RuleList), shown);
  EXPECT_EQ(Rows(Open().m_RuleList), shown);
  EXPECT_EQ(Query(Db(), "select * from ZheKou"), stored);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

TEST_F(PricingPageTest, AddedConditionsShowTheirNumberAtOnceAndAreStoredAsUtf8) {
  Open();
  AddRule("关键字", "计算机", "8.6", "1");
  AddRule("价格区间", "0-88", "9", "0");
  AddRule("所有商品", "", "7", "");
  const std::vector<std::string> shown = {"1|关键字|计算机|8.6|1", "2|价格区间|0-88|9|0",
                                          "3|所有商品||7|"};
  EXPECT_EQ(Rows(page_->m_RuleList), shown);
  EXPECT_EQ(Query(Db(), "select * from ZheKou"),
            U8(u8"1||关键字|计算机|8.6|1;2||价格区间|0-88|9|0;3||所有商品||7|;"));
  EXPECT_EQ(Rows(Open().m_RuleList), shown);

  // Deleting a row added just now deletes it.
  AddRule("所有商品", "", "7", "7");
  page_->m_RuleList.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
  Command(ID_DELETE_RULE);
  EXPECT_EQ(Rows(page_->m_RuleList), shown);
  EXPECT_EQ(Rows(Open().m_RuleList), shown);

  // A reader that holds the file for a moment delays the add; it loses nothing.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(Db().c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM ZheKou;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  std::thread release([reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr);
  });
  AddRule("所有商品", "", "6", "");
  release.join();
  sqlite3_close(reader);
  EXPECT_EQ(Rows(page_->m_RuleList).back(), "4|所有商品||6|");
}

// "添加" stores a discount that is a plain decimal above 0 and a markup that
// is empty or a plain decimal; anything else gets a box naming the field and
// stores nothing.
TEST_F(PricingPageTest, AddRefusesADiscountOrMarkupThatIsNoPlainDecimal) {
  Open();
  const char* const kDiscount = "“折扣”须为大于0且不超过100的数字（例：8.6）";
  const char* const kMarkup = "“加价”须为空或绝对值小于100000的数字（例：6.6）";
  const struct {
    const char* discount;
    const char* markup;
    const char* refusal;  // null: stored
  } cases[] = {
      {"8.6", "6.6", nullptr}, {"10", "", nullptr},     {".5", "0", nullptr},
      {"5.", "-1.5", nullptr}, {"0.01", "1", nullptr},  {"0", "1", kDiscount},
      {"0.0", "", kDiscount},  {"-1", "", kDiscount},   {"8.6.1", "", kDiscount},
      {"", "", kDiscount},     {"abc", "", kDiscount},  {"８.６", "", kDiscount},
      {"8,6", "", kDiscount},  {" 8.6", "", kDiscount}, {"1e1", "", kDiscount},
      {".", "", kDiscount},    {"0", "x", kDiscount},   {"8.6", "x", kMarkup},
      {"8.6", "1元", kMarkup}, {"8.6", "1.5.1", kMarkup}, {"8.6", "-", kMarkup},
      {"8.6", "+1", kMarkup},  {"8.6", "１", kMarkup},  {"8.6", "1e39", kMarkup},
      // No price of 100,000.00 or more: a discount up to 100 折, a markup below 100,000 either way.
      {"100", "99999.99", nullptr}, {"100.0", "-099999.9", nullptr}, {"100.01", "", kDiscount},
      {"1000", "", kDiscount},      {"8.6", "100000", kMarkup},      {"8.6", "-100000.00", kMarkup},
      {"8.6", "99999999", kMarkup}, {"8.6", "1000000000000000000000000000000", kMarkup},
  };
  std::vector<std::string> shown;
  std::string stored;
  for (const auto& c : cases) {
    SCOPED_TRACE(GbkToUtf8(std::string(c.discount) + " / " + c.markup));
    ui::headless::ClearMessageBoxes();
    AddRule("所有商品", "", c.discount, c.markup);
    if (c.refusal) {
      ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u);
      const auto box = ui::headless::MessageBoxes()[0];
      EXPECT_EQ(box.text, c.refusal);
      EXPECT_EQ(box.caption, g_SoftName);
      EXPECT_EQ(box.type & MB_ICONEXCLAMATION, static_cast<UINT>(MB_ICONEXCLAMATION));
    } else {
      EXPECT_TRUE(ui::headless::MessageBoxes().empty());
      const std::string id = std::to_string(shown.size() + 1);
      shown.push_back(id + "|所有商品||" + c.discount + "|" + c.markup);
      stored += id + "||" + GbkToUtf8("所有商品") + "||" + c.discount + "|" + c.markup + ";";
    }
    EXPECT_EQ(Rows(page_->m_RuleList), shown);
    EXPECT_EQ(Query(Db(), "select * from ZheKou"), stored);
  }
  EXPECT_EQ(Rows(Open().m_RuleList), shown);
}

TEST_F(PricingPageTest, ValuesWithQuotesSemicolonsAndASecondStatementAreOnlyText) {
  Open();
  AddRule("关键字", "a", "9", "0");
  const char* match = "x','1','1');DELETE FROM ZheKou;--";
  AddRule("关键字", match, "8", "1");
  const std::vector<std::string> shown = {"1|关键字|a|9|0",
                                          std::string("2|关键字|") + match + "|8|1"};
  EXPECT_EQ(Rows(page_->m_RuleList), shown);
  EXPECT_EQ(Rows(Open().m_RuleList), shown);
  EXPECT_EQ(Query(Db(), "select name from sqlite_master order by name"), "FenLei;ZheKou;");
  EXPECT_EQ(Query(Db(), "select count(*) from ZheKou"), "2;");
}

TEST_F(PricingPageTest, DeleteTakesOnlyTheTopmostSelectedRowAndReloadsWithoutTicks) {
  Open();
  for (const char* match : {"a", "b", "c", "d"}) AddRule("关键字", match, "9", "0");
  CListCtrl& list = page_->m_RuleList;
  list.SetCheck(0, TRUE);
  list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
  Command(ID_DELETE_RULE);
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"1|关键字|a|9|0", "2|关键字|b|9|0",
                                                   "4|关键字|d|9|0"}));
  // The other rows keep their numbers; SQLite numbers the next one.
  AddRule("关键字", "e", "9", "0");
  EXPECT_EQ(list.GetItemText(3, 0), "5");

  // No selection: a warning owned by the page, nothing deleted.
  ui::headless::ClearMessageBoxes();
  for (int i = 0; i < list.GetItemCount(); ++i) list.SetItemState(i, 0, LVIS_SELECTED);
  Command(ID_DELETE_RULE);
  ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u);
  const auto box = ui::headless::MessageBoxes()[0];
  EXPECT_EQ(box.text, "请至少选择一项");
  EXPECT_EQ(box.caption, g_SoftName);
  EXPECT_EQ(box.type & MB_ICONEXCLAMATION, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(box.owner, page_->m_hWnd);
  EXPECT_EQ(list.GetItemCount(), 4);
}

TEST_F(PricingPageTest, ContextMenus) {
  WriteBytes(Regions(), "11,A,FALSE\r\n12,B,TRUE\r\n");
  Open();
  AddRule("关键字", "a", "9", "0");
  // Below the last condition: no menu. On a row: "删除", which deletes it.
  ui::headless::ScriptPopupCommands({ID_DELETE_RULE, ID_CHECK_ALL_REGIONS, ID_UNCHECK_ALL_REGIONS});
  page_->m_RuleList.UserRightClick(-1, {10, 200});
  ui::RunPending();
  EXPECT_TRUE(ui::headless::PopupMenusShown().empty());
  page_->m_RuleList.UserRightClick(0, {10, 30});
  ui::RunPending();
  EXPECT_EQ(page_->m_RuleList.GetItemCount(), 0);
  // The province list shows its menu wherever it is clicked.
  page_->m_RegionList.UserRightClick(-1, {10, 200});
  ui::RunPending();
  EXPECT_EQ(Rows(page_->m_RegionList), (std::vector<std::string>{"+|A|11", "+|B|12"}));
  page_->m_RegionList.UserRightClick(0, {10, 30});
  ui::RunPending();
  EXPECT_EQ(Rows(page_->m_RegionList), (std::vector<std::string>{"|A|11", "|B|12"}));
  const auto menus = ui::headless::PopupMenusShown();
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[0], (std::vector<CString>{"删除"}));
  EXPECT_EQ(menus[1], (std::vector<CString>{"全选", "全部取消"}));
}

TEST_F(PricingPageTest, OnlyExactTrueAndFalseChangeABox) {
  const struct {
    const char* text;
    int from, to;
  } cases[] = {{"true", 0, 1}, {"false", 1, 0}, {"TRUE", 0, 0}, {"TRUE", 1, 1}, {"1", 0, 0},
               {"False", 1, 1}, {"d", 1, 1}, {"", 0, 0}};
  CButton box;
  for (const auto& c : cases) {
    box.SetCheck(c.from);
    SetCheckFromText(&box, c.text);
    EXPECT_EQ(box.GetCheck(), c.to) << c.text << " from " << c.from;
  }
  WriteBytes(Data() / "system.ini",
             "[SYSCONFIG]\r\nUseKeyWord=TRUE\r\nUsePrice=1\r\nUseAllProducts=true\r\n"
             "TongBuQiangGouJia=false\r\nYuanJiaZhe=7.5\r\n");
  Open();
  EXPECT_EQ(g_UseKeyWordCheck->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(g_UsePriceCheck->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(g_UseAllProductsCheck->GetCheck(), BST_CHECKED);
  EXPECT_EQ(g_YuanJiaZheEdit->GetWindowText(), "7.5");
  EXPECT_EQ(g_ShiYongZheEdit->GetWindowText(), "d");
}

TEST_F(PricingPageTest, SaveWritesTheSixKeysInOrderThenTheProvinceFile) {
  WriteBytes(Regions(), "11,A,FALSE\r\n12,B,TRUE\r\n");
  Open();
  page_->m_YuanJiaZheEdit.SetWindowText("");
  page_->m_RegionList.SetCheck(0, TRUE);
  Click(IDOK);
  EXPECT_EQ(ReadBytes(Data() / "system.ini"),
            "[SYSCONFIG]\r\nUseKeyWord=false\r\nUsePrice=false\r\nUseAllProducts=false\r\n"
            "TongBuQiangGouJia=false\r\nYuanJiaZhe=\r\nShiYongZhe=d\r\n");
  EXPECT_EQ(ReadBytes(Regions()), "11,A,TRUE\r\n12,B,TRUE\r\n");
  ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(ui::headless::MessageBoxes()[0].text, "保存成功");
  EXPECT_EQ(ui::headless::MessageBoxes()[0].owner, nullptr);

  Click(IDC_DD_USE_PRICE);
  Click(IDC_DD_QIANGGOUJIA);
  Click(IDOK);
  EXPECT_EQ(ReadBytes(Data() / "system.ini"),
            "[SYSCONFIG]\r\nUseKeyWord=false\r\nUsePrice=true\r\nUseAllProducts=false\r\n"
            "TongBuQiangGouJia=true\r\nYuanJiaZhe=\r\nShiYongZhe=d\r\n");
}

// Province file text as read, the rows it gives ("+" ticked, empty column 0,
// name, code), and the file that a save with no change writes back.
TEST_F(PricingPageTest, ProvinceFileRecordsAndTheirSaveBack) {
  struct Case {
    std::string file;
    std::vector<std::string> rows;
    std::string saved;
  };
  const Case cases[] = {
      {"12,A,TRUE\r\n", {"+|A|12"}, "12,A,TRUE\r\n"},
      {"1,X,true\r\n2,Y,True\r\n3,Z,FALSE", {"|X|1", "|Y|2", "|Z|3"},
       "1,X,FALSE\r\n2,Y,FALSE\r\n3,Z,FALSE\r\n"},
      // No third field: the name runs on to the next flag.
      {"11,北京\r\n12,天津,TRUE\r\n", {"+|北京\r\n12,天津|11"}, "11,北京\r\n12,天津,TRUE\r\n"},
      // Letters in the code: matched from the first comma, no row.
      {"ab,X,TRUE\r\n13,Y,FALSE\r\n", {"|Y|13"}, "13,Y,FALSE\r\n"},
      {"14,,TRUE\r\n", {"+||14"}, "14,,TRUE\r\n"},
      {"junk\r\n15,Z,FALSE\r\nmore\r\n16,W,TRUE\nend", {"|Z|15", "+|W|16"},
       "15,Z,FALSE\r\n16,W,TRUE\r\n"},
      {std::string("17,Q,FALSE\r\n\0" "18,R,FALSE\r\n", 25), {"|Q|17"}, "17,Q,FALSE\r\n"},
      {"", {}, ""},
      {ProvinceFileWithAGiveUpTail(), {"+|北京|11"}, "11,北京,TRUE\r\n"},
  };
  for (const Case& c : cases) {
    WriteBytes(Regions(), c.file);
    Open();
    EXPECT_EQ(Rows(page_->m_RegionList), c.rows) << c.file.substr(0, 40);
    Click(IDOK);
    EXPECT_EQ(ReadBytes(Regions()), c.saved) << c.file.substr(0, 40);
    // No error at the opening, and the save says it saved.
    EXPECT_EQ(ui::headless::MessageBoxes().size(), 1u) << c.file.substr(0, 40);
    EXPECT_EQ(Boxes("保存成功"), 1) << c.file.substr(0, 40);
    ui::headless::ClearMessageBoxes();
  }
}

// A province file the page cannot take as it should: the library gives up on
// its tail, or it is too large to hold in memory. Whatever the page loaded
// stays loaded, and "确定" writes no file over one the page did not load.
TEST_F(PricingPageTest, ProvinceFileThatDefeatsTheLoadNeverCostsTheOtherSettings) {
  const std::string ini =
      "[SYSCONFIG]\r\nUseKeyWord=true\r\nUsePrice=false\r\nUseAllProducts=true\r\n"
      "TongBuQiangGouJia=true\r\nYuanJiaZhe=6.5\r\nShiYongZhe=8\r\n";
  const ULONGLONG kTooLarge = 1ULL << 40;  // sparse: takes no room on disk
  struct Case {
    const char* what;
    bool too_large;
    std::vector<std::string> rules, regions;
    int boxes_ticked;
    const char* threshold;
    const char* saved;  // the province file after "确定"; null: untouched
  };
  const Case cases[] = {
      {"a tail the library gives up on", false, {"1|关键字|计算机|8.6|1"}, {"+|北京|11"}, 3, "6.5",
       "11,北京,TRUE\r\n"},
      {"too large to read", true, {}, {}, 0, "", nullptr},
  };
  for (const Case& c : cases) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    // The sanitizers' allocators end the program on an allocation this size.
    if (c.too_large) continue;
#endif
    Close();
    fs::remove(Db());
    WriteBytes(Data() / "system.ini", ini);
    Open();
    AddRule("关键字", "计算机", "8.6", "1");
    Close();
    ui::headless::ClearMessageBoxes();
    if (c.too_large) {
      WriteBytes(Regions(), "11,北京,TRUE\r\n");
      fs::resize_file(Regions(), kTooLarge);
      // An address-space limit makes the allocation fail however the system
      // overcommits memory.
      rlimit saved_limit{};
      getrlimit(RLIMIT_AS, &saved_limit);
      rlimit limit = saved_limit;
      limit.rlim_cur = 64ULL << 30;
      setrlimit(RLIMIT_AS, &limit);
      Open();
      setrlimit(RLIMIT_AS, &saved_limit);
      // The load stopped at the province file: the framework's error box.
      ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u) << c.what;
      EXPECT_NE(ui::headless::MessageBoxes()[0].type & MB_ICONSTOP, 0u) << c.what;
    } else {
      WriteBytes(Regions(), ProvinceFileWithAGiveUpTail());
      Open();
      EXPECT_TRUE(ui::headless::MessageBoxes().empty()) << c.what;
    }
    EXPECT_EQ(Rows(page_->m_RuleList), c.rules) << c.what;
    EXPECT_EQ(Rows(page_->m_RegionList), c.regions) << c.what;
    int ticked = 0;
    for (CButton* box : {g_UseKeyWordCheck, g_UsePriceCheck, g_UseAllProductsCheck, g_QiangGouJiaCheck})
      ticked += box->GetCheck() == BST_CHECKED;
    EXPECT_EQ(ticked, c.boxes_ticked) << c.what;
    EXPECT_EQ(g_YuanJiaZheEdit->GetWindowText(), c.threshold) << c.what;

    ui::headless::ClearMessageBoxes();
    Click(IDOK);
    EXPECT_EQ(ReadBytes(Data() / "system.ini"), ini) << c.what;
    if (c.saved) {
      EXPECT_EQ(ReadBytes(Regions()), c.saved) << c.what;
      EXPECT_EQ(Boxes("保存成功"), 1) << c.what;
    } else {
      EXPECT_EQ(fs::file_size(Regions()), kTooLarge) << c.what;
      EXPECT_EQ(Boxes("保存成功"), 0) << c.what;
      // The user learns which files kept their old content.
      ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u) << c.what;
      const std::string text = ui::headless::MessageBoxes()[0].text.str();
      EXPECT_NE(text.find("system.ini"), std::string::npos) << GbkToUtf8(text);
      EXPECT_NE(text.find("地区.txt"), std::string::npos) << GbkToUtf8(text);
    }
    fs::remove(Regions());
  }
}

TEST_F(PricingPageTest, ShippedProvinceListIsTheProvinceLevelDivisionsAndSavesBackUnchanged) {
  const std::string bytes = ReadBytes(fs::path(gui::SourceDir()) / "resources/Data" / U8(u8"地区.txt"));
  WriteBytes(Regions(), bytes);
  Open();
  std::string codes;
  for (const std::string& row : Rows(page_->m_RegionList)) codes += row.substr(row.rfind('|') + 1) + " ";
  EXPECT_EQ(codes,
            "11 12 13 14 15 21 22 23 31 32 33 34 35 36 37 41 42 43 44 45 46 50 51 52 53 54 61 62 "
            "63 64 65 71 81 82 ");
  EXPECT_EQ(Rows(page_->m_RegionList).front(), "|北京|11");
  EXPECT_EQ(Rows(page_->m_RegionList).back(), "|澳门|82");
  Click(IDOK);
  EXPECT_EQ(ReadBytes(Regions()), bytes);
}

TEST_F(PricingPageTest, ProvinceFileThatCannotBeWrittenIsReportedAndLeftAsItWas) {
  const std::string old = "11,A,FALSE\r\n";
  WriteBytes(Regions(), old);
  Open();
  page_->m_RegionList.SetCheck(0, TRUE);
  auto failed_once_more = [&](size_t errors) {
    Click(IDOK);
    size_t shown = 0;
    for (const auto& box : ui::headless::MessageBoxes()) {
      if (!(box.type & MB_ICONSTOP)) continue;
      ++shown;
      EXPECT_NE(box.text.str().find(Utf8ToGbk(folder_.path()) + "/Data/地区.txt"), std::string::npos)
          << GbkToUtf8(box.text.str());
    }
    EXPECT_EQ(shown, errors);
    EXPECT_EQ(Boxes("保存成功"), 0);
  };
  // The place of the temporary file is taken: the old file stays.
  fs::create_directory(Data() / U8(u8"地区.txt.tmp"));
  failed_once_more(1);
  EXPECT_EQ(ReadBytes(Regions()), old);
  // The options written before it stay written.
  EXPECT_NE(ReadBytes(Data() / "system.ini").find("UseKeyWord=false"), std::string::npos);
  fs::remove(Data() / U8(u8"地区.txt.tmp"));
  if (::geteuid() != 0) {  // root writes whatever the mode
    fs::permissions(Regions(), fs::perms::owner_read);
    failed_once_more(2);
    EXPECT_EQ(ReadBytes(Regions()), old);
    fs::permissions(Regions(), fs::perms::owner_all);
  }
  fs::remove_all(Data());
  failed_once_more(::geteuid() != 0 ? 3 : 2);
}

TEST_F(PricingPageTest, WithoutDataAndLogFoldersThePageStillOpens) {
  fs::remove_all(Data());
  fs::remove_all(fs::path(folder_.path()) / "Log");
  Open();
  EXPECT_EQ(Boxes("创建db库失败！"), 1);
  EXPECT_EQ(g_RegionList, &page_->m_RegionList);
  EXPECT_EQ(g_ShiYongZheEdit->GetWindowText(), "d");
  // The add stores nothing and still shows its row, without a number.
  AddRule("关键字", "a", "9", "0");
  EXPECT_EQ(Boxes("创建db库失败！"), 2);
  EXPECT_EQ(Rows(page_->m_RuleList), (std::vector<std::string>{"|关键字|a|9|0"}));
  page_->m_RuleList.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  Command(ID_DELETE_RULE);
  EXPECT_EQ(page_->m_RuleList.GetItemCount(), 0);
}

}  // namespace
