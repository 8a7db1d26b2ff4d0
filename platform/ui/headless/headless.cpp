// The headless backend: no widgets; scripted answers and records for tests.
#include "platform/ui/headless/headless.h"

#include "platform/net/internet.h"
#include "platform/shell/open_url.h"
#include "platform/text/codepage.h"
#include "platform/ui/internal.h"

namespace ui::headless {
namespace {

struct State {
  std::mutex mutex;
  std::vector<MessageBoxRecord> boxes;
  std::deque<int> box_answers;
  std::deque<UINT> popup_commands;
  std::vector<std::vector<CString>> popups;
  std::deque<std::function<void(CDialog&)>> modal_actions;
  std::vector<CString> opened;
  std::string url_opener;
  std::vector<CString> navigated;
  POINT cursor;
};

State& S() {
  static State* state = new State;
  return *state;
}

// How long a modal dialog whose scripted action left it open may run before
// it is cancelled, so that a test waiting on it fails instead of hanging.
constexpr auto kModalLimit = std::chrono::seconds(60);

class HeadlessBackend : public Backend {
 public:
  void BaseUnits(const char*, int point_size, int* base_x, int* base_y) override {
    if (point_size <= 8) {
      *base_x = 6;
      *base_y = 13;
    } else if (point_size == 9) {
      *base_x = 7;
      *base_y = 15;
    } else {
      *base_x = point_size * 7 / 9;
      *base_y = point_size * 15 / 9;
    }
  }

  void Realize(CWnd*) override {}
  void Unrealize(CWnd*) override {}
  void Refresh(CWnd* window) override { window->pending_changes.store(0); }
  void Wake() override {}

  void RunModal(CDialog* dlg) override {
    std::function<void(CDialog&)> action;
    {
      std::lock_guard<std::mutex> lock(S().mutex);
      if (!S().modal_actions.empty()) {
        action = std::move(S().modal_actions.front());
        S().modal_actions.pop_front();
      }
    }
    if (!action) {
      dlg->EndDialog(IDCANCEL);
      return;
    }
    HWND h = dlg->m_hWnd;
    detail::CallReporting([&] { action(*dlg); });
    auto ended = [dlg, h] { return CWnd::FromHandle(h) != dlg || !dlg->IsModalRunning(); };
    if (!PumpUntil(ended, kModalLimit)) dlg->EndDialog(IDCANCEL);
  }

  void EndModal(CDialog*) override {}

  int MessageBox(CWnd* owner, const CString& text, const CString& caption, UINT type) override {
    std::lock_guard<std::mutex> lock(S().mutex);
    int answer;
    if (!S().box_answers.empty()) {
      answer = S().box_answers.front();
      S().box_answers.pop_front();
    } else {
      const UINT buttons = type & MB_TYPEMASK;
      answer = (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
    }
    S().boxes.push_back({text, caption, type, owner != nullptr ? owner->m_hWnd : nullptr, answer});
    return answer;
  }

  UINT TrackPopupMenu(const std::vector<MenuItemTemplate>& items, int, int, CWnd*) override {
    std::lock_guard<std::mutex> lock(S().mutex);
    std::vector<CString> texts;
    for (const MenuItemTemplate& item : items) texts.emplace_back(item.text);
    S().popups.push_back(std::move(texts));
    if (S().popup_commands.empty()) return 0;
    UINT command = S().popup_commands.front();
    S().popup_commands.pop_front();
    return command;
  }

  POINT CursorPos() override {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().cursor;
  }

  // Fetches the page as a browser would, so that the cookies it sets land in
  // the process-wide store; what the page says is not looked at. A page that
  // cannot be fetched shows nothing, as a browser shows its own error page.
  void Navigate(CWebBrowserCtrl*, const CString& url) override {
    {
      std::lock_guard<std::mutex> lock(S().mutex);
      S().navigated.push_back(url);
    }
    try {
      CInternetSession session;
      std::unique_ptr<CHttpFile> page(session.OpenURL(url));
      if (page) {
        char buffer[8192];
        while (page->Read(buffer, sizeof buffer) > 0) {
        }
        page->Close();
      }
    } catch (CException* e) {
      e->Delete();
    }
  }

  bool OpenUrl(const CString& url, std::function<void()> failed) override {
    std::string opener;
    {
      std::lock_guard<std::mutex> lock(S().mutex);
      S().opened.push_back(url);
      opener = S().url_opener;
    }
    if (opener.empty()) return true;
    return shell::OpenUrlInBackground(GbkToUtf8(url.str()), std::move(failed), opener);
  }
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() { return std::make_unique<HeadlessBackend>(); }

std::vector<MessageBoxRecord> MessageBoxes() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().boxes;
}

void ClearMessageBoxes() {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().boxes.clear();
}

void ScriptMessageBoxAnswers(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().box_answers.assign(answers.begin(), answers.end());
}

void ScriptPopupCommands(std::vector<UINT> commands) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().popup_commands.assign(commands.begin(), commands.end());
}

std::vector<std::vector<CString>> PopupMenusShown() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().popups;
}

void ScriptModal(std::function<void(CDialog&)> action) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().modal_actions.push_back(std::move(action));
}

std::vector<CString> OpenedUrls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().opened;
}

std::vector<CString> NavigatedUrls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().navigated;
}

void SetUrlOpener(const std::string& program) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().url_opener = program;
}

void SetCursorPos(POINT p) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().cursor = p;
}

void Reset() {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().boxes.clear();
  S().box_answers.clear();
  S().popup_commands.clear();
  S().popups.clear();
  S().modal_actions.clear();
  S().opened.clear();
  S().url_opener.clear();
  S().navigated.clear();
  S().cursor = POINT{};
}

}  // namespace ui::headless
