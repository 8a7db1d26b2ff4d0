// A price run in the real program under Xvfb against the local seller centre
// and bookstore: download the shop, test the sign-in, tick the stored
// "所有商品" condition on "当当同步", press "开始同步" on "宝贝同步", photograph
// the result list while the edits go on, press "停止同步" and photograph
// "全部同步 完毕！"; the save that follows marks the edited items. The seller
// centre takes every request as signed in and the seller page always says
// "卖家中心". Screenshots: <build>/screenshots/sync_*.png.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/text/codepage.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;
using sites::Cents;
using sites::PriceText;

constexpr int kItemCount = 300;

// One query's single number from the program's item database (no account
// nick: Data/.db); -1 when it cannot be read.
int Count(const gui::Session& session, const char* sql) {
  sqlite3* db = nullptr;
  int value = -1;
  if (sqlite3_open_v2((session.Folder() + "/Data/.db").c_str(), &db, SQLITE_OPEN_READONLY,
                      nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      value = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return value;
}

TEST(SyncGui, PriceRunFillsTheResultListEditsThePricesAndEndsWithTheSave) {
  sites::SiteServer server;
  sites::RouteLiveSellerPage(server);
  sites::SellerCentre centre(server, nullptr);
  sites::Bookstores books(server, &centre);
  sites::ShopOptions options;
  options.count = kItemCount;
  options.status = "myOff";  // what the item page searches at start
  const std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  centre.SetItems(items);
  int changes = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    sites::BookProduct product = sites::DangdangProductFor(items[i]);
    const long sale = Cents(items[i].price) + (i % 3 == 0 ? 100 : 0);
    product.sale = PriceText(sale);
    books.SetProduct(product);
    changes += PriceText(std::max(sale, 500L)) != items[i].price ? 1 : 0;
  }
  // Slow enough to watch: the pages take 100 ms, each edit 60 ms.
  books.SetSlowDelay(100ms);
  books.SetProductReplies(sites::ReplyMode::kSlow);
  centre.SetOperationDelay(60ms);

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile(
      "system.ini", sites::HostsIniText(server) + "[SYSCONFIG]\r\nUseAllProducts=true\r\n"));
  ASSERT_TRUE(session.WriteAllProductsConditions({{"10", "0"}}));  // 10 折
  ASSERT_TRUE(session.Start());
  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  session.SettledScreenshot("sync_0_start");
  main = session.Refresh(main);
  const gui::Layout m = session.MainLayout(main);
  auto item_page = [&](int dlu_x, int dlu_y) {
    return std::pair<int, int>{m.Page(9).X(dlu_x), m.Page(9).Y(dlu_y)};
  };
  auto page = [&](int dlu_x, int dlu_y) {
    return std::pair<int, int>{m.Page(8).X(dlu_x), m.Page(8).Y(dlu_y)};
  };
  auto press = [&](std::pair<int, int> at) { session.Press(main, at.first, at.second); };
  auto answer_box = [&](const std::string& title, const std::string& shot) {
    gui::Window box = session.WaitForWindow(title, 90s);
    session.Screenshot(shot);
    if (!box) return false;
    session.Keys(box, {"Return"});
    return gui::WaitFor([&] { return !session.HasWindow(title); }, 20s);
  };
  const std::string notice_title = GbkToUtf8("提示");

  // The download ("搜索宝贝"), its total and its end.
  press(item_page(25 + 25, 317 + 7));
  ASSERT_TRUE(answer_box("Tovrane", "sync_0_total")) << "no box with the total";
  ASSERT_TRUE(answer_box(notice_title, "sync_1_downloaded")) << "no \"全部下载完毕！\"";
  ASSERT_TRUE(gui::WaitFor([&] { return Count(session, "SELECT COUNT(*) FROM DDItems") == kItemCount; }, 60s));

  // "测试淘宝登录状态": "登录有效".
  press(item_page(177 + 36, 317 + 7));
  ASSERT_TRUE(answer_box("Tovrane", "sync_2_signed_in")) << "no sign-in box";

  // A tab's page takes presses once it shows (a loaded machine may take a
  // while to draw it).
  auto show_tab = [&](int header_x, const std::string& shot) {
    const bool changed = session.PressUntilChanged(main, m.X(7) + header_x, m.Y(12) + 12, shot);
    session.SettledScreenshot(shot);
    return changed;
  };

  // "当当同步": tick the stored condition (the tick box of the list's first row).
  ASSERT_TRUE(show_tab(162, "sync_3_pricing_page")) << "no page \"当当同步\"";
  const auto [rules_x, rules_y] = page(7, 134);
  ASSERT_TRUE(
      session.PressUntilChanged(main, rules_x + 14, rules_y + 28, "sync_3_condition_ticked", 20))
      << "no tick";

  // "宝贝同步": "开始同步".
  ASSERT_TRUE(show_tab(99, "sync_3_sync_page")) << "no page \"宝贝同步\"";
  centre.ClearOperationForms();
  press(page(421 + 31, 364 + 7));
  auto edits = [&] { return static_cast<int>(centre.OperationForms().size()); };
  if (!gui::WaitFor([&] { return edits() >= 5; }, 90s)) {
    session.Screenshot("sync_4_no_edit");
    FAIL() << "no price edit arrived";
  }
  session.Screenshot("sync_4_running");
  ASSERT_TRUE(gui::WaitFor([&] { return edits() >= changes / 2; }, 120s));
  session.Screenshot("sync_5_running_later");
  ASSERT_TRUE(gui::WaitFor([&] { return edits() == changes; }, 180s)) << edits() << " of " << changes;
  // A box the run should not show has come once the screen holds still.
  session.SettledScreenshot("sync_6_edited");
  EXPECT_FALSE(session.HasWindow(notice_title)) << "a run with results waits for Stop";

  // "停止同步": "全部同步 完毕！"; the save marks the edited items.
  press(page(504 + 25, 364 + 7));
  ASSERT_TRUE(answer_box(notice_title, "sync_7_done")) << "no \"全部同步 完毕！\"";
  EXPECT_TRUE(gui::WaitFor(
      [&] { return Count(session, "SELECT COUNT(*) FROM DDItems WHERE IsUpdate='1'") == changes; }, 60s))
      << Count(session, "SELECT COUNT(*) FROM DDItems WHERE IsUpdate='1'") << " of " << changes;
  session.SettledScreenshot("sync_8_saved");
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
