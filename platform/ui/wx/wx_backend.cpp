#include "platform/ui/wx/wx_backend.h"

#include <glib.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/browser/web_browser.h"
#include "platform/shell/open_url.h"
#include "platform/text/codepage.h"
#include "platform/ui/internal.h"
#include "platform/ui/wx/custom_widgets.h"
#include "platform/ui/wx/fonts.h"
#include "platform/ui/wx/message_box.h"
#include "platform/ui/wx/window_tree.h"

namespace {

using wxui::Node;
using wxui::ToWx;

class TovraneWxApp : public wxApp {
 public:
  // No command line of its own: the program takes none.
  bool OnInit() override { return true; }
};

// Idle callbacks reach the backend through this pointer, cleared when it
// goes (both on the UI thread).
class WxBackend;
WxBackend* g_backend = nullptr;

// Below GTK's redraw (120) and input (0): a stream of refreshes from busy
// workers never starves painting or the user's clicks.
constexpr int kRefreshPriority = G_PRIORITY_HIGH_IDLE + 30;

void AssertToStderr(const wxString& file, int line, const wxString& func, const wxString& cond,
                    const wxString& msg) {
  std::fprintf(stderr, "wx assertion %s:%d %s: %s %s\n", static_cast<const char*>(file.utf8_str()),
               line, static_cast<const char*>(func.utf8_str()),
               static_cast<const char*>(cond.utf8_str()), static_cast<const char*>(msg.utf8_str()));
}

class WxBackend : public ui::Backend {
 public:
  WxBackend() { g_backend = this; }
  ~WxBackend() override {
    g_backend = nullptr;
    tree_.reset();
    if (wxTheApp != nullptr) wxTheApp->OnExit();
    wxEntryCleanup();
  }

  void BaseUnits(const char*, int point_size, int* base_x, int* base_y) override {
    wxui::BaseUnitsFor(point_size, base_x, base_y);
  }

  void Realize(CWnd* window) override { tree_->Realize(window); }
  void Unrealize(CWnd* window) override { tree_->Unrealize(window); }

  // Any thread. The window goes on a list that one idle callback drains;
  // the callback is scheduled once for any number of windows.
  void Refresh(CWnd* window) override {
    bool schedule = false;
    {
      std::lock_guard<std::mutex> lock(lock_);
      dirty_.push_back(window);
      schedule = !refresh_scheduled_;
      refresh_scheduled_ = true;
    }
    if (schedule) g_idle_add_full(kRefreshPriority, &WxBackend::DrainThunk, nullptr, nullptr);
  }

  void Wake() override {
    bool schedule = false;
    {
      std::lock_guard<std::mutex> lock(lock_);
      schedule = !wake_scheduled_;
      wake_scheduled_ = true;
    }
    if (schedule) g_idle_add_full(kRefreshPriority, &WxBackend::WakeThunk, nullptr, nullptr);
  }

  void RunModal(CDialog* dlg) override {
    Node* n = tree_->Find(dlg);
    if (n == nullptr) {
      tree_->Realize(dlg);
      n = tree_->Find(dlg);
    }
    if (n == nullptr || n->top == nullptr) return;
    if (n->end_requested) {
      n->end_requested = false;
      return;
    }
    wxTopLevelWindow* top = n->top;
    n->modal = true;
    if (n->shape == Node::Shape::Frame) {
      wxGUIEventLoop loop;
      n->loop = &loop;
      top->Show();
      top->Raise();
      loop.Run();
    } else {
      static_cast<wxDialog*>(top)->ShowModal();
    }
    // The window may have been dropped while its loop ran: then it is ours
    // to destroy now.
    if (Node* after = tree_->Find(dlg); after != nullptr && after->top == top) {
      after->modal = false;
      after->loop = nullptr;
      after->end_requested = false;
      top->Hide();
    } else {
      top->Destroy();
    }
  }

  void EndModal(CDialog* dlg) override {
    Node* n = tree_->Find(dlg);
    if (n == nullptr) return;
    if (!n->modal) {
      n->end_requested = true;  // ended before its loop started
      return;
    }
    if (n->loop != nullptr) {
      n->loop->ScheduleExit();
    } else if (auto* d = dynamic_cast<wxDialog*>(n->top); d != nullptr && d->IsModal()) {
      d->EndModal(wxID_CANCEL);
    }
  }

  int MessageBox(CWnd* owner, const CString& text, const CString& caption, UINT type) override {
    // A box without an owner, or whose owner does not show, belongs to the
    // window the user works in.
    wxWindow* parent = owner != nullptr ? tree_->TopLevelOf(owner) : nullptr;
    if (parent == nullptr || !parent->IsShown()) parent = ActiveTopLevel();
    return wxui::ShowMessageBox(parent, ToWx(text), ToWx(caption), type);
  }

  UINT TrackPopupMenu(const std::vector<MenuItemTemplate>& items, int x, int y,
                      CWnd* owner) override {
    wxWindow* win = nullptr;
    if (owner != nullptr) {
      if (Node* n = tree_->Find(owner)) win = n->widget;
    }
    if (win == nullptr) win = ActiveTopLevel();
    if (win == nullptr) return 0;
    wxMenu menu;
    std::vector<UINT> commands;
    BuildMenu(menu, items, commands);
    const int chosen = win->GetPopupMenuSelectionFromUser(menu, win->ScreenToClient(wxPoint(x, y)));
    if (chosen < 1 || static_cast<size_t>(chosen) > commands.size()) return 0;
    return commands[static_cast<size_t>(chosen) - 1];
  }

  POINT CursorPos() override {
    // The pointer's place can only be asked on the UI thread; other
    // threads get the last one seen there.
    if (ui::IsUiThread()) {
      const wxPoint p = tree_->KeyMenuPoint().value_or(wxGetMousePosition());
      last_cursor_.store(Pack(p.x, p.y));
    }
    const std::uint64_t packed = last_cursor_.load();
    return POINT{static_cast<LONG>(static_cast<std::int32_t>(packed >> 32)),
                 static_cast<LONG>(static_cast<std::int32_t>(packed & 0xFFFFFFFFu))};
  }

  void Navigate(CWebBrowserCtrl* browser, const CString& url) override {
    if (Node* n = tree_->Find(browser)) browser::Navigate(n->widget, url);
    // Not realized yet: the browser loads the control's address when made.
  }

  bool OpenUrl(const CString& url, std::function<void()> failed) override {
    return shell::OpenUrlInBackground(GbkToUtf8(url.str()), std::move(failed));
  }

  // Any thread: the text is shown on the main frame's status bar, read
  // from ui::GetStatusText on the UI thread.
  void SetStatusText(const CString&) override {
    bool schedule = false;
    {
      std::lock_guard<std::mutex> lock(lock_);
      schedule = !status_scheduled_;
      status_scheduled_ = true;
    }
    if (schedule) g_idle_add_full(kRefreshPriority, &WxBackend::StatusThunk, nullptr, nullptr);
  }

 private:
  static std::uint64_t Pack(int x, int y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
           static_cast<std::uint32_t>(y);
  }

  // The active window, else the main window, else the last one shown.
  wxWindow* ActiveTopLevel() const {
    if (wxWindow* w = wxGetActiveWindow()) {
      if (wxWindow* top = wxGetTopLevelParent(w); top != nullptr && top->IsShown()) return top;
    }
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd != nullptr) {
      if (wxWindow* top = tree_->TopLevelOf(app->m_pMainWnd); top != nullptr && top->IsShown())
        return top;
    }
    for (wxWindowList::compatibility_iterator node = wxTopLevelWindows.GetLast(); node;
         node = node->GetPrevious()) {
      if (node->GetData()->IsShown()) return node->GetData();
    }
    return nullptr;
  }

  // wx takes item ids below 0x7FFF only; the program's commands go above
  // (32771 ...): the items get ids of their own and `commands` maps back.
  static void BuildMenu(wxMenu& menu, const std::vector<MenuItemTemplate>& items,
                        std::vector<UINT>& commands) {
    for (const MenuItemTemplate& item : items) {
      if (!item.popup.empty()) {
        auto* sub = new wxMenu;
        BuildMenu(*sub, item.popup, commands);
        menu.AppendSubMenu(sub, ToWx(item.text));
      } else if (item.id == 0) {
        menu.AppendSeparator();
      } else {
        commands.push_back(static_cast<UINT>(item.id));
        menu.Append(static_cast<int>(commands.size()), ToWx(item.text));
      }
    }
  }

  static gboolean DrainThunk(gpointer) {
    if (g_backend != nullptr) g_backend->Drain();
    return G_SOURCE_REMOVE;
  }
  static gboolean StatusThunk(gpointer) {
    if (g_backend != nullptr) {
      {
        std::lock_guard<std::mutex> lock(g_backend->lock_);
        g_backend->status_scheduled_ = false;
      }
      g_backend->tree_->ShowStatus(ui::GetStatusText());
    }
    return G_SOURCE_REMOVE;
  }
  static gboolean WakeThunk(gpointer) {
    if (g_backend != nullptr) g_backend->RunWake();
    return G_SOURCE_REMOVE;
  }

  void Drain() {
    std::vector<CWnd*> windows;
    {
      std::lock_guard<std::mutex> lock(lock_);
      windows.swap(dirty_);
      refresh_scheduled_ = false;
    }
    std::unordered_set<CWnd*> seen;
    for (CWnd* w : windows) {
      if (!seen.insert(w).second) continue;
      // Only a window that has a node is alive and ours to read; others
      // went away (or are not made yet, and are read in full when they are).
      Node* n = tree_->Find(w);
      if (n == nullptr) continue;
      const unsigned bits = w->pending_changes.exchange(0);
      if (bits != 0) tree_->Apply(n, bits);
    }
  }

  void RunWake() {
    {
      std::lock_guard<std::mutex> lock(lock_);
      wake_scheduled_ = false;
    }
    ui::RunPending();
  }

  std::unique_ptr<wxui::WindowTree> tree_ = std::make_unique<wxui::WindowTree>();
  std::mutex lock_;  // guards the fields below
  std::vector<CWnd*> dirty_;
  bool refresh_scheduled_ = false;
  bool wake_scheduled_ = false;
  bool status_scheduled_ = false;
  std::atomic<std::uint64_t> last_cursor_{0};
};

}  // namespace

std::unique_ptr<ui::Backend> MakeWxBackend(int argc, char** argv) {
  wxSetAssertHandler(AssertToStderr);
  // Scroll bars always shown, as the templates' lists have them: a list
  // whose columns run past its edge shows at once that it scrolls (GTK's
  // overlay bars appear only while the pointer moves over them).
  g_setenv("GTK_OVERLAY_SCROLLING", "0", TRUE);
  // wx's own messages go to the console, never into a box of their own:
  // those of a start that fails too, or a later start would show them in a
  // box of their own. (wxEntryStart drops the target it began with.)
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxApp::SetInstance(new TovraneWxApp);
  // No display: the caller reports it, once.
  if (!wxEntryStart(argc, argv)) return nullptr;
  if (!wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return nullptr;
  }
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxui::InstallCompactStyle();
  wxui::InitFonts();
  return std::make_unique<WxBackend>();
}
