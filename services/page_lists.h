#pragma once
// The report lists of the pages (item list, sync results, provinces,
// conditions, duplicates) share one look: centred columns, grid lines, a
// tick box in front of each row and whole-row selection. A page's
// OnInitDialog sets its lists up here, on the user-interface thread.
#include <initializer_list>
#include <vector>

#include "platform/ui/afxwin.h"

struct PageListColumn {
  const char* heading;
  int width;
};

// Appends `columns`, centred and in order, and gives `list` the pages' style.
void SetUpPageList(CListCtrl& list, std::initializer_list<PageListColumn> columns);

// Ticks (TRUE) or unticks (FALSE) every row of `list`. Any thread.
void SetAllChecks(CListCtrl& list, BOOL check);

// The text of the combo box's selected entry; empty when none is selected.
// Any thread.
CString SelectedText(const CComboBox& combo);

// The item list (g_ItemList: "编号", "淘宝商品ID", "商家编码", "价格") holds
// each item id once. Its page indexes the id column at set-up; a download
// row or a loaded row goes in through AddItemListRow.
constexpr int kItemIdColumn = 1;

// Inserts `cells` at `index` unless `list` holds their item id already: the
// test and the insert are one step under the list's lock, so threads adding
// at once never both add an id. A row without an id always goes in.
// Returns the new row's index, or -1 when the id was listed. Any thread.
int AddItemListRow(CListCtrl& list, int index, std::vector<CString> cells);
// The same for many rows (a load from the database), in one step per run of
// rows with an id: they go in at `index`, `index` + 1, ... in turn. Takes
// the rows' cells; returns how many went in.
int AddItemListRows(CListCtrl& list, int index, std::vector<std::vector<CString>>& rows);
