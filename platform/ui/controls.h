#pragma once
// The controls. State lives here behind the window's lock (see wnd.h); every
// member may be called from any thread. The User... members are the user's
// actions: backends call them on the UI thread when the user acts, tests call
// them to act as the user; they change the state and send the notification.
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ui/wnd.h"

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int state);  // BST_CHECKED / BST_UNCHECKED
  // A click: toggles a check box, checks a radio button and unchecks the
  // others of its group, then sends BN_CLICKED. Ignored while disabled.
  void UserClick();

 protected:
  void TakeStateFrom(CWnd& generic) override;
  int check_ = BST_UNCHECKED;
};

class CEdit : public CWnd {
 public:
  void SetReadOnly(BOOL read_only = TRUE);
  // The user types a new text (digits-only edits drop other characters);
  // sends EN_CHANGE.
  void UserSetText(const char* text);
};

class CStatic : public CWnd {
 public:
  // A click on a static with the notify style: sends STN_CLICKED.
  void UserClick();
};

class CComboBox : public CWnd {
 public:
  int AddString(const char* text);  // sorted combos insert in order
  int InsertString(int index, const char* text);
  int DeleteString(int index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;            // -1: none
  int SetCurSel(int index);         // -1 clears; returns -1 (CB_ERR) when out of range
  int GetLBText(int index, CString& out) const;
  int GetLBTextLen(int index) const;
  int FindStringExact(int start, const char* text) const;
  int SelectString(int start, const char* text);
  // The user chooses an entry: sends CBN_SELCHANGE.
  void UserSelect(int index);

 protected:
  void TakeStateFrom(CWnd& generic) override;
  std::vector<CString> items_;
  int cur_ = -1;
};

class CSpinButtonCtrl : public CWnd {};

class CTime {
 public:
  CTime() = default;
  explicit CTime(std::time_t t) : t_(t) {}
  CTime(int year, int month, int day, int hour, int min, int sec);
  static CTime GetCurrentTime();
  std::time_t GetTime() const { return t_; }
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  CString Format(const char* fmt) const;

 private:
  std::time_t t_ = 0;
};

class CDateTimeCtrl : public CWnd {
 public:
  DWORD GetTime(CTime& out) const;
  BOOL SetTime(const CTime& t);

 protected:
  void TakeStateFrom(CWnd& generic) override;
  CTime time_ = CTime::GetCurrentTime();
};

// A report-view list. Rows are kept in the control; the backend shows them
// as a virtual view, so a million rows cost no widgets.
class CListCtrl : public CWnd {
 public:
  struct Column {
    CString heading;
    int format = LVCFMT_LEFT;
    int width = 50;
  };

  int InsertColumn(int index, const char* heading, int format = LVCFMT_LEFT, int width = -1);
  int GetColumnCount() const;
  Column GetColumn(int index) const;
  DWORD SetExtendedStyle(DWORD style);  // returns the previous
  DWORD GetExtendedStyle() const;

  // Inserts a row at `index` (at the end when the list is shorter) with
  // `text` in column 0; returns the row's index.
  int InsertItem(int index, const char* text);
  BOOL SetItemText(int item, int column, const char* text);
  CString GetItemText(int item, int column) const;
  // Inserts a row and fills its columns in one atomic step; returns its index.
  int InsertRow(int index, std::vector<CString> cells);
  // Keeps the texts of `column` counted, so that InsertRowUnlessHeld finds
  // a text there without walking the rows (-1: no column). The count follows
  // every insert, edit and delete.
  void IndexColumn(int column);
  // Inserts the row as InsertRow does unless a row already holds
  // cells[column] in `column`; the test and the insert are one atomic step,
  // so two threads never both add one text. Returns the new row's index, or
  // -1 when the text was there. Cheap on the indexed column; any other
  // column is walked row by row.
  int InsertRowUnlessHeld(int index, int column, std::vector<CString> cells);
  // The same for many rows in one step (a load): each row whose text is not
  // held yet (nor brought by an earlier row of `rows`) goes in, at `index`,
  // `index` + 1, ... in turn (`first_index`, when given, receives where the
  // first would go). The rows' cells are taken. Returns how many went in.
  int InsertRowsUnlessHeld(int index, int column, std::vector<std::vector<CString>>& rows,
                           int* first_index = nullptr);
  // Makes room in the index for `more` rows at once before a large load, so
  // that it is not rebuilt again and again as the load goes on.
  void ReserveRows(int more);
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  BOOL SetCheck(int item, BOOL checked = TRUE);
  BOOL GetCheck(int item) const;
  UINT GetItemState(int item, UINT mask) const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  int GetNextItem(int start, UINT flags) const;  // LVNI_SELECTED from start+1; -1: none
  int GetSelectionMark() const;
  BOOL EnsureVisible(int item, BOOL partial_ok);

  // The user's actions (UI thread): select a row, tick it, right-click it
  // (item -1: below the rows). Each sends its notification.
  void UserSelect(int item);
  void UserToggleCheck(int item);
  void UserRightClick(int item, POINT client_point);
  void UserClick(int item, POINT client_point);
  void UserDoubleClick(int item, POINT client_point);
  // The context-menu key (Shift+F10, the menu key): the right click's
  // NM_RCLICK for the first selected row (-1: none), which stays selected.
  void UserContextMenuKey();
  // A double click on the header of `column`: HDN_ITEMDBLCLICK (NMHEADER),
  // sent with the list's own id.
  void UserHeaderDoubleClick(int column);

  // For the backend: a copy of one row's cells and flags, under the lock.
  struct RowView {
    std::vector<CString> cells;
    bool checked = false;
    bool selected = false;
  };
  bool GetRowView(int item, RowView& out) const;
  // One row of a copy of the list: its index and its first cells.
  struct RowCopy {
    int index = 0;
    std::vector<CString> cells;
  };
  // Every row (only the ticked ones when `ticked_only`) with its first
  // `columns` cells (missing cells empty), copied in one step under the
  // lock: the copy is the list as it stood at one moment. Any thread.
  std::vector<RowCopy> CopyRows(size_t columns, bool ticked_only) const;
  int EnsureVisibleRequest() const { return ensure_visible_; }
  // The row that last got the focus or the selection from one row's
  // SetItemState (a click, a key, the program), with a count of such
  // changes: the backend's own keyboard row follows it.
  struct FocusRequest {
    unsigned serial = 0;
    int item = -1;
  };
  FocusRequest LastFocusRequest() const;

 protected:
  void TakeStateFrom(CWnd& generic) override;
  struct Row {
    std::vector<CString> cells;
    bool checked = false;
    UINT state = 0;
  };
  std::vector<Column> columns_;
  std::deque<Row> rows_;
  // The texts of one column, found without walking the rows: an open
  // hash table of the cells themselves (no copy of a text, no allocation
  // per row). An entry points at a row's cell; a row's cells keep their
  // place while the row moves in the deque (the vector takes its buffer
  // along), so an entry is taken out before its cell moves or goes and put
  // back after. A row without the cell holds the empty text.
  class TextIndex {
   public:
    static size_t Hash(std::string_view text);
    bool Holds(std::string_view text, size_t hash) const;
    const void* SlotOf(size_t hash) const;  // where a lookup of `hash` starts
    void Add(const std::string* cell, size_t hash);
    void Remove(const std::string* cell);
    void CountMissing(int delta);  // rows without the cell
    void Clear();
    void Reserve(size_t rows);

   private:
    struct Slot {
      size_t hash = 0;
      const std::string* cell = nullptr;  // null: free; kGone: taken out
    };
    size_t Find(size_t hash, const std::string* cell, std::string_view text) const;
    void Grow(size_t entries);
    std::vector<Slot> slots_;
    size_t used_ = 0;     // entries
    size_t gone_ = 0;     // slots whose entry was taken out
    size_t missing_ = 0;  // rows without the cell
  };
  // Under the lock: the cells of column indexed_column_.
  int indexed_column_ = -1;
  TextIndex indexed_texts_;
  void CountIndexed(const Row& row, int delta);
  void Reindex();
  DWORD ex_style_ = 0;
  int selection_mark_ = -1;
  int ensure_visible_ = -1;
  FocusRequest focus_request_;
};

// One item of a tree control; owned by the control.
struct TreeItem {
  CString text;
  CString data_text;       // item data the program attaches (owned by the item)
  std::uintptr_t data = 0;
  TreeItem* parent = nullptr;
  std::vector<std::unique_ptr<TreeItem>> children;
  bool expanded = false;
};

class CTreeCtrl : public CWnd {
 public:
  // Inserts under `parent` (TVI_ROOT) after `after` (TVI_LAST / TVI_FIRST).
  HTREEITEM InsertItem(const char* text, HTREEITEM parent = TVI_ROOT,
                       HTREEITEM after = TVI_LAST);
  BOOL DeleteAllItems();
  BOOL DeleteItem(HTREEITEM item);
  CString GetItemText(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, std::uintptr_t data);
  std::uintptr_t GetItemData(HTREEITEM item) const;
  // Item data as an owned text (the item keeps its copy until it is deleted).
  void SetItemDataText(HTREEITEM item, const CString& text);
  CString GetItemDataText(HTREEITEM item) const;
  HTREEITEM GetSelectedItem() const;
  BOOL SelectItem(HTREEITEM item);  // selects without a notification
  HTREEITEM GetRootItem() const;
  HTREEITEM GetChildItem(HTREEITEM item) const;
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
  HTREEITEM GetParentItem(HTREEITEM item) const;
  BOOL ItemHasChildren(HTREEITEM item) const;
  int GetCount() const;
  BOOL Expand(HTREEITEM item, UINT code);

  // The user selects an item: sends TVN_SELCHANGED. Right click: NM_RCLICK.
  void UserSelect(HTREEITEM item);
  void UserRightClick(POINT client_point);

  // For the backend: walks the items under the lock.
  void VisitItems(const std::function<void(const TreeItem&, int depth)>& fn) const;
  std::uint64_t Generation() const;  // changes whenever items change

 protected:
  void TakeStateFrom(CWnd& generic) override;
  bool Owns(HTREEITEM item) const;  // under the lock
  void Forget(const TreeItem* item);  // drops `item` and its subtree from live_
  TreeItem root_;
  std::unordered_set<const TreeItem*> live_;  // every item of the tree
  TreeItem* selected_ = nullptr;
  std::uint64_t generation_ = 0;
};

class CTabCtrl : public CWnd {
 public:
  int InsertItem(int index, const char* text);
  int GetItemCount() const;
  CString GetItemText(int index) const;
  int GetCurSel() const;
  int SetCurSel(int index);  // no notification; returns the previous
  // The user clicks a tab: selects it and sends TCN_SELCHANGE.
  void UserSelect(int index);
  // Height in pixels of the row of tab headers (the backend sets it).
  static constexpr int kHeaderHeight = 25;

 protected:
  void TakeStateFrom(CWnd& generic) override;
  std::vector<CString> tabs_;
  int cur_ = -1;
};

// An embedded web browser. Navigation goes to the backend: the program's
// backend shows the page; the headless one fetches it through the internet
// layer so that cookies land in the same store.
class CWebBrowserCtrl : public CWnd {
 public:
  void Navigate(const char* url);
  CString LocationURL() const;

 protected:
  void TakeStateFrom(CWnd& generic) override;
  CString url_;
};

// Makes the control object for a template kind (a CWnd for the kinds
// without a class of their own).
std::unique_ptr<CWnd> MakeControlForKind(ControlKind kind);
