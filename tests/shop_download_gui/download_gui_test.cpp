// The program under Xvfb against the local seller centre: press "搜索宝贝"
// on the item page, close the total, wait for "全部下载完毕！" and photograph
// the filled list; the save that follows stores every item. The seller
// centre here takes every request as signed in, so the test does not depend
// on the sign-in browser (the sign-in has its own gui test); without a
// session cookie the account's database is Data/.db. Screenshots go to
// <build>/screenshots/download_*.png.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <set>
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

// Distinct item ids in the database of the session's program folder (no
// account nick: Data/.db); -1 when it cannot be read.
int StoredRows(const gui::Session& session) {
  const std::string path = session.Folder() + "/Data/.db";
  if (!std::filesystem::exists(path)) return -1;
  sqlite3* db = nullptr;
  int rows = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(DISTINCT TbId) FROM DDItems", -1, &statement,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      rows = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return rows;
}

TEST(DownloadGui, SearchFillsTheListAndTheSaveStoresIt) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  sites::SellerCentre centre(server, nullptr);
  // "仓库中的宝贝" with "我下架的" is what the page selects at start.
  sites::ShopOptions options;
  options.count = kItemCount;
  options.status = "myOff";
  centre.SetItems(sites::GenerateShop(options));

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, market.HostKeys())));
  ASSERT_TRUE(session.Start());
  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  session.SettledScreenshot("download_0_start");

  // "搜索宝贝": button 1 at (25, 317), 50 x 14 on the item page.
  main = session.Refresh(main);
  const gui::Layout page = session.MainLayout(main).Page(9);
  auto page_point = [&](int dlu_x, int dlu_y) {
    return std::pair<int, int>{page.X(dlu_x), page.Y(dlu_y)};
  };
  auto [search_x, search_y] = page_point(25 + 25, 317 + 7);
  session.Screenshot("download_0_item_page");
  ASSERT_TRUE(session.Click(main, search_x, search_y));

  // The total, in a box captioned with the application name.
  gui::Window total = session.WaitForWindow("Tovrane", 60s);
  if (!total) session.Screenshot("download_1_total_missing");
  ASSERT_TRUE(total) << "no box with the total";
  session.Screenshot("download_1_total");
  ASSERT_TRUE(session.Keys(total, {"Return"}));

  // Narrow literals are GBK; window titles go to the X server in UTF-8.
  const std::string notice_title = GbkToUtf8("提示");
  gui::Window done = session.WaitForWindow(notice_title, 120s);
  if (!done) session.Screenshot("download_2_done_missing");
  ASSERT_TRUE(done) << "no \"全部下载完毕！\"";
  session.Screenshot("download_2_done");
  ASSERT_TRUE(session.Keys(done, {"Return"}));
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow(notice_title); }, 20s));

  // The save that follows the download stores every item once.
  EXPECT_TRUE(gui::WaitFor([&] { return StoredRows(session) == kItemCount; }, 60s))
      << "stored: " << StoredRows(session);
  session.SettledScreenshot("download_3_list");

  std::set<std::string> blocks;
  for (const sites::ListRequest& request : centre.ListRequests()) {
    if (request.end_text) blocks.insert(request.Field("startPrice"));
  }
  EXPECT_EQ(blocks.size(), 20u);
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
