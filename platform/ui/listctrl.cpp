// The report-view list: rows kept in the control, shown by the backend as a
// virtual view.
#include <algorithm>

#include "platform/ui/controls.h"

namespace {
// Holds the list's lock; Changed() is called after it is released, so a
// backend that refreshes synchronously never runs under a control's lock.
using Lock = std::lock_guard<std::recursive_mutex>;
}  // namespace

int CListCtrl::InsertColumn(int index, const char* heading, int format, int width) {
  {
    Lock lock(lock_);
    const int count = static_cast<int>(columns_.size());
    if (index < 0) return -1;
    if (index > count) index = count;
    Column c;
    c.heading = heading;
    c.format = format;
    if (width >= 0) c.width = width;
    columns_.insert(columns_.begin() + index, c);
    // Cells move right with their columns.
    for (Row& row : rows_) {
      if (static_cast<int>(row.cells.size()) > index && index > 0) {
        row.cells.insert(row.cells.begin() + index, CString());
      }
    }
    Reindex();
  }
  Changed(kChangeItems);
  return index;
}

int CListCtrl::GetColumnCount() const {
  Lock lock(lock_);
  return static_cast<int>(columns_.size());
}

CListCtrl::Column CListCtrl::GetColumn(int index) const {
  Lock lock(lock_);
  if (index < 0 || index >= static_cast<int>(columns_.size())) return Column();
  return columns_[static_cast<size_t>(index)];
}

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  DWORD before;
  {
    Lock lock(lock_);
    before = ex_style_;
    ex_style_ = style;
  }
  if (before != style) Changed(kChangeStyle);
  return before;
}

DWORD CListCtrl::GetExtendedStyle() const {
  Lock lock(lock_);
  return ex_style_;
}

int CListCtrl::InsertItem(int index, const char* text) {
  return InsertRow(index, std::vector<CString>{CString(text)});
}

int CListCtrl::InsertRow(int index, const std::vector<CString>& cells) {
  return InsertRowUnlessHeld(index, -1, cells);
}

int CListCtrl::InsertRowUnlessHeld(int index, int column, const std::vector<CString>& cells) {
  {
    Lock lock(lock_);
    if (index < 0) return -1;
    Row row;
    row.cells = cells;
    if (row.cells.empty()) row.cells.emplace_back();
    const size_t columns = std::max<size_t>(columns_.size(), 1);
    if (row.cells.size() > columns) row.cells.resize(columns);
    if (column >= 0) {
      const CString text =
          static_cast<size_t>(column) < row.cells.size() ? row.cells[static_cast<size_t>(column)] : CString();
      if (column == indexed_column_) {
        if (indexed_texts_.count(text.str())) return -1;
      } else {
        for (const Row& held : rows_) {
          const bool has = static_cast<size_t>(column) < held.cells.size();
          if ((has ? held.cells[static_cast<size_t>(column)] : CString()) == text) return -1;
        }
      }
    }
    const int count = static_cast<int>(rows_.size());
    if (index > count) index = count;
    CountIndexed(row, +1);
    rows_.insert(rows_.begin() + index, std::move(row));
    if (selection_mark_ >= index) ++selection_mark_;
  }
  Changed(kChangeItems);
  return index;
}

void CListCtrl::IndexColumn(int column) {
  Lock lock(lock_);
  indexed_column_ = column;
  Reindex();
}

const std::string& CListCtrl::IndexedText(const Row& row) const {
  static const std::string empty;
  const size_t column = static_cast<size_t>(indexed_column_);
  return column < row.cells.size() ? row.cells[column].str() : empty;
}

void CListCtrl::CountIndexed(const Row& row, int delta) {
  if (indexed_column_ < 0) return;
  auto found = indexed_texts_.try_emplace(IndexedText(row), 0).first;
  found->second += delta;
  if (found->second <= 0) indexed_texts_.erase(found);
}

void CListCtrl::Reindex() {
  indexed_texts_.clear();
  for (const Row& row : rows_) CountIndexed(row, +1);
}

BOOL CListCtrl::SetItemText(int item, int column, const char* text) {
  {
    Lock lock(lock_);
    if (item < 0 || item >= static_cast<int>(rows_.size()) || column < 0) return FALSE;
    // Column 0 is the item itself; a sub-item needs its column.
    if (column > 0 && column >= static_cast<int>(columns_.size())) return FALSE;
    Row& row = rows_[static_cast<size_t>(item)];
    if (column == indexed_column_) CountIndexed(row, -1);
    std::vector<CString>& cells = row.cells;
    if (cells.size() <= static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
    if (column == indexed_column_) CountIndexed(row, +1);
  }
  Changed(kChangeItems);
  return TRUE;
}

CString CListCtrl::GetItemText(int item, int column) const {
  Lock lock(lock_);
  if (item < 0 || item >= static_cast<int>(rows_.size()) || column < 0) return CString();
  const std::vector<CString>& cells = rows_[static_cast<size_t>(item)].cells;
  if (static_cast<size_t>(column) >= cells.size()) return CString();
  return cells[static_cast<size_t>(column)];
}

BOOL CListCtrl::DeleteItem(int item) {
  {
    Lock lock(lock_);
    if (item < 0 || item >= static_cast<int>(rows_.size())) return FALSE;
    CountIndexed(rows_[static_cast<size_t>(item)], -1);
    rows_.erase(rows_.begin() + item);
    if (selection_mark_ == item) {
      selection_mark_ = -1;
    } else if (selection_mark_ > item) {
      --selection_mark_;
    }
  }
  Changed(kChangeItems | kChangeSelection);
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  {
    Lock lock(lock_);
    rows_.clear();
    indexed_texts_.clear();
    selection_mark_ = -1;
    ensure_visible_ = -1;
  }
  Changed(kChangeItems | kChangeSelection);
  return TRUE;
}

int CListCtrl::GetItemCount() const {
  Lock lock(lock_);
  return static_cast<int>(rows_.size());
}

BOOL CListCtrl::SetCheck(int item, BOOL checked) {
  {
    Lock lock(lock_);
    if (item < 0 || item >= static_cast<int>(rows_.size())) return FALSE;
    Row& row = rows_[static_cast<size_t>(item)];
    if (row.checked == (checked != FALSE)) return TRUE;
    row.checked = checked != FALSE;
  }
  Changed(kChangeSelection);
  return TRUE;
}

BOOL CListCtrl::GetCheck(int item) const {
  Lock lock(lock_);
  if (item < 0 || item >= static_cast<int>(rows_.size())) return FALSE;
  return rows_[static_cast<size_t>(item)].checked ? TRUE : FALSE;
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
  Lock lock(lock_);
  if (item < 0 || item >= static_cast<int>(rows_.size())) return 0;
  return rows_[static_cast<size_t>(item)].state & mask;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  {
    Lock lock(lock_);
    const int count = static_cast<int>(rows_.size());
    if (item < -1 || item >= count) return FALSE;
    const bool single = (style_ & kStyleSingleSel) != 0;
    auto apply = [&](int i) {
      Row& row = rows_[static_cast<size_t>(i)];
      row.state = (row.state & ~mask) | (state & mask);
    };
    // Only one row can hold the focus, and with single selection only one
    // row can be selected.
    UINT exclusive = mask & state & LVIS_FOCUSED;
    if (single) exclusive |= mask & state & LVIS_SELECTED;
    if (item >= 0 && exclusive != 0) {
      for (int i = 0; i < count; ++i) {
        if (i != item) rows_[static_cast<size_t>(i)].state &= ~exclusive;
      }
    }
    if (item == -1) {
      for (int i = 0; i < count; ++i) apply(i);
    } else {
      apply(item);
      if (mask & state & (LVIS_FOCUSED | LVIS_SELECTED)) focus_request_ = {focus_request_.serial + 1, item};
    }
  }
  Changed(kChangeSelection);
  return TRUE;
}

int CListCtrl::GetNextItem(int start, UINT flags) const {
  Lock lock(lock_);
  const int count = static_cast<int>(rows_.size());
  for (int i = std::max(start + 1, 0); i < count; ++i) {
    if (!(flags & LVNI_SELECTED) || (rows_[static_cast<size_t>(i)].state & LVIS_SELECTED)) {
      return i;
    }
  }
  return -1;
}

CListCtrl::FocusRequest CListCtrl::LastFocusRequest() const {
  Lock lock(lock_);
  return focus_request_;
}

int CListCtrl::GetSelectionMark() const {
  Lock lock(lock_);
  return selection_mark_;
}

BOOL CListCtrl::EnsureVisible(int item, BOOL) {
  {
    Lock lock(lock_);
    if (item < 0 || item >= static_cast<int>(rows_.size())) return FALSE;
    ensure_visible_ = item;
  }
  Changed(kChangeSelection);
  return TRUE;
}

bool CListCtrl::GetRowView(int item, RowView& out) const {
  Lock lock(lock_);
  if (item < 0 || item >= static_cast<int>(rows_.size())) return false;
  const Row& row = rows_[static_cast<size_t>(item)];
  out.cells = row.cells;
  out.checked = row.checked;
  out.selected = (row.state & LVIS_SELECTED) != 0;
  return true;
}

void CListCtrl::TakeStateFrom(CWnd& generic) {
  auto* g = dynamic_cast<CListCtrl*>(&generic);
  if (g == nullptr) return;
  Lock lock(g->lock_);
  columns_ = g->columns_;
  rows_ = g->rows_;
  Reindex();
  ex_style_ = g->ex_style_;
  selection_mark_ = g->selection_mark_;
}

// ---- the user's actions ---------------------------------------------------------------

namespace {

void SendItemNotification(CListCtrl& list, UINT code, int item, POINT point) {
  NMITEMACTIVATE n;
  n.hdr.code = code;
  n.iItem = item;
  n.ptAction = point;
  list.NotifyParent(n.hdr);
}

}  // namespace

void CListCtrl::UserSelect(int item) {
  if (!IsWindowEnabled() || item < -1 || item >= GetItemCount()) return;
  SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (item >= 0) {
    SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Lock lock(lock_);
    selection_mark_ = item;
  }
  SendItemNotification(*this, LVN_ITEMCHANGED, item, POINT{});
}

void CListCtrl::UserToggleCheck(int item) {
  if (!IsWindowEnabled() || item < 0 || item >= GetItemCount()) return;
  SetCheck(item, !GetCheck(item));
  SendItemNotification(*this, LVN_ITEMCHANGED, item, POINT{});
}

// A click on a row, with either button, selects it first; a click below the
// rows clears the selection.
void CListCtrl::UserRightClick(int item, POINT client_point) {
  if (!IsWindowEnabled()) return;
  if (item < 0 || item >= GetItemCount()) item = -1;
  UserSelect(item);
  SendItemNotification(*this, NM_RCLICK, item, client_point);
}

void CListCtrl::UserClick(int item, POINT client_point) {
  if (!IsWindowEnabled()) return;
  if (item < 0 || item >= GetItemCount()) item = -1;
  UserSelect(item);
  SendItemNotification(*this, NM_CLICK, item, client_point);
}

void CListCtrl::UserDoubleClick(int item, POINT client_point) {
  if (!IsWindowEnabled()) return;
  if (item < 0 || item >= GetItemCount()) item = -1;
  UserSelect(item);
  SendItemNotification(*this, NM_DBLCLK, item, client_point);
}

void CListCtrl::UserContextMenuKey() {
  if (!IsWindowEnabled()) return;
  SendItemNotification(*this, NM_RCLICK, GetNextItem(-1, LVNI_SELECTED), POINT{});
}

void CListCtrl::UserHeaderDoubleClick(int column) {
  if (!IsWindowEnabled() || column < 0 || column >= GetColumnCount()) return;
  NMHEADER n;
  n.hdr.code = HDN_ITEMDBLCLICK;
  n.iItem = column;
  NotifyParent(n.hdr);
}
