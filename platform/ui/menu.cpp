// Menus from the menu resources, pop-up menus and the cursor position.
#include "platform/ui/menu.h"

#include "platform/ui/internal.h"
#include "platform/ui/templates.h"

BOOL CMenu::LoadMenu(UINT id) {
  const MenuTemplate* t = ui::LookupMenuTemplate(static_cast<int>(id));
  if (t == nullptr) return FALSE;
  items_ = &t->items;
  subs_.clear();
  subs_.resize(items_->size());
  return TRUE;
}

CMenu* CMenu::GetSubMenu(int position) {
  if (items_ == nullptr || position < 0 || position >= static_cast<int>(items_->size())) {
    return nullptr;
  }
  const MenuItemTemplate& item = (*items_)[static_cast<size_t>(position)];
  if (item.popup.empty()) return nullptr;
  if (subs_.size() != items_->size()) subs_.resize(items_->size());
  std::unique_ptr<CMenu>& sub = subs_[static_cast<size_t>(position)];
  if (!sub) {
    sub = std::make_unique<CMenu>();
    sub->items_ = &item.popup;
    sub->subs_.resize(item.popup.size());
  }
  return sub.get();
}

int CMenu::GetMenuItemCount() const {
  return items_ == nullptr ? -1 : static_cast<int>(items_->size());
}

UINT CMenu::GetMenuItemID(int position) const {
  if (items_ == nullptr || position < 0 || position >= static_cast<int>(items_->size())) return 0;
  const MenuItemTemplate& item = (*items_)[static_cast<size_t>(position)];
  return item.popup.empty() ? static_cast<UINT>(item.id) : 0;
}

CString CMenu::GetMenuText(int position) const {
  if (items_ == nullptr || position < 0 || position >= static_cast<int>(items_->size())) {
    return CString();
  }
  return (*items_)[static_cast<size_t>(position)].text;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT*) {
  if (items_ == nullptr || items_->empty()) return FALSE;
  const std::vector<MenuItemTemplate>* items = items_;
  HWND owner_handle = owner != nullptr ? owner->m_hWnd : nullptr;
  const UINT command = ui::detail::RunOnUiThread([items, x, y, owner_handle] {
    return ui::GetBackend().TrackPopupMenu(*items, x, y, CWnd::FromHandle(owner_handle));
  });
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command == 0) return FALSE;
  // The command arrives as a posted message, after the menu has closed.
  if (owner_handle != nullptr) ::PostMessage(owner_handle, WM_COMMAND, MAKEWPARAM_(command, 0), 0);
  return TRUE;
}

BOOL CMenu::DestroyMenu() {
  const bool had = items_ != nullptr;
  items_ = nullptr;
  subs_.clear();
  return had ? TRUE : FALSE;
}

BOOL GetCursorPos(POINT* p) {
  if (p == nullptr) return FALSE;
  *p = ui::GetBackend().CursorPos();
  return TRUE;
}

DWORD GetMessagePos() {
  const POINT p = ui::GetBackend().CursorPos();
  return (static_cast<DWORD>(p.x) & 0xFFFF) | ((static_cast<DWORD>(p.y) & 0xFFFF) << 16);
}
