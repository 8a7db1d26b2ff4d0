#pragma once
// The headless backend: no display. Tests pump the message queue on their
// own thread (which is the UI thread), answer message boxes and pop-up menus
// from scripts, and read back what was shown.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/backend.h"

namespace ui::headless {

// The backend object; GetBackend() installs one when no other was set.
std::unique_ptr<Backend> MakeBackend();

struct MessageBoxRecord {
  CString text;     // GBK
  CString caption;  // GBK
  UINT type;        // MB_ buttons | MB_ icon
  HWND owner;       // null for a box without owner
  int answer;
};

// Every message box shown so far, in order.
std::vector<MessageBoxRecord> MessageBoxes();
void ClearMessageBoxes();
// The next message boxes answer these, in order; then IDOK (or IDYES for
// a yes/no box).
void ScriptMessageBoxAnswers(std::vector<int> answers);

// The next pop-up menus choose these commands, in order (0: dismissed);
// then 0. Every menu shown is recorded with its item texts.
void ScriptPopupCommands(std::vector<UINT> commands);
std::vector<std::vector<CString>> PopupMenusShown();

// When a modal dialog runs, the next scripted action (in order) is called
// with it after its OnInitDialog; the loop then pumps until EndDialog. A
// dialog with no action left ends with IDCANCEL.
void ScriptModal(std::function<void(CDialog&)> action);

// Addresses opened in the user's browser, and addresses navigated to by
// embedded browsers.
std::vector<CString> OpenedUrls();
std::vector<CString> NavigatedUrls();
// Each address opened is also handed to `program` (a path), as the wx
// backend hands it to xdg-open, so that a test can make the handler fail
// or be missing. Empty (the default): no handler is started.
void SetUrlOpener(const std::string& program);

void SetCursorPos(POINT p);

// Forgets scripts and records (between tests).
void Reset();

}  // namespace ui::headless
