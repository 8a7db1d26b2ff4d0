// The item database: the file named after the account nick, the table, the
// four accesses, quoting, and one connection shared by many threads.
#include "store/item_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/MainDlg.h"
#include "platform/file/file.h"
#include "platform/text/codepage.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "services/http.h"
#include "store/save_run.h"

namespace fs = std::filesystem;

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

void SetCookies(const std::string& text) {
  std::snprintf(g_CookieBuffer, sizeof g_CookieBuffer, "%s", text.c_str());
}

// A program folder of its own (with Data/) for each test.
class ItemDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tovrane_store_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(root_);
    // The program folder sits one level down, so that a name escaping the
    // data folder by "../.." would still land inside root_.
    fs::create_directories(DataDir());
    SetModuleFileNameForTesting(GbkPathFromNative((root_ / "bin" / "Tovrane").string()).c_str());
    ui::SetUiThread();
    ui::headless::Reset();
    SetCookies("");
    list_.InsertColumn(0, "编号");
    list_.InsertColumn(1, "淘宝商品ID");
    list_.InsertColumn(2, "商家编码");
    list_.InsertColumn(3, "价格");
    g_ItemList = &list_;
  }
  void TearDown() override {
    g_ItemList = nullptr;
    SetModuleFileNameForTesting(nullptr);
    SetCookies("");
    fs::remove_all(root_);
  }

  fs::path DataDir() const { return root_ / "bin" / "Data"; }

  // Files in the data folder, by their native names.
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(DataDir()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  static void Insert(const char* tbid, const char* ddid, const char* price, const char* flag) {
    ExecItemSql(CString("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES (") +
                SqlQuote(tbid) + "," + SqlQuote(ddid) + "," + SqlQuote(price) + "," +
                SqlQuote(flag) + ")");
  }

  fs::path root_;
  CListCtrl list_;
  static inline int counter_ = 0;
};

// ---- the nick and the file name -------------------------------------------

struct NickCase {
  const char* name;
  std::string cookies;
  std::string file;  // expected file name in the data folder (UTF-8)
};

TEST_F(ItemDbTest, FileNameFromTheCookieNick) {
  const std::vector<NickCase> cases = {
      {"escaped Chinese nick", "cna=x; tracknick=%5Cu5F20%5Cu4E09%5Cu4E30; t=1", U8(u8"张三丰.db")},
      {"plain ASCII nick", "tracknick=tb_seller01; _tb_token_=abc", "tb_seller01.db"},
      {"other percent escapes stay, their % written %25", "tracknick=ab%E4%B8%AD; x=1",
       "ab%25E4%25B8%25AD.db"},
      {"mixed ASCII and escapes", "tracknick=shop%5Cu4E66%5Cu5E97-2; x=1", U8(u8"shop书店-2.db")},
      {"no tracknick cookie", "cna=x; t=1", ".db"},
      {"tracknick last, no semicolon", "cna=x; tracknick=someone", ".db"},
      {"first non-empty value wins", "tracknick=; lgc=1; tracknick=later;", "later.db"},
      {"a backslash not starting an escape", "tracknick=a%5Cb;", "a%5Cb.db"},
      // Characters outside GBK: each one's UTF-8 bytes escaped, so that
      // nicks of different such characters name different files.
      {"an emoji", "tracknick=%5CuD83D%5CuDE00;", "%F0%9F%98%80.db"},
      {"another emoji", "tracknick=%5CuD83D%5CuDE01;", "%F0%9F%98%81.db"},
      {"Thai", "tracknick=%5Cu0E01;", "%E0%B8%81.db"},
      {"another Thai letter", "tracknick=%5Cu0E02;", "%E0%B8%82.db"},
      {"Hangul amid GBK and ASCII", "tracknick=%5Cu4E66%5CuAC00-%5Cu20AC;",
       U8(u8"书%EA%B0%80-€.db")},
      {"other Hangul amid GBK and ASCII", "tracknick=%5Cu4E66%5CuAC01-%5Cu20AC;",
       U8(u8"书%EA%B0%81-€.db")},
      {"a lone first half", "tracknick=%5CuD83Dx;", "%ED%A0%BDx.db"},
      {"a lone second half", "tracknick=%5CuDE00x;", "%ED%B8%80x.db"},
      {"a question mark is in GBK", "tracknick=%5Cu003F?;", "??.db"},
      // Names that would not leave room for SQLite's "-journal" are cut and
      // finished with a hash of the whole name; the hash never changes.
      {"244 bytes fit as they stand", "tracknick=" + Repeat("a", 244) + ";",
       Repeat("a", 244) + ".db"},
      {"245 bytes are cut", "tracknick=" + Repeat("a", 245) + ";",
       Repeat("a", 227) + "~73859ec8d05c5cb8.db"},
      {"21 emoji", "tracknick=" + Repeat("%5CuD83D%5CuDE00", 21) + ";",
       Repeat("%F0%9F%98%80", 18) + "%F0%9F%98~87503fc0df237f9b.db"},
      {"20 emoji and another", "tracknick=" + Repeat("%5CuD83D%5CuDE00", 20) + "%5CuD83D%5CuDE01;",
       Repeat("%F0%9F%98%80", 18) + "%F0%9F%98~87503ec0df237de8.db"},
      {"a cut keeps whole characters", "tracknick=" + Repeat("%5Cu5F20", 82) + ";",
       Repeat(U8(u8"张"), 75) + "~36e5e45259424c4f.db"},
      // A nick that fits and is spelled as a cut name has its "~" escaped:
      // this one would otherwise share the file of the 245 bytes above.
      {"spelled as the cut name of 245 bytes",
       "tracknick=" + Repeat("a", 227) + "~73859ec8d05c5cb8;",
       Repeat("a", 227) + "~398c89bef1089d9b.db"},
      {"spelled as the shortest cut name", "tracknick=" + Repeat("a", 224) + "~0123456789abcdef;",
       Repeat("a", 224) + "%7E0123456789abcdef.db"},
  };
  for (const NickCase& c : cases) {
    SetCookies(c.cookies);
    EXPECT_EQ(ItemDbPath(), DataDir().string() + "/" + c.file) << c.name;
  }

  // The longest nick's database takes rows: its journal fits beside it.
  SetCookies("tracknick=" + Repeat("%5CuD83D%5CuDE00", 40) + ";");
  Insert("600000000001", "23000001", "35.00", "0");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "1");
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

TEST_F(ItemDbTest, NickThatWouldLeaveTheDataFolderStaysInside) {
  const std::vector<NickCase> cases = {
      {"dot-dot slash", "tracknick=../../evil;", "..%2F..%2Fevil.db"},
      {"slash", "tracknick=a/b;", "a%2Fb.db"},
      {"absolute", "tracknick=/tmp/evil;", "%2Ftmp%2Fevil.db"},
      {"backslashes", "tracknick=..%5C..%5Cevil;", "..%5C..%5Cevil.db"},
      {"escaped slash", "tracknick=..%5Cu002F..%5Cu002Fevil;", "..%2F..%2Fevil.db"},
      {"escaped backslash", "tracknick=%5Cu005C..;", "%5C...db"},
      {"escaped zero", "tracknick=FenLei.db%5Cu0000;", "FenLei.db%00.db"},
      {"escaped zero inside", "tracknick=a%5Cu0000b;", "a%00b.db"},
      {"the text of an escape", "tracknick=a%252Fb;", "a%25252Fb.db"},
      {"an escaped percent", "tracknick=a%5Cu0025;", "a%25.db"},
      {"dot-dot alone", "tracknick=..;", "...db"},
  };
  for (const NickCase& c : cases) {
    SetCookies(c.cookies);
    EXPECT_EQ(ItemDbPath(), DataDir().string() + "/" + c.file) << c.name;
  }

  // And the file really lands there, nowhere else.
  SetCookies("tracknick=../../evil;");
  sqlite3* db = OpenItemDb();
  ASSERT_NE(db, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(DataFiles(), std::vector<std::string>{"..%2F..%2Fevil.db"});
  EXPECT_FALSE(fs::exists(root_ / "evil.db"));
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

// Random cookie texts: whatever the nick, the file is one name directly in
// the data folder, and no two different nicks share it.
TEST_F(ItemDbTest, MutatedCookiesNeverNameAFileOutsideOrShareOne) {
  const std::string alphabet = "tracknick=%5Cu002F.;/\\ \x01\x7f\xd5\xc5\xb0\xa1" "2500D8E";
  // Starts of escapes that the next character may finish: halves of
  // surrogate pairs, characters in GBK and outside it.
  const char* const escapes[] = {"%5CuD83", "%5CuDE0", "%5Cu0E0", "%5Cu4E2", "%5CuAC0"};
  std::map<std::string, std::string> nick_of_name;
  std::mt19937 random(20240607);
  const std::string prefix = DataDir().string() + "/";
  for (int round = 0; round < 3000; ++round) {
    std::string cookies = "tracknick=";
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) {
      if (random() % 4 == 0) cookies += escapes[random() % std::size(escapes)];
      cookies += alphabet[random() % alphabet.size()];
    }
    if (random() % 2) cookies += ';';
    SetCookies(cookies);
    const std::string path = ItemDbPath();
    ASSERT_EQ(path.compare(0, prefix.size(), prefix), 0) << cookies;
    const std::string name = path.substr(prefix.size());
    ASSERT_EQ(name.find('/'), std::string::npos) << cookies;
    ASSERT_EQ(name.find('\0'), std::string::npos) << cookies;
    ASSERT_GE(name.size(), 3u);
    ASSERT_EQ(name.substr(name.size() - 3), ".db") << cookies;
    const auto [known, added] = nick_of_name.emplace(name, ItemDbNickUtf8());
    ASSERT_EQ(known->second, ItemDbNickUtf8()) << cookies;
  }
  EXPECT_GT(nick_of_name.size(), 1000u);
}

// ---- opening --------------------------------------------------------------

TEST_F(ItemDbTest, OpenCreatesTheTableInTheChineseNamedFile) {
  SetCookies("tracknick=%5Cu5F20%5Cu4E09;");
  sqlite3* db = OpenItemDb();
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(fs::exists(DataDir() / fs::path(U8(u8"张三.db"))));

  char** table = nullptr;
  int rows = 0, columns = 0;
  ASSERT_EQ(sqlite3_get_table(db, "SELECT sql FROM sqlite_master WHERE name='DDItems'", &table,
                              &rows, &columns, nullptr),
            SQLITE_OK);
  ASSERT_EQ(rows, 1);
  EXPECT_STREQ(table[1],
               "CREATE TABLE DDItems(ID INTEGER PRIMARY KEY,TbId VARCHAR(50),DDID VARCHAR(50),"
               "Price VARCHAR(30),IsUpdate VARCHAR(5))");
  sqlite3_free_table(table);

  // Synchronous writing is off on every connection handed out.
  ASSERT_EQ(sqlite3_get_table(db, "PRAGMA synchronous", &table, &rows, &columns, nullptr),
            SQLITE_OK);
  EXPECT_STREQ(table[1], "0");
  sqlite3_free_table(table);
  sqlite3_close(db);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

TEST_F(ItemDbTest, SecondOpenKeepsTheRows) {
  SetCookies("tracknick=keeper;");
  Insert("1001", "9787", "12.50", "0");
  Insert("1002", "9788", "8.00", "1");
  sqlite3* db = OpenItemDb();
  ASSERT_NE(db, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "2");
  EXPECT_EQ(QueryItemScalar("SELECT Price FROM DDItems WHERE TbId='1002'"), "8.00");
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

TEST_F(ItemDbTest, AnotherAccountWorksOnAnotherFile) {
  SetCookies("tracknick=first;");
  Insert("1", "a", "1.00", "0");
  SetCookies("tracknick=second;");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "0");
  SetCookies("tracknick=first;");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "1");
}

TEST_F(ItemDbTest, FailedOpenShowsTheBoxOncePerAccessAndChangesNothing) {
  fs::remove_all(DataDir());
  SetCookies("tracknick=nobody;");
  list_.InsertItem(0, "kept");

  ExecItemSql("Delete from DDItems ");
  LoadItemList("select * from DDItems");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "");

  const auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.text, "创建db库失败！");
    EXPECT_EQ(box.type & MB_TYPEMASK, MB_OK);
  }
  EXPECT_EQ(list_.GetItemCount(), 1);
  EXPECT_FALSE(fs::exists(DataDir()));
}

// ---- loading into the list and counting -----------------------------------

TEST_F(ItemDbTest, ReloadInsertsAheadOfExistingRowsInQueryOrder) {
  SetCookies("tracknick=loader;");
  Insert("501", "A1", "10.00", "0");
  Insert("502", "A2", "11.00", "1");
  Insert("503", "A3", "12.00", "0");
  list_.InsertItem(0, "old0");
  list_.InsertItem(1, "old1");

  LoadItemList("select * from DDItems");

  ASSERT_EQ(list_.GetItemCount(), 5);
  const char* expected[3][4] = {
      {"1", "501", "A1", "10.00"}, {"2", "502", "A2", "11.00"}, {"3", "503", "A3", "12.00"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(list_.GetItemText(r, c), expected[r][c]) << r << "," << c;
  EXPECT_EQ(list_.GetItemText(3, 0), "old0");
  EXPECT_EQ(list_.GetItemText(4, 0), "old1");

  // The not-yet-synchronised rows only, newest first: the query's order rules.
  list_.DeleteAllItems();
  LoadItemList("select * from DDItems where IsUpdate<>'1' order by ID desc");
  ASSERT_EQ(list_.GetItemCount(), 2);
  EXPECT_EQ(list_.GetItemText(0, 1), "503");
  EXPECT_EQ(list_.GetItemText(1, 1), "501");
}

TEST_F(ItemDbTest, ReloadOfAnEmptyTableOrAFailingQueryAddsNoRow) {
  SetCookies("tracknick=empty;");
  list_.InsertItem(0, "only");
  LoadItemList("select * from DDItems");
  LoadItemList("select * from NoSuchTable");
  EXPECT_EQ(list_.GetItemCount(), 1);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

TEST_F(ItemDbTest, ChineseCellsComeBackByteForByte) {
  SetCookies("tracknick=gbk;");
  const CString code("书号-中文");  // GBK bytes, stored as they stand
  Insert("42", code, "9.90", "0");
  LoadItemList("select * from DDItems");
  ASSERT_EQ(list_.GetItemCount(), 1);
  EXPECT_EQ(list_.GetItemText(0, 2), code);
}

TEST_F(ItemDbTest, ScalarOfAFailingQueryOrNoRowIsEmpty) {
  SetCookies("tracknick=scalar;");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "0");
  EXPECT_EQ(QueryItemScalar("SELECT TbId FROM DDItems"), "");
  EXPECT_EQ(QueryItemScalar("SELECT nonsense FROM"), "");
}

TEST_F(ItemDbTest, CountCommandFillsTheTotalEdit) {
  SetCookies("tracknick=counter;");
  for (int i = 0; i < 7; ++i) Insert(std::to_string(i).c_str(), "x", "1.00", "0");
  CEdit total;
  g_TotalCountEdit = &total;
  MainDlg dlg;
  dlg.OnCountRecords();
  g_TotalCountEdit = nullptr;
  EXPECT_EQ(total.GetWindowText(), "7");
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

// ---- quoting --------------------------------------------------------------

TEST(SqlQuote, DoublesQuotesAndWraps) {
  EXPECT_EQ(SqlQuote(""), "''");
  EXPECT_EQ(SqlQuote("12.50"), "'12.50'");
  EXPECT_EQ(SqlQuote("O'Neil"), "'O''Neil'");
  EXPECT_EQ(SqlQuote("''"), "''''''");
  EXPECT_EQ(SqlQuote("书'店"), CString("'书''店'"));
}

TEST_F(ItemDbTest, QuoteInAValueIsStoredExactlyAndRunsNothingElse) {
  SetCookies("tracknick=quotes;");
  Insert("1", "keep", "1.00", "0");
  const std::vector<CString> values = {
      "x'); DELETE FROM DDItems; --",
      "'; DROP TABLE DDItems; SELECT '",
      "it's",
      "'",
      "书'店'); UPDATE DDItems SET Price='0",
  };
  for (const CString& value : values) Insert("2", value, value, "0");

  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "6");
  EXPECT_EQ(QueryItemScalar("SELECT Price FROM DDItems WHERE TbId='1'"), "1.00");
  for (const CString& value : values) {
    EXPECT_EQ(QueryItemScalar("SELECT DDID FROM DDItems WHERE Price=" + SqlQuote(value)), value);
  }
}

// ---- one connection, many threads ------------------------------------------

TEST_F(ItemDbTest, OneConnectionServesTwentyThreads) {
  SetCookies("tracknick=threads;");
  sqlite3* db = OpenItemDb();
  ASSERT_NE(db, nullptr);
  constexpr int kThreads = 20, kRowsEach = 50;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([db, t, &failures] {
      for (int i = 0; i < kRowsEach; ++i) {
        CString id;
        id.Format("%d", t * 1000 + i);
        CString sql = "INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES (" + SqlQuote(id) +
                      ",'d','1.00','0')";
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  sqlite3_close(db);
  EXPECT_EQ(failures.load(), 0);
  CString expected;
  expected.Format("%d", kThreads * kRowsEach);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), expected);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(DISTINCT ID) FROM DDItems"), expected);
}

// The list save and the sync results' save each keep a connection of their
// own, shared by their threads, and write one account's file at the same
// moment: a statement that meets the other's write lock waits for it.
TEST_F(ItemDbTest, TwoConnectionsWritingAtOnceStoreEveryRow) {
  SetCookies("tracknick=two-savers;");
  constexpr int kThreadsEach = 10, kRowsEach = 60;
  sqlite3* list_save = OpenItemDb();
  sqlite3* result_save = OpenItemDb();
  ASSERT_NE(list_save, nullptr);
  ASSERT_NE(result_save, nullptr);
  std::atomic<int> failures{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int saver = 0; saver < 2; ++saver) {
    sqlite3* db = saver == 0 ? list_save : result_save;
    for (int t = 0; t < kThreadsEach; ++t) {
      threads.emplace_back([=, &failures, &go] {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < kRowsEach; ++i) {
          CString id;
          id.Format("%d", (saver * kThreadsEach + t) * 1000 + i);
          // A lookup, then the guarded insert, as both saves write.
          const CString lookup = "select * from DDItems where TbId=" + SqlQuote(id);
          char** cells = nullptr;
          int rows = 0, columns = 0;
          if (sqlite3_get_table(db, lookup, &cells, &rows, &columns, nullptr) != SQLITE_OK)
            ++failures;
          sqlite3_free_table(cells);
          const CString insert = "INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) SELECT " +
                                 SqlQuote(id) + ",'d','1.00'," + (saver ? "'1'" : "'0'") +
                                 " WHERE NOT EXISTS (SELECT 1 FROM DDItems WHERE TbId=" +
                                 SqlQuote(id) + ")";
          if (!RunItemSql(db, insert)) ++failures;
        }
      });
    }
  }
  go = true;
  for (auto& thread : threads) thread.join();
  sqlite3_close(list_save);
  sqlite3_close(result_save);
  EXPECT_EQ(failures.load(), 0);
  CString each;
  each.Format("%d", kThreadsEach * kRowsEach);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems WHERE IsUpdate='0'"), each);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems WHERE IsUpdate='1'"), each);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(DISTINCT TbId) FROM DDItems"),
            QueryItemScalar("SELECT COUNT(*) FROM DDItems"));
}

// A statement that fails is said so, with SQLite's reason and the statement.
TEST_F(ItemDbTest, AFailedStatementIsReported) {
  SetCookies("tracknick=reports;");
  sqlite3* db = OpenItemDb();
  ASSERT_NE(db, nullptr);
  ::testing::internal::CaptureStderr();
  const bool ran = RunItemSql(db, "INSERT INTO NoSuchTable VALUES ('书')");
  ExecItemSql("DELETE FROM NoSuchTable");
  const bool on_null = RunItemSql(nullptr, "DELETE FROM DDItems");
  const std::string said = ::testing::internal::GetCapturedStderr();
  sqlite3_close(db);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(on_null);
  EXPECT_NE(said.find("no such table: NoSuchTable"), std::string::npos) << said;
  EXPECT_NE(said.find(U8(u8"INSERT INTO NoSuchTable VALUES ('书')")), std::string::npos) << said;
  EXPECT_NE(said.find("DELETE FROM NoSuchTable"), std::string::npos) << said;
  EXPECT_NE(said.find("DELETE FROM DDItems"), std::string::npos) << said;
}

// Saves write one after another in the order they were queued, each the
// rows it was given, also when the system will not make all of a save's
// threads (the others write its rows) or a save waits for a hold that is
// released after a later save was queued.
int g_NextTestRow = 0;

// Stores the row's price (cell 3) for item id `index`, as the result save does.
UINT SaveTestRowsThread(LPVOID param) {
  ItemSaveRun::RunThread(static_cast<ItemSaveRun*>(param),
                         [](sqlite3* db, const ItemSaveRun::Row& row) {
                           CString id;
                           id.Format("%d", row.index);
                           RunItemSql(db, "INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) SELECT " +
                                              SqlQuote(id) + ",'d','0','1' WHERE NOT EXISTS "
                                              "(SELECT 1 FROM DDItems WHERE TbId=" + SqlQuote(id) + ")");
                           RunItemSql(db, "UPDATE DDItems SET Price=" + SqlQuote(row.cells[3]) +
                                              " WHERE TbId=" + SqlQuote(id));
                         });
  return 0;
}

std::vector<ItemSaveRun::Row> PricedRows(int count, const char* price) {
  std::vector<ItemSaveRun::Row> rows(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) rows[i] = {i, {"", "", "", price}};
  return rows;
}

TEST_F(ItemDbTest, SavesWriteTheirRowsInTheOrderQueued) {
  SetCookies("tracknick=in-order;");
  struct Case {
    int refused;  // thread starts refused for the first save (of 4)
    bool held;    // the first save waits for a hold until the second is queued
    const char* last_price;
  };
  const Case cases[] = {{0, false, "2.00"}, {2, false, "2.00"}, {4, false, "2.00"},
                        {0, true, "2.00"},  {2, true, "2.00"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.refused << " refused, held " << c.held);
    ExecItemSql("DELETE FROM DDItems");
    worker_registry::FailThreadStartsForTesting(c.refused);
    ItemSaveRun* first = ItemSaveRun::Queue(
        4, g_NextTestRow, &SaveTestRowsThread,
        c.held ? std::vector<ItemSaveRun::Row>{} : PricedRows(400, "1.00"), c.held ? 1 : 0);
    if (c.held) {
      first->Add(PricedRows(400, "1.00"));
    } else {
      first = nullptr;  // written, or being written
    }
    worker_registry::FailThreadStartsForTesting(0);
    ItemSaveRun::Queue(4, g_NextTestRow, &SaveTestRowsThread, PricedRows(400, "2.00"));
    if (first) {
      EXPECT_FALSE(ItemSaveRun::AllWritten());
      worker_registry::FailThreadStartsForTesting(c.refused);
      first->Release();
      worker_registry::FailThreadStartsForTesting(0);
    }
    bool written = false;
    ItemSaveRun::WhenAllWritten([&] { written = true; });
    ASSERT_TRUE(ui::PumpUntil([&] { return written && g_ItemDb == nullptr; },
                              std::chrono::seconds(20)));
    EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "400");
    EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems WHERE Price=" +
                              SqlQuote(c.last_price)), "400");
  }
}

}  // namespace
