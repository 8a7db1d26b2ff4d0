#include "store/item_db.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>
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

namespace {

// One stretch of the decoded nick in UTF-8. `outside_gbk`: one character
// that GBK lacks, which the file name writes escaped.
struct NickPiece {
  std::string utf8;
  bool outside_gbk = false;
};

// UTF-8 bytes of a code point; a lone half of a surrogate pair gets the
// three bytes it would have as a character of its own, so that it too stays
// apart from every other text.
std::string Utf8Of(char32_t code) {
  std::string out;
  auto more = [&](int shift) { out += static_cast<char>(0x80 | ((code >> shift) & 0x3F)); };
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    more(0);
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    more(6);
    more(0);
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    more(12);
    more(6);
    more(0);
  }
  return out;
}

// The nick as the database is named after it: the tracknick cookie, "%5C"
// turned into "\", its "\uXXXX" escapes decoded. An escape GBK can hold
// becomes its GBK character, then UTF-8, exactly as the nick was always
// named. One that GBK lacks keeps its own character (the two escapes of a
// surrogate pair give one) rather than becoming "?": two nicks of different
// emoji must not share a file.
std::vector<NickPiece> NickPieces() {
  CString cookies = CookieBufferText();
  CString nick = RegexFirst(cookies, MakeRegex("tracknick=(.*?);"));
  nick.Replace("%5C", "\\");

  std::vector<NickPiece> pieces;
  std::string gbk;     // GBK text not yet converted
  char16_t high = 0;   // the first half of a surrogate pair, waiting for its second
  // Converted whole, not up to a zero byte as ConvertCodePage goes: a nick
  // with an escaped zero must not share its file with the nick cut there.
  auto end_gbk = [&] {
    if (!gbk.empty()) pieces.push_back({GbkToUtf8(gbk), false});
    gbk.clear();
  };
  auto outside = [&](char32_t code) {
    end_gbk();
    pieces.push_back({Utf8Of(code), true});
  };
  auto end_high = [&] {
    if (high) outside(std::exchange(high, 0));
  };
  WalkUnicodeEscapes(
      nick,
      [&](std::string_view run) {
        end_high();
        gbk += run;
      },
      [&](char16_t unit) {
        if (high && unit >= 0xDC00 && unit < 0xE000) {
          outside(0x10000 + ((std::exchange(high, 0) - 0xD800) << 10) + (unit - 0xDC00));
          return;
        }
        end_high();
        const std::string in_gbk = Utf16ToCodePage(CP_ACP, std::u16string_view(&unit, 1));
        if (in_gbk != "?" || unit == u'?') {
          gbk += in_gbk;
        } else if (unit >= 0xD800 && unit < 0xDC00) {
          high = unit;
        } else {
          outside(unit);
        }
      });
  end_high();
  end_gbk();
  return pieces;
}

}  // namespace

std::string ItemDbNickUtf8() {
  std::string nick;
  for (const NickPiece& piece : NickPieces()) nick += piece.utf8;
  return nick;
}

namespace {

// The longest file name the file system takes; SQLite puts "-journal" (or
// "-wal", "-shm") behind the database's own name, and that name must fit too.
constexpr size_t kMaxFileName = 255;
constexpr size_t kMaxNickName = kMaxFileName - std::string_view(".db-journal").size();

// FNV-1a, 64 bits: the same number for the same nick in every run and on
// every machine, so a cut name always leads back to the seller's own file.
std::uint64_t NickHash(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// A cut name ends in "~" and the hash in 16 hex digits.
constexpr size_t kCutTail = 17;
// The cut moves back from here over at most 3 bytes: 2 to keep a "%XX"
// escape whole, 3 for the last bytes of a UTF-8 character.
constexpr size_t kCutAt = kMaxNickName - kCutTail;
constexpr size_t kShortestCut = kCutAt - 3;

// Whether a name that fits could also be a cut name: 224 to 227 bytes, "~"
// and 16 lowercase hex digits.
bool ShapedLikeCut(std::string_view name) {
  if (name.size() < kShortestCut + kCutTail || name.size() > kMaxNickName) return false;
  const std::string_view tail = name.substr(name.size() - kCutTail);
  return tail[0] == '~' && tail.find_first_not_of("0123456789abcdef", 1) == std::string_view::npos;
}

// A name too long for the file system is cut at 227 bytes, or up to 3 less
// so as not to split a "%XX" escape or a UTF-8 character, and finished with
// "~" and the 64-bit hash of the whole name in hex: two long nicks that
// share the start name two files unless their hashes meet. A name that fits
// stays as it is, unless it has a cut name's shape: then its "~" is written
// "%7E", an escape no other name holds, so that no nick that fits names a
// long nick's file. Written so, it may no longer fit and is cut in turn.
std::string FittedNickName(std::string name) {
  if (ShapedLikeCut(name)) name.replace(name.size() - kCutTail, 1, "%7E");
  if (name.size() <= kMaxNickName) return name;
  char tail[kCutTail + 1];
  std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(NickHash(name)));
  size_t cut = kCutAt;
  auto inside = [&](size_t at) {
    return (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80 || name[at - 1] == '%' ||
           name[at - 2] == '%';
  };
  while (cut > kShortestCut && inside(cut)) --cut;
  name.resize(cut);
  return name + tail;
}

}  // namespace

std::string ItemDbPath() {
  std::string name;
  for (const NickPiece& piece : NickPieces()) {
    for (char c : piece.utf8) {
      // A character outside GBK is written as its UTF-8 bytes in "%XX", the
      // escapes the unsafe characters below have too. In UTF-8 those never
      // occur inside a multibyte character. "%" is escaped as well, so that
      // the name is undone one way only: two nicks never share a file.
      char escaped[4];
      if (piece.outside_gbk || c == '%' || c == '/' || c == '\\' || c == '\0') {
        std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
        name += escaped;
      } else {
        name += c;
      }
    }
  }
  return NativePath(GetDataDir()) + FittedNickName(std::move(name)) + ".db";
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
  // In runs of rows, each put in with one lock of the list, so that a
  // worker walking the list never sees a row without its cells and a large
  // load waits on memory as little as the same rows without the id check.
  constexpr int kRun = 256;
  int next = 0;
  g_ItemList->ReserveRows(table.Rows());
  std::vector<std::vector<CString>> run;
  for (int r = 0; r < table.Rows(); ++r) {
    std::vector<CString>& cells = run.emplace_back();
    cells.reserve(static_cast<size_t>(table.Columns()));
    for (int c = 0; c < table.Columns(); ++c) cells.emplace_back(table.Cell(r, c));
    if (static_cast<int>(run.size()) == kRun || r + 1 == table.Rows()) {
      // An item listed already keeps its row.
      next += AddItemListRows(*g_ItemList, next, run);
      run.clear();
    }
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
