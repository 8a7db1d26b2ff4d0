#pragma once
// The conditions database Data\FenLei.db: table ZheKou holds the pricing
// conditions of the pricing page (ID, IsCheck, TreatMethod, PiPei, ZheK,
// JiaJia; texts in UTF-8), table FenLei is kept for older files and unused.
// Each call opens its own connection and closes it before it returns. UI
// thread: the pricing page's handlers and its creation.
#include "platform/text/CString.h"

struct sqlite3;

// Opens (creating when missing) the database and its two tables and returns
// a connection that the caller closes with sqlite3_close. When the open
// fails, "创建db库失败！" is shown and SQLite's failed handle is returned all
// the same: statements on it fail. Null only when SQLite had no memory.
sqlite3* OpenCategoryDb();

// Runs `sql` on a connection of its own; errors are not reported.
void ExecCategorySql(CString sql);

// Runs the query and inserts its result rows into g_RuleList at 0, 1, 2, ...:
// result column 0 is the row's label, column c > 0 the text of list column c,
// each converted from UTF-8 to the ANSI code page (a cell that does not
// read as UTF-8 text of GBK characters is taken as ANSI already: older
// files stored discount and markup as typed). A failing query adds no row.
// The list is not cleared first.
void LoadRuleList(CString sql);

// Stores one condition, its four texts in UTF-8, each value bound, so any
// text is stored as it stands. Returns the new row's ID as text; empty when
// nothing was stored.
CString InsertRule(const CString& type_utf8, const CString& match_utf8,
                   const CString& discount_utf8, const CString& markup_utf8);
