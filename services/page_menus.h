#pragma once
// The pages' context menus: the pop-ups of menu IDR_CONTEXT_MENUS, shown
// where the click that opened them happened. UI thread.
#include "platform/ui/afxwin.h"

// Shows the pop-up at `position` of the context menus at the place of the
// current message; the chosen command goes to `owner`'s message map.
void ShowPageContextMenu(int position, CWnd* owner);
