// The program on a laptop's screen (1366 x 768, 1280 x 720): the main window
// fits, every button and edit of the four pages lies on the screen and shows,
// and the boxes the program opens come up centred over the main window,
// focused, also where the main window was moved. Against the local seller centre and bookstore: the download's
// total box, its end, the sign-in test's box, the warning of "开始同步" with
// no ticked condition, then a price run started with an ordinary click.
// Screenshots: <build>/screenshots/laptop_<screen>_*.png.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "platform/text/codepage.h"
#include "platform/ui/templates.h"
#include "resources/resource_ids.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

struct Screen {
  int width, height;
  const char* name;
};

void PrintTo(const Screen& screen, std::ostream* out) { *out << screen.name; }

// The variation of a picture's grey values in a rectangle: 0 where nothing
// is drawn but the background.
double Variation(const std::string& picture, int x, int y, int width, int height) {
  const gui::CommandResult r = gui::RunCommand(
      {"convert", picture, "-crop",
       std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" +
           std::to_string(y),
       "+repage", "-colorspace", "Gray", "-format", "%[fx:standard_deviation]", "info:"});
  return r.code == 0 && !r.out.empty() ? std::stod(r.out) : -1;
}

// Rows of a picture's rectangle that hold a pixel darker than middle grey:
// the rows a line of text covers.
int InkRows(const std::string& picture, int x, int y, int width, int height) {
  const gui::CommandResult r = gui::RunCommand(
      {"convert", picture, "-crop",
       std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" +
           std::to_string(y),
       "+repage", "-colorspace", "Gray", "-threshold", "50%", "-negate", "-scale",
       "1x" + std::to_string(height) + "!", "-format", "%[fx:0]", "txt:-"});
  int rows = 0;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line))
    if (line.rfind('#', 0) != 0 && line.find("gray(0)") == std::string::npos) ++rows;
  return r.code == 0 ? rows : -1;
}

// A box of the program: centred over the main window (within 2 pixels),
// on the screen, focused; answered with `answer`.
void CheckBox(gui::Session& session, const Screen& screen, const gui::Window& main_window,
              const std::string& title, const std::string& shot,
              const std::string& answer = "Return") {
  gui::Window box = session.WaitForWindow(title, 90s);
  session.SettledScreenshot(shot);
  if (!box) {
    ADD_FAILURE() << "no box \"" << title << "\" (" << shot << ")";
    return;
  }
  box = session.Refresh(box);
  const gui::Window main = session.Refresh(main_window);
  EXPECT_NEAR(box.x + box.width / 2, main.x + main.width / 2, 2) << shot;
  EXPECT_NEAR(box.y + box.height / 2, main.y + main.height / 2, 2) << shot;
  EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.x + box.width <= screen.width &&
              box.y + box.height <= screen.height)
      << shot;
  // The keyboard may come to the box a moment after it shows.
  const std::string focus = gui::WaitForOutput(
      {"xdotool", "getwindowfocus"}, session.Display(),
      [&](const std::string& id) { return id == box.id + "\n"; });
  EXPECT_EQ(focus, box.id + "\n") << shot << ": the box has not the keyboard";
  session.Keys(box, {answer});
  EXPECT_TRUE(gui::WaitFor([&] { return !session.HasWindow(title); }, 20s)) << shot;
}

// The stand-in shop of 40 items in the warehouse, each with its bookstore
// product.
struct Shop {
  sites::SiteServer server;
  sites::SellerCentre centre{server, nullptr};
  sites::Bookstores books{server, &centre};
  Shop() {
    sites::RouteLiveSellerPage(server);
    sites::ShopOptions options;
    options.count = 40;
    options.status = "myOff";  // what the item page searches at start
    const std::vector<sites::ShopItem> items = sites::GenerateShop(options);
    centre.SetItems(items);
    for (const sites::ShopItem& item : items) books.SetProduct(sites::DangdangProductFor(item));
  }
};

struct Page {
  int template_id;
  int header_x;  // the middle of its tab's header from the tab control's left
  const char* name;
};
const Page kPages[] = {{IDD_TAOBAO, 37, "item_page"},
                       {IDD_TONGBU, 99, "sync_page"},
                       {IDD_DANGDANGTONGBU, 162, "pricing_page"},
                       {IDD_QUCHONGFU, 214, "duplicates_page"}};

// Shows a page by its tab (the item page shows from the start) and
// photographs it once it has been drawn.
std::string ShowPage(gui::Session& session, const gui::Window& main, const Page& page,
                     const std::string& shot) {
  const gui::Layout m = session.MainLayout(main);
  if (page.template_id != IDD_TAOBAO) {
    EXPECT_TRUE(session.PressUntilChanged(main, m.X(7) + page.header_x, m.Y(12) + 12, shot)) << shot;
  }
  return session.SettledScreenshot(shot);
}

// The one-line labels of a page, each with the rows of its picture that
// hold its glyphs (looked for a little above and below its box: a box
// lower than the glyphs has them centred on it).
std::vector<std::pair<const ControlTemplate*, int>> LabelRows(const gui::Window& main,
                                                              const gui::Layout& p,
                                                              const DialogTemplate& t,
                                                              const std::string& shot) {
  std::vector<std::pair<const ControlTemplate*, int>> rows;
  for (const ControlTemplate& c : t.controls) {
    if (c.kind != ControlKind::Static || !(c.style & kStyleVisible) || c.text == nullptr ||
        *c.text == '\0' || c.cy > 8)
      continue;
    const int height = p.Y(c.y + c.cy) - p.Y(c.y);
    rows.emplace_back(&c, InkRows(shot, main.x + p.X(c.x), main.y + p.Y(c.y) - 3,
                                  p.X(c.x + c.cx) - p.X(c.x), height + 6));
  }
  return rows;
}

class LaptopScreenGui : public ::testing::TestWithParam<Screen> {
 protected:
  // Each label's rows on a screen where the window fits as designed.
  static std::map<const ControlTemplate*, int> whole_rows_;
};
std::map<const ControlTemplate*, int> LaptopScreenGui::whole_rows_;

TEST_P(LaptopScreenGui, PagesFitTheScreenBoxesOpenOverTheWindowAndARunStarts) {
  const Screen screen = GetParam();
  const std::string shot_prefix = std::string("laptop_") + screen.name + "_";
  Shop shop;
  sites::SiteServer& server = shop.server;
  sites::SellerCentre& centre = shop.centre;

  if (whole_rows_.empty()) {
    gui::Session large(1920, 1080);
    GUI_REQUIRE(large.Ok(), large.Error());
    ASSERT_TRUE(large.WriteDataFile("system.ini", sites::HostsIniText(server)));
    ASSERT_TRUE(large.Start());
    const gui::Window main = large.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
    ASSERT_TRUE(main) << "no main window on the large screen";
    for (const Page& page : kPages) {
      const DialogTemplate* t = ui::LookupDialogTemplate(page.template_id);
      // Named for the screen too: ctest runs each screen in a process of its
      // own, at the same time, and each measures the large screen.
      const std::string shot =
          ShowPage(large, main, page, shot_prefix + "large_" + page.name);
      for (const auto& [label, rows] :
           LabelRows(main, large.MainLayout(main).Page(t->point_size), *t, shot))
        whole_rows_[label] = rows;
    }
  }

  gui::Session session(screen.width, screen.height);
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server) +
                                                      "[SYSCONFIG]\r\nUseAllProducts=true\r\n"));
  ASSERT_TRUE(session.WriteAllProductsConditions({{"9", "0"}}));
  ASSERT_TRUE(session.Start());
  gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  session.SettledScreenshot(shot_prefix + "start");
  main = session.Refresh(main);
  EXPECT_GE(main.x, 0);
  EXPECT_GE(main.y, 0);
  EXPECT_LE(main.x + main.width, screen.width);
  EXPECT_LE(main.y + main.height, screen.height);
  const gui::Layout m = session.MainLayout(main);

  auto press = [&](const gui::Layout& page, int dlu_x, int dlu_y) {
    session.Press(main, page.X(dlu_x), page.Y(dlu_y));
  };
  // `header_x`: the middle of a tab's header from the tab control's left.
  // Presses go to a page once it shows: a loaded machine draws it late.
  auto tab = [&](int header_x, const std::string& shot) {
    EXPECT_TRUE(session.PressUntilChanged(main, m.X(7) + header_x, m.Y(12) + 12,
                                          shot_prefix + shot))
        << shot;
  };
  auto check_box = [&](const std::string& title, const std::string& shot) {
    CheckBox(session, screen, main, title, shot_prefix + shot);
  };

  // Each page by its tab: every button and edit that shows lies on the
  // screen, and something is drawn where it lies; every one-line label
  // shows as many rows of glyphs as on the large screen.
  for (const Page& page : kPages) {
    const DialogTemplate* t = ui::LookupDialogTemplate(page.template_id);
    ASSERT_NE(t, nullptr);
    const std::string shot = ShowPage(session, main, page, shot_prefix + page.name);
    const gui::Layout p = m.Page(t->point_size);
    for (const ControlTemplate& c : t->controls) {
      const bool wanted = c.kind == ControlKind::PushButton ||
                          c.kind == ControlKind::DefPushButton || c.kind == ControlKind::Edit;
      if (!wanted || !(c.style & kStyleVisible)) continue;
      const int x = main.x + p.X(c.x), y = main.y + p.Y(c.y);
      const int right = main.x + p.X(c.x + c.cx), bottom = main.y + p.Y(c.y + c.cy);
      EXPECT_TRUE(x >= 0 && y >= 0 && right <= screen.width && bottom <= screen.height)
          << page.name << " control " << c.id << " at " << x << "," << y << " to " << right << ","
          << bottom;
      // With a margin: an edit without a border is a white box on grey.
      EXPECT_GT(Variation(shot, x - 2, y - 2, right - x + 4, bottom - y + 4), 0.01)
          << page.name << " control " << c.id << " shows nothing";
    }
    for (const auto& [label, rows] : LabelRows(main, p, *t, shot)) {
      EXPECT_EQ(rows, whole_rows_[label])
          << page.name << " label \"" << GbkToUtf8(label->text) << "\", "
          << p.Y(label->y + label->cy) - p.Y(label->y) << " pixels high";
    }
  }

  // The item page: the download and its total, then the sign-in test.
  const gui::Layout item = m.Page(9);
  const gui::Layout other = m.Page(8);
  tab(37, "item_page_again");
  press(item, 25 + 25, 317 + 7);  // "搜索宝贝"
  check_box("Tovrane", "total_box");
  check_box(GbkToUtf8("提示"), "downloaded_box");
  press(item, 177 + 36, 317 + 7);  // "测试淘宝登录状态"
  check_box("Tovrane", "signed_in_box");

  // "开始同步" with no ticked condition: the warning box.
  tab(99, "sync_page_again");
  press(other, 421 + 31, 364 + 7);
  check_box("VorlupTovrane", "no_condition_box");

  // Tick the condition on "当当同步", then "开始同步" starts a run.
  // The run starts only once the tick shows.
  tab(162, "pricing_page_again");
  EXPECT_TRUE(session.PressUntilChanged(main, other.X(7) + 14, other.Y(134) + 28,
                                        shot_prefix + "condition_ticked", 20))
      << "no tick";
  tab(99, "sync_page_run");
  centre.ClearOperationForms();
  press(other, 421 + 31, 364 + 7);
  EXPECT_TRUE(gui::WaitFor([&] { return !centre.OperationForms().empty(); }, 120s))
      << "the run sent no price edit";
  session.Screenshot(shot_prefix + "running");
  press(other, 504 + 25, 364 + 7);  // "停止同步"
  check_box(GbkToUtf8("提示"), "sync_done_box");
  EXPECT_TRUE(session.Running());
  session.Stop();
}

// Under a window manager, which frames and places windows as a seller's
// desktop does, with the main window moved off the screen's centre: the
// boxes of 20 searches, the total and the end of each, and the sign-in
// dialog, every one centred over the main window. Screenshots:
// <build>/screenshots/laptop_wm_*.png.
TEST(LaptopScreenWindowManagerGui, EveryBoxOpensCentredOverTheMovedMainWindow) {
  Shop shop;
  const Screen screen{1366, 768, "1366x768"};
  gui::Session session(screen.width, screen.height, true);
  GUI_REQUIRE_WM(true, session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(shop.server)));
  ASSERT_TRUE(session.Start());
  const gui::Window main = session.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
  ASSERT_TRUE(main) << "no main window";
  const gui::Window placed = session.Refresh(main);
  gui::RunCommand({"xdotool", "windowmove", main.id, "0", "0"}, session.Display());
  ASSERT_TRUE(gui::WaitFor([&] { return session.Refresh(main).x < placed.x - 100; }, 20s))
      << "the main window did not move from " << placed.x;
  const gui::Layout item = session.MainLayout(session.Refresh(main)).Page(9);
  session.SettledScreenshot("laptop_wm_start");
  for (int i = 0; i < 20; ++i) {
    session.Press(main, item.X(25 + 25), item.Y(317 + 7));  // "搜索宝贝"
    CheckBox(session, screen, main, "Tovrane", "laptop_wm_total_" + std::to_string(i));
    CheckBox(session, screen, main, GbkToUtf8("提示"), "laptop_wm_downloaded_" + std::to_string(i));
    // "搜索宝贝" comes back with "停止搜索".
    session.PressUntilChanged(main, item.X(99 + 25), item.Y(317 + 7),
                              "laptop_wm_stopped_" + std::to_string(i), 20);
  }
  // "登录淘宝网"; Escape cancels it (the browser keeps Return for its page).
  ASSERT_TRUE(session.MenuBarItem(main, 0));
  CheckBox(session, screen, main, "VorlupTovrane", "laptop_wm_signin", "Escape");
  EXPECT_TRUE(session.Running());
  session.Stop();
}

INSTANTIATE_TEST_SUITE_P(Screens, LaptopScreenGui,
                         ::testing::Values(Screen{1366, 768, "1366x768"},
                                           Screen{1280, 720, "1280x720"}),
                         [](const ::testing::TestParamInfo<Screen>& info) {
                           return std::string(info.param.name).replace(4, 1, "_");
                         });

}  // namespace
