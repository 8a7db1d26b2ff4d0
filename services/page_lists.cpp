#include "services/page_lists.h"

#include <utility>

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

namespace {

bool HasItemId(const std::vector<CString>& cells) {
  return cells.size() > kItemIdColumn && !cells[kItemIdColumn].IsEmpty();
}

}  // namespace

int AddItemListRow(CListCtrl& list, int index, std::vector<CString> cells) {
  return HasItemId(cells) ? list.InsertRowUnlessHeld(index, kItemIdColumn, std::move(cells))
                          : list.InsertRow(index, std::move(cells));
}

int AddItemListRows(CListCtrl& list, int index, std::vector<std::vector<CString>>& rows) {
  int added = 0;
  std::vector<std::vector<CString>> run;
  auto add_run = [&] {
    added += list.InsertRowsUnlessHeld(index + added, kItemIdColumn, run);
    run.clear();
  };
  for (std::vector<CString>& cells : rows) {
    if (HasItemId(cells)) {
      run.push_back(std::move(cells));
      continue;
    }
    add_run();
    if (list.InsertRow(index + added, std::move(cells)) >= 0) ++added;
  }
  add_run();
  return added;
}
