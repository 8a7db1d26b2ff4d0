// The application object, message boxes, error reports and the shell's
// "open this address".
#include "platform/ui/app.h"

#include <atomic>

#include "platform/file/file.h"
#include "platform/text/codepage.h"
#include "platform/thread/thread.h"
#include "platform/ui/backend.h"
#include "platform/ui/internal.h"

namespace {

std::atomic<CWinApp*> g_app{nullptr};

}  // namespace

// ---- the application ------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

static CString& AppNameSlot() {
  static CString* name = new CString;
  return *name;
}

CWinApp::CWinApp(const char* app_name) {
  if (app_name != nullptr && *app_name != '\0') AppNameSlot() = app_name;
  g_app.store(this);
}

CWinApp::~CWinApp() {
  CWinApp* self = this;
  if (g_app.compare_exchange_strong(self, nullptr)) AppNameSlot().Empty();
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::SetRegistryKey(const char*) {
  // Nothing of the program is kept in a registry here.
}

CWinApp* AfxGetApp() { return g_app.load(); }

CString AfxGetAppName() {
  const CString& given = AppNameSlot();
  return given.IsEmpty() ? CString(Utf8ToGbk(ExecutableTitle())) : given;
}

int AfxWinMain() {
  ui::SetUiThread();
  ui::GetBackend();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  int code = -1;
  ui::detail::CallReporting([&] {
    if (app->InitInstance()) {
      // No message loop of the program's own: the queue runs while the main
      // window lives.
      CWnd* main = app->m_pMainWnd;
      HWND h = main != nullptr ? main->m_hWnd : nullptr;
      while (h != nullptr && CWnd::FromHandle(h) != nullptr) {
        ui::PumpUntil([h] { return CWnd::FromHandle(h) == nullptr; }, std::chrono::hours(1));
      }
    }
    code = app->ExitInstance();
  });
  // Workers that outlived the main window (or ran without one) are stopped
  // and waited for, ten seconds at most, before main returns and the static
  // objects they use go away.
  ui::detail::StopWorkers(std::chrono::seconds(10));
  return code;
}

// ---- message boxes ------------------------------------------------------------------

namespace ui::detail {

bool StopWorkers(std::chrono::milliseconds limit) {
  const bool for_ever = limit == std::chrono::milliseconds::max();
  auto none_alive = [] { return worker_registry::LiveCount() == 0; };
  worker_registry::SetStopRequested(true);
  // A pump takes a finite time: waiting for ever is waiting again.
  bool ended = PumpUntil(none_alive, for_ever ? std::chrono::seconds(1) : limit);
  while (!ended && for_ever) ended = PumpUntil(none_alive, std::chrono::seconds(1));
  // Their end messages and hand-overs (a save run's connection to close).
  RunPending();
  worker_registry::SetStopRequested(false);
  return ended;
}

int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT type) {
  return RunOnUiThread([owner, &text, &caption, type] {
    return GetBackend().MessageBox(CWnd::FromHandle(owner), text, caption, type);
  });
}

void ReportUnknownException() { AfxMessageBox("未知错误。", MB_ICONSTOP); }

}  // namespace ui::detail

int AfxMessageBox(const char* text, UINT type, UINT) {
  const CString body = text;
  const CString caption = AfxGetAppName();
  // The main window is looked at on the UI thread, which sets it.
  return ui::detail::RunOnUiThread([&] {
    CWinApp* app = AfxGetApp();
    CWnd* owner = app != nullptr ? app->m_pMainWnd : nullptr;
    return ui::GetBackend().MessageBox(owner, body, caption, type);
  });
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return ui::detail::ShowMessageBox(owner, text, caption != nullptr ? caption : "错误", type);
}

namespace ui {

void ReportException(CException* e) {
  char text[1024] = "";
  if (e == nullptr || !e->GetErrorMessage(text, sizeof text)) {
    AfxMessageBox("未知错误。", MB_ICONSTOP);
    return;
  }
  AfxMessageBox(text, MB_ICONSTOP);
}

void ReportException(const std::exception& e) {
  const char* what = e.what();
  AfxMessageBox(what != nullptr && *what != '\0' ? what : "未知错误。", MB_ICONSTOP);
}

}  // namespace ui

// ---- the shell --------------------------------------------------------------------

namespace {

// Where the desktop has no handler for an address, the user is told which
// address stayed closed, so that it can be opened by hand.
void ReportUrlNotOpened(const CString& address) {
  AfxMessageBox("无法打开网址：" + address +
                    "\n请安装 xdg-utils 并设置默认浏览器，或把网址复制到浏览器中打开。",
                MB_ICONSTOP);
}

}  // namespace

std::intptr_t ShellExecuteA(HWND, const char*, const char* file, const char*, const char*, int) {
  if (file == nullptr || *file == '\0') return 2;  // ERROR_FILE_NOT_FOUND
  const CString address = file;
  // The handler tells of its failure by its exit status, maybe long after
  // this returns: the box then comes through the UI thread's queue, and no
  // thread waits for it to be closed.
  const bool started = ui::GetBackend().OpenUrl(address, [address] {
    ui::Post([address] { ReportUrlNotOpened(address); });
  });
  if (!started) {
    ReportUrlNotOpened(address);
    return 31;  // SE_ERR_NOASSOC
  }
  return 42;  // above 32: success
}
