#pragma once
// The item database: one SQLite file per Taobao account, Data\<nick>.db,
// holding the table DDItems(ID, TbId, DDID, Price, IsUpdate). Every value is
// stored as text, exactly as it stands in the list cells (GBK bytes).
//
// Connections are opened in SQLite's serialized mode, so one handle may be
// used by several threads at once (the save runs share g_ItemDb that way).
// Every connection waits up to 10 s for another connection's write lock, so
// two save runs writing one file at once both store every row; a statement
// that fails all the same is reported on standard error (RunItemSql).
// ExecItemSql, LoadItemList and QueryItemScalar open their own connection,
// run one statement and close it; they block the calling thread.
//
// Building statements: values from the shop, the list cells or the user go
// into a statement only through SqlQuote, never joined between bare quotes:
//   "SELECT ID FROM DDItems WHERE TbId=" + SqlQuote(id)
//   "INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES (" + SqlQuote(id) +
//       "," + SqlQuote(code) + "," + SqlQuote(price) + ",'0')"
// A value holding a quote then neither breaks the statement nor runs another
// one, and it is stored exactly as given.
#include <string>

#include "platform/text/CString.h"

struct sqlite3;

// The value as an SQL string literal: wrapped in single quotes, every single
// quote inside doubled ("O'Neil" gives 'O''Neil'). Byte-wise quoting is safe
// for GBK text: no GBK trail byte is a quote. Any thread.
CString SqlQuote(const CString& value);

// Opens (creating when missing) the database of the account whose cookies
// g_CookieBuffer holds and returns a new connection that the caller closes
// with sqlite3_close. When the open fails, "创建db库失败！" is shown and the
// handle SQLite gave is returned all the same: statements on it fail. The
// handle is null only when SQLite had no memory for one; run nothing on it.
sqlite3* OpenItemDb();

// The number of DDItems rows whose TbId is `tb_id`, looked up on the open
// connection `db` ("select * from DDItems where TbId=..." through
// sqlite3_get_table); a failing lookup counts as none. Any thread.
int StoredItemRows(sqlite3* db, const CString& tb_id);

// Runs `sql` on `db` (a connection from OpenItemDb; null fails); false when
// it failed, which is reported on standard error with SQLite's reason and the
// statement. Any thread, as the connection allows.
bool RunItemSql(sqlite3* db, const char* sql);

// Writes one line about a failed statement to standard error: `message` is
// the statement's own error text (null: SQLite's text for `rc`). Take it from
// the call that failed (sqlite3_exec's or sqlite3_get_table's error out
// parameter), not from sqlite3_errmsg: a connection that several threads
// share holds the text of whichever statement ran last.
void ReportItemSqlError(const char* message, int rc, const char* sql);

// Runs `sql` on a connection of its own. The caller learns nothing of the
// outcome; a failure is reported on standard error.
void ExecItemSql(CString sql);

// Runs the query and inserts its result rows into g_ItemList at 0, 1, 2, ...
// ahead of the rows already there: result column 0 is the row's label,
// column c > 0 the text of list column c. Cells go in as SQLite gives them.
// A row whose item id (column 1) the list holds already is passed over.
// A failing query adds no row. UI thread (the list is the item page's).
void LoadItemList(CString sql);

// The first column of the query's first result row; empty when the query
// fails or gives no row.
CString QueryItemScalar(CString sql);

// The account nick from g_CookieBuffer as the database is named after it
// (the tracknick cookie, "%5C" turned into "\", "\uXXXX" escapes decoded),
// in UTF-8, before ItemDbPath makes it a safe file name. A character that
// GBK lacks stays itself, not "?" (a lone half of a surrogate pair as the
// three bytes it would have as a character).
std::string ItemDbNickUtf8();

// The full native (UTF-8, "/") path of the account's database file. A nick
// can never name a file outside the data folder: every "/" in it is written
// "%2F", every "\" "%5C" and every zero byte "%00" (the URL escapes those
// characters have in the cookie), so the name stays one plain file name;
// "." and ".." cannot step out either, since ".db" always follows the nick.
// Every "%" is written "%25", and every character outside GBK as its UTF-8
// bytes in the same escapes (an emoji "%F0%9F%98%80"), so different nicks
// always name different files; a nick in GBK without "%", "/", "\" or a zero
// byte is the file name as it stands.
std::string ItemDbPath();
