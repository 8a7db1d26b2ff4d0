// The program under Xvfb lists a downloaded warehouse set with the item
// list's pop-up command "批量上架（仅用于大于1万的情况）", throttled by "4000"
// in the page's wait edit: the groups go one at a time and the progress line
// moves on. Screenshots: <build>/screenshots/batch_upshelf_*.png.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

#include "platform/text/codepage.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

constexpr int kItemCount = 300;
constexpr int kGroups = kItemCount / 20;

int OnSale(const sites::SellerCentre& centre) {
  int count = 0;
  for (const sites::ShopItem& item : centre.Items()) count += item.on_sale;
  return count;
}

TEST(BatchUpShelfGui, PopupCommandListsTheWarehouseSetOneGroupAtATime) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  sites::SellerCentre centre(server, nullptr);
  sites::ShopOptions options;
  options.count = kItemCount;
  options.status = "myOff";
  centre.SetItems(sites::GenerateShop(options));
  centre.SetOperationDelay(150ms);

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, market.HostKeys())));
  ASSERT_TRUE(session.Start());
  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  session.SettledScreenshot("batch_upshelf_0_start");
  main = session.Refresh(main);
  const gui::Layout page = session.MainLayout(main).Page(9);
  auto x_of = [&](int dlu_x) { return page.X(dlu_x); };
  auto y_of = [&](int dlu_y) { return page.Y(dlu_y); };

  // The warehouse download ("搜索宝贝"), its total and its end.
  ASSERT_TRUE(session.Press(main, x_of(25 + 25), y_of(317 + 7)));
  gui::Window total = session.WaitForWindow("Tovrane", 60s);
  ASSERT_TRUE(total) << "no box with the total";
  ASSERT_TRUE(session.Keys(total, {"Return"}));
  const std::string notice_title = GbkToUtf8("提示");
  gui::Window done = session.WaitForWindow(notice_title, 120s);
  ASSERT_TRUE(done) << "no \"全部下载完毕！\"";
  ASSERT_TRUE(session.Keys(done, {"Return"}));
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow(notice_title); }, 20s));
  session.SettledScreenshot("batch_upshelf_0_downloaded");

  // "4000" into "上架不了填数字：4000".
  ASSERT_TRUE(session.Press(main, x_of(338 + 14), y_of(332 + 7)));
  ASSERT_TRUE(session.Type(main, "4000"));

  // The list's pop-up menu by a right press on a row; its sixth entry.
  centre.ResetMaxOperationsInFlight();
  const std::string no_menu = session.SettledScreenshot("batch_upshelf_1_no_menu");
  ASSERT_TRUE(session.Press(main, x_of(262 + 80), y_of(56 + 40), 100ms, 3));
  ASSERT_TRUE(session.WaitForChange(no_menu, "batch_upshelf_1_menu")) << "no menu on the list";
  // Keys go to the menu once it is drawn whole: a loaded machine shows it
  // in steps, and a key that comes before it has taken the keyboard is lost.
  session.SettledScreenshot("batch_upshelf_1_menu_open");
  ASSERT_TRUE(session.Keys(main, {"Down", "Down", "Down", "Down", "Down", "Down"}));
  session.SettledScreenshot("batch_upshelf_1_menu");
  ASSERT_TRUE(session.Keys(main, {"Return"}));

  // Part-way: some groups listed, not all.
  EXPECT_TRUE(gui::WaitFor([&] { return OnSale(centre) >= kItemCount / 3; }, 90s));
  session.Screenshot("batch_upshelf_2_running");
  EXPECT_TRUE(gui::WaitFor([&] { return OnSale(centre) == kItemCount; }, 180s))
      << "on sale: " << OnSale(centre);
  session.SettledScreenshot("batch_upshelf_3_done");

  std::map<std::string, int> sent;
  int groups = 0;
  for (const sites::OperationForm& form : centre.OperationForms()) {
    if (form.Field("event_submit_do_up_shelf") != "1") continue;
    ++groups;
    for (const std::string& id : form.Values("selectedIds")) ++sent[id];
  }
  EXPECT_EQ(groups, kGroups);
  EXPECT_EQ(sent.size(), static_cast<size_t>(kItemCount));
  EXPECT_EQ(centre.MaxOperationsInFlight(), 1) << "the throttle lets one request through at a time";
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
