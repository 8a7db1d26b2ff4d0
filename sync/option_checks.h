#pragma once
// Check boxes to and from the options file's switch texts "true" and "false"
// (section SYSCONFIG of Data\system.ini). Used by the pricing page and the
// sync page when they read and write their options. UI thread.
#include "platform/text/CString.h"
#include "platform/ui/afxwin.h"

// "true" ticks `box`, "false" unticks it; any other text (the profile's
// default "d", "TRUE", "1") leaves it as it is.
void SetCheckFromText(CButton* box, const char* text);

// Sets `text` to "true" for a ticked box, "false" for an unticked one; the
// third state leaves `text` unchanged.
void GetCheckAsText(CButton* box, CString& text);
