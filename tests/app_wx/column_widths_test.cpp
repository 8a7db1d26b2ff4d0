// The main window with its real pages under the wx backend: every list
// column as wide as its longest text and its heading in our font (a filled
// item list of 100,000 rows with 12-digit ids, every page's headings), the
// item list's columns beside its scroll bar, a width dragged by hand that
// stays through a clear and a re-load; in every page's list the arrow keys
// go on from the row clicked.
// Screenshots: build/screenshots/columns_*.png.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/MainDlg.h"
#include "platform/ui/wx/wx_testing.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/site_server.h"
#include "tests/support/page_globals.h"
#include "tests/support/wx_env.h"

namespace wxtest {
namespace {

constexpr int kRows = 100000;

// Runs xdotool from a helper thread while the UI thread pumps.
bool Xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  int code = -1;
  bool done = false;
  std::thread run([&] {
    code = gui::RunCommand(args, Display()->Display()).code;
    done = true;
  });
  Pump([&] { return done; }, 20s);
  run.join();
  return code == 0;
}

class ColumnWidths : public ::testing::Test {
 protected:
  void SetUp() override {
    WX_REQUIRE_DISPLAY();
    g_CookieBuffer[0] = '\0';
    server_.Route("GET", "/notice", [](const sites::SiteRequest&, httplib::Response& res) {
      res.set_content("", "text/html");
    });
    std::map<std::string, std::string> keys = market_.HostKeys();
    keys["NoticeUrl"] = server_.Url("http", "/notice");
    keys["HomeUrl"] = server_.Url("http", "/home");
    sites::WriteHostsIni(folder_, server_, keys);
    ASSERT_TRUE(main_.Create(MainDlg::IDD, nullptr));
    main_.ShowWindow(SW_SHOW);
    ASSERT_TRUE(Pump([&] { return wxui::testing::ShownVisible(&main_.m_TaoBao.m_ItemList); }));
  }
  void TearDown() override {
    if (Display() == nullptr) return;
    main_.DestroyWindow();
    PumpFor(200ms);
    support::ForgetPageGlobals();
    ReloadHosts();
  }

  // Every column of `list` at least as wide as its heading, and as what the
  // longest texts of `longest` (one list per column) need.
  void ExpectWholeTexts(CListCtrl& list, const std::vector<std::vector<CString>>& longest,
                        const char* what) {
    for (int c = 0; c < list.GetColumnCount(); ++c) {
      const CString heading = list.GetColumn(c).heading;
      const int width = wxui::testing::ShownColumnWidth(&list, c);
      EXPECT_EQ(wxui::testing::ShownColumnHeading(&list, c), Utf8(heading));
      EXPECT_GE(width, wxui::testing::HeaderTextNeed(&list, heading))
          << what << " column " << c << " \"" << Utf8(heading) << "\"";
      if (c >= static_cast<int>(longest.size())) continue;
      for (const CString& text : longest[c]) {
        EXPECT_GE(width, wxui::testing::CellTextNeed(&list, c, text))
            << what << " column " << c << " \"" << Utf8(text) << "\"";
      }
    }
  }

  sites::SiteServer server_;
  sites::Marketplace market_{server_};
  sites::TestProgramFolder folder_;
  MainDlg main_;
};

TEST_F(ColumnWidths, FilledItemListAndEveryHeadingShowWholeAndADraggedWidthStays) {
  CListCtrl& list = main_.m_TaoBao.m_ItemList;
  // A re-load of 100,000 rows: numbers 1 .. 100000, 12-digit ids, 8-digit
  // codes, prices up to four digits before the point.
  std::vector<std::vector<CString>> longest(4);
  for (int i = 1; i <= kRows; ++i) {
    CString number, id, code, price;
    number.Format("%d", i);
    id.Format("%llu", 520000000000ULL + static_cast<unsigned long long>(i) * 4799999ULL);
    code.Format("%d", 20000000 + i);
    price.Format("%d.%02d", (i * 37) % 10000, i % 100);
    list.InsertRow(i - 1, {number, id, code, price});
    if (i == kRows || i % 9973 == 0) {
      longest[0].push_back(number);
      longest[1].push_back(id);
      longest[2].push_back(code);
      longest[3].push_back(price);
    }
  }
  // Digits of the widest shape, should the font's digits differ.
  longest[0].push_back("888888");
  longest[1].push_back("888888888888");
  longest[3].push_back("8888.88");
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownRowCount(&list) == kRows; }));
  PumpFor(500ms);
  gui::Screenshot(Display()->Display(), "columns_item_list_filled");
  ExpectWholeTexts(list, longest, "item list");
  ExpectWholeTexts(main_.m_TongBu.m_SyncList, {}, "sync list");
  ExpectWholeTexts(main_.m_QuChongFu.m_ResultList, {}, "duplicates list");
  ExpectWholeTexts(main_.m_DangDangTongBu.m_RuleList, {}, "conditions list");
  ExpectWholeTexts(main_.m_DangDangTongBu.m_RegionList, {}, "province list");
  // The filled item list shows its vertical scroll bar: "价格" lies wholly
  // beside it.
  int total = 0;
  for (int c = 0; c < list.GetColumnCount(); ++c) total += wxui::testing::ShownColumnWidth(&list, c);
  EXPECT_LE(total, wxui::testing::ShownRowsWidth(&list));

  // The sync page's headings on the screen.
  main_.m_Tab.SetCurSel(1);
  main_.OnTabSelChange(nullptr, nullptr);
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownVisible(&main_.m_TongBu.m_SyncList); }));
  PumpFor(500ms);
  gui::Screenshot(Display()->Display(), "columns_sync_page_headings");
  main_.m_Tab.SetCurSel(0);
  main_.OnTabSelChange(nullptr, nullptr);
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownVisible(&list); }));

  // Drag the right edge of "淘宝商品ID" 60 pixels to the right, by hand.
  const RECT r = wxui::testing::ScreenRect(&list);
  const int w0 = wxui::testing::ShownColumnWidth(&list, 0);
  const int w1 = wxui::testing::ShownColumnWidth(&list, 1);
  const int w2 = wxui::testing::ShownColumnWidth(&list, 2);
  const int edge = r.left + w0 + w1 - 1;
  const int header_y = r.top + 8;
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(edge), std::to_string(header_y), "sleep", "0.2",
                       "mousedown", "1", "sleep", "0.1", "mousemove", std::to_string(edge + 20),
                       std::to_string(header_y), "sleep", "0.1", "mousemove",
                       std::to_string(edge + 40), std::to_string(header_y), "sleep", "0.1",
                       "mousemove", std::to_string(edge + 60), std::to_string(header_y)}));
  // The hand lets go once the edge has followed it: a loaded machine's GTK
  // takes the last motion late, and one that comes with the release is lost.
  EXPECT_TRUE(Pump([&] {
    return std::abs(wxui::testing::ShownColumnWidth(&list, 1) - (w1 + 60)) <= 3;
  })) << "dragged to " << wxui::testing::ShownColumnWidth(&list, 1) << " instead of " << w1 + 60;
  ASSERT_TRUE(Xdotool({"mouseup", "1"}));
  PumpFor(200ms);
  const int dragged = wxui::testing::ShownColumnWidth(&list, 1);
  EXPECT_NEAR(dragged, w1 + 60, 3);

  // "清空" and a new search delete every row; a re-load puts rows back.
  list.DeleteAllItems();
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownRowCount(&list) == 0; }));
  for (int i = 1; i <= 100; ++i) {
    CString number;
    number.Format("%d", i);
    list.InsertRow(i - 1, {number, "520000000001", "20000001", "12.50"});
  }
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownRowCount(&list) == 100; }));
  PumpFor(200ms);
  EXPECT_EQ(wxui::testing::ShownColumnWidth(&list, 1), dragged);
  EXPECT_EQ(wxui::testing::ShownColumnWidth(&list, 0), w0);
  EXPECT_EQ(wxui::testing::ShownColumnWidth(&list, 2), w2);
  gui::Screenshot(Display()->Display(), "columns_item_list_dragged");
}

// Keys first move the list's keyboard row away (row 5, Down, Down), then a
// click on row 1: Down selects row 2 and Up row 1 again, in each list.
TEST_F(ColumnWidths, ArrowKeysGoOnFromTheClickedRowInEveryList) {
  const struct {
    int tab;
    CListCtrl* list;
  } lists[] = {{0, &main_.m_TaoBao.m_ItemList},
               {1, &main_.m_TongBu.m_SyncList},
               {2, &main_.m_DangDangTongBu.m_RuleList},
               {3, &main_.m_QuChongFu.m_ResultList}};
  for (const auto& l : lists) {
    CListCtrl& list = *l.list;
    for (int i = 0; i < 10; ++i) {
      CString number;
      number.Format("%d", i + 1);
      list.InsertRow(i, {number, "520000000001", "20000001"});
    }
    main_.m_Tab.SetCurSel(l.tab);
    main_.OnTabSelChange(nullptr, nullptr);
    ASSERT_TRUE(Pump([&] {
      return wxui::testing::ShownVisible(&list) && wxui::testing::ShownRowCount(&list) == 10;
    }));
    PumpFor(300ms);
    const auto selected = [&] { return list.GetNextItem(-1, LVNI_SELECTED); };
    // A click as a hand makes it, in the middle of the row away from its box.
    const auto click = [&](int row) {
      const RECT r = wxui::testing::ShownRowRect(&list, row);
      return Xdotool({"mousemove", std::to_string((r.left + r.right) / 2),
                      std::to_string((r.top + r.bottom) / 2), "sleep", "0.1", "mousedown", "1",
                      "sleep", "0.1", "mouseup", "1"}) &&
             Pump([&] { return selected() == row; });
    };
    const auto key = [&](const char* name, int row) {
      return Xdotool({"key", name}) && Pump([&] { return selected() == row; });
    };
    EXPECT_TRUE(click(5)) << l.tab;
    EXPECT_TRUE(key("Down", 6) && key("Down", 7)) << l.tab;
    EXPECT_TRUE(click(1)) << l.tab;
    EXPECT_TRUE(key("Down", 2)) << l.tab << ": selected " << selected();
    EXPECT_TRUE(key("Up", 1)) << l.tab << ": selected " << selected();
  }
}

}  // namespace
}  // namespace wxtest
