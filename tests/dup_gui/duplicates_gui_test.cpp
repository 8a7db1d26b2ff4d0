// The duplicate finder in the real program under Xvfb: a shop of 3000
// items stored in the account's database is loaded into the item list with
// "导入全部数据", then the page "查重" collects it ("整理") and lists the
// repeated merchant codes ("开始查重"). The progress line is read back
// through the clipboard as a hand would copy it; the result list is
// photographed at its top and its end. Screenshots: <build>/screenshots/dup_*.png.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

using namespace std::chrono_literals;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

constexpr int kItems = 3000;

// Items 0..2399 have codes of their own; 2400..2699 come in 100 groups of
// three, 2700..2899 in 50 groups of four, 2900..2999 in 50 pairs: one row
// for each of the 600 items that share a code.
std::string CodeOf(int item) {
  if (item < 2400) return std::to_string(30000000 + item);
  if (item < 2700) return std::to_string(31000000 + (item - 2400) / 3);
  if (item < 2900) return std::to_string(32000000 + (item - 2700) / 4);
  return std::to_string(33000000 + (item - 2900) / 2);
}
constexpr int kResultRows = 100 * 3 + 50 * 4 + 50 * 2;

// The account's database without a session: Data/.db.
bool WriteShop(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  std::string sql =
      "CREATE TABLE DDItems(ID INTEGER PRIMARY KEY,TbId VARCHAR(50),DDID VARCHAR(50),"
      "Price VARCHAR(30),IsUpdate VARCHAR(5));BEGIN;";
  for (int i = 0; i < kItems; ++i) {
    sql += "INSERT INTO DDItems(TbId,DDID,Price,IsUpdate) VALUES('" +
           std::to_string(610000000000LL + i) + "','" + CodeOf(i) + "','" +
           std::to_string(10 + i % 80) + ".00','0');";
  }
  sql += "COMMIT;";
  const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

class DupProgram {
 public:
  explicit DupProgram(gui::Session& session) : session_(session) {}

  bool Open() {
    main_ = session_.WaitForWindow("VorlupTovrane:V1.1.6", 90s);
    if (!main_) return false;
    session_.SettledScreenshot("dup_open");
    main_ = session_.Refresh(main_);
    m_ = session_.MainLayout(main_);
    return true;
  }
  const gui::Window& Main() const { return main_; }

  // A press as a hand makes it: button down, a moment, button up.
  void Press(int x, int y, int button = 1) { session_.Press(main_, x, y, 100ms, button); }
  // The item page has a 9-point font; the duplicate finder has the main
  // window's.
  void PressItemPage(int dlu_x, int dlu_y, int button = 1) {
    Press(m_.Page(9).X(dlu_x), m_.Page(9).Y(dlu_y), button);
  }
  void PressDupPage(int dlu_x, int dlu_y) { Press(m_.Page(8).X(dlu_x), m_.Page(8).Y(dlu_y)); }
  // The rows' part of the result list (below its header) in `shot`, as a
  // file of its own.
  std::string CropResultRows(const std::string& shot, const std::string& name) {
    const int x = main_.x + m_.Page(8).X(7);
    const int y = main_.y + m_.Page(8).Y(65 + 12);
    const std::string out = gui::BuildDir() + "/screenshots/" + name + ".png";
    gui::RunCommand({"convert", shot, "-crop",
                     std::to_string(m_.X(519)) + "x" + std::to_string(200 * m_.base_y / 8) +
                         "+" + std::to_string(x) + "+" + std::to_string(y),
                     "+repage", out});
    return out;
  }
  bool Tab(int header_x, const std::string& name) {
    return session_.PressUntilChanged(main_, m_.X(7) + header_x, m_.Y(12) + 12, name);
  }

  // The progress line's text, selected and copied as a hand does (UTF-8);
  // empty when the copy has not come within `timeout`. The clipboard is
  // emptied first: what an earlier copy left there is never read as now.
  std::string ProgressText(std::chrono::milliseconds timeout = 20s) {
    gui::RunCommand({"sh", "-c", "xclip -selection clipboard -i /dev/null >/dev/null 2>&1"},
                    session_.Display());
    PressDupPage(15 + 148, 24 + 7);
    session_.Keys(main_, {"ctrl+a", "ctrl+c"});
    return gui::WaitForClipboard(
        session_.Display(), [](const std::string& text) { return !text.empty(); }, timeout);
  }

 private:
  gui::Session& session_;
  gui::Window main_;
  gui::Layout m_;
};

TEST(DuplicatesGui, CollectAndCheckAShopOfThreeThousandItems) {
  sites::SiteServer server;
  sites::Marketplace market(server);
  sites::SellerCentre centre(server, nullptr);  // the form token of the re-load

  gui::Session session;
  GUI_REQUIRE(session.Ok(), session.Error());
  ASSERT_TRUE(session.WriteDataFile("system.ini", sites::HostsIniText(server, market.HostKeys())));
  ASSERT_TRUE(WriteShop(session.Folder() + "/Data/.db"));
  ASSERT_TRUE(session.Start());
  DupProgram program(session);
  ASSERT_TRUE(program.Open()) << "no main window";

  // "导入全部数据", the fifth command of the item list's menu.
  // Keys go to the menu once it shows; the list is full once the screen
  // holds still after the menu has gone.
  std::string shot = session.Screenshot("dup_0_no_menu");
  program.PressItemPage(360, 180, 3);
  ASSERT_TRUE(session.WaitForChange(shot, "dup_0_item_menu")) << "no menu on the item list";
  shot = session.SettledScreenshot("dup_0_item_menu");
  session.Keys(program.Main(), {"Down", "Down", "Down", "Down", "Down", "Return"});
  ASSERT_TRUE(session.WaitForChange(shot, "dup_1_item_list")) << "the menu stayed";
  session.SettledScreenshot("dup_1_item_list");

  // The fourth tab, "查重"; "整理", then "开始查重".
  ASSERT_TRUE(program.Tab(214, "dup_2_page")) << "the tab did not change";
  session.SettledScreenshot("dup_2_page");
  program.PressDupPage(418 + 25, 25 + 7);
  const std::string collected = U8(u8"正在整理第");
  EXPECT_TRUE(gui::WaitFor(
      [&] { return program.ProgressText().rfind(collected, 0) == 0; }, 120s))
      << "the collection shows no progress";
  // The collection has ended once its progress line holds still.
  std::string last_progress;
  int same = 0;
  EXPECT_TRUE(gui::WaitFor(
      [&] {
        const std::string now = program.ProgressText();
        same = now == last_progress ? same + 1 : 0;
        last_progress = now;
        return same >= 2;
      },
      180s))
      << "the collection never ended: " << last_progress;
  const std::string empty =
      program.CropResultRows(session.Screenshot("dup_2_collected"), "dup_2_collected_rows");
  program.PressDupPage(349 + 25, 24 + 7);
  const std::string scanned = U8(u8"正在查：第") + std::to_string(kItems - 1) + U8(u8"行");
  std::string progress;
  EXPECT_TRUE(gui::WaitFor(
      [&] {
        progress = program.ProgressText();
        return progress == scanned;
      },
      120s))
      << "progress line: " << progress;
  const std::string listed =
      program.CropResultRows(session.Screenshot("dup_3_results_top"), "dup_3_results_rows");
  const gui::CommandResult diff = gui::RunCommand(
      {"convert", empty, listed, "-compose", "difference", "-composite", "-format",
       "%[fx:mean>0]", "info:"});
  EXPECT_EQ(diff.out, "1") << "the result list shows no rows";

  // The end of the result list: its last number is kResultRows - 1.
  program.PressDupPage(200, 150);
  session.Keys(program.Main(), {"End"});
  session.SettledScreenshot("dup_4_results_end");
  std::printf("expected result rows: %d (last number %d)\n", kResultRows, kResultRows - 1);
  EXPECT_TRUE(session.Running());
  session.Stop();
}

}  // namespace
