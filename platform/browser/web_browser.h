#pragma once
// The embedded browser of the real windows: a wxWebView on WebKitGTK 4.0.
//
// Every cookie the browser holds goes into the internet layer's process-wide
// store (platform/net/cookies.h), HttpOnly ones included: after every
// finished load, every second while a browser exists, and at once when
// FlushCookies is called (the window layer calls it before a button of a
// window holding a browser acts, so the button's handler sees every cookie).
//
// Certificates: WebKit's checks hold, except that a certificate that the
// extra CA file of the host settings (Hosts().caFile, set by tests) vouches
// for, for the host in question, is accepted.
//
// A page process that crashes is started again with the page it was on (a
// few times at most for one address): WebKit itself would leave the window
// blank.
//
// WebKit keeps its data under the user's XDG data and cache folders, in a
// folder named after the program. UI thread only.
#include <wx/window.h>

#include "platform/ui/controls.h"

namespace browser {

// Creates the browser for `control` inside `parent`; it loads the address
// the control holds already (pages navigate before their window exists).
wxWindow* CreateBrowser(wxWindow* parent, CWebBrowserCtrl* control, const wxPoint& pos,
                        const wxSize& size);
// Loads `url` (GBK) in a browser made by CreateBrowser.
void Navigate(wxWindow* browser, const CString& url);
// Whether a browser exists at present.
bool AnyBrowser();
// Copies every cookie of the browsers into the store and returns when done
// (or after `timeout_ms`), running the event loop meanwhile.
void FlushCookies(int timeout_ms = 2000);

// Counts since the process began, for the tests: loads that ended on a
// certificate refused (neither WebKit nor the extra CA file vouches for it),
// and page processes that crashed.
int RefusedCertificates();
int PageCrashes();

}  // namespace browser
