#pragma once
// The message box of the real windows: the system's box shape (icon, text,
// the buttons of the MB_ type with the Chinese system's captions), centred
// on its owner or on the screen. UI thread only.
#include <wx/window.h>

#include "platform/ui/windefs.h"

namespace wxui {

// Returns IDOK, IDCANCEL, IDYES or IDNO.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, UINT type);

}  // namespace wxui
