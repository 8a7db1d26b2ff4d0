// The main window's menu bar as a hand uses it: each of its four commands
// runs on one ordinary click (button down, 100 ms, button up), and from the
// keyboard (F10, arrows, Return). The items are found on the screen, the
// commands seen by what they show: the sign-in dialog, the two questions,
// and the count in the item page's total field.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kMainTitle = "VorlupTovrane:V1.1.6";
constexpr const char* kOwnBoxTitle = "VorlupTovrane";  // the sign-in dialog and the questions
constexpr const char* kFrameworkBoxTitle = "Tovrane";  // "成功清空"
constexpr int kMenuBarHeight = 28;
constexpr int kSignInCx = 521;  // the sign-in dialog's template
constexpr int kSignInCy = 343;

// The horizontal spans of the menu bar's labels, read from a screenshot:
// columns darker than the bar's background, runs closer than 8 pixels
// joined into one label.
std::vector<std::pair<int, int>> MenuBarLabels(gui::Session& session, const gui::Window& main) {
  const std::string shot = session.Screenshot("menu_bar");
  const gui::CommandResult row = gui::RunCommand(
      {"convert", shot, "-crop",
       std::to_string(main.width) + "x" + std::to_string(kMenuBarHeight - 8) + "+" +
           std::to_string(main.x) + "+" + std::to_string(main.y + 4),
       "+repage", "-colorspace", "gray", "-scale", std::to_string(main.width) + "x1!", "-depth",
       "8", "txt:-"});
  std::vector<int> values;
  std::istringstream lines(row.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t open = line.find(": (");
    if (line.empty() || line[0] == '#' || open == std::string::npos) continue;
    values.push_back(std::atoi(line.c_str() + open + 3));
  }
  int background = 0;
  for (int v : values) background = std::max(background, v);
  std::vector<std::pair<int, int>> spans;
  for (int x = 0; x < static_cast<int>(values.size()); ++x) {
    if (values[x] >= background * 95 / 100) continue;
    if (!spans.empty() && x - spans.back().second < 8) spans.back().second = x;
    else spans.push_back({x, x});
  }
  return spans;
}

// A part of the screen as a file, to compare.
std::string Crop(gui::Session& session, const std::string& name, int x, int y, int w, int h) {
  const std::string shot = session.Screenshot(name);
  const std::string out = shot.substr(0, shot.size() - 4) + "_crop.png";
  gui::RunCommand({"convert", shot, "-crop",
                   std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" +
                       std::to_string(y),
                   "+repage", out});
  return out;
}

bool Differ(gui::Session& session, const std::string& a, const std::string& b) {
  const gui::CommandResult diff =
      gui::RunCommand({"convert", a, b, "-compose", "difference", "-composite", "-format",
                       "%[fx:mean>0]", "info:"},
                      session.Display());
  return diff.out == "1";
}

// A question of the program's own: it came, and Escape answers "取消".
// No "成功清空" followed the question before it: the program shows this
// one after it has done with that one.
void AnswerQuestionWithCancel(gui::Session& session, const char* what) {
  gui::Window box = session.WaitForWindow(kOwnBoxTitle, 30s);
  ASSERT_TRUE(box) << what << ": no question";
  EXPECT_FALSE(session.HasWindow(kFrameworkBoxTitle)) << what;
  session.Screenshot(std::string("menu_question_") + what);
  ASSERT_TRUE(session.Keys(box, {"Escape"}));
  EXPECT_TRUE(gui::WaitFor([&] { return !session.HasWindow(kOwnBoxTitle); }, 10s)) << what;
}

TEST(MenuBarGui, EachCommandRunsOnOneOrdinaryClickAndFromTheKeyboard) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, market.HostKeys())));
  ASSERT_TRUE(session.Start());
  gui::Window main = session.WaitForWindow(kMainTitle, 90s);
  ASSERT_TRUE(main) << "no main window";
  // The bar is read from the screen once it is drawn (a loaded machine may
  // take a while).
  std::vector<std::pair<int, int>> labels;
  gui::WaitFor(
      [&] {
        main = session.Refresh(main);
        labels = MenuBarLabels(session, main);
        return labels.size() == 4u;
      },
      30s);
  ASSERT_EQ(labels.size(), 4u) << "the menu bar's four labels were not found on the screen";
  auto middle = [&](int i) { return (labels[i].first + labels[i].second) / 2; };
  const int bar_y = kMenuBarHeight / 2;

  // The item page's total field (edit 1043 at 425, 17; 40 x 14 in the
  // page's 9-point units): its left part, where a short number shows.
  const gui::Layout item_page = session.MainLayout(main).Page(9);
  const int field_x = item_page.X(425);
  const int field_y = item_page.Y(17);
  auto field = [&](const std::string& name) {
    return Crop(session, name, main.x + field_x + 3, main.y + field_y + 4, 24,
                item_page.Y(17 + 14) - field_y - 8);
  };
  const std::string empty_field = field("menu_count_before");

  // "登录淘宝网": the sign-in dialog opens; its "取消" closes it.
  ASSERT_TRUE(session.Press(main, middle(0), bar_y));
  gui::Window dialog = session.WaitForWindow(kOwnBoxTitle, 60s);
  ASSERT_TRUE(dialog) << "one click on \"登录淘宝网\" opened no sign-in dialog";
  session.Screenshot("menu_signin_dialog");
  const gui::Layout d = session.DialogLayout(dialog, kSignInCx, kSignInCy);
  ASSERT_TRUE(session.Press(dialog, d.X(464 + 25), d.Y(322 + 7)));
  ASSERT_TRUE(gui::WaitFor([&] { return !session.HasWindow(kOwnBoxTitle); }, 20s));

  // "清空数据库" and "数据全部设置为未更新": their questions.
  ASSERT_TRUE(session.Press(main, middle(1), bar_y));
  AnswerQuestionWithCancel(session, "clear_click");
  ASSERT_TRUE(session.Press(main, middle(2), bar_y));
  AnswerQuestionWithCancel(session, "not_updated_click");

  // "读取数据库数据总量": the count shows in the total field.
  ASSERT_TRUE(session.Press(main, middle(3), bar_y));
  EXPECT_TRUE(gui::WaitFor(
      [&] { return Differ(session, empty_field, field("menu_count_click")); }, 20s))
      << "the total field did not change";

  // The keyboard: F10, then Right to the item, then Return.
  ASSERT_TRUE(session.MenuBarItem(main, 1));
  AnswerQuestionWithCancel(session, "clear_keys");
  ASSERT_TRUE(session.MenuBarItem(main, 2));
  AnswerQuestionWithCancel(session, "not_updated_keys");
  // Three rows more in the database (the one of no account: Data/.db),
  // then count again.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((session.Folder() + "/Data/.db").c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "INSERT INTO DDItems(TbId, DDID, Price, IsUpdate) VALUES"
                         " ('1','1111','1.00','0'), ('2','2222','2.00','0'), ('3','3333','3.00','0')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const std::string zero = field("menu_count_zero");
  ASSERT_TRUE(session.MenuBarItem(main, 3));
  EXPECT_TRUE(gui::WaitFor([&] { return Differ(session, zero, field("menu_count_keys")); }, 20s))
      << "the count did not change";
  EXPECT_FALSE(session.HasWindow(kFrameworkBoxTitle)) << "after the last question";
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
