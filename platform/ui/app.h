#pragma once
// The application object, message boxes, the user-interface thread and its
// message queue, and opening an address in the user's browser.
#include <chrono>
#include <functional>

#include "platform/ui/dialog.h"
#include "platform/ui/menu.h"

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const char* app_name = nullptr);
  ~CWinApp() override;
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  CWnd* m_pMainWnd = nullptr;
  DWORD m_dwRestartManagerSupportFlags = 0;
  void SetRegistryKey(const char* key);
  // The framework's help command; public so that a derived application's
  // message map can name &CWinApp::OnHelp.
  void OnHelp() {}

 protected:
  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// The application name: the executable's file name without extension.
CString AfxGetAppName();
// Runs the application: installs the backend given to ui::SetBackend (the
// headless one when none), makes this thread the UI thread, calls
// InitInstance, stops the workers left and waits for them (at most ten
// seconds) and returns the exit code.
int AfxWinMain();

// The framework's message box: captioned with the application name, owned
// by the main window when there is one. Message boxes from another thread
// are shown by the UI thread, and the caller waits for the answer.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT help_id = 0);
// A box without owner.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// Opens `file` (an address) with the desktop's default handler.
std::intptr_t ShellExecuteA(HWND hwnd, const char* verb, const char* file, const char* params,
                            const char* dir, int show);

namespace ui {

// The calling thread becomes the user-interface thread. Until a thread
// does, the process's first thread is the UI thread.
void SetUiThread();
bool IsUiThread();

// Queues `task` for the UI thread (any thread).
void Post(std::function<void()> task);
// Runs the tasks queued so far, oldest first (UI thread). Returns how many
// ran. A task's escaping exception is reported like a handler's.
int RunPending();
// Runs queued tasks as they come until `done()` holds or `timeout` passes
// (UI thread). Returns whether `done()` held.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Reports an exception that escaped a handler: an error box with its text,
// the stop icon and the application name as caption. The caller still
// Delete()s a CException.
void ReportException(CException* e);
void ReportException(const std::exception& e);

}  // namespace ui
