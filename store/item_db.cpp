#include "store/item_db.h"

#include <sqlite3.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/file/file.h"
#include "platform/text/codepage.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "services/text_services.h"

namespace {

constexpr const char* kCreateItemTable =
    "CREATE TABLE DDItems(ID INTEGER PRIMARY KEY,TbId VARCHAR(50),DDID VARCHAR(50),"
    "Price VARCHAR(30),IsUpdate VARCHAR(5));";

// Every save looks each item id up before it inserts; without an index each
// lookup reads the whole table and a save grows with the square of the shop.
// The index changes nothing that is stored, so older files just gain it.
constexpr const char* kCreateTbIdIndex =
    "CREATE INDEX IF NOT EXISTS DDItemsTbId ON DDItems(TbId);";

// How long a statement on any connection waits for another connection's
// write lock (a save run, the sync results' save, a menu command) before it
// gives up: long enough for any single statement of theirs.
constexpr int kBusyTimeoutMs = 10000;

// A result table of sqlite3_get_table, freed with its owner.
class ResultTable {
 public:
  ~ResultTable() {
    if (cells_) sqlite3_free_table(cells_);
  }
  // Runs `sql`; false (and reported) when the statement failed.
  bool Run(sqlite3* db, const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_get_table(db, sql, &cells_, &rows_, &columns_, &error);
    if (rc != SQLITE_OK) ReportItemSqlError(error, rc, sql);
    sqlite3_free(error);
    return rc == SQLITE_OK;
  }
  int Rows() const { return cells_ ? rows_ : 0; }
  int Columns() const { return cells_ ? columns_ : 0; }
  // Cell (row, column) after the header row; a NULL reads as empty.
  const char* Cell(int row, int column) const {
    const char* cell = cells_[(row + 1) * columns_ + column];
    return cell ? cell : "";
  }

 private:
  char** cells_ = nullptr;
  int rows_ = 0;
  int columns_ = 0;
};

// Closes the connection of one access when it ends.
struct Connection {
  sqlite3* db = OpenItemDb();
  ~Connection() {
    if (db) sqlite3_close(db);
  }
};

}  // namespace

void ReportItemSqlError(const char* message, int rc, const char* sql) {
  // The statement's start names it well enough; a save's statements are short.
  std::string_view text = sql ? sql : "";
  if (text.size() > 200) text = text.substr(0, 200);
  std::fprintf(stderr, "item database: %s (%d) in: %s\n", message ? message : sqlite3_errstr(rc),
               rc, GbkToUtf8(text).c_str());
}

bool RunItemSql(sqlite3* db, const char* sql) {
  if (!db) {
    ReportItemSqlError(nullptr, SQLITE_NOMEM, sql);
    return false;
  }
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
  if (rc != SQLITE_OK) ReportItemSqlError(error, rc, sql);
  sqlite3_free(error);
  return rc == SQLITE_OK;
}

CString SqlQuote(const CString& value) {
  std::string quoted;
  quoted.reserve(static_cast<size_t>(value.GetLength()) + 2);
  quoted += '\'';
  for (char c : value.str()) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  quoted += '\'';
  return CString(std::move(quoted));
}

std::string ItemDbNickUtf8() {
  CString cookies = CookieBufferText();
  CString nick = RegexFirst(cookies, MakeRegex("tracknick=(.*?);"));
  nick.Replace("%5C", "\\");
  nick = UnescapeUnicode(nick);
  // Converted whole, not up to a zero byte as ConvertCodePage goes: a nick
  // with an escaped zero must not share its file with the nick cut there.
  return GbkToUtf8(nick.str());
}

std::string ItemDbPath() {
  std::string name;
  for (char c : ItemDbNickUtf8()) {
    // In UTF-8 these bytes never occur inside a multibyte character. "%" is
    // escaped too, so that the name is undone one way only: two nicks never
    // share a file.
    if (c == '%')
      name += "%25";
    else if (c == '/')
      name += "%2F";
    else if (c == '\\')
      name += "%5C";
    else if (c == '\0')
      name += "%00";
    else
      name += c;
  }
  return NativePath(GetDataDir()) + name + ".db";
}

sqlite3* OpenItemDb() {
  const std::string path = ItemDbPath();
  sqlite3* db = nullptr;
  // FULLMUTEX: serialized mode for this connection whatever the library's
  // default, so the threads of a save run may share it.
  const int rc = sqlite3_open_v2(path.c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr);
  if (db) {
    // Every connection waits for another's write lock rather than failing at
    // once: a save run and the sync results' save write one file together.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_exec(db, "PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    AfxMessageBox("创建db库失败！", MB_OK);
  } else {
    // Fails once the table exists; that is expected.
    sqlite3_exec(db, kCreateItemTable, nullptr, nullptr, nullptr);
    RunItemSql(db, kCreateTbIdIndex);
  }
  return db;
}

void ExecItemSql(CString sql) {
  Connection connection;
  RunItemSql(connection.db, sql);
}

void LoadItemList(CString sql) {
  Connection connection;
  if (!connection.db) return;
  ResultTable table;
  if (!table.Run(connection.db, sql)) return;
  if (!g_ItemList) return;
  int next = 0;
  for (int r = 0; r < table.Rows(); ++r) {
    std::vector<CString> cells;
    cells.reserve(static_cast<size_t>(table.Columns()));
    for (int c = 0; c < table.Columns(); ++c) cells.emplace_back(table.Cell(r, c));
    // One atomic step, so a worker walking the list never sees a row
    // without its cells. An item listed already keeps its row.
    if (AddItemListRow(*g_ItemList, next, cells) >= 0) ++next;
  }
}

CString QueryItemScalar(CString sql) {
  Connection connection;
  if (!connection.db) return CString();
  ResultTable table;
  if (!table.Run(connection.db, sql) || table.Rows() < 1 || table.Columns() < 1) return CString();
  return CString(table.Cell(0, 0));
}

int StoredItemRows(sqlite3* db, const CString& tb_id) {
  ResultTable table;
  if (!table.Run(db, "select * from DDItems where TbId=" + SqlQuote(tb_id))) return 0;
  return table.Rows();
}
