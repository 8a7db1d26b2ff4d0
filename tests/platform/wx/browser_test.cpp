// The embedded browser against the local marketplace over HTTPS with the
// test CA: the page loads (the certificate is trusted only through the host
// settings' CA file) and every cookie of the sign-in, HttpOnly included,
// reaches the internet layer's store. A crashed page process loads its page
// again.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/net/cookies.h"
#include "platform/ui/templates.h"
#include "platform/ui/wx/wx_testing.h"
#include "services/hosts.h"
#include "tests/support/wx_env.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"

namespace wxtest {
namespace {

constexpr int kBrowserDlg = 9201;
constexpr int kBrowser = 30;

const DialogTemplate& BrowserDialog() {
  static const DialogTemplate t{kBrowserDlg, "登录", kDlgPopup | kDlgSysMenu, 300, 200,
                                "MS Shell Dlg", 8, 0,
                                {{kBrowser, ControlKind::Browser, kStyleVisible, "", 4, 4, 292, 170},
                                 {1, ControlKind::PushButton, kStyleVisible, "确定", 120, 180, 50, 14}}};
  return t;
}

bool HasCookie(const std::string& name, bool http_only) {
  const std::vector<CookieRecord> all = ListCookieStore();
  return std::any_of(all.begin(), all.end(), [&](const CookieRecord& c) {
    return c.name == name && c.http_only == http_only;
  });
}

// What a failed wait reports: how far the page came.
std::string PageProgress(const sites::Marketplace& market) {
  return "login visits: " + std::to_string(market.LoginVisits()) +
         ", refused certificates: " + std::to_string(wxui::testing::BrowserRefusedCertificates()) +
         ", page crashes: " + std::to_string(wxui::testing::BrowserPageCrashes());
}

// The text of a /proc file; empty when the process has gone meanwhile (C
// stdio: a read that fails with ESRCH would throw from an ifstream).
std::string ProcText(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

// The WebKit page processes this test program started. Any process of the
// machine may end while it is looked at.
std::vector<pid_t> PageProcesses() {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return found;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    const std::string folder = std::string("/proc/") + entry->d_name;
    const std::string text = ProcText(folder + "/stat");
    // "pid (name) state ppid ...": the name may hold blanks, so read after
    // the last ')'.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) != 2) continue;
    if (parent != getpid() || state == 'Z') continue;
    const std::string cmdline = ProcText(folder + "/cmdline");
    const std::string program = cmdline.substr(0, cmdline.find('\0'));
    if (program.find("WebKitWebProcess") != std::string::npos) found.push_back(pid);
  }
  closedir(proc);
  return found;
}

class WxBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    WX_REQUIRE_DISPLAY();
    ui::RegisterDialogTemplate(&BrowserDialog());
    ClearCookieStore();
    sites::WriteHostsIni(folder_, server_,
                         {{"Login", market_.LoginHost()}, {"Www", market_.WwwHost()}});
  }
  void TearDown() override {
    ClearCookieStore();
    ReloadHosts();
  }
  sites::SiteServer server_;
  sites::Marketplace market_{server_};
  sites::TestProgramFolder folder_;
};

// First: WebKit remembers a certificate it was told to allow for the rest
// of the process.
TEST_F(WxBrowser, WithoutTheCaFileTheTestCertificateIsRefused) {
  sites::WriteHostsIni(folder_, server_,
                       {{"Login", market_.LoginHost()}, {"Www", market_.WwwHost()}, {"CaFile", ""}});
  ASSERT_TRUE(Hosts().caFile.IsEmpty());
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  ASSERT_NE(browser, nullptr);
  dlg.ShowWindow(SW_SHOW);
  const int visits = market_.LoginVisits();
  const int refused = wxui::testing::BrowserRefusedCertificates();
  const int crashes = wxui::testing::BrowserPageCrashes();
  browser->Navigate(CString(("https://" + market_.LoginHost() + "/").c_str()));
  // The load got as far as the handshake and ended there: no visit because
  // of the certificate, not because nothing loaded.
  EXPECT_TRUE(Pump([&] { return wxui::testing::BrowserRefusedCertificates() > refused; }, 20s));
  PumpFor(1s);
  EXPECT_EQ(wxui::testing::BrowserPageCrashes(), crashes);
  EXPECT_EQ(market_.LoginVisits(), visits);
  EXPECT_FALSE(HasCookie("cookie2", true));
  dlg.DestroyWindow();
}

TEST_F(WxBrowser, TheLoginPageLoadsWithTheTestCaAndItsCookiesReachTheStore) {
  const int refused = wxui::testing::BrowserRefusedCertificates();
  const int crashes = wxui::testing::BrowserPageCrashes();
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  ASSERT_NE(browser, nullptr);
  dlg.ShowWindow(SW_SHOW);
  browser->Navigate(CString(("https://" + market_.LoginHost() + "/").c_str()));

  // The page sets a domain-wide HttpOnly session cookie and a host-only one.
  EXPECT_TRUE(Pump([&] { return HasCookie("cookie2", true) && HasCookie("lgc", false); }, 30s))
      << PageProgress(market_);
  EXPECT_GE(market_.LoginVisits(), 1);
  EXPECT_EQ(wxui::testing::BrowserRefusedCertificates(), refused);
  EXPECT_EQ(wxui::testing::BrowserPageCrashes(), crashes);

  // What the sign-in dialog's "确定" reads: the marketplace's cookies for
  // another host of the domain, HttpOnly ones included.
  char buffer[8192] = {};
  DWORD size = sizeof buffer;
  const std::string www = "http://" + market_.WwwHost();
  ASSERT_TRUE(InternetGetCookieExA(www.c_str(), nullptr, buffer, &size, INTERNET_COOKIE_HTTPONLY, nullptr));
  const std::string text = buffer;
  EXPECT_NE(text.find("cookie2="), std::string::npos) << text;
  EXPECT_NE(text.find("tracknick="), std::string::npos) << text;
  EXPECT_EQ(text.find("lgc="), std::string::npos) << "host-only cookie of the login host: " << text;
  gui::Screenshot(Display()->Display(), "wx_browser_login");
  dlg.DestroyWindow();
}

// A page that navigates while it initialises, before its window exists, as
// the sign-in dialog does: the browser is made with that address and asks
// for it once.
class NavigatingDialog : public CDialog {
 public:
  explicit NavigatingDialog(std::string url) : CDialog(kBrowserDlg), url_(std::move(url)) {}
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (auto* browser = dynamic_cast<CWebBrowserCtrl*>(GetDlgItem(kBrowser))) {
      browser->Navigate(url_.c_str());
    }
    return TRUE;
  }

 private:
  std::string url_;
};

TEST_F(WxBrowser, APageNavigatingBeforeItsWindowExistsLoadsThatPageOnce) {
  const int crashes = wxui::testing::BrowserPageCrashes();
  NavigatingDialog dlg("https://" + market_.LoginHost() + "/");
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  dlg.ShowWindow(SW_SHOW);
  ASSERT_TRUE(Pump([&] { return HasCookie("cookie2", true); }, 30s))
      << PageProgress(market_);
  PumpFor(1s);
  EXPECT_EQ(market_.LoginVisits(), 1);
  EXPECT_EQ(wxui::testing::BrowserPageCrashes(), crashes);
  dlg.DestroyWindow();
}

// A page process that dies leaves no blank window: the browser loads its
// page again, and the sign-in's cookies come anew.
TEST_F(WxBrowser, ACrashedPageProcessLoadsItsPageAgain) {
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  ASSERT_NE(browser, nullptr);
  dlg.ShowWindow(SW_SHOW);
  browser->Navigate(CString(("https://" + market_.LoginHost() + "/").c_str()));
  ASSERT_TRUE(Pump([&] { return HasCookie("cookie2", true); }, 30s)) << PageProgress(market_);
  PumpFor(500ms);
  ASSERT_EQ(market_.LoginVisits(), 1);

  const int crashes = wxui::testing::BrowserPageCrashes();
  const std::vector<pid_t> pages = PageProcesses();
  ASSERT_FALSE(pages.empty()) << "no WebKit page process among this program's children";
  // SIGKILL: the page process's own SIGSEGV handler would let a sent
  // SIGSEGV pass.
  for (pid_t pid : pages) ::kill(pid, SIGKILL);
  ClearCookieStore();
  EXPECT_TRUE(Pump([&] { return market_.LoginVisits() >= 2 && HasCookie("cookie2", true); }, 30s))
      << PageProgress(market_);
  EXPECT_GT(wxui::testing::BrowserPageCrashes(), crashes);
  dlg.DestroyWindow();
}

// A page whose process dies every time is loaded again a few times, not
// forever.
TEST_F(WxBrowser, APageThatKeepsCrashingIsLoadedAgainThreeTimesAtMost) {
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  ASSERT_NE(browser, nullptr);
  dlg.ShowWindow(SW_SHOW);
  browser->Navigate(CString(("https://" + market_.LoginHost() + "/").c_str()));
  ASSERT_TRUE(Pump([&] { return market_.LoginVisits() == 1; }, 30s)) << PageProgress(market_);

  // Three crashes, each followed by a load of the page in a new process
  // (however long a loaded machine takes to start one).
  for (int round = 0; round < 3; ++round) {
    const int visits = market_.LoginVisits();
    for (pid_t pid : PageProcesses()) ::kill(pid, SIGKILL);
    ASSERT_TRUE(Pump([&] { return market_.LoginVisits() > visits; }, 30s))
        << "round " << round << ": " << PageProgress(market_);
  }
  // The fourth crash is seen and the page is left as it is.
  const int crashes = wxui::testing::BrowserPageCrashes();
  const std::vector<pid_t> pages = PageProcesses();
  ASSERT_FALSE(pages.empty());
  for (pid_t pid : pages) ::kill(pid, SIGKILL);
  ASSERT_TRUE(Pump([&] { return wxui::testing::BrowserPageCrashes() > crashes; }, 30s))
      << PageProgress(market_);
  PumpFor(2s);
  EXPECT_EQ(market_.LoginVisits(), 1 + 3);
  dlg.DestroyWindow();
}

}  // namespace
}  // namespace wxtest
