#pragma once
// The message box of the real windows: the system's box shape (icon, text
// that can be selected and copied, the buttons of the MB_ type with the
// Chinese system's captions), centred on its owner or on the screen. UI
// thread only.
#include <wx/toplevel.h>
#include <wx/window.h>

#include "platform/ui/windefs.h"

namespace wxui {

// Centres `window` over its parent (a box's or dialog's owner), or in the
// work area without one, inside the work area; again when it is mapped, as
// a window manager may put a new window where it likes; then raises it and
// gives it the keyboard, which nothing does without a window manager.
void OpenOverParent(wxTopLevelWindow* window);

// Returns IDOK, IDCANCEL, IDYES or IDNO.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, UINT type);

}  // namespace wxui
