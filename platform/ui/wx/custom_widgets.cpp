#include "platform/ui/wx/custom_widgets.h"

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>

#include "platform/text/codepage.h"
#include "platform/ui/internal.h"
#include "platform/ui/wx/fonts.h"

namespace wxui {

wxString ToWx(const CString& gbk) { return wxString::FromUTF8(GbkToUtf8(gbk.str())); }
wxString ToWx(const char* gbk) { return wxString::FromUTF8(GbkToUtf8(gbk ? gbk : "")); }
CString FromWx(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return CString(Utf8ToGbk(std::string_view(utf8.data(), utf8.length())).c_str());
}
wxColour FromColorRef(COLORREF c) {
  return wxColour(static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>((c >> 8) & 0xFF),
                  static_cast<unsigned char>((c >> 16) & 0xFF));
}

// ---- VirtualList ------------------------------------------------------------

std::function<void(CWnd*, long)>& ListPaintObserver() {
  static std::function<void(CWnd*, long)> observer;
  return observer;
}

void VirtualList::OnPaintRows(wxPaintEvent& e) {
  if (ListPaintObserver() && model_ != nullptr) ListPaintObserver()(model_, GetItemCount());
  e.Skip();  // the list paints
}

VirtualList::VirtualList(wxWindow* parent, CListCtrl* model, const wxPoint& pos,
                         const wxSize& size, long style, double width_scale)
    : wxListCtrl(parent, wxID_ANY, pos, size, style | wxLC_REPORT | wxLC_VIRTUAL),
      model_(model),
      width_scale_(width_scale) {
  selected_attr_.SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT));
  selected_attr_.SetTextColour(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT));
  wxWindow* rows = RowsWindow();
  rows->Bind(wxEVT_LEFT_DOWN, &VirtualList::OnLeftDown, this);
  rows->Bind(wxEVT_LEFT_DCLICK, &VirtualList::OnLeftDouble, this);
  rows->Bind(wxEVT_RIGHT_DOWN, &VirtualList::OnRightDown, this);
  rows->Bind(wxEVT_PAINT, &VirtualList::OnPaintRows, this);
  Bind(wxEVT_LIST_ITEM_SELECTED, &VirtualList::OnKeySelected, this);
  Bind(wxEVT_LIST_ITEM_CHECKED, &VirtualList::OnChecked, this);
  Bind(wxEVT_LIST_ITEM_UNCHECKED, &VirtualList::OnChecked, this);
  Bind(wxEVT_LIST_COL_END_DRAG, &VirtualList::OnColumnDragged, this);
  Sync(kChangeAll);
}

// The generic list draws its rows in a child window below its header
// (wxListMainWindow derives from wxWindow alone; the type is private).
wxWindow* VirtualList::RowsWindow() const {
  return m_mainWin != nullptr ? reinterpret_cast<wxWindow*>(m_mainWin)
                              : const_cast<VirtualList*>(this);
}

void VirtualList::Sync(unsigned bits) {
  if (model_ == nullptr) return;
  syncing_ = true;
  cached_item_ = -1;
  if (bits & kChangeStyle) SyncExtendedStyle();
  if (bits & (kChangeItems | kChangeStyle)) SyncColumns();
  if (bits & kChangeItems) {
    const long count = model_->GetItemCount();
    if (count != GetItemCount()) SetItemCount(count);
  }
  const int ensure = model_->EnsureVisibleRequest();
  if (ensure != ensure_visible_seen_) {
    ensure_visible_seen_ = ensure;
    if (ensure >= 0 && ensure < GetItemCount()) EnsureVisible(ensure);
  }
  // The arrow keys move on from wx's current row: it follows the row the
  // object last focused or selected, or Down after a click on row 0 went
  // on from wherever the keys had left it.
  const CListCtrl::FocusRequest focus = model_->LastFocusRequest();
  if (focus.serial != focus_seen_) {
    focus_seen_ = focus.serial;
    if (focus.item >= 0 && focus.item < GetItemCount())
      SetItemState(focus.item, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
  }
  if (bits & (kChangeItems | kChangeSelection | kChangeStyle | kChangeText)) Refresh(false);
  syncing_ = false;
}

void VirtualList::SyncColumns() {
  const int count = model_->GetColumnCount();
  std::vector<CListCtrl::Column> want;
  for (int i = 0; i < count; ++i) want.push_back(model_->GetColumn(i));
  auto same = [](const CListCtrl::Column& a, const CListCtrl::Column& b) {
    return a.heading == b.heading && a.format == b.format && a.width == b.width;
  };
  const bool boxes = (model_->GetExtendedStyle() & LVS_EX_CHECKBOXES) != 0;
  if (boxes == shown_with_boxes_ &&
      std::equal(want.begin(), want.end(), shown_columns_.begin(), shown_columns_.end(), same))
    return;
  // A column that stays as it was keeps the width the user gave it.
  std::vector<int> widths;
  std::vector<bool> user_sized;
  for (int i = 0; i < count; ++i) {
    const bool kept = i < static_cast<int>(shown_columns_.size()) &&
                      i < static_cast<int>(user_sized_.size()) && user_sized_[i] &&
                      same(want[i], shown_columns_[i]) && i < GetColumnCount();
    widths.push_back(kept ? GetColumnWidth(i) : ShownWidth(want[i], i));
    user_sized.push_back(kept);
  }
  FitBesideScrollBar(want, user_sized, widths);
  DeleteAllColumns();
  for (int i = 0; i < count; ++i) {
    const CListCtrl::Column& c = want[i];
    const int format = c.format == LVCFMT_CENTER  ? wxLIST_FORMAT_CENTRE
                       : c.format == LVCFMT_RIGHT ? wxLIST_FORMAT_RIGHT
                                                  : wxLIST_FORMAT_LEFT;
    InsertColumn(i, ToWx(c.heading), format, widths[i]);
  }
  shown_columns_ = std::move(want);
  shown_with_boxes_ = boxes;
  user_sized_ = std::move(user_sized);
}

// The object's width in our font's pixels (`scaled`), or else the object's
// own, and never less than the heading needs. In a list with check boxes
// the box comes on top in column 0: its room does not grow with the font,
// and the width is left whole for the row number beside it.
int VirtualList::ShownWidth(const CListCtrl::Column& column, int index, bool scaled) {
  int width = scaled ? static_cast<int>(column.width * width_scale_ + 0.5) : column.width;
  int heading = 0, height = 0;
  GetTextExtent(ToWx(column.heading), &heading, &height);
  constexpr int kHeadingPadding = 16;  // the header's label inset, both sides
  width = std::max(width, heading + kHeadingPadding);
  if (index == 0 && (model_->GetExtendedStyle() & LVS_EX_CHECKBOXES)) {
    constexpr int kCheckBoxMargins = 10;  // the generic list's, either side of the box
    width += wxRendererNative::Get().GetCheckBoxSize(RowsWindow()).x + kCheckBoxMargins;
  }
  return width;
}

// Columns that the scaling pushed under the vertical scroll bar (the item
// list's "价格" read "10.3" for 10.34) give back what they grew, each in
// proportion to its growth, down to their unscaled widths at most, until
// they fit beside the bar. A width the user dragged stays as it is.
void VirtualList::FitBesideScrollBar(const std::vector<CListCtrl::Column>& columns,
                                     const std::vector<bool>& user_sized, std::vector<int>& widths) {
  const int room = GetClientSize().x - wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
  int total = 0, growth = 0;
  std::vector<int> least(widths.size());
  for (size_t i = 0; i < widths.size(); ++i) {
    total += widths[i];
    least[i] = user_sized[i] ? widths[i]
                             : std::min(widths[i], ShownWidth(columns[i], static_cast<int>(i), false));
    growth += widths[i] - least[i];
  }
  const int over = total - room;
  if (over <= 0 || growth <= 0 || room <= 0) return;
  const int give = std::min(over, growth);
  int given = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    const int share = static_cast<int>(
        std::ceil(static_cast<double>(give) * (widths[i] - least[i]) / growth));
    const int cut = std::min({share, give - given, widths[i] - least[i]});
    widths[i] -= cut;
    given += cut;
  }
}

void VirtualList::OnColumnDragged(wxListEvent& e) {
  const int column = e.GetColumn();
  if (column >= 0 && column < static_cast<int>(user_sized_.size())) user_sized_[column] = true;
  e.Skip();
}

void VirtualList::SyncExtendedStyle() {
  const DWORD ex = model_->GetExtendedStyle();
  if (ex == ex_style_) return;
  ex_style_ = ex;
  EnableCheckBoxes((ex & LVS_EX_CHECKBOXES) != 0);
  const bool rules = (ex & LVS_EX_GRIDLINES) != 0;
  SetSingleStyle(wxLC_HRULES, rules);
  SetSingleStyle(wxLC_VRULES, rules);
}

const CListCtrl::RowView* VirtualList::Row(long item) const {
  if (model_ == nullptr || item < 0) return nullptr;
  if (item != cached_item_) {
    cached_item_ = -1;
    if (!model_->GetRowView(static_cast<int>(item), cached_row_)) return nullptr;
    cached_item_ = item;
  }
  return &cached_row_;
}

wxString VirtualList::OnGetItemText(long item, long column) const {
  const CListCtrl::RowView* row = Row(item);
  if (row == nullptr || column < 0 || static_cast<size_t>(column) >= row->cells.size()) return {};
  return ToWx(row->cells[static_cast<size_t>(column)]);
}

bool VirtualList::OnGetItemIsChecked(long item) const {
  const CListCtrl::RowView* row = Row(item);
  return row != nullptr && row->checked;
}

wxItemAttr* VirtualList::OnGetItemAttr(long item) const {
  const CListCtrl::RowView* row = Row(item);
  return row != nullptr && row->selected ? &selected_attr_ : nullptr;
}

wxPoint VirtualList::SelectedRowPoint() {
  const long row = model_ != nullptr ? model_->GetNextItem(-1, LVNI_SELECTED) : -1;
  wxRect r;
  if (row < 0 || row >= GetItemCount()) return RowsWindow()->ClientToScreen(wxPoint(0, 0));
  EnsureVisible(row);
  GetItemRect(row, r);  // in this window's pixels, below the header
  return ClientToScreen(wxPoint(r.x + r.height, r.y + r.height / 2));
}

wxPoint VirtualList::ClientPoint(const wxPoint& p) const {
  return p + RowsWindow()->GetPosition();
}

long VirtualList::HitItem(const wxPoint& p, bool* on_check_box) const {
  // The generic list's hit test takes the rows window's own coordinates.
  int flags = 0;
  long item = HitTest(p, flags);
  if (!(flags & wxLIST_HITTEST_ONITEM)) item = -1;
  if (on_check_box != nullptr) {
    *on_check_box = false;
    if (item >= 0 && HasCheckBoxes()) {
      int x = 0, y = 0;
      CalcUnscrolledPosition(p.x, p.y, &x, &y);
      const wxSize box = wxRendererNative::Get().GetCheckBoxSize(RowsWindow());
      *on_check_box = x < box.x + 10;  // the box with its margin on either side
    }
  }
  return item;
}

// Clicks go straight to the control object, which selects the row and
// notifies as the user's action does; wx only keeps the focus.
void VirtualList::OnLeftDown(wxMouseEvent& e) {
  bool on_box = false;
  const long item = HitItem(e.GetPosition(), &on_box);
  RowsWindow()->SetFocus();
  if (model_ == nullptr) return;
  if (on_box) {
    // The generic list does not toggle the boxes of a virtual list by
    // mouse: the click goes to the control object as the user's tick.
    CListCtrl* model = model_;
    ui::detail::CallReporting([&] { model->UserToggleCheck(static_cast<int>(item)); });
    cached_item_ = -1;
    RefreshItem(item);
    return;
  }
  const POINT pt{ClientPoint(e.GetPosition()).x, ClientPoint(e.GetPosition()).y};
  CListCtrl* model = model_;
  ui::detail::CallReporting([&] { model->UserClick(static_cast<int>(item), pt); });
}

void VirtualList::OnLeftDouble(wxMouseEvent& e) {
  const long item = HitItem(e.GetPosition(), nullptr);
  if (model_ == nullptr) return;
  const POINT pt{ClientPoint(e.GetPosition()).x, ClientPoint(e.GetPosition()).y};
  CListCtrl* model = model_;
  ui::detail::CallReporting([&] { model->UserDoubleClick(static_cast<int>(item), pt); });
}

void VirtualList::OnRightDown(wxMouseEvent& e) {
  const long item = HitItem(e.GetPosition(), nullptr);
  RowsWindow()->SetFocus();
  if (model_ == nullptr) return;
  const POINT pt{ClientPoint(e.GetPosition()).x, ClientPoint(e.GetPosition()).y};
  CListCtrl* model = model_;
  ui::detail::CallReporting([&] { model->UserRightClick(static_cast<int>(item), pt); });
}

// Keyboard moves select in wx's store: hand the row to the object and
// empty the store again, so that the object's selection is the one shown.
void VirtualList::OnKeySelected(wxListEvent& e) {
  const long item = e.GetIndex();
  if (syncing_ || model_ == nullptr || item < 0) return;
  syncing_ = true;
  SetItemState(item, 0, wxLIST_STATE_SELECTED);
  syncing_ = false;
  CListCtrl* model = model_;
  ui::detail::CallReporting([&] { model->UserSelect(static_cast<int>(item)); });
}

void VirtualList::OnChecked(wxListEvent& e) {
  const long item = e.GetIndex();
  if (syncing_ || model_ == nullptr || item < 0) return;
  CListCtrl* model = model_;
  ui::detail::CallReporting([&] { model->UserToggleCheck(static_cast<int>(item)); });
  cached_item_ = -1;
  RefreshItem(item);
}

// ---- TabStrip ---------------------------------------------------------------

TabStrip::TabStrip(wxWindow* parent, CTabCtrl* model, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE), model_(model) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &TabStrip::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &TabStrip::OnLeftDown, this);
  Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
  Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
}

std::vector<TabStrip::Tab> TabStrip::Layout(wxDC& dc) const {
  std::vector<Tab> tabs;
  if (model_ == nullptr) return tabs;
  const int count = model_->GetItemCount();
  int x = 2;
  for (int i = 0; i < count; ++i) {
    Tab t;
    t.text = ToWx(model_->GetItemText(i));
    const int w = dc.GetTextExtent(t.text).x + 16;
    t.rect = wxRect(x, 2, w, CTabCtrl::kHeaderHeight - 2);
    x += w;
    tabs.push_back(t);
  }
  return tabs;
}

wxRect TabStrip::HeaderRect(int index) {
  wxClientDC dc(this);
  dc.SetFont(GetFont());
  const std::vector<Tab> tabs = Layout(dc);
  return index >= 0 && index < static_cast<int>(tabs.size()) ? tabs[static_cast<size_t>(index)].rect
                                                             : wxRect();
}

void TabStrip::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetFont(GetFont());
  const wxColour face = GetParent()->GetBackgroundColour();
  const wxColour page = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
  const wxColour line = wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(face));
  dc.Clear();
  const int header = CTabCtrl::kHeaderHeight;
  // The page area, framed.
  dc.SetPen(wxPen(line));
  dc.SetBrush(wxBrush(face));
  dc.DrawRectangle(0, header - 1, size.x, size.y - header + 1);

  const int current = model_ != nullptr ? model_->GetCurSel() : -1;
  const std::vector<Tab> tabs = Layout(dc);
  for (size_t i = 0; i < tabs.size(); ++i) {
    const bool on = static_cast<int>(i) == current;
    wxRect r = tabs[i].rect;
    if (!on) r.Deflate(0, 1), r.y += 1;
    dc.SetPen(wxPen(line));
    dc.SetBrush(wxBrush(on ? page : face));
    dc.DrawRoundedRectangle(r.x, r.y, r.width, r.height + 3, 3);
    if (on) {  // open towards the page below it
      dc.SetPen(wxPen(page));
      dc.DrawLine(r.x + 1, header - 1, r.x + r.width - 1, header - 1);
    }
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    const wxSize ext = dc.GetTextExtent(tabs[i].text);
    const wxPoint at(r.x + (r.width - ext.x) / 2, r.y + (r.height - ext.y) / 2);
    dc.DrawText(tabs[i].text, at);
    if (on && HasFocus())
      wxRendererNative::Get().DrawFocusRect(this, dc, wxRect(at, ext).Inflate(2, 1));
  }
}

void TabStrip::OnLeftDown(wxMouseEvent& e) {
  SetFocus();  // as the native control takes it: Tab goes on into the page
  if (model_ == nullptr) return;
  wxClientDC dc(this);
  dc.SetFont(GetFont());
  const std::vector<Tab> tabs = Layout(dc);
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (!tabs[i].rect.Contains(e.GetPosition())) continue;
    CTabCtrl* model = model_;
    const int index = static_cast<int>(i);
    // Like the native control: only a change of tab is announced.
    if (index != model->GetCurSel())
      ui::detail::CallReporting([&] { model->UserSelect(index); });
    Refresh();
    return;
  }
}

// ---- RadioBox ---------------------------------------------------------------

RadioBox::RadioBox(wxWindow* parent, CWnd* model, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE | wxWANTS_CHARS),
      model_(model) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &RadioBox::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &RadioBox::OnLeftDown, this);
  Bind(wxEVT_CHAR, &RadioBox::OnKey, this);
  Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
  Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
  Sync();
}

void RadioBox::Sync() {
  if (model_ == nullptr) return;
  text_ = ToWx(model_->GetWindowText());
  auto* b = dynamic_cast<CButton*>(model_);
  checked_ = b != nullptr && b->GetCheck() == BST_CHECKED;
  Refresh();
}

void RadioBox::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  dc.SetFont(GetFont());
  const wxSize size = GetClientSize();
  const wxSize mark = wxRendererNative::Get().GetCheckBoxSize(this);
  int flags = checked_ ? static_cast<int>(wxCONTROL_CHECKED) : 0;
  if (!IsEnabled()) flags |= wxCONTROL_DISABLED;
  wxRendererNative::Get().DrawRadioBitmap(this, dc, wxRect(wxPoint(0, (size.y - mark.y) / 2), mark),
                                         flags);
  dc.SetTextForeground(wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_WINDOWTEXT
                                                               : wxSYS_COLOUR_GRAYTEXT));
  const wxString label = wxControl::RemoveMnemonics(text_);
  const wxSize ext = dc.GetTextExtent(label);
  const int x = mark.x + 4;
  dc.DrawText(label, x, (size.y - ext.y) / 2);
  if (HasFocus())
    wxRendererNative::Get().DrawFocusRect(this, dc, wxRect(x - 1, (size.y - ext.y) / 2, ext.x + 2, ext.y));
}

void RadioBox::OnLeftDown(wxMouseEvent&) {
  SetFocus();
  if (model_ == nullptr) return;
  CWnd* model = model_;
  ui::detail::CallReporting([&] { ui::detail::PressButton(model); });
  Sync();
}

void RadioBox::OnKey(wxKeyEvent& e) {
  if (e.GetKeyCode() == WXK_SPACE) {
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    OnLeftDown(click);
    return;
  }
  e.Skip();
}

// ---- SpinArrows -------------------------------------------------------------

SpinArrows::SpinArrows(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &SpinArrows::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &SpinArrows::OnMouse, this);
  Bind(wxEVT_LEFT_UP, &SpinArrows::OnMouse, this);
  Bind(wxEVT_LEAVE_WINDOW, &SpinArrows::OnMouse, this);
}

void SpinArrows::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const wxSize size = GetClientSize();
  const int half = size.y / 2;
  wxRendererNative& r = wxRendererNative::Get();
  for (int i = 0; i < 2; ++i) {
    const wxRect box(0, i * half, size.x, i == 0 ? half : size.y - half);
    r.DrawPushButton(this, dc, box, pressed_ == i ? static_cast<int>(wxCONTROL_PRESSED) : 0);
    const int cx = box.x + box.width / 2, cy = box.y + box.height / 2;
    const int a = std::max(2, std::min(box.width, box.height) / 4);
    wxPoint tri[3];
    if (i == 0) {
      tri[0] = wxPoint(cx - a, cy + a / 2);
      tri[1] = wxPoint(cx + a, cy + a / 2);
      tri[2] = wxPoint(cx, cy - a / 2 - 1);
    } else {
      tri[0] = wxPoint(cx - a, cy - a / 2);
      tri[1] = wxPoint(cx + a, cy - a / 2);
      tri[2] = wxPoint(cx, cy + a / 2 + 1);
    }
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(
        IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT)));
    dc.DrawPolygon(3, tri);
  }
}

void SpinArrows::OnMouse(wxMouseEvent& e) {
  const int was = pressed_;
  pressed_ = e.LeftDown() ? (e.GetY() < GetClientSize().y / 2 ? 0 : 1) : -1;
  if (pressed_ != was) Refresh();
}

// ---- Label ------------------------------------------------------------------

Label::Label(wxWindow* parent, CWnd* model, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE), model_(model),
      asked_(pos, size) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  centred_ = (model->GetStyle() & kStyleCenter) != 0;
  Bind(wxEVT_PAINT, &Label::OnPaint, this);
  if (model->GetStyle() & kStyleNotify) {
    Bind(wxEVT_LEFT_DOWN, &Label::OnLeftDown, this);
    SetCursor(wxCursor(wxCURSOR_HAND));
  }
  Sync();
}

void Label::Sync() {
  if (model_ == nullptr) return;
  text_ = wxControl::RemoveMnemonics(ToWx(model_->GetWindowText()));
  has_back_ = has_fore_ = false;
  // Ask the parent for the colours, as the native control does before it
  // paints: the handler may set a text colour and return a brush.
  if (CWnd* parent = model_->GetParent()) {
    CDC dc;
    CtlColorQuery query{&dc, model_, CTLCOLOR_STATIC, nullptr};
    LRESULT result = 0;
    ui::detail::CallReporting([&] {
      parent->Dispatch(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&query), &result);
    });
    if (query.brush != nullptr) {
      has_back_ = true;
      back_ = FromColorRef(CBrush::FromHandle(query.brush)->Color());
    } else if (dc.back_set && dc.bk_mode == OPAQUE) {
      has_back_ = true;
      back_ = FromColorRef(dc.back);
    }
    if (dc.text_set) {
      has_fore_ = true;
      fore_ = FromColorRef(dc.text);
    }
  }
  Place(asked_);
  Refresh();
}

bool Label::SetFont(const wxFont& font) {
  const bool changed = wxWindow::SetFont(font);
  Place(asked_);
  return changed;
}

// The glyphs of one line of the text, drawn as OnPaint draws them: the
// rows they cover. The font's line height holds room above and below
// them, which a shrunk box may lose, but not a row of the glyphs.
void Label::Place(const wxRect& rect) {
  asked_ = rect;
  ink_top_ = ink_rows_ = 0;
  const wxString line = text_.BeforeFirst('\n');
  wxMemoryDC dc;
  dc.SetFont(GetFont());
  // A box as high as a line shows the line whole: no glyphs to measure
  // (the common case, and a label's text may change often).
  if (rect.height >= dc.GetCharHeight()) {
    if (rect != GetRect()) SetSize(rect);
    return;
  }
  const wxSize extent = dc.GetTextExtent(line.empty() ? wxString("x") : line);
  if (!line.empty() && extent.x > 0 && extent.y > 0) {
    wxBitmap bitmap(extent.x, extent.y, 24);
    dc.SelectObject(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(line, 0, 0);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    int first = -1, last = -1;
    for (int y = 0; y < image.GetHeight(); ++y) {
      for (int x = 0; x < image.GetWidth(); ++x) {
        if (image.GetRed(x, y) < 200) {
          if (first < 0) first = y;
          last = y;
          break;
        }
      }
    }
    if (first >= 0) {
      ink_top_ = first;
      ink_rows_ = last - first + 1;
    }
  }
  wxRect shown = rect;
  if (rect.height < ink_rows_ && rect.height < extent.y) {
    shown.height = ink_rows_;
    shown.y -= (ink_rows_ - rect.height) / 2;
  }
  if (shown != GetRect()) SetSize(shown);
}

namespace {

// Breaks `text` into lines no wider than `width`: at line breaks, else at
// the last blank that fits, else at any character (Chinese has no blanks).
std::vector<wxString> WrapLines(wxDC& dc, const wxString& text, int width) {
  std::vector<wxString> lines;
  wxString line;
  int last_blank = -1;
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const wxUniChar c = *it;
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      last_blank = -1;
      continue;
    }
    line += c;
    if (c == ' ') last_blank = static_cast<int>(line.length()) - 1;
    if (width > 0 && line.length() > 1 && dc.GetTextExtent(line).x > width) {
      if (last_blank > 0) {
        lines.push_back(line.Left(static_cast<size_t>(last_blank)));
        line = line.Mid(static_cast<size_t>(last_blank) + 1);
      } else {
        lines.push_back(line.Left(line.length() - 1));
        line = line.Right(1);
      }
      last_blank = -1;
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

void Label::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(has_back_ ? back_ : GetParent()->GetBackgroundColour()));
  dc.Clear();
  dc.SetFont(GetFont());
  dc.SetTextForeground(has_fore_ ? fore_
                                 : (IsEnabled() ? wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)
                                                : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT)));
  const wxSize size = GetClientSize();
  const std::vector<wxString> lines = WrapLines(dc, text_, size.x);
  const int line_height = std::max(1, dc.GetCharHeight());
  // Where the box is lower than its lines (dialog units shrunk for a small
  // screen), the lines close up, as far as the glyphs allow: the line
  // height holds room above and below them.
  const int count = static_cast<int>(lines.size());
  int step = line_height;
  if (count > 1 && count * line_height > size.y)
    step = std::min(line_height, std::max(GlyphHeight(GetFont()), size.y / count));
  // Lines that do not fit below are dropped whole, as the native control
  // does; a one-line label taller than its box is centred on it.
  const int shown = std::max(1, std::min(count, size.y / step));
  int y = shown == 1 ? (size.y - line_height) / 2 : (step - line_height) / 2;
  // One line in a box lower than the line: its glyphs centred instead.
  if (shown == 1 && size.y < line_height && ink_rows_ > 0)
    y = (size.y - ink_rows_) / 2 - ink_top_;
  for (int i = 0; i < shown; ++i, y += step) {
    int x = 0;
    if (centred_) x = (size.x - dc.GetTextExtent(lines[static_cast<size_t>(i)]).x) / 2;
    dc.DrawText(lines[static_cast<size_t>(i)], x, y);
  }
}

void Label::OnLeftDown(wxMouseEvent&) {
  if (model_ == nullptr || !model_->IsWindowEnabled()) return;
  CWnd* model = model_;
  ui::detail::CallReporting([&] {
    if (auto* s = dynamic_cast<CStatic*>(model))
      s->UserClick();
    else
      model->NotifyParentCommand(STN_CLICKED);
  });
}

}  // namespace wxui
