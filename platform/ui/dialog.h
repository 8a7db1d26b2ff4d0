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
  // EndDialog; returns the value given to EndDialog. Without a parent, the
  // application's main window (m_pMainWnd) owns it. The main window itself
  // ends the program: before it returns, every worker has been stopped and
  // has ended, so that its controls can go.
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

namespace ui {

// The keys a dialog takes from its controls, as the class library's dialog
// message handling does for every dialog.
enum class DialogKey { Tab, BackTab, Enter, Escape, ContextMenu };

// A key pressed while `focus` has the keyboard focus (UI thread). The key
// goes to the innermost dialog that holds `focus`. A window that shows pages
// (the main window) hands it to the page shown: its own controls take no
// keys, and an Escape or Enter of its own would end the program.
// - Tab, BackTab: `*next_focus` gets the dialog's next (previous) tab stop,
//   for the caller to focus.
// - Enter: presses the focused push button, else the dialog's default push
//   button (when enabled), else sends IDOK.
// - Escape: presses the dialog's IDCANCEL button (when enabled), else sends
//   IDCANCEL.
// - ContextMenu: on a list or tree, the right click's notification for the
//   selected row; elsewhere not taken.
// Returns whether the key was taken; a key that was not goes on to `focus`.
bool HandleDialogKey(CWnd* focus, DialogKey key, CWnd** next_focus);

}  // namespace ui
