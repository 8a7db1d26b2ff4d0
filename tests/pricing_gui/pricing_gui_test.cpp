// The pricing page "当当同步" in the real program under Xvfb, worked by hand:
// three conditions of the three kinds, an option box, the provinces ticked
// with "全选", "确定"; then the program is started again and shows it all
// as it was. Screenshots: <build>/screenshots/pricing_*.png.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "platform/text/codepage.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The condition list (at 7, 134 of the page) under Xvfb, in pixels: its
// heading's height, a row's height and column 0's width.
constexpr int kRuleHeadingPixels = 18;
constexpr int kRuleRowPixels = 22;
constexpr int kRuleNumberPixels = 84;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The stored conditions, "ID|type|match|discount|markup;" each (UTF-8).
std::string StoredRules(const fs::path& db_path) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "select ID,TreatMethod,PiPei,ZheK,JiaJia from ZheKou", -1,
                           &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < 5; ++c) {
          const auto* text = sqlite3_column_text(statement, c);
          out += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
        }
        out += ";";
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return out;
}

// The program in its folder, on the page "当当同步". Page points are dialog
// units of template 131; the page sits in the tab control's client area
// (tab control at 7, 12 of the main window; 1 pixel in, 25 below the headers)
// and has the main window's font.
class PricingProgram {
 public:
  // `shots` starts the names of the screenshots it takes to find its way:
  // each test its own, since the tests of this program may run at once and
  // share the screenshot folder.
  PricingProgram(gui::Session& session, std::string shots)
      : session_(session), shots_(std::move(shots)) {}

  bool Open() {
    if (!session_.Start()) return false;
    main_ = session_.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
    if (!main_) return false;
    // The first page painted in full before the press that leaves it.
    const std::string first = Settled(shots_ + "_open");
    main_ = session_.Refresh(main_);
    m_ = session_.MainLayout(main_);
    // The third tab header, "当当同步".
    return Tab(162, first);
  }

  // Presses the tab header at `header_x` (pixels from the tab control's
  // left): the screen changes from `shown`, then holds still.
  bool Tab(int header_x, const std::string& shown) {
    Press(m_.X(7) + header_x, m_.Y(12) + 12);
    if (!ChangedFrom(shown)) return false;
    Settled(shots_ + "_tab");
    return true;
  }

  // Waits for the box titled `title`, photographs it and answers it with
  // Return; whether it came and went.
  bool Answer(const std::string& title, const std::string& shot) {
    gui::Window box = session_.WaitForWindow(title, 90s);
    session_.Screenshot(shot);
    if (!box) return false;
    session_.Keys(box, {"Return"});
    return gui::WaitFor([&] { return !session_.HasWindow(title); }, 20s);
  }

  bool ChangedFrom(const std::string& shot) {
    return session_.WaitForChange(shot, shots_ + "_changed");
  }
  std::string Settled(const std::string& name) { return session_.SettledScreenshot(name); }

  // A press as a hand makes it: button down, a moment, button up.
  void Press(int x, int y, int button = 1) { session_.Press(main_, x, y, 100ms, button); }
  void PressPage(int dlu_x, int dlu_y, int button = 1) {
    Press(PageX(dlu_x), PageY(dlu_y), button);
  }
  // The item page "宝贝查询" has a 9-point font: 8 x 17 pixels per 4 x 8
  // dialog units under Xvfb.
  void PressItemPage(int dlu_x, int dlu_y) {
    Press(m_.X(7) + 1 + dlu_x * 8 / 4, m_.Y(12) + 25 + dlu_y * 17 / 8);
  }
  int PageX(int dlu_x) const { return m_.X(7) + 1 + m_.X(dlu_x); }
  int PageY(int dlu_y) const { return m_.Y(12) + 25 + dlu_y * m_.base_y / 8; }

  // Replaces the text of the edit at (dlu_x, dlu_y) by `utf8`.
  void Fill(int dlu_x, int dlu_y, const std::string& utf8) {
    PressPage(dlu_x, dlu_y);
    session_.Keys(main_, {"ctrl+a", "BackSpace"});
    if (!utf8.empty()) session_.Type(main_, utf8);
  }

  // Presses at (dlu_x, dlu_y) and waits until the screen shows the pop-up
  // that the press opens: keys sent before it is there would go elsewhere.
  bool OpenPopup(int dlu_x, int dlu_y, int button) {
    return session_.PressUntilChanged(main_, PageX(dlu_x), PageY(dlu_y), shots_ + "_popup", 500,
                                      button);
  }

  // Chooses entry `index` of the type combo (sorted: 关键字, 价格区间, 所有商品)
  // from its list, opened by the arrow at the combo's right end; the list
  // has closed when it returns.
  void ChooseType(int index) {
    ASSERT_TRUE(OpenPopup(115, 27, 1)) << "the type combo did not open";
    const std::string open = Settled(shots_ + "_popup_open");
    std::vector<std::string> keys = {"Home"};
    for (int i = 0; i < index; ++i) keys.push_back("Down");
    keys.push_back("Return");
    session_.Keys(main_, keys);
    EXPECT_TRUE(ChangedFrom(open)) << "the type combo stayed open";
  }

  // The screenshot's crop of the page rectangle (dlu) as a file of its own.
  std::string Crop(const std::string& shot, const std::string& name, int x, int y, int cx, int cy) {
    return CropPixels(shot, name, PageX(x), PageY(y), PageX(x + cx) - PageX(x),
                      PageY(y + cy) - PageY(y));
  }
  // The same for a rectangle in the main window's pixels.
  std::string CropPixels(const std::string& shot, const std::string& name, int left, int top,
                         int width, int height) {
    const std::string out = gui::BuildDir() + "/screenshots/" + name + ".png";
    gui::RunCommand({"convert", shot, "-crop",
                     std::to_string(width) + "x" + std::to_string(height) + "+" +
                         std::to_string(main_.x + left) + "+" + std::to_string(main_.y + top),
                     "+repage", out});
    return out;
  }

  gui::Window& Main() { return main_; }

 private:
  gui::Session& session_;
  std::string shots_;
  gui::Window main_;
  gui::Layout m_;
};

TEST(PricingGui, ConditionsOptionsAndProvincesComeBackAfterARestart) {
  sites::SiteServer server;
  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server)));
  const fs::path data = fs::path(session.Folder()) / "Data";

  PricingProgram program(session, "pricing");
  ASSERT_TRUE(program.Open()) << "no main window";
  session.Screenshot("pricing_0_start");

  // Three conditions, one of each kind.
  const struct {
    int type;
    std::string match, discount, markup;
  } rules[] = {{0, U8(u8"计算机"), "9", "1"}, {1, "0-88", "8", "0"}, {2, "", "7", "2"}};
  const std::string stored[] = {U8(u8"1|关键字|计算机|9|1;"), U8(u8"2|价格区间|0-88|8|0;"),
                                U8(u8"3|所有商品||7|2;")};
  std::string expected;
  for (int i = 0; i < 3; ++i) {
    program.ChooseType(rules[i].type);
    program.Fill(95, 49, rules[i].match);
    program.Fill(95, 69, rules[i].discount);
    program.Fill(95, 88, rules[i].markup);
    program.PressPage(95, 106);  // "添加"
    expected += stored[i];
    ASSERT_TRUE(gui::WaitFor([&] { return StoredRules(data / "FenLei.db") == expected; }, 60s))
        << session.Screenshot("pricing_add_failed") << "\n" << StoredRules(data / "FenLei.db");
  }

  // "使用关键字条件", a threshold, then "全选" from the province list's menu.
  program.PressPage(154, 28);
  program.Fill(304, 50, "6");
  ASSERT_TRUE(program.OpenPopup(400, 220, 3)) << "no menu on the province list";
  std::string menu = program.Settled("pricing_1_menu");
  session.Keys(program.Main(), {"Down", "Return"});
  ASSERT_TRUE(program.ChangedFrom(menu)) << "the menu stayed";
  const std::string before = program.Settled("pricing_2_filled");

  // "确定": "保存成功" in a box captioned with the application name.
  program.PressPage(511, 369);
  gui::Window saved = session.WaitForWindow("Tovrane", 20s);
  session.Screenshot("pricing_3_saved");
  ASSERT_TRUE(saved) << "no \"保存成功\"";
  session.Keys(saved, {"Return"});
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow("Tovrane"); }, 30s));

  const std::string regions = ReadBytes(data / U8(u8"地区.txt"));
  EXPECT_EQ(regions.size(), 514u - 34u);  // every "FALSE" became "TRUE", one byte shorter
  EXPECT_EQ(regions.find("FALSE"), std::string::npos);
  const std::string ini = ReadBytes(data / "system.ini");
  EXPECT_NE(ini.find("UseKeyWord=true\r\nUsePrice=false\r\nUseAllProducts=false\r\n"
                     "TongBuQiangGouJia=false\r\nYuanJiaZhe=6\r\nShiYongZhe=d\r\n"),
            std::string::npos)
      << ini;

  // Again from the start: the page shows what was saved. The same right
  // click (dismissed) gives the province list the same selected row.
  session.Stop();
  ASSERT_TRUE(program.Open()) << "no main window after the restart\n"
                              << ReadBytes(fs::path(session.Folder()) / ".." / "program.log");
  ASSERT_TRUE(program.OpenPopup(400, 220, 3)) << "no menu on the province list";
  menu = program.Settled("pricing_4_menu");
  session.Keys(program.Main(), {"Escape"});
  ASSERT_TRUE(program.ChangedFrom(menu)) << "the menu stayed";
  const std::string after = program.Settled("pricing_4_restarted");
  // The province list without its edges: GTK's overlay scroll bars show
  // there for a while after the pointer moved.
  const struct {
    const char* name;
    int x, y, cx, cy;
  } parts[] = {{"rules", 7, 134, 261, 220}, {"regions", 289, 166, 234, 178},
               {"options", 150, 20, 250, 10}};
  for (const auto& part : parts) {
    const std::string a = program.Crop(before, std::string("pricing_2_") + part.name, part.x,
                                       part.y, part.cx, part.cy);
    const std::string b = program.Crop(after, std::string("pricing_4_") + part.name, part.x,
                                       part.y, part.cx, part.cy);
    EXPECT_EQ(gui::DifferentPixels(a, b), 0) << part.name;
  }
  EXPECT_TRUE(session.Running());
  session.Stop();
}

// The keyboard alone, once the page is chosen: Tab through the page in
// template order, a condition typed and added, deleted from the menu that
// the menu key and Shift+F10 open on its row; then the sign-in dialog
// cancelled with Esc. Screenshots: <build>/screenshots/keys_*.png.
TEST(PricingGui, ByKeysAConditionIsAddedAndDeletedAndTheSignInCancelled) {
  sites::SiteServer server;
  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server)));
  const fs::path db = fs::path(session.Folder()) / "Data" / "FenLei.db";
  PricingProgram program(session, "keys");
  ASSERT_TRUE(program.Open()) << "no main window";
  gui::Window& main = program.Main();

  // From the tab header: "确定", then the type combo, whose list opens on
  // Alt+Down; "价格区间" is its second entry.
  session.Keys(main, {"Tab", "Tab"});
  std::string shot = program.Settled("keys_1_type");
  session.Keys(main, {"alt+Down"});
  ASSERT_TRUE(program.ChangedFrom(shot)) << "the type list did not open";
  session.Keys(main, {"Down", "Return"});
  // Past the three option boxes to "匹配条件", past "同步抢购价" to "折扣".
  session.Keys(main, {"Tab", "Tab", "Tab", "Tab"});
  session.Type(main, "0-88");
  session.Keys(main, {"Tab", "Tab"});
  session.Type(main, "9");
  session.Keys(main, {"Tab"});
  session.Type(main, "1");
  session.Keys(main, {"Tab"});
  program.Settled("keys_2_on_add");
  session.Keys(main, {"Return"});
  const std::string added = U8(u8"1|价格区间|0-88|9|1;");
  ASSERT_TRUE(gui::WaitFor([&] { return StoredRules(db) == added; }, 60s))
      << session.Screenshot("keys_add_failed") << "\n" << StoredRules(db);

  // Past the radio pair into the condition list; Home selects the row.
  session.Keys(main, {"Tab", "Tab", "Tab", "Home"});
  for (const char* key : {"Menu", "shift+F10"}) {
    shot = program.Settled(std::string("keys_3_row_") + key);
    session.Keys(main, {key});
    ASSERT_TRUE(program.ChangedFrom(shot)) << "no menu on " << key;
    shot = program.Settled(std::string("keys_4_menu_") + key);
    // The first menu is dismissed, the second deletes.
    session.Keys(main, std::string(key) == "Menu" ? std::vector<std::string>{"Escape"}
                                                  : std::vector<std::string>{"Down", "Return"});
    ASSERT_TRUE(program.ChangedFrom(shot)) << "the menu stayed";
  }
  ASSERT_TRUE(gui::WaitFor([&] { return StoredRules(db).empty(); }, 60s))
      << session.Screenshot("keys_delete_failed") << "\n" << StoredRules(db);
  program.Settled("keys_5_deleted");

  // "登录淘宝网" from the menu bar by F10; Esc cancels the sign-in.
  session.MenuBarItem(main, 0);
  gui::Window web = session.WaitForWindow("VorlupTovrane", 30s);
  ASSERT_TRUE(web) << session.Screenshot("keys_no_sign_in");
  session.Screenshot("keys_6_sign_in");
  session.Keys(web, {"Escape"});
  EXPECT_TRUE(gui::WaitFor([&] { return !session.HasWindow("VorlupTovrane"); }, 30s))
      << session.Screenshot("keys_sign_in_stayed");
  EXPECT_TRUE(session.Running());
  session.Stop();
}

// The discount "8.6" typed by keys: the condition list shows it as a stored
// "8.6" shows, Data/FenLei.db holds it, and a price run prices the shop at
// 86 percent of the bookstore's price (a price of a thousand and more, its
// digits grouped, among them). Screenshots: <build>/screenshots/discount_*.png.
TEST(PricingGui, ADiscountWithADecimalPointPricesTheShopByIt) {
  sites::SiteServer server;
  sites::RouteLiveSellerPage(server);
  sites::SellerCentre centre(server, nullptr);
  sites::Bookstores books(server, &centre);
  sites::ShopOptions options;
  options.count = 3;
  const std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  centre.SetItems(items);
  const char* sales[] = {"14.00", "29.70", "1,234.50"};
  const char* priced[] = {"12.04", "25.54", "1061.67"};  // 8.6 折, no markup
  for (size_t i = 0; i < items.size(); ++i) {
    sites::BookProduct product = sites::DangdangProductFor(items[i]);
    product.sale = sales[i];
    books.SetProduct(product);
  }

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, books.HostKeys()) +
                                                      "[SYSCONFIG]\r\nUseAllProducts=true\r\n"));
  // Two stored conditions to read the list by: "8.6" and "86".
  const fs::path data = fs::path(session.Folder()) / "Data";
  ASSERT_TRUE(session.WriteAllProductsConditions({{"8.6", ""}, {"86", ""}}));

  PricingProgram program(session, "discount");
  ASSERT_TRUE(program.Open()) << "no main window";
  program.ChooseType(2);  // "所有商品"
  program.Fill(95, 69, "8.6");
  program.PressPage(95, 106);  // "添加"
  const std::string stored = U8(u8"1|所有商品||8.6|;2|所有商品||86|;3|所有商品||8.6|;");
  ASSERT_TRUE(gui::WaitFor([&] { return StoredRules(data / "FenLei.db") == stored; }, 60s))
      << session.Screenshot("discount_add_failed") << "\n" << StoredRules(data / "FenLei.db");

  // The rows' texts without their number (the middle of each row, clear of
  // the grid): the new one shows what the stored "8.6" shows, not what "86"
  // shows.
  const std::string list = program.Settled("discount_1_added");
  const int list_x = program.PageX(7), list_y = program.PageY(134);
  auto row_middle = [&](int row) { return list_y + kRuleHeadingPixels + row * kRuleRowPixels + 11; };
  std::string rows[3];
  for (int row = 0; row < 3; ++row) {
    rows[row] = program.CropPixels(list, "discount_1_row" + std::to_string(row + 1),
                                   list_x + kRuleNumberPixels, row_middle(row) - 7,
                                   program.PageX(7 + 261) - list_x - kRuleNumberPixels - 8, 14);
  }
  EXPECT_GT(gui::DarkPixels(rows[2], 0, 0, 400, 14), 0) << "the new row shows nothing";
  EXPECT_EQ(gui::DifferentPixels(rows[2], rows[0]), 0) << "the new row does not show 8.6";
  EXPECT_GT(gui::DifferentPixels(rows[2], rows[1]), 0) << "the rows cannot be told apart";

  // Tick the new condition (its tick box); download the shop on "宝贝查询";
  // start the price run on "宝贝同步".
  program.Press(list_x + 14, row_middle(2));
  ASSERT_TRUE(program.Tab(40, program.Settled("discount_2_ticked"))) << "no page \"宝贝查询\"";
  program.PressItemPage(25 + 25, 317 + 7);  // "搜索宝贝"
  ASSERT_TRUE(program.Answer("Tovrane", "discount_3_total")) << "no box with the total";
  ASSERT_TRUE(program.Answer(GbkToUtf8("提示"), "discount_3_downloaded")) << "no \"全部下载完毕！\"";
  program.PressItemPage(177 + 36, 317 + 7);  // "测试淘宝登录状态"
  ASSERT_TRUE(program.Answer("Tovrane", "discount_3_signed_in")) << "no sign-in box";
  ASSERT_TRUE(program.Tab(99, program.Settled("discount_3_downloaded"))) << "no page \"宝贝同步\"";
  centre.ClearOperationForms();
  program.PressPage(421 + 31, 364 + 7);  // "开始同步"
  ASSERT_TRUE(gui::WaitFor([&] { return centre.OperationForms().size() >= items.size(); }, 60s))
      << session.Screenshot("discount_4_no_edits") << centre.OperationForms().size();
  program.Settled("discount_4_edited");
  std::map<std::string, std::string> sent;
  for (const sites::OperationForm& form : centre.OperationForms())
    sent[form.Field("itemId")] = form.Field("newItemPrice");
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(sent[items[i].id], priced[i]) << sales[i];
  EXPECT_TRUE(session.Running());
  session.Stop();
}

// "检测是否有货" by hand against the local stock service: the answer in both
// modes of the radio pair, then the box when the service cannot be reached,
// and the program goes on. Screenshots: <build>/screenshots/stock_*.png.
TEST(PricingGui, StockCheckOfOneProductNumber) {
  sites::SiteServer server;
  sites::Bookstores stores(server, nullptr);
  sites::BookProduct product;
  product.number = "25112233";
  product.nostock_provinces = {"12"};
  stores.SetProduct(product);
  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, stores.HostKeys())));
  ASSERT_TRUE(session.WriteDataFile(U8(u8"地区.txt"), "11,北京,TRUE\r\n12,天津,TRUE\r\n13,河北,TRUE\r\n"));

  PricingProgram program(session, "stock");
  ASSERT_TRUE(program.Open()) << "no main window";
  program.Fill(361, 369, "25112233");

  // Presses "检测是否有货"; the answer box is captioned with the application
  // name. Returns whether it came; closes it after its screenshot.
  auto check = [&](const std::string& shot) {
    program.PressPage(433, 369);
    gui::Window box = session.WaitForWindow("Tovrane", 20s);
    session.Screenshot(shot);
    if (!box) return false;
    session.Keys(box, {"Return"});
    return gui::WaitFor([&] { return !session.HasWindow("Tovrane"); }, 30s);
  };

  // Mode 0 (chosen at start): 天津 has none, the asking stops there: "无货".
  ASSERT_TRUE(check("stock_1_mode0")) << "no answer";
  std::vector<sites::StockRequest> asked = stores.StockRequests();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].province_id, "11");
  EXPECT_EQ(asked[1].province_id, "12");
  EXPECT_EQ(asked[1].product_id, "25112233");

  // Mode 1: 北京 has it: "有货" after one request.
  program.PressPage(292, 157);
  stores.ClearRequests();
  ASSERT_TRUE(check("stock_2_mode1")) << "no answer";
  EXPECT_EQ(stores.StockRequests().size(), 1u);

  // The stock service refuses: the error box, and the program goes on.
  server.SetRefuse(true);
  ASSERT_TRUE(check("stock_3_unreachable")) << "no error box";
  server.SetRefuse(false);
  stores.ClearRequests();
  ASSERT_TRUE(check("stock_4_again")) << "no answer after the failure";
  EXPECT_EQ(stores.StockRequests().size(), 1u);
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
