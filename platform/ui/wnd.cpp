// Windows: state, handles, message maps and dispatch, data exchange.
#include "platform/ui/wnd.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/internal.h"

namespace {

// Living windows by handle. Handles are never reused, so a handle kept after
// its window died finds nothing rather than a newer window.
struct HandleRegistry {
  std::mutex mutex;
  std::unordered_map<HWND, CWnd*> windows;
  std::uintptr_t next = 0x10000;
};

HandleRegistry& Registry() {
  static HandleRegistry* registry = new HandleRegistry;
  return *registry;
}

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
  for (; map != nullptr; map = map->base ? map->base() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->entries; e->call != nullptr; ++e) {
      if (e->message != message) continue;
      if (message == WM_COMMAND || message == WM_NOTIFY) {
        if (e->code == code && e->id == id) return e;
      } else {
        return e;
      }
    }
  }
  return nullptr;
}

}  // namespace

// ---- message maps ----------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

// ---- life and handles ----------------------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd() { CWnd::DestroyWindow(); }

CWnd* CWnd::FromHandle(HWND h) {
  if (h == nullptr) return nullptr;
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.windows.find(h);
  return it == r.windows.end() ? nullptr : it->second;
}

void CWnd::AttachHandle() {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  HWND h = reinterpret_cast<HWND>(r.next);
  r.next += 4;
  r.windows[h] = this;
  m_hWnd = h;
}

void CWnd::DetachFromParent() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  parent_ = nullptr;
}

void CWnd::DestroyTree() {
  std::vector<CWnd*> kids = children_;
  for (CWnd* child : kids) child->DestroyTree();
  children_.clear();
  // Generic controls die here; their destructors find no window left.
  std::vector<std::unique_ptr<CWnd>> generics = std::move(owned_);
  owned_.clear();
  generics.clear();
  if (m_hWnd != nullptr) {
    HandleRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.windows.erase(m_hWnd);
  }
  m_hWnd = nullptr;
  realized_ = false;
  native = nullptr;
  owner_ = nullptr;
  DetachFromParent();
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) {
    DetachFromParent();
    return FALSE;
  }
  // The backend drops the widgets of the whole tree while it is still linked.
  if (realized_) ui::GetBackend().Unrealize(this);
  DestroyTree();
  return TRUE;
}

void CWnd::CreateFromTemplate(const ControlTemplate& t, CWnd* parent, const CRect& pixels) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    text_ = t.text ? t.text : "";
    style_ = t.style;
    id_ = t.id;
    kind_ = t.kind;
    visible_ = (t.style & kStyleVisible) != 0;
    enabled_ = (t.style & kStyleDisabled) == 0;
    rect_ = pixels;
    template_ = &t;
  }
  parent_ = parent;
  if (parent != nullptr) parent->children_.push_back(this);
  AttachHandle();
}

void CWnd::SubclassFrom(CWnd& generic) {
  const bool was_realized = generic.realized_;
  if (was_realized) ui::GetBackend().Unrealize(&generic);
  {
    std::scoped_lock lock(lock_, generic.lock_);
    text_ = generic.text_;
    enabled_ = generic.enabled_;
    visible_ = generic.visible_;
    rect_ = generic.rect_;
    style_ = generic.style_;
    id_ = generic.id_;
    kind_ = generic.kind_;
    template_ = generic.template_;
  }
  TakeStateFrom(generic);

  // Take the generic's place among its siblings and its handle.
  parent_ = generic.parent_;
  if (parent_ != nullptr) {
    std::replace(parent_->children_.begin(), parent_->children_.end(), &generic, this);
  }
  generic.parent_ = nullptr;
  {
    HandleRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    m_hWnd = generic.m_hWnd;
    generic.m_hWnd = nullptr;
    if (m_hWnd != nullptr) r.windows[m_hWnd] = this;
  }
  generic.realized_ = false;
  generic.native = nullptr;

  if (parent_ != nullptr) {
    auto& owned = parent_->owned_;
    auto it = std::find_if(owned.begin(), owned.end(),
                           [&](const std::unique_ptr<CWnd>& p) { return p.get() == &generic; });
    if (it != owned.end()) owned.erase(it);  // `generic` is gone from here on
  }
  if (was_realized) RealizeTree(this);
}

void CWnd::TakeStateFrom(CWnd&) {}

void RealizeTree(CWnd* w) {
  struct Mark {
    static void Tree(CWnd* x) {
      x->pending_changes.store(0);
      x->realized_ = true;
      for (CWnd* c : x->children_) Tree(c);
    }
  };
  Mark::Tree(w);
  ui::GetBackend().Realize(w);
}

// ---- state -------------------------------------------------------------------

void CWnd::Changed(unsigned bits) {
  if (bits == 0) return;
  unsigned before = pending_changes.fetch_or(bits);
  if (before == 0 && realized_.load()) ui::GetBackend().Refresh(this);
}

void CWnd::SetWindowText(const char* text) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (text_ == (text ? text : "")) return;
    text_ = text;
  }
  Changed(kChangeText);
}

void CWnd::GetWindowText(CString& out) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  out = text_;
}

CString CWnd::GetWindowText() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return text_;
}

int CWnd::GetWindowTextLength() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return text_.GetLength();
}

BOOL CWnd::EnableWindow(BOOL enable) {
  bool was_enabled;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    was_enabled = enabled_;
    enabled_ = enable != FALSE;
  }
  if (was_enabled != (enable != FALSE)) Changed(kChangeEnabled);
  return was_enabled ? FALSE : TRUE;
}

BOOL CWnd::IsWindowEnabled() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return enabled_ ? TRUE : FALSE;
}

BOOL CWnd::ShowWindow(int cmd) {
  const bool show = cmd != SW_HIDE;
  bool was_visible;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    was_visible = visible_;
    visible_ = show;
  }
  if (was_visible != show) Changed(kChangeVisible);
  return was_visible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return visible_ ? TRUE : FALSE;
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL) {
  CRect r(x, y, x + cx, y + cy);
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (rect_ == r) return;
    rect_ = r;
  }
  Changed(kChangeRect);
}

void CWnd::MoveWindow(const RECT& r, BOOL repaint) {
  MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags) {
  // The sibling order is not kept: the program's overlapping siblings (the
  // pages) are shown one at a time.
  unsigned bits = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    CRect r = rect_;
    if (!(flags & SWP_NOMOVE)) {
      r = CRect(x, y, x + r.Width(), y + r.Height());
    }
    if (!(flags & SWP_NOSIZE)) {
      r.right = r.left + cx;
      r.bottom = r.top + cy;
    }
    if (!(rect_ == r)) {
      rect_ = r;
      bits |= kChangeRect;
    }
    if ((flags & SWP_SHOWWINDOW) && !visible_) {
      visible_ = true;
      bits |= kChangeVisible;
    } else if ((flags & SWP_HIDEWINDOW) && visible_) {
      visible_ = false;
      bits |= kChangeVisible;
    }
  }
  Changed(bits);
  return TRUE;
}

void CWnd::GetClientRect(LPRECT r) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  *r = CRect(0, 0, rect_.Width(), rect_.Height());
}

void CWnd::GetWindowRect(LPRECT r) const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  *r = rect_;
}

CRect CWnd::Rect() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return rect_;
}

int CWnd::GetDlgCtrlID() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return id_;
}

CWnd* CWnd::GetParent() const { return parent_; }

CWnd* CWnd::GetDlgItem(int id) const {
  for (CWnd* c : children_) {
    if (c->GetDlgCtrlID() == id && c->template_ != nullptr) return c;
  }
  return nullptr;
}

void CWnd::SetDlgItemText(int id, const char* text) {
  if (CWnd* c = GetDlgItem(id)) c->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, CString& out) const {
  if (CWnd* c = GetDlgItem(id)) {
    c->GetWindowText(out);
  } else {
    out.Empty();
  }
  return out.GetLength();
}

DWORD CWnd::GetStyle() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return style_;
}

ControlKind CWnd::Kind() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return kind_;
}

void CWnd::SetFocus() {}

CWnd* CWnd::GetNextDlgTabItem(CWnd* ctl, BOOL previous) const {
  const int count = static_cast<int>(children_.size());
  const auto at = std::find(children_.begin(), children_.end(), ctl);
  const int start = at == children_.end() ? (previous ? count : -1)
                                          : static_cast<int>(at - children_.begin());
  for (int step = 1; step <= count; ++step) {
    const int i = ((start + (previous ? -step : step)) % count + count) % count;
    CWnd* c = children_[static_cast<size_t>(i)];
    if (c->template_ != nullptr && (c->GetStyle() & kStyleTabStop) && c->IsWindowVisible() &&
        c->IsWindowEnabled()) {
      return c;
    }
  }
  return nullptr;
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return nullptr; }

HBRUSH CWnd::CtlColorFor(CWnd* child, CDC* dc) {
  UINT type = CTLCOLOR_STATIC;
  switch (child->Kind()) {
    case ControlKind::Edit:
    case ControlKind::ComboBox:
      type = CTLCOLOR_EDIT;
      break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      type = CTLCOLOR_BTN;
      break;
    default:
      break;
  }
  CtlColorQuery query{dc, child, type, nullptr};
  LRESULT result = 0;
  Dispatch(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&query), &result);
  return query.brush;
}

// ---- messages ------------------------------------------------------------------

bool CWnd::Dispatch(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  LRESULT value = 0;
  bool handled = false;
  ui::detail::CallReporting([&] {
    if (message == WM_COMMAND) {
      handled = OnCommand(wparam, lparam) != FALSE;
      return;
    }
    UINT code = 0, id = 0;
    if (message == WM_NOTIFY) {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header == nullptr) return;
      code = header->code;
      id = static_cast<UINT>(header->idFrom);
    }
    if (const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), message, code, id)) {
      handled = true;
      value = e->call(this, wparam, lparam);
      return;
    }
    value = DefWindowProc(message, wparam, lparam, &handled);
  });
  if (result != nullptr) *result = value;
  return handled;
}

BOOL CWnd::OnCommand(WPARAM wparam, LPARAM lparam) {
  const AFX_MSGMAP_ENTRY* e =
      FindEntry(GetMessageMap(), WM_COMMAND, HIWORD_(wparam), LOWORD_(wparam));
  if (e == nullptr) return FALSE;
  e->call(this, wparam, lparam);
  return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM, LPARAM, bool* handled) {
  *handled = false;
  if (message == WM_CLOSE) {
    *handled = true;
    // A dialog closed by its frame cancels, as its Cancel button would.
    if (dynamic_cast<CDialog*>(this) != nullptr) {
      OnCommand(MAKEWPARAM_(IDCANCEL, 0), 0);
    } else {
      DestroyWindow();
    }
  }
  return 0;
}

void CWnd::NotifyParentCommand(UINT code) {
  CWnd* parent = parent_;
  if (parent == nullptr) return;
  LRESULT result = 0;
  parent->Dispatch(WM_COMMAND, MAKEWPARAM_(static_cast<UINT>(GetDlgCtrlID()), code),
                   reinterpret_cast<LPARAM>(m_hWnd), &result);
}

LRESULT CWnd::NotifyParent(NMHDR& header) {
  CWnd* parent = parent_;
  header.hwndFrom = m_hWnd;
  header.idFrom = static_cast<std::uintptr_t>(GetDlgCtrlID());
  if (parent == nullptr) return 0;
  LRESULT result = 0;
  parent->Dispatch(WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header), &result);
  return result;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (CWnd::FromHandle(hwnd) == nullptr) return FALSE;
  ui::Post([hwnd, message, wparam, lparam] {
    // The window may have gone in the meantime: then the message is dropped.
    if (CWnd* w = CWnd::FromHandle(hwnd)) {
      LRESULT result = 0;
      w->Dispatch(message, wparam, lparam, &result);
    }
  });
  return TRUE;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::PostMessage(m_hWnd, message, wparam, lparam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND h = m_hWnd;
  return ui::detail::RunOnUiThread([h, message, wparam, lparam]() -> LRESULT {
    LRESULT result = 0;
    if (CWnd* w = CWnd::FromHandle(h)) w->Dispatch(message, wparam, lparam, &result);
    return result;
  });
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
  CString title = caption != nullptr ? CString(caption) : AfxGetAppName();
  return ui::detail::ShowMessageBox(m_hWnd, text, title, type);
}

// ---- data exchange ------------------------------------------------------------------

namespace {

CWnd* ControlOf(CDataExchange* dx, int id) {
  CWnd* c = dx->m_pDlgWnd->GetDlgItem(id);
  if (c == nullptr) {
    const auto* dlg = dynamic_cast<const CDialog*>(dx->m_pDlgWnd);
    throw std::runtime_error("dialog " + std::to_string(dlg ? dlg->TemplateId() : 0) +
                             " has no control " + std::to_string(id));
  }
  return c;
}

}  // namespace

namespace ui::detail {

void PressButton(CWnd* button) {
  if (auto* b = dynamic_cast<CButton*>(button))
    b->UserClick();
  else if (button->IsWindowEnabled())
    button->NotifyParentCommand(BN_CLICKED);
}

std::vector<CButton*> RadioGroup(CWnd* button, bool starts_group) {
  std::vector<CButton*> group;
  CWnd* parent = button->GetParent();
  if (parent == nullptr) return group;
  const auto& siblings = parent->Children();
  auto first = std::find(siblings.begin(), siblings.end(), button);
  if (first == siblings.end()) return group;
  if (!starts_group) {
    while (first != siblings.begin() && !((*first)->GetStyle() & kStyleGroup)) {
      auto before = std::prev(first);
      if ((*before)->Template() == nullptr) break;
      first = before;
    }
  }
  for (auto it = first; it != siblings.end(); ++it) {
    CWnd* w = *it;
    if (w->Template() == nullptr) break;
    if (it != first && (w->GetStyle() & kStyleGroup)) break;
    if (w->Kind() != ControlKind::RadioButton) continue;
    if (auto* b = dynamic_cast<CButton*>(w)) group.push_back(b);
  }
  return group;
}

}  // namespace ui::detail

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  CWnd* generic = ControlOf(dx, id);
  if (generic == &control) return;
  control.SubclassFrom(*generic);
}

void DDX_Radio(CDataExchange* dx, int first_id, int& value) {
  std::vector<CButton*> group = ui::detail::RadioGroup(ControlOf(dx, first_id), true);
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i) {
      if (group[i]->GetCheck() == BST_CHECKED) {
        value = static_cast<int>(i);
        break;
      }
    }
  } else {
    for (size_t i = 0; i < group.size(); ++i) {
      group[i]->SetCheck(static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
    }
  }
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  CWnd* c = ControlOf(dx, id);
  if (dx->m_bSaveAndValidate) {
    c->GetWindowText(value);
  } else {
    c->SetWindowText(value);
  }
}
