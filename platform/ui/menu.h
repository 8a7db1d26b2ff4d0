#pragma once
// Menus from the menu resources in resources/.
#include "platform/ui/wnd.h"

class CMenu {
 public:
  CMenu() = default;
  // Loads menu resource `id`; FALSE when there is none.
  BOOL LoadMenu(UINT id);
  // The pop-up at `position`, owned by this menu; null when out of range.
  CMenu* GetSubMenu(int position);
  int GetMenuItemCount() const;
  UINT GetMenuItemID(int position) const;  // 0 for a pop-up or separator
  CString GetMenuText(int position) const;
  // Shows the menu as a pop-up at screen point (x, y) and waits for the
  // user. With TPM_RETURNCMD it returns the chosen command (0: none);
  // otherwise the command goes to `owner` as WM_COMMAND and it returns
  // whether one was chosen. UI thread only.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT* = nullptr);
  BOOL DestroyMenu();
  const std::vector<MenuItemTemplate>& Items() const { return *items_; }

 private:
  const std::vector<MenuItemTemplate>* items_ = nullptr;
  std::vector<std::unique_ptr<CMenu>> subs_;
};

BOOL GetCursorPos(POINT* p);
DWORD GetMessagePos();  // screen position of the last user action: x low word, y high word
