// Buttons, edits, statics, combo boxes, date pickers, tabs and the browser.
#include "platform/ui/controls.h"

#include <cctype>
#include <climits>

#include "platform/ui/internal.h"

namespace ui::detail {

int CompareNoCase(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    unsigned cx = *x, cy = *y;
    if (cx == 0 || cy == 0) return static_cast<int>(cx) - static_cast<int>(cy);
    // A double-byte character compares as it is: its second byte may be an
    // ASCII letter that must not fold.
    if (IsGbkLeadByte(static_cast<unsigned char>(cx)) && x[1] != 0) {
      if (cx != cy) return static_cast<int>(cx) - static_cast<int>(cy);
      if (x[1] != y[1]) return static_cast<int>(x[1]) - static_cast<int>(y[1]);
      x += 2;
      y += 2;
      continue;
    }
    if (cx < 0x80) cx = static_cast<unsigned>(std::tolower(static_cast<int>(cx)));
    if (cy < 0x80) cy = static_cast<unsigned>(std::tolower(static_cast<int>(cy)));
    if (cx != cy) return static_cast<int>(cx) - static_cast<int>(cy);
    ++x;
    ++y;
  }
}

}  // namespace ui::detail

// ---- CButton ---------------------------------------------------------------------

int CButton::GetCheck() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return check_;
}

void CButton::SetCheck(int state) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (check_ == state) return;
    check_ = state;
  }
  Changed(kChangeSelection);
}

void CButton::UserClick() {
  if (!IsWindowEnabled()) return;
  switch (Kind()) {
    case ControlKind::CheckBox:
      SetCheck(GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      break;
    case ControlKind::RadioButton:
      for (CButton* b : ui::detail::RadioGroup(this, false)) {
        b->SetCheck(b == this ? BST_CHECKED : BST_UNCHECKED);
      }
      SetCheck(BST_CHECKED);
      break;
    default:
      break;
  }
  NotifyParentCommand(BN_CLICKED);
}

void CButton::TakeStateFrom(CWnd& generic) {
  if (auto* g = dynamic_cast<CButton*>(&generic)) check_ = g->GetCheck();
}

// ---- CEdit and CStatic -------------------------------------------------------------

void CEdit::SetReadOnly(BOOL read_only) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    DWORD style = read_only ? (style_ | kStyleReadOnly) : (style_ & ~DWORD{kStyleReadOnly});
    if (style == style_) return;
    style_ = style;
  }
  Changed(kChangeStyle);
}

void CEdit::UserSetText(const char* text) {
  if (!IsWindowEnabled() || (GetStyle() & kStyleReadOnly)) return;
  CString typed = text;
  if (GetStyle() & kStyleNumber) {
    CString digits;
    for (int i = 0; i < typed.GetLength(); ++i) {
      char c = typed[i];
      if (c >= '0' && c <= '9') digits += c;
    }
    typed = digits;
  }
  SetWindowText(typed);
  NotifyParentCommand(EN_CHANGE);
}

void CStatic::UserClick() {
  if (!IsWindowEnabled() || !(GetStyle() & kStyleNotify)) return;
  NotifyParentCommand(STN_CLICKED);
}

// ---- CComboBox -----------------------------------------------------------------------

namespace {
constexpr int CB_ERR = -1;
}

int CComboBox::AddString(const char* text) {
  int index;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    index = static_cast<int>(items_.size());
    if (style_ & kStyleSort) {
      // After every entry that does not sort behind the new one.
      index = 0;
      while (index < static_cast<int>(items_.size()) &&
             ui::detail::CompareNoCase(items_[static_cast<size_t>(index)], text ? text : "") <= 0) {
        ++index;
      }
    }
    items_.insert(items_.begin() + index, CString(text));
    if (cur_ >= index) ++cur_;
  }
  Changed(kChangeItems | kChangeSelection);
  return index;
}

int CComboBox::InsertString(int index, const char* text) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const int count = static_cast<int>(items_.size());
    if (index < 0) index = count;
    if (index > count) return CB_ERR;
    items_.insert(items_.begin() + index, CString(text));
    if (cur_ >= index) ++cur_;
  }
  Changed(kChangeItems | kChangeSelection);
  return index;
}

int CComboBox::DeleteString(int index) {
  int left;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return CB_ERR;
    items_.erase(items_.begin() + index);
    if (cur_ == index) {
      cur_ = -1;
      text_.Empty();
    } else if (cur_ > index) {
      --cur_;
    }
    left = static_cast<int>(items_.size());
  }
  Changed(kChangeItems | kChangeSelection | kChangeText);
  return left;
}

void CComboBox::ResetContent() {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    items_.clear();
    cur_ = -1;
    text_.Empty();
  }
  Changed(kChangeItems | kChangeSelection | kChangeText);
}

int CComboBox::GetCount() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return static_cast<int>(items_.size());
}

int CComboBox::GetCurSel() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return cur_;
}

int CComboBox::SetCurSel(int index) {
  int result;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) {
      // -1 and an index out of range both clear the selection.
      cur_ = -1;
      text_.Empty();
      result = CB_ERR;
    } else {
      cur_ = index;
      text_ = items_[static_cast<size_t>(index)];
      result = index;
    }
  }
  Changed(kChangeSelection | kChangeText);
  return result;
}

int CComboBox::GetLBText(int index, CString& out) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return CB_ERR;
  out = items_[static_cast<size_t>(index)];
  return out.GetLength();
}

int CComboBox::GetLBTextLen(int index) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return CB_ERR;
  return items_[static_cast<size_t>(index)].GetLength();
}

namespace {

// Searches the entries after `start` (-1: from the top), wrapping round to
// `start` itself; `match` decides. CB_ERR when nothing matches.
template <typename Match>
int SearchEntries(const std::vector<CString>& items, int start, Match match) {
  const int count = static_cast<int>(items.size());
  if (count == 0) return CB_ERR;
  if (start < -1 || start >= count) start = -1;
  for (int n = 1; n <= count; ++n) {
    int i = (start + n) % count;
    if (match(items[static_cast<size_t>(i)])) return i;
  }
  return CB_ERR;
}

}  // namespace

int CComboBox::FindStringExact(int start, const char* text) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const char* wanted = text ? text : "";
  return SearchEntries(items_, start, [&](const CString& s) {
    return ui::detail::CompareNoCase(s, wanted) == 0;
  });
}

int CComboBox::SelectString(int start, const char* text) {
  int found;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const CString prefix = text;
    found = SearchEntries(items_, start, [&](const CString& s) {
      return s.GetLength() >= prefix.GetLength() &&
             ui::detail::CompareNoCase(s.Left(prefix.GetLength()), prefix) == 0;
    });
    if (found == CB_ERR) return CB_ERR;
  }
  return SetCurSel(found);
}

void CComboBox::UserSelect(int index) {
  if (!IsWindowEnabled() || index < 0 || index >= GetCount()) return;
  SetCurSel(index);
  NotifyParentCommand(CBN_SELCHANGE);
}

void CComboBox::TakeStateFrom(CWnd& generic) {
  auto* g = dynamic_cast<CComboBox*>(&generic);
  if (g == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(g->lock_);
  items_ = g->items_;
  cur_ = g->cur_;
}

// ---- CTime and CDateTimeCtrl ----------------------------------------------------------

CTime::CTime(int year, int month, int day, int hour, int min, int sec) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  tm.tm_isdst = -1;
  t_ = std::mktime(&tm);
}

CTime CTime::GetCurrentTime() { return CTime(std::time(nullptr)); }

namespace {
std::tm LocalTm(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}
}  // namespace

int CTime::GetYear() const { return LocalTm(t_).tm_year + 1900; }
int CTime::GetMonth() const { return LocalTm(t_).tm_mon + 1; }
int CTime::GetDay() const { return LocalTm(t_).tm_mday; }

CString CTime::Format(const char* fmt) const {
  if (fmt == nullptr || *fmt == '\0') return CString();
  const std::tm tm = LocalTm(t_);
  std::string buffer(256, '\0');
  for (int tries = 0; tries < 8; ++tries) {
    size_t n = std::strftime(buffer.data(), buffer.size(), fmt, &tm);
    if (n > 0) return CString(buffer.data(), static_cast<int>(n));
    buffer.resize(buffer.size() * 4);
  }
  return CString();
}

DWORD CDateTimeCtrl::GetTime(CTime& out) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  out = time_;
  return 0;  // GDT_VALID
}

BOOL CDateTimeCtrl::SetTime(const CTime& t) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    time_ = t;
  }
  Changed(kChangeText);
  return TRUE;
}

void CDateTimeCtrl::TakeStateFrom(CWnd& generic) {
  if (auto* g = dynamic_cast<CDateTimeCtrl*>(&generic)) g->GetTime(time_);
}

// ---- CTabCtrl -------------------------------------------------------------------------

int CTabCtrl::InsertItem(int index, const char* text) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const int count = static_cast<int>(tabs_.size());
    if (index < 0) return -1;
    if (index > count) index = count;
    tabs_.insert(tabs_.begin() + index, CString(text));
    // The first tab is selected as it comes; later ones keep the selection
    // on the same tab.
    if (cur_ < 0 && count == 0) {
      cur_ = 0;
    } else if (cur_ >= index) {
      ++cur_;
    }
  }
  Changed(kChangeItems | kChangeSelection);
  return index;
}

int CTabCtrl::GetItemCount() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return static_cast<int>(tabs_.size());
}

CString CTabCtrl::GetItemText(int index) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (index < 0 || index >= static_cast<int>(tabs_.size())) return CString();
  return tabs_[static_cast<size_t>(index)];
}

int CTabCtrl::GetCurSel() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return cur_;
}

int CTabCtrl::SetCurSel(int index) {
  int before;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (index >= static_cast<int>(tabs_.size())) return -1;
    before = cur_;
    cur_ = index < 0 ? -1 : index;
  }
  Changed(kChangeSelection);
  return before;
}

void CTabCtrl::UserSelect(int index) {
  if (!IsWindowEnabled() || index < 0 || index >= GetItemCount() || index == GetCurSel()) return;
  SetCurSel(index);
  NMHDR header;
  header.code = TCN_SELCHANGE;
  NotifyParent(header);
}

void CTabCtrl::TakeStateFrom(CWnd& generic) {
  auto* g = dynamic_cast<CTabCtrl*>(&generic);
  if (g == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(g->lock_);
  tabs_ = g->tabs_;
  cur_ = g->cur_;
}

// ---- CWebBrowserCtrl -----------------------------------------------------------------

void CWebBrowserCtrl::Navigate(const char* url) {
  const CString address = url;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    url_ = address;
  }
  Changed(kChangeText);
  HWND h = m_hWnd;
  ui::detail::RunOnUiThread([h, address] {
    if (auto* self = dynamic_cast<CWebBrowserCtrl*>(CWnd::FromHandle(h))) {
      ui::GetBackend().Navigate(self, address);
    }
  });
}

CString CWebBrowserCtrl::LocationURL() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return url_;
}

void CWebBrowserCtrl::TakeStateFrom(CWnd& generic) {
  if (auto* g = dynamic_cast<CWebBrowserCtrl*>(&generic)) url_ = g->LocationURL();
}

// ---- controls from templates -----------------------------------------------------------

std::unique_ptr<CWnd> MakeControlForKind(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
      return std::make_unique<CButton>();
    case ControlKind::Static:
      return std::make_unique<CStatic>();
    case ControlKind::Edit:
      return std::make_unique<CEdit>();
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
      return std::make_unique<CComboBox>();
    case ControlKind::ListView:
      return std::make_unique<CListCtrl>();
    case ControlKind::TreeView:
      return std::make_unique<CTreeCtrl>();
    case ControlKind::DateTime:
      return std::make_unique<CDateTimeCtrl>();
    case ControlKind::Spin:
      return std::make_unique<CSpinButtonCtrl>();
    case ControlKind::Tab:
      return std::make_unique<CTabCtrl>();
    case ControlKind::Browser:
      return std::make_unique<CWebBrowserCtrl>();
  }
  return std::make_unique<CWnd>();
}
