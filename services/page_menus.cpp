#include "services/page_menus.h"

#include "resources/resource_ids.h"

void ShowPageContextMenu(int position, CWnd* owner) {
  CMenu menu;
  if (!menu.LoadMenu(IDR_CONTEXT_MENUS)) return;
  CMenu* popup = menu.GetSubMenu(position);
  if (!popup) return;
  const DWORD pos = GetMessagePos();
  const int x = static_cast<short>(pos & 0xFFFF);
  const int y = static_cast<short>((pos >> 16) & 0xFFFF);
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, owner);
}
