#pragma once
// wx widgets drawn over our own control objects. Each keeps a pointer to its
// control object and reads the state through the object's getters (which
// lock); Detach() forgets the object when the window goes away before the
// widget does (a top-level window is deleted later by wx). UI thread only.
#include <wx/listctrl.h>
#include <wx/window.h>

#include <functional>
#include <vector>

#include "platform/ui/controls.h"

namespace wxui {

// A report list as a virtual view over CListCtrl's rows: no row costs a
// widget, the rows' texts are asked for as they are painted. The selection
// shown is the control object's: wx's own selection store stays empty.
class VirtualList : public wxListCtrl {
 public:
  // `width_scale` turns the object's column widths, pixels for the 8-point
  // dialog font the templates were drawn with, into pixels for ours.
  VirtualList(wxWindow* parent, CListCtrl* model, const wxPoint& pos, const wxSize& size,
              long style, double width_scale);
  void Detach() { model_ = nullptr; }
  // Brings the view in line with the object after a change (`bits`: what).
  void Sync(unsigned bits);
  // The screen point of the object's first selected row, scrolled into view,
  // or of the rows' top-left corner when none is selected.
  wxPoint SelectedRowPoint();
  // The width of the rows' area, without the vertical scroll bar.
  int RowsWidth() const { return RowsWindow()->GetClientSize().x; }

 protected:
  wxString OnGetItemText(long item, long column) const override;
  bool OnGetItemIsChecked(long item) const override;
  wxItemAttr* OnGetItemAttr(long item) const override;

 private:
  const CListCtrl::RowView* Row(long item) const;
  wxWindow* RowsWindow() const;
  void SyncColumns();
  int ShownWidth(const CListCtrl::Column& column, int index, bool scaled = true);
  void FitBesideScrollBar(const std::vector<CListCtrl::Column>& columns,
                          const std::vector<bool>& user_sized, std::vector<int>& widths);
  void SyncExtendedStyle();
  void OnColumnDragged(wxListEvent& e);
  wxPoint ClientPoint(const wxPoint& main_window_point) const;
  long HitItem(const wxPoint& main_window_point, bool* on_check_box) const;
  void OnLeftDown(wxMouseEvent& e);
  void OnLeftDouble(wxMouseEvent& e);
  void OnRightDown(wxMouseEvent& e);
  void OnKeySelected(wxListEvent& e);
  void OnChecked(wxListEvent& e);
  void OnPaintRows(wxPaintEvent& e);

  CListCtrl* model_;
  const double width_scale_;
  // The columns as last shown from the object (heading, format, width in
  // the object's pixels), and which of them the user has resized: their
  // width then stays as dragged for the widget's life, whatever rows come
  // and go.
  std::vector<CListCtrl::Column> shown_columns_;
  bool shown_with_boxes_ = false;
  std::vector<bool> user_sized_;
  DWORD ex_style_ = 0xFFFFFFFF;
  int ensure_visible_seen_ = -1;
  unsigned focus_seen_ = 0;
  bool syncing_ = false;
  // The row last read, for the cells of one row painted one after another;
  // dropped at every Sync.
  mutable long cached_item_ = -1;
  mutable CListCtrl::RowView cached_row_;
  mutable wxItemAttr selected_attr_;
};

// A tab control: a header strip of tabs, kHeaderHeight pixels high, over the
// area where the program places its pages (children of this window).
class TabStrip : public wxWindow {
 public:
  TabStrip(wxWindow* parent, CTabCtrl* model, const wxPoint& pos, const wxSize& size);
  void Detach() { model_ = nullptr; }
  void Sync() { Refresh(); }
  // The header of tab `index` in this window's pixels (empty when none).
  wxRect HeaderRect(int index);

 private:
  struct Tab {
    wxString text;
    wxRect rect;
  };
  std::vector<Tab> Layout(wxDC& dc) const;
  void OnPaint(wxPaintEvent& e);
  void OnLeftDown(wxMouseEvent& e);
  CTabCtrl* model_;
};

// A static text: wraps Chinese text by character, takes the colours the
// parent's control-colour handler gives, and reports clicks when it has the
// notify style.
class Label : public wxWindow {
 public:
  Label(wxWindow* parent, CWnd* model, const wxPoint& pos, const wxSize& size);
  void Detach() { model_ = nullptr; }
  // Puts the label on `rect`, or a little higher on a box lower than its
  // glyphs (dialog units shrunk for a small screen), centred on it.
  void Place(const wxRect& rect);
  bool SetFont(const wxFont& font) override;
  // Reads the text and asks the parent for colours again.
  void Sync();
  const wxString& ShownText() const { return text_; }
  const wxColour* ShownBackground() const { return has_back_ ? &back_ : nullptr; }
  const wxColour* ShownForeground() const { return has_fore_ ? &fore_ : nullptr; }

 private:
  void OnPaint(wxPaintEvent& e);
  void OnLeftDown(wxMouseEvent& e);
  CWnd* model_;
  wxString text_;
  bool has_back_ = false;
  wxColour back_;
  bool has_fore_ = false;
  wxColour fore_;
  bool centred_ = false;
  wxRect asked_;
  // The rows the text's glyphs cover, and the first of them below the
  // top of the line.
  int ink_top_ = 0, ink_rows_ = 0;
};

// Called as a list starts painting its rows (tests measure with it).
std::function<void(CWnd* list, long rows)>& ListPaintObserver();

// A radio button drawn by us: GTK cannot show a group in which no button is
// checked, and the control objects keep the group. A click goes to the
// object (UserClick), which checks it and unchecks the rest of its group.
class RadioBox : public wxWindow {
 public:
  RadioBox(wxWindow* parent, CWnd* model, const wxPoint& pos, const wxSize& size);
  void Detach() { model_ = nullptr; }
  void Sync();
  bool Checked() const { return checked_; }

 private:
  void OnPaint(wxPaintEvent& e);
  void OnLeftDown(wxMouseEvent& e);
  void OnKey(wxKeyEvent& e);
  CWnd* model_;
  wxString text_;
  bool checked_ = false;
};

// An up-down control: two arrow buttons. The program reads nothing from
// them (no buddy), so they only draw and press.
class SpinArrows : public wxWindow {
 public:
  SpinArrows(wxWindow* parent, const wxPoint& pos, const wxSize& size);

 private:
  void OnPaint(wxPaintEvent& e);
  void OnMouse(wxMouseEvent& e);
  int pressed_ = -1;  // 0: up, 1: down
};

wxString ToWx(const CString& gbk);
wxString ToWx(const char* gbk);
CString FromWx(const wxString& text);
wxColour FromColorRef(COLORREF c);

}  // namespace wxui
