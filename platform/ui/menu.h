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
  // otherwise the command is posted to `owner` as WM_COMMAND (its handler
  // runs after this returns, when the UI thread next delivers) and it
  // returns whether one was chosen. From another thread it waits for the UI
  // thread to show the menu.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT* = nullptr);
  BOOL DestroyMenu();
  const std::vector<MenuItemTemplate>& Items() const { return *items_; }

 private:
  const std::vector<MenuItemTemplate>* items_ = nullptr;
  std::vector<std::unique_ptr<CMenu>> subs_;
};

BOOL GetCursorPos(POINT* p);
DWORD GetMessagePos();  // screen position of the last user action: x low word, y high word
