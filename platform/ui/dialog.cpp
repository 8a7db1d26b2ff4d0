// Dialogs from templates: the window objects, initialisation, realization,
// the modal loop, the default OK and Cancel and the keys a dialog takes.
#include "platform/ui/dialog.h"

#include "platform/ui/internal.h"
#include "platform/ui/templates.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
END_MESSAGE_MAP()

CDialog::CDialog(UINT template_id, CWnd* parent)
    : template_id_(template_id), parent_at_construction_(parent) {}

CDialog::~CDialog() { CDialog::DestroyWindow(); }

bool CDialog::CreateWindowObjects(CWnd* parent) {
  if (m_hWnd != nullptr) return false;
  dlg_template_ = ui::LookupDialogTemplate(static_cast<int>(template_id_));
  if (dlg_template_ == nullptr) return false;
  const DialogTemplate& t = *dlg_template_;
  ui::GetBackend().BaseUnits(t.font, t.point_size, &base_x_, &base_y_);

  const bool child = (t.style & kDlgChild) != 0 && parent != nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    text_ = t.caption ? t.caption : "";
    style_ = t.style;
    id_ = 0;
    enabled_ = true;
    visible_ = (t.style & kDlgVisible) != 0;
    CRect size(0, 0, t.cx, t.cy);
    MapDialogRect(size);
    rect_ = size;
    template_ = nullptr;
  }
  modal_result_ = IDCANCEL;
  if (child) {
    parent_ = parent;
    parent->children_.push_back(this);
  } else {
    owner_ = parent;
  }
  AttachHandle();

  for (const ControlTemplate& c : t.controls) {
    // Position and size each on its own, as x * base / 4 and y * base / 8.
    CRect pixels(c.x * base_x_ / 4, c.y * base_y_ / 8, 0, 0);
    pixels.right = pixels.left + c.cx * base_x_ / 4;
    pixels.bottom = pixels.top + c.cy * base_y_ / 8;
    std::unique_ptr<CWnd> control = MakeControlForKind(c.kind);
    control->CreateFromTemplate(c, this, pixels);
    owned_.push_back(std::move(control));
  }
  return true;
}

void CDialog::MapDialogRect(LPRECT r) const {
  // Each edge on its own, as x * base / 4 and y * base / 8.
  r->left = r->left * base_x_ / 4;
  r->right = r->right * base_x_ / 4;
  r->top = r->top * base_y_ / 8;
  r->bottom = r->bottom * base_y_ / 8;
}

BOOL CDialog::Create(UINT template_id, CWnd* parent) {
  if (template_id != 0) template_id_ = template_id;
  if (!CreateWindowObjects(parent)) return FALSE;
  // An exception escaping OnInitDialog is reported and the window goes on,
  // as for any handler.
  ui::detail::CallReporting([this] { OnInitDialog(); });
  if (m_hWnd == nullptr) return FALSE;  // destroyed during its initialisation
  // A page made while its parent initialises is realized with the parent;
  // one made later, on its own.
  CWnd* top = parent_;
  if (top == nullptr || top->IsRealized()) RealizeTree(this);
  return TRUE;
}

std::intptr_t CDialog::DoModal() {
  // A modal dialog is a window of its own, never a child.
  if (!CreateWindowObjects(nullptr)) return -1;
  // Without a parent, the application's main window owns it, as the class
  // library has it: it opens over that window and stays above it.
  owner_ = parent_at_construction_;
  CWinApp* app = AfxGetApp();
  if (owner_ == nullptr && app != nullptr && app->m_pMainWnd != this) owner_ = app->m_pMainWnd;
  modal_running_ = true;
  ui::detail::CallReporting([this] { OnInitDialog(); });
  if (m_hWnd == nullptr) return modal_result_;
  if (modal_running_) {
    {
      std::lock_guard<std::recursive_mutex> lock(lock_);
      visible_ = true;
    }
    RealizeTree(this);
    in_backend_loop_ = true;
    ui::GetBackend().RunModal(this);
    in_backend_loop_ = false;
  }
  modal_running_ = false;
  const int result = modal_result_;
  DestroyWindow();
  // The application's main window ends the program. Its controls go away
  // with the window object once this returns, while workers reach them
  // through the pages' globals: stop the workers and wait for every one
  // first. No time limit: a worker left running would touch freed controls.
  // The stop makes requests in flight give up, so the wait is short.
  if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this) {
    ui::detail::StopWorkers(std::chrono::milliseconds::max());
  }
  return result;
}

void CDialog::EndDialog(int result) {
  if (!ui::IsUiThread()) {
    HWND h = m_hWnd;
    ui::Post([h, result] {
      if (auto* dlg = dynamic_cast<CDialog*>(CWnd::FromHandle(h))) dlg->EndDialog(result);
    });
    return;
  }
  modal_result_ = result;
  if (modal_running_) {
    modal_running_ = false;
    if (in_backend_loop_) ui::GetBackend().EndModal(this);
  } else {
    ShowWindow(SW_HIDE);  // a modeless dialog only hides
  }
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL save_and_validate) {
  CDataExchange dx(this, save_and_validate);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wparam, LPARAM lparam) {
  if (CWnd::OnCommand(wparam, lparam)) return TRUE;
  if (HIWORD_(wparam) != BN_CLICKED) return FALSE;
  switch (LOWORD_(wparam)) {
    case IDOK:
      OnOK();
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CDialog::DestroyWindow() {
  if (modal_running_) {
    modal_running_ = false;
    if (in_backend_loop_) ui::GetBackend().EndModal(this);
  }
  return CWnd::DestroyWindow();
}

// ---- keys -------------------------------------------------------------------

namespace {

CDialog* ShownPage(const CWnd& w) {
  for (CWnd* c : w.Children()) {
    if (!c->IsWindowVisible()) continue;
    if (auto* page = dynamic_cast<CDialog*>(c)) return page;
    if (CDialog* page = ShownPage(*c)) return page;
  }
  return nullptr;
}

// The dialog that takes the keys; `focus` becomes its top-level window when
// it was left in a page that has been hidden since (another tab chosen).
CDialog* KeyDialog(CWnd*& focus) {
  for (CWnd* w = focus; w != nullptr; w = w->GetParent()) {
    if (!w->IsWindowVisible()) {
      while (focus->GetParent() != nullptr) focus = focus->GetParent();
      break;
    }
  }
  CDialog* dlg = nullptr;
  for (CWnd* w = focus; w != nullptr && dlg == nullptr; w = w->GetParent())
    dlg = dynamic_cast<CDialog*>(w);
  if (dlg == nullptr) return nullptr;
  CDialog* page = ShownPage(*dlg);
  return page != nullptr ? page : dlg;
}

bool IsPushButton(const CWnd* w) {
  return w->Kind() == ControlKind::PushButton || w->Kind() == ControlKind::DefPushButton;
}

CWnd* DefaultButton(const CWnd& dlg) {
  for (CWnd* c : dlg.Children())
    if (c->Template() != nullptr && c->Kind() == ControlKind::DefPushButton) return c;
  return nullptr;
}

}  // namespace

namespace ui {

bool HandleDialogKey(CWnd* focus, DialogKey key, CWnd** next_focus) {
  *next_focus = nullptr;
  CDialog* dlg = KeyDialog(focus);
  if (dlg == nullptr) return false;
  CWnd* control = focus != nullptr && focus->GetParent() == dlg ? focus : nullptr;
  switch (key) {
    case DialogKey::Tab:
    case DialogKey::BackTab:
      *next_focus = dlg->GetNextDlgTabItem(control, key == DialogKey::BackTab);
      return true;
    case DialogKey::Enter: {
      CWnd* button = control != nullptr && IsPushButton(control) ? control : DefaultButton(*dlg);
      if (button != nullptr)
        detail::PressButton(button);
      else
        dlg->Dispatch(WM_COMMAND, MAKEWPARAM_(static_cast<UINT>(IDOK), BN_CLICKED), 0, nullptr);
      return true;
    }
    case DialogKey::Escape:
      // On a page of the main window Esc does nothing: the pages' Cancel ids
      // stop runs ("停止同步" with no run would enable "开始同步"), and the
      // main window's Cancel would end the program. Boxes and dialogs keep
      // Esc as Cancel.
      if (const DialogTemplate* t = dlg->DialogTemplateData();
          dlg->GetParent() != nullptr || (t != nullptr && t->menu_id != 0))
        return true;
      // A Cancel button that is disabled cannot be pressed by key either.
      if (CWnd* cancel = dlg->GetDlgItem(IDCANCEL))
        detail::PressButton(cancel);
      else
        dlg->Dispatch(WM_COMMAND, MAKEWPARAM_(static_cast<UINT>(IDCANCEL), BN_CLICKED), 0, nullptr);
      return true;
    case DialogKey::ContextMenu:
      if (auto* list = dynamic_cast<CListCtrl*>(focus)) {
        list->UserContextMenuKey();
        return true;
      }
      if (auto* tree = dynamic_cast<CTreeCtrl*>(focus)) {
        tree->UserRightClick(POINT{});
        return true;
      }
      return false;
  }
  return false;
}

}  // namespace ui
