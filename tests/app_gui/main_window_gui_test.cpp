// The program as a user starts it, under an X server of its own: the main
// window with its title, menu bar and four tabs, each page photographed into
// build/screenshots/. The sites it reaches at start (the seller page, the
// notice page) are a local stand-in, so nothing leaves the machine.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/text/codepage.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

// UTF-8 text as the program's files hold it (GBK).
std::string Gbk(const char8_t* utf8) { return Utf8ToGbk(reinterpret_cast<const char*>(utf8)); }

TEST(MainWindowGui, StartsWithTitleMenuAndFourTabsEachPageReadable) {
  sites::SiteServer server;
  server.Route("GET", "/notice", [](const sites::SiteRequest&, httplib::Response& res) {
    res.set_content("<P><SoftName>VorlupTovrane</SoftName><a href=\"http://maker/v\">" +
                        Gbk(u8"VorlupTovrane V1.1.6 新版发布，欢迎使用！") + "</a></P>\r\n",
                    "text/html");
  });
  server.Route("GET", "/auction/sell.jhtml", [](const sites::SiteRequest&, httplib::Response& res) {
    res.set_content(Gbk(u8"<html>卖家中心</html>"), "text/html");
  });

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, {{"NoticeUrl", server.Url("http", "/notice")},
                                                {"HomeUrl", server.Url("http", "/home")}})));
  ASSERT_TRUE(session.Start());

  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6");
  ASSERT_TRUE(main) << "the main window did not appear";
  EXPECT_FALSE(session.HasWindow("Tovrane"));  // the template caption was replaced
  std::string previous = session.SettledScreenshot("main_start");
  main = session.Refresh(main);
  const gui::Layout layout = session.MainLayout(main);

  // The tab headers sit on the tab control's top edge (template 7, 12); the
  // x values are the middles of the four headers (four, four, four and two
  // characters wide) from the tab control's left edge.
  const int header_y = layout.Y(12) + 12;
  struct Tab {
    const char* shot;
    int x;
  };
  const Tab tabs[] = {{"main_tab0_baobei_chaxun", 37},
                      {"main_tab1_baobei_tongbu", 99},
                      {"main_tab2_dangdang_tongbu", 162},
                      {"main_tab3_chachong", 214}};
  bool first = true;
  for (const Tab& tab : tabs) {
    ASSERT_TRUE(session.Click(main, layout.X(7) + tab.x, header_y));
    // Each click but the first (on the page shown) showed another page:
    // the picture changed.
    if (!first) {
      EXPECT_TRUE(session.WaitForChange(previous, tab.shot))
          << tab.shot << " looks like the page before it";
    }
    first = false;
    ASSERT_TRUE(session.Running());
    const std::string shot = session.SettledScreenshot(tab.shot);
    ASSERT_FALSE(shot.empty()) << tab.shot;
    previous = shot;
  }
  // The program asked the local notice page, not the real one.
  size_t notice_requests = 0;
  for (const sites::RequestRecord& r : server.Requests())
    if (r.path == "/notice") ++notice_requests;
  EXPECT_EQ(notice_requests, 1u);
  session.Stop();
}

}  // namespace
