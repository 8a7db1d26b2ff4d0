// The program under Xvfb against the local marketplace: the menu's sign-in
// dialog shows the login page in WebKit, "确定" takes the browser's cookies
// (the HttpOnly session cookie included), the main window's status line
// shows the account status, and the category tree loads the shop's
// categories. Screenshots go to <build>/screenshots/signin_*.png.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

constexpr int kSignInCx = 521;
constexpr int kSignInCy = 343;

bool Saw(const sites::Marketplace& market, const std::string& path, bool signed_in) {
  for (const auto& visit : market.Visits()) {
    if (visit.path == path && visit.signed_in == signed_in) return true;
  }
  return false;
}

// What the program wrote to its standard output and error.
std::string ProgramLog(const gui::Session& session) {
  std::ifstream in(session.Folder() + "/../program.log", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SignInGui, MenuSignsInThroughTheBrowserAndTheTreeLoadsTheCategories) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, market.HostKeys())));
  ASSERT_TRUE(session.Start());

  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  // The page's own start-up check ran before anyone signed in.
  EXPECT_TRUE(gui::WaitFor([&] { return Saw(market, "/auction/sell.jhtml", false); }, 20s));
  session.Screenshot("signin_0_main_window");

  ASSERT_TRUE(session.MenuBarItem(main, 0));  // "登录淘宝网"
  gui::Window dialog = session.WaitForWindow("VorlupTovrane", 60s);
  ASSERT_TRUE(dialog) << "no sign-in dialog";
  // It opens over the main window.
  EXPECT_NEAR(dialog.x + dialog.width / 2, main.x + main.width / 2, 2);
  EXPECT_NEAR(dialog.y + dialog.height / 2, main.y + main.height / 2, 2);
  bool loaded = gui::WaitFor([&] { return market.LoginVisits() >= 1; }, 60s);
  if (!loaded) session.Screenshot("signin_1_login_page_missing");
  ASSERT_TRUE(loaded) << "the browser never asked for the login page\n" << ProgramLog(session);
  // "确定" takes the cookies the page's reply set: press it once the page
  // shows, its heading drawn in the browser's upper part (7, 7; 507 wide).
  gui::Layout d = session.DialogLayout(dialog, kSignInCx, kSignInCy);
  std::string page_shot;
  ASSERT_TRUE(gui::WaitFor(
      [&] {
        page_shot = session.Screenshot("signin_1_login_page");
        return gui::DarkPixels(page_shot, dialog.x + d.X(7), dialog.y + d.Y(7), d.X(507),
                               d.Y(60)) > 200;
      },
      60s))
      << "the login page never showed\n" << ProgramLog(session);
  ASSERT_TRUE(session.Click(dialog, d.X(198 + 25), d.Y(322 + 7)));  // "确定"
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow("VorlupTovrane"); }, 30s))
      << "the dialog stayed open";
  // The check after "确定" carried the HttpOnly session cookie that only
  // WebKit had seen.
  EXPECT_TRUE(gui::WaitFor([&] { return Saw(market, "/auction/sell.jhtml", true); }, 30s));
  session.SettledScreenshot("signin_2_status_line");

  // Right click on the category tree, then its one command "获取分类".
  main = session.Refresh(main);
  const gui::Layout item_page = session.MainLayout(main).Page(9);
  const int tree_x = item_page.X(60);
  const int tree_y = item_page.Y(120);
  // The menu's one command is clicked once the menu shows.
  const std::string no_menu = session.SettledScreenshot("signin_3_no_menu");
  ASSERT_TRUE(session.Click(main, tree_x, tree_y, 3));
  ASSERT_TRUE(gui::WaitFor(
      [&] { return gui::DifferentPixels(no_menu, session.Screenshot("signin_3_tree_menu")) > 300; },
      30s))
      << "no menu on the category tree";
  ASSERT_TRUE(session.Click(main, tree_x + 25, tree_y + 12));
  EXPECT_TRUE(gui::WaitFor([&] { return Saw(market, "/auction/goods/get_shop_category.htm", true); },
                      30s))
      << "no signed-in category request";
  session.SettledScreenshot("signin_4_categories");
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
