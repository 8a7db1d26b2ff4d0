// The headless browser control: navigating fetches the page through the
// internet layer, so that the cookies it sets reach the shared store.
#include "platform/net/cookies.h"
#include "tests/platform/ui/ui_fixture.h"
#include "tests/sites/site_server.h"

namespace uitest {
namespace {

constexpr int kBrowserDlg = 9004;
constexpr int kBrowser = 300;

const DialogTemplate kBrowserTemplate = {
    kBrowserDlg, "登录", kDlgPopup, 300, 200, "MS Shell Dlg", 9, 0,
    {{kBrowser, ControlKind::Browser, kStyleVisible, "", 0, 0, 300, 200}}};

class BrowserTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ui::RegisterDialogTemplate(&kBrowserTemplate);
    ClearCookieStore();
  }
  void TearDown() override {
    ClearCookieStore();
    UiTest::TearDown();
  }
};

TEST_F(BrowserTest, NavigateLeavesThePagesCookiesInTheStore) {
  sites::SiteServer server;
  server.Route("GET", "/login", [](const sites::SiteRequest&, httplib::Response& res) {
    res.set_header("Set-Cookie", "tracknick=tester; Path=/; HttpOnly");
    res.set_content("<html>ok</html>", "text/html");
  });
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  ASSERT_NE(browser, nullptr);

  const std::string url = server.Url("http", "/login");
  browser->Navigate(url.c_str());
  EXPECT_EQ(browser->LocationURL(), CString(url));
  ASSERT_EQ(ui::headless::NavigatedUrls().size(), 1u);

  char cookies[256] = "";
  DWORD size = sizeof cookies;
  ASSERT_TRUE(InternetGetCookieExA(url.c_str(), nullptr, cookies, &size,
                                   INTERNET_COOKIE_HTTPONLY, nullptr));
  EXPECT_STREQ(cookies, "tracknick=tester");
}

TEST_F(BrowserTest, AnUnreachablePageShowsNoBox) {
  sites::SiteServer server;
  server.SetRefuse(true);
  CDialog dlg(kBrowserDlg);
  ASSERT_TRUE(dlg.Create(kBrowserDlg));
  auto* browser = dynamic_cast<CWebBrowserCtrl*>(dlg.GetDlgItem(kBrowser));
  browser->Navigate(server.Url("http", "/login").c_str());
  browser->Navigate("about:blank");
  EXPECT_EQ(ui::headless::NavigatedUrls().size(), 2u);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

}  // namespace
}  // namespace uitest
