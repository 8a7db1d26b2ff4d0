#include "sync/category_db.h"

#include <sqlite3.h>

#include <vector>

#include "platform/file/file.h"
#include "platform/text/codepage.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "services/text_services.h"

namespace {

constexpr const char* kCreateFenLeiTable =
    "CREATE TABLE FenLei(ID INTEGER PRIMARY KEY,DDID VARCHAR(30),NewPrice VARCHAR(10),"
    "OldPrice VARCHAR(10));";
constexpr const char* kCreateZheKouTable =
    "CREATE TABLE ZheKou(ID INTEGER PRIMARY KEY,IsCheck VARCHAR(10),TreatMethod VARCHAR(50),"
    "PiPei VARCHAR(50),ZheK VARCHAR(30),JiaJia VARCHAR(30));";

// The connection of one access, closed when it ends.
struct Connection {
  sqlite3* db = OpenCategoryDb();
  ~Connection() {
    if (db) sqlite3_close(db);
  }
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
};

// Older files kept discount and markup as typed, in GBK. Such a cell read as
// UTF-8 gives bytes that are no UTF-8 or characters that GBK lacks; a cell
// that came from GBK through UTF-8 comes back whole.
bool StoredAsUtf8(const CString& text) {
  const std::u16string wide = CodePageToUtf16(CP_UTF8, text.str());
  return CodePageToUtf16(CP_GBK, Utf16ToCodePage(CP_GBK, wide)) == wide;
}

}  // namespace

sqlite3* OpenCategoryDb() {
  // SQLite takes the file name in UTF-8 with "/" separators: the file
  // layer's native form of the data folder.
  std::string path = NativePath(GetDataDir());
  path += "FenLei.db";

  sqlite3* db = nullptr;
  const int rc = sqlite3_open(path.c_str(), &db);
  if (db) {
    // A reader of the file (another copy of the program, a backup) holds its
    // lock for a moment: a new condition waits for it instead of being lost.
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    AfxMessageBox("创建db库失败！", MB_OK);
  } else {
    // Both fail once the tables exist; that is expected.
    sqlite3_exec(db, kCreateFenLeiTable, nullptr, nullptr, nullptr);
    sqlite3_exec(db, kCreateZheKouTable, nullptr, nullptr, nullptr);
  }
  return db;
}

void ExecCategorySql(CString sql) {
  Connection connection;
  if (!connection.db) return;
  sqlite3_exec(connection.db, sql, nullptr, nullptr, nullptr);
}

void LoadRuleList(CString sql) {
  Connection connection;
  if (!connection.db) return;
  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  if (sqlite3_get_table(connection.db, sql, &cells, &rows, &columns, nullptr) != SQLITE_OK) {
    if (cells) sqlite3_free_table(cells);
    return;
  }
  for (int r = 0; g_RuleList && r < rows; ++r) {
    std::vector<CString> row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      // Row 0 of the table is the header.
      const char* cell = cells[(r + 1) * columns + c];
      CString text(cell ? cell : "");
      if (StoredAsUtf8(text)) Utf8ToAnsi(text);
      row.push_back(text);
    }
    // One atomic step: a sync worker walking the list never sees a row
    // without its cells.
    g_RuleList->InsertRow(r, row);
  }
  sqlite3_free_table(cells);
}

CString InsertRule(const CString& type_utf8, const CString& match_utf8,
                   const CString& discount_utf8, const CString& markup_utf8) {
  Connection connection;
  if (!connection.db) return CString();
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection.db,
                         "INSERT INTO ZheKou (TreatMethod,PiPei,ZheK,JiaJia) VALUES (?,?,?,?)", -1,
                         &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return CString();
  }
  const CString* values[] = {&type_utf8, &match_utf8, &discount_utf8, &markup_utf8};
  for (int i = 0; i < 4; ++i)
    sqlite3_bind_text(statement, i + 1, values[i]->GetString(), values[i]->GetLength(),
                      SQLITE_TRANSIENT);
  const bool stored = sqlite3_step(statement) == SQLITE_DONE;
  sqlite3_finalize(statement);
  if (!stored) return CString();
  CString id;
  id.Format("%lld", static_cast<long long>(sqlite3_last_insert_rowid(connection.db)));
  return id;
}
