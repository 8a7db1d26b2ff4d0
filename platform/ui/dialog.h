#pragma once
// Dialogs built from the templates in resources/: modal (DoModal runs a loop
// of its own until EndDialog) or modeless child pages (Create).
// Creating, running, ending and destroying a dialog happen on the UI thread;
// its controls' state members may be called from any thread (see wnd.h).
#include "platform/ui/controls.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT template_id, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the window, its controls and runs OnInitDialog; modeless.
  virtual BOOL Create(UINT template_id, CWnd* parent = nullptr);
  // Creates the window, runs OnInitDialog, shows it and runs until
  // EndDialog; returns the value given to EndDialog. The application's main
  // window (m_pMainWnd) ends the program: before it returns, every worker
  // has been stopped and has ended, so that its controls can go.
  virtual std::intptr_t DoModal();
  void EndDialog(int result);
  bool IsModalRunning() const { return modal_running_; }
  int ModalResult() const { return modal_result_; }

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* dx);
  BOOL UpdateData(BOOL save_and_validate = TRUE);

  UINT TemplateId() const { return template_id_; }
  const DialogTemplate* DialogTemplateData() const { return dlg_template_; }
  // Dialog units to pixels for this dialog's font.
  void MapDialogRect(LPRECT r) const;
  BOOL DestroyWindow() override;

 protected:
  BOOL OnCommand(WPARAM wparam, LPARAM lparam) override;
  DECLARE_MESSAGE_MAP()

 private:
  bool CreateWindowObjects(CWnd* parent);
  UINT template_id_;
  CWnd* parent_at_construction_;
  const DialogTemplate* dlg_template_ = nullptr;
  bool modal_running_ = false;
  bool in_backend_loop_ = false;  // the backend's RunModal is on the stack
  int modal_result_ = IDCANCEL;
  int base_x_ = 6, base_y_ = 13;  // dialog base units in pixels
  friend class CWnd;
};

class CDialogEx : public CDialog {
 public:
  using CDialog::CDialog;
};
