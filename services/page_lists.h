#pragma once
// The report lists of the pages (item list, sync results, provinces,
// conditions, duplicates) share one look: centred columns, grid lines, a
// tick box in front of each row and whole-row selection. A page's
// OnInitDialog sets its lists up here, on the user-interface thread.
#include <initializer_list>

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
