// The report-view list: rows kept in the control, shown by the backend as a
// virtual view.
#include <algorithm>
#include <utility>

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

int CListCtrl::InsertRow(int index, std::vector<CString> cells) {
  return InsertRowUnlessHeld(index, -1, std::move(cells));
}

int CListCtrl::InsertRowUnlessHeld(int index, int column, std::vector<CString> cells) {
  std::vector<std::vector<CString>> rows(1);
  rows[0] = std::move(cells);
  int placed = -1;
  return InsertRowsUnlessHeld(index, column, rows, &placed) == 1 ? placed : -1;
}

int CListCtrl::InsertRowsUnlessHeld(int index, int column, std::vector<std::vector<CString>>& rows,
                                    int* first_index) {
  int added = 0;
  int first = index;
  {
    Lock lock(lock_);
    if (index < 0) return 0;
    const size_t columns = std::max<size_t>(columns_.size(), 1);
    const size_t at = static_cast<size_t>(column);
    static const CString kEmpty;
    auto key = [&](const std::vector<CString>& cells) -> const std::string& {
      return (at < cells.size() ? cells[at] : kEmpty).str();
    };
    const bool indexed = column >= 0 && column == indexed_column_;
    // The ids are hashed and their slots fetched from memory ahead of the
    // inserts, which then rarely wait for them; room for every row is made
    // first, so that no slot moves in between.
    std::vector<size_t> hashes;
    if (indexed) {
      indexed_texts_.Reserve(rows.size());
      hashes.reserve(rows.size());
    }
    for (std::vector<CString>& cells : rows) {
      if (cells.empty()) cells.emplace_back();
      if (cells.size() > columns) cells.resize(columns);
      if (!indexed) continue;
      hashes.push_back(TextIndex::Hash(key(cells)));
      // Here, not in a function of the index: the compiler drops a call
      // whose only effect is the fetch.
      __builtin_prefetch(indexed_texts_.SlotOf(hashes.back()));
    }
    first = std::min(index, static_cast<int>(rows_.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
      std::vector<CString>& cells = rows[r];
      // The id is looked up before the row is built: a row listed already
      // costs one lookup.
      if (indexed) {
        if (indexed_texts_.Holds(key(cells), hashes[r])) continue;
      } else if (column >= 0) {
        const std::string& text = key(cells);
        if (std::any_of(rows_.begin(), rows_.end(),
                        [&](const Row& row) { return key(row.cells) == text; }))
          continue;
      }
      Row row;
      row.cells = std::move(cells);
      const int place = first + added;
      // The cell is indexed where it stays: in the buffer the deque's row
      // takes over. A row without the cell is counted as such instead.
      const Row& placed = *rows_.insert(rows_.begin() + place, std::move(row));
      if (indexed && at < placed.cells.size()) {
        indexed_texts_.Add(&placed.cells[at].str(), hashes[r]);
      } else {
        CountIndexed(placed, +1);
      }
      if (selection_mark_ >= place) ++selection_mark_;
      ++added;
    }
  }
  if (first_index) *first_index = first;
  if (added > 0) Changed(kChangeItems);
  return added;
}

void CListCtrl::ReserveRows(int more) {
  Lock lock(lock_);
  if (indexed_column_ >= 0 && more > 0) indexed_texts_.Reserve(static_cast<size_t>(more));
}

void CListCtrl::IndexColumn(int column) {
  Lock lock(lock_);
  indexed_column_ = column;
  Reindex();
}

namespace {
// Marks a slot whose entry was taken out; never read.
const std::string kGoneMarker;
const std::string* const kGone = &kGoneMarker;
}  // namespace

// Linear probing over a power-of-two table kept at most half full, gone
// slots counted as full: a probe ends at the first free slot.
size_t CListCtrl::TextIndex::Find(size_t hash, const std::string* cell,
                                  std::string_view text) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.cell == nullptr) return slots_.size();
    if (slot.cell == kGone || slot.hash != hash) continue;
    if (cell ? slot.cell == cell : *slot.cell == text) return i;
  }
}

size_t CListCtrl::TextIndex::Hash(std::string_view text) {
  return std::hash<std::string_view>()(text);
}

bool CListCtrl::TextIndex::Holds(std::string_view text, size_t hash) const {
  if (text.empty() && missing_ > 0) return true;
  return !slots_.empty() && Find(hash, nullptr, text) < slots_.size();
}

const void* CListCtrl::TextIndex::SlotOf(size_t hash) const {
  return slots_.empty() ? nullptr : &slots_[hash & (slots_.size() - 1)];
}

void CListCtrl::TextIndex::Add(const std::string* cell, size_t hash) {
  if ((used_ + gone_ + 1) * 2 > slots_.size()) Grow(used_ + 1);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].cell != nullptr) i = (i + 1) & mask;
  slots_[i] = {hash, cell};
  ++used_;
}

void CListCtrl::TextIndex::CountMissing(int delta) {
  if (delta > 0) {
    ++missing_;
  } else if (missing_ > 0) {
    --missing_;
  }
}

void CListCtrl::TextIndex::Remove(const std::string* cell) {
  if (slots_.empty()) return;
  const size_t at = Find(Hash(*cell), cell, *cell);
  if (at == slots_.size()) return;
  slots_[at].cell = kGone;
  --used_;
  ++gone_;
}

void CListCtrl::TextIndex::Clear() {
  std::vector<Slot>().swap(slots_);
  used_ = gone_ = missing_ = 0;
}

void CListCtrl::TextIndex::Reserve(size_t rows) {
  if ((used_ + gone_ + rows) * 2 > slots_.size()) Grow(used_ + rows);
}

// Rebuilds the table at least twice as large as `entries`, leaving out the
// gone slots.
void CListCtrl::TextIndex::Grow(size_t entries) {
  size_t size = 16;
  while (size < entries * 2) size *= 2;
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
  used_ = gone_ = 0;
  const size_t mask = size - 1;
  for (const Slot& slot : old) {
    if (slot.cell == nullptr || slot.cell == kGone) continue;
    size_t i = slot.hash & mask;
    while (slots_[i].cell != nullptr) i = (i + 1) & mask;
    slots_[i] = slot;
    ++used_;
  }
}

void CListCtrl::CountIndexed(const Row& row, int delta) {
  if (indexed_column_ < 0) return;
  const size_t column = static_cast<size_t>(indexed_column_);
  const std::string* cell = column < row.cells.size() ? &row.cells[column].str() : nullptr;
  if (cell == nullptr) {
    indexed_texts_.CountMissing(delta);
  } else if (delta > 0) {
    indexed_texts_.Add(cell, TextIndex::Hash(*cell));
  } else {
    indexed_texts_.Remove(cell);
  }
}

void CListCtrl::Reindex() {
  indexed_texts_.Clear();
  indexed_texts_.Reserve(rows_.size());
  for (const Row& row : rows_) CountIndexed(row, +1);
}

BOOL CListCtrl::SetItemText(int item, int column, const char* text) {
  {
    Lock lock(lock_);
    if (item < 0 || item >= static_cast<int>(rows_.size()) || column < 0) return FALSE;
    // Column 0 is the item itself; a sub-item needs its column.
    if (column > 0 && column >= static_cast<int>(columns_.size())) return FALSE;
    Row& row = rows_[static_cast<size_t>(item)];
    std::vector<CString>& cells = row.cells;
    // A longer row may move every cell, the indexed one too.
    const bool grows = cells.size() <= static_cast<size_t>(column);
    const bool reindex = grows || column == indexed_column_;
    if (reindex) CountIndexed(row, -1);
    if (grows) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
    if (reindex) CountIndexed(row, +1);
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
    indexed_texts_.Clear();
    rows_.clear();
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

std::vector<CListCtrl::RowCopy> CListCtrl::CopyRows(size_t columns, bool ticked_only) const {
  std::vector<RowCopy> copy;
  Lock lock(lock_);
  copy.reserve(rows_.size());
  int index = 0;
  for (const Row& row : rows_) {
    if (!ticked_only || row.checked) {
      RowCopy& out = copy.emplace_back();
      out.index = index;
      out.cells.reserve(columns);
      for (size_t c = 0; c < columns; ++c)
        out.cells.push_back(c < row.cells.size() ? row.cells[c] : CString());
    }
    ++index;
  }
  return copy;
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
