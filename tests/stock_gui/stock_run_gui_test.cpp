// A stock run ("更新库存", "无货下架") in the real program under Xvfb, worked
// by hand: the on-sale set downloaded, a condition ticked on the pricing
// page, the run started and stopped on the sync page. The out-of-stock items
// are delisted in the shop and the result list shows them. Screenshots:
// <build>/screenshots/stock_gui_*.png.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The program on the local sites. Pages sit in the tab control's client
// area (tab control at 7, 12 of the main window; 1 pixel in, 25 below the
// headers). The item page's font gives 8 x 17 pixels per 4 x 8 dialog
// units; the sync and pricing pages have the main window's.
class StockProgram {
 public:
  explicit StockProgram(gui::Session& session) : session_(session) {}

  bool Open() {
    if (!session_.Start()) return false;
    main_ = session_.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
    if (!main_) return false;
    Settled("stock_gui_0_open");
    main_ = session_.Refresh(main_);
    m_ = session_.MainLayout(main_);
    return true;
  }
  void Press(int x, int y) { session_.Press(main_, x, y); }
  // Presses at (x, y) and waits for the screen to show the press (`pixels`
  // changed): what comes next acts on what the press brought up.
  bool PressShown(int x, int y, const std::string& name, long pixels = 500) {
    return session_.PressUntilChanged(main_, x, y, name, pixels);
  }
  // Tab headers: "淘宝管理", "宝贝同步", "当当同步", ...
  bool Tab(int index) {
    return PressShown(m_.X(7) + 30 + 66 * index, m_.Y(12) + 12, "stock_gui_tab");
  }
  int PageX(int dlu_x) const { return m_.Page(8).X(dlu_x); }
  int PageY(int dlu_y) const { return m_.Page(8).Y(dlu_y); }
  void PressPage(int dlu_x, int dlu_y) { Press(PageX(dlu_x), PageY(dlu_y)); }
  int ItemX(int dlu_x) const { return m_.Page(9).X(dlu_x); }
  int ItemY(int dlu_y) const { return m_.Page(9).Y(dlu_y); }
  // Opens a combo's list by a press at (x, y) and takes entry `index`; the
  // list has closed when it returns.
  bool Choose(int x, int y, int index) {
    if (!PressShown(x, y, "stock_gui_combo")) return false;
    const std::string open = Settled("stock_gui_combo_open");
    std::vector<std::string> keys = {"Home"};
    for (int i = 0; i < index; ++i) keys.push_back("Down");
    keys.push_back("Return");
    session_.Keys(main_, keys);
    return session_.WaitForChange(open, "stock_gui_combo_closed");
  }
  std::string Settled(const std::string& name) { return session_.SettledScreenshot(name); }
  const gui::Window& Main() const { return main_; }

 private:
  gui::Session& session_;
  gui::Window main_;
  gui::Layout m_;
};

TEST(StockRunGui, OnSaleOutOfStockItemsAreDelistedFromTheWindow) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  sites::SellerCentre centre(server, nullptr);
  sites::Bookstores books(server, &centre);
  sites::ShopOptions options;
  options.count = 40;
  options.on_sale = true;
  const std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  centre.SetItems(items);
  std::set<std::string> out_of_stock;
  for (const auto& item : items) {
    if (!sites::DangdangProductFor(item).InStock("11")) out_of_stock.insert(item.id);
  }
  ASSERT_FALSE(out_of_stock.empty());

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  auto keys = market.HostKeys();
  for (const auto& [key, host] : books.HostKeys()) keys[key] = host;
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, keys)));
  ASSERT_TRUE(session.WriteDataFile(U8(u8"地区.txt"), "11,北京,TRUE\r\n"));
  ASSERT_TRUE(session.WriteAllProductsConditions({{"10", "0"}}));

  StockProgram program(session);
  ASSERT_TRUE(program.Open()) << "no main window";

  // The on-sale set ("出售中的宝贝", second of the sorted box), downloaded.
  ASSERT_TRUE(program.Choose(program.ItemX(56 + 86 - 5), program.ItemY(198 + 6), 1)) << "the set box did not open";
  program.Press(program.ItemX(25 + 25), program.ItemY(317 + 7));  // "搜索宝贝"
  gui::Window total = session.WaitForWindow("Tovrane", 60s);
  ASSERT_TRUE(total) << "no box with the total";
  session.Keys(total, {"Return"});
  const std::string notice_title = GbkToUtf8("提示");
  gui::Window done = session.WaitForWindow(notice_title, 120s);
  ASSERT_TRUE(done) << "no \"全部下载完毕！\"";
  session.Keys(done, {"Return"});
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow(notice_title); }, 20s));
  program.Settled("stock_gui_1_downloaded");

  // The pricing page: the condition's box ticked (the first row's box,
  // below the list's header).
  ASSERT_TRUE(program.Tab(2)) << "no pricing page";
  ASSERT_TRUE(program.PressShown(program.PageX(7) + 10, program.PageY(134) + 30,
                                 "stock_gui_2_condition", 20))
      << "no tick";

  // The sync page: "更新库存", "无货下架", Start.
  ASSERT_TRUE(program.Tab(1)) << "no sync page";
  program.Settled("stock_gui_3_sync_page");
  ASSERT_TRUE(program.Choose(program.PageX(182 + 71 - 5), program.PageY(25 + 6), 1)) << "the type box did not open";
  ASSERT_TRUE(program.PressShown(program.PageX(368 + 5), program.PageY(49 + 5),
                                 "stock_gui_3_delist", 20))
      << "\"无货下架\" not ticked";
  program.PressPage(421 + 31, 364 + 7);
  EXPECT_FALSE(gui::WaitFor([&] { return session.HasWindow("VorlupTovrane"); }, 2s))
      << "Start refused: " << program.Settled("stock_gui_refused");

  const auto delisted = [&] {
    std::set<std::string> ids;
    for (const auto& item : centre.Items()) {
      if (!item.on_sale) ids.insert(item.id);
    }
    return ids;
  };
  EXPECT_TRUE(gui::WaitFor([&] { return delisted() == out_of_stock; }, 60s))
      << "delisted " << delisted().size() << " of " << out_of_stock.size();
  program.Settled("stock_gui_4_result");
  EXPECT_EQ(session.HasWindow(notice_title), false) << "a stock run announces no end";

  program.PressPage(504 + 25, 364 + 7);  // "停止同步"
  program.Settled("stock_gui_5_stopped");
  EXPECT_EQ(delisted(), out_of_stock);
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
