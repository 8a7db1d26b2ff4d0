#pragma once
// What draws the windows. The core (wnd, controls, dialog, menu, app) keeps
// all state and calls a backend for everything visible. Two backends:
// headless/ (tests: no display, scripted answers) and wx/ (the program).
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/app.h"

namespace ui {

class Backend {
 public:
  virtual ~Backend() = default;

  // Dialog base units (pixels per 4 horizontal / 8 vertical dialog units)
  // for a template's font. Any thread.
  virtual void BaseUnits(const char* font, int point_size, int* base_x, int* base_y) = 0;

  // A window tree finished its initialisation: create its widgets (UI thread).
  // Called once for a top-level dialog (with everything under it, child
  // pages included) and once for a child page created later under a realized
  // parent. Before the call the core marks every window of the tree realized
  // and clears its pending_changes: build the widgets from the full state.
  virtual void Realize(CWnd* window) = 0;
  // The window is about to go away: drop the widgets of it and of every
  // window under it (UI thread). Called once, for the top of the tree that
  // goes, while its children are still linked; it may come from the window's
  // destructor, when only its CWnd part is left to look at.
  virtual void Unrealize(CWnd* window) = 0;
  // `window`'s state changed (`window->pending_changes` holds what); called
  // from any thread when the bits go from none to some. The backend
  // refreshes on the UI thread and clears the bits.
  virtual void Refresh(CWnd* window) = 0;

  // Something was queued for the UI thread (any thread).
  virtual void Wake() = 0;

  // Runs `dlg` modally until dlg->EndDialog (UI thread), delivering the
  // queue of ui::Post meanwhile. The dialog has been created and initialised
  // and is realized already; the core destroys it after this returns.
  virtual void RunModal(CDialog* dlg) = 0;
  // EndDialog was called on the dialog that RunModal runs (UI thread);
  // dlg->IsModalRunning() is already false.
  virtual void EndModal(CDialog* dlg) = 0;

  // Message box; returns IDOK, IDCANCEL, IDYES, ... (UI thread).
  virtual int MessageBox(CWnd* owner, const CString& text, const CString& caption, UINT type) = 0;
  // Pop-up menu at a screen point; returns the chosen command or 0 (UI thread).
  virtual UINT TrackPopupMenu(const std::vector<MenuItemTemplate>& items, int x, int y,
                              CWnd* owner) = 0;
  // Screen position of the last user action.
  virtual POINT CursorPos() = 0;

  // An embedded browser control navigates (UI thread).
  virtual void Navigate(CWebBrowserCtrl* browser, const CString& url) = 0;
  // Opens an address in the user's browser (any thread). False when no
  // handler could be started; `failed` is called later, from any thread,
  // when the handler ends with a failure.
  virtual bool OpenUrl(const CString& url, std::function<void()> failed) = 0;

  // Shows a one-line status (the account status) on the main window's
  // status bar. Any thread.
  virtual void SetStatusText(const CString& text) { (void)text; }
};

// Installs the backend (before AfxWinMain / before any window exists).
void SetBackend(std::unique_ptr<Backend> backend);
// The backend in use; the headless one when none was installed.
Backend& GetBackend();

// The main window's status line: remembered here and shown by the backend.
void SetStatusText(const CString& text);
CString GetStatusText();

}  // namespace ui
