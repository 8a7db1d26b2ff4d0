#include "app/TovraneApp.h"

#include "app/MainDlg.h"

CTovraneApp theApp;

CTovraneApp::CTovraneApp() {
  // Restart support, as the system's restart manager knows it.
  m_dwRestartManagerSupportFlags = 1;
}

CTovraneApp::~CTovraneApp() = default;

BEGIN_MESSAGE_MAP(CTovraneApp, CWinApp)
  ON_COMMAND(ID_HELP, &CTovraneApp::OnHelp)
END_MESSAGE_MAP()

BOOL CTovraneApp::InitInstance() {
  // The common controls, the control container of the sign-in browser, the
  // shell manager and the visual manager are the toolkit's business here:
  // the backend installed before AfxWinMain starts it and draws every
  // control, the browser included.
  CWinApp::InitInstance();
  // Kept for the framework; no setting is stored under it (the options live
  // in Data\system.ini).
  SetRegistryKey("应用程序向导生成的本地应用程序");

  MainDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  // The main window is gone: nothing may reach it through the application.
  m_pMainWnd = nullptr;
  return FALSE;
}
