#include "services/page_lists.h"

void SetUpPageList(CListCtrl& list, std::initializer_list<PageListColumn> columns) {
  int index = list.GetColumnCount();
  for (const PageListColumn& column : columns)
    list.InsertColumn(index++, column.heading, LVCFMT_CENTER, column.width);
  list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT |
                        LVS_EX_REGIONAL);
}

CString SelectedText(const CComboBox& combo) {
  CString text;
  const int index = combo.GetCurSel();
  if (index >= 0) combo.GetLBText(index, text);
  return text;
}

void SetAllChecks(CListCtrl& list, BOOL check) {
  const int count = list.GetItemCount();
  for (int row = 0; row < count; ++row) list.SetCheck(row, check);
}

int AddItemListRow(CListCtrl& list, int index, const std::vector<CString>& cells) {
  const bool has_id = cells.size() > kItemIdColumn && !cells[kItemIdColumn].IsEmpty();
  return has_id ? list.InsertRowUnlessHeld(index, kItemIdColumn, cells) : list.InsertRow(index, cells);
}
