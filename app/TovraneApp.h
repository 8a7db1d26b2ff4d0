#pragma once
// The application object: InitInstance runs the main window modally and the
// program ends when it closes. AfxWinMain calls it on the UI thread.
#include "platform/ui/afxwin.h"

class CTovraneApp : public CWinApp {
 public:
  CTovraneApp();
  ~CTovraneApp() override;

  // Runs MainDlg modally; always FALSE, so the framework exits afterwards.
  BOOL InitInstance() override;

 protected:
  DECLARE_MESSAGE_MAP()
};

// The one application object. No name is given: the application name (the
// caption of framework message boxes) is the executable's file name.
extern CTovraneApp theApp;
