// The main window, headless: tabs and pages, the page rectangle, the title,
// the notice banner against a local notice page, the menu commands and the
// application's start-up.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>

#include "app/MainDlg.h"
#include "app/TovraneApp.h"
#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "platform/text/codepage.h"
#include "platform/ui/headless/headless.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "store/item_db.h"
#include "tests/sites/site_server.h"
#include "tests/support/page_globals.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kHomeUrl = "http://home.example.invalid/";
constexpr const char* kBannerTemplateText = "热烈祝贺VorlupTovraneV1.0成功发布！";

std::string Show(const CString& gbk) { return GbkToUtf8(gbk.str()); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tovrane_app_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(root_);
    fs::create_directories(root_ / "Data");
    fs::create_directories(root_ / "Log");
    SetModuleFileNameForTesting(GbkPathFromNative((root_ / "Tovrane").string()).c_str());
    ui::SetUiThread();
    ui::headless::Reset();
    g_NoticeText.Empty();
    g_NoticeUrl.Empty();
    std::snprintf(g_CookieBuffer, sizeof g_CookieBuffer, "%s", "tracknick=tester; t=1");

    server_.Route("GET", "/notice", [this](const sites::SiteRequest&, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(page_mutex_);
      res.set_content(notice_page_, "text/html");
    });
    server_.Route("GET", "/auction/sell.jhtml",
                  [](const sites::SiteRequest&, httplib::Response& res) {
                    res.set_content("<html>卖家中心</html>", "text/html");
                  });
    SetNoticePage(std::string("<html>\r\n") +
                  "<P><SoftName>OtherTool</SoftName><a href=\"http://maker/other\">别的</a></P>\r\n"
                  "<P><SoftName>VorlupTovrane</SoftName><a href=\"http://maker/tovrane\">"
                  "VorlupTovrane新版发布</a></P>\r\n</html>");
    WriteHosts(server_.Url("http", "/notice"));
  }

  void TearDown() override {
    support::ForgetPageGlobals();
    g_CookieBuffer[0] = '\0';
    SetModuleFileNameForTesting(nullptr);
    ReloadHosts();
    fs::remove_all(root_);
  }

  void SetNoticePage(const std::string& page) {
    std::lock_guard<std::mutex> lock(page_mutex_);
    notice_page_ = page;
  }

  // Every site key names the local server; the notice page is `notice_url`.
  void WriteHosts(const std::string& notice_url) {
    const CString ini = GetSystemIniPath();
    for (const char* key : {"Www", "Login", "Upload", "Seller", "Item", "DangDang",
                            "DangDangStock", "JD"}) {
      WritePrivateProfileStringA("HOSTS", key, server_.HostPort().c_str(), ini);
    }
    WritePrivateProfileStringA("HOSTS", "NoticeUrl", notice_url.c_str(), ini);
    WritePrivateProfileStringA("HOSTS", "HomeUrl", kHomeUrl, ini);
    WritePrivateProfileStringA("HOSTS", "CaFile", GbkPathFromNative(sites::TestCaFile()).c_str(),
                               ini);
    ReloadHosts();
  }

  // Runs the main window modally as the application does; `body` acts on it
  // once it is open, then the window is closed.
  static void RunMainWindow(const std::function<void(MainDlg&)>& body) {
    ui::headless::ScriptModal([&body](CDialog& dlg) {
      body(static_cast<MainDlg&>(dlg));
      dlg.EndDialog(IDOK);
    });
    MainDlg dlg;
    dlg.DoModal();
  }

  static void Command(MainDlg& dlg, int id) { dlg.SendMessage(WM_COMMAND, MAKEWPARAM_(id, 0), 0); }

  static CString Banner(MainDlg& dlg) { return dlg.GetDlgItem(IDC_MAIN_BANNER)->GetWindowText(); }

  static void InsertRows() {
    ExecItemSql("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('11','a','1.00','1')");
    ExecItemSql("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('12','b','2.00','1')");
    ExecItemSql("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('13','c','3.00','0')");
  }

  size_t NoticeRequests() const {
    size_t n = 0;
    for (const auto& r : server_.Requests())
      if (r.path == "/notice") ++n;
    return n;
  }

  fs::path root_;
  std::mutex page_mutex_;
  std::string notice_page_;  // guarded by page_mutex_
  // After the page text that its notice route reads: members go in reverse
  // order, so the server stops its handler threads before the text is freed.
  sites::SiteServer server_;
  static inline int counter_ = 0;
};

// ---- start-up --------------------------------------------------------------

TEST_F(MainWindowTest, OpensWithTitleTabsPagesAndTheNoticeBanner) {
  bool ran = false;
  RunMainWindow([&](MainDlg& dlg) {
    ran = true;
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
    EXPECT_EQ(dlg.GetWindowText(), "VorlupTovrane:V1.1.6");

    ASSERT_EQ(dlg.m_Tab.GetItemCount(), 4);
    const char* tabs[] = {"宝贝查询", "宝贝同步", "当当同步", "查重"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dlg.m_Tab.GetItemText(i), tabs[i]) << i;

    CDialog* created[] = {&dlg.m_TaoBao, &dlg.m_TongBu, &dlg.m_DangDangTongBu, &dlg.m_QuChongFu};
    const UINT templates[] = {IDD_TAOBAO, IDD_TONGBU, IDD_DANGDANGTONGBU, IDD_QUCHONGFU};
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(created[i]->IsWindow()) << i;
      EXPECT_EQ(created[i]->GetParent(), &dlg.m_Tab) << i;
      EXPECT_EQ(created[i]->TemplateId(), templates[i]) << i;
      EXPECT_EQ(created[i]->IsWindowVisible(), i == 0) << i;
    }
    EXPECT_FALSE(dlg.m_JDTongbu.IsWindow());
    EXPECT_FALSE(dlg.m_JoyoTongbu.IsWindow());
    EXPECT_FALSE(dlg.m_BoKuTongbu.IsWindow());
    EXPECT_FALSE(dlg.m_WenXuanTongBu.IsWindow());

    // The pages published their controls while they were created.
    EXPECT_EQ(g_ItemList, &dlg.m_TaoBao.m_ItemList);
    EXPECT_EQ(g_TotalCountEdit, &dlg.m_TaoBao.m_TotalCountEdit);
    EXPECT_EQ(g_SyncList, &dlg.m_TongBu.m_SyncList);
    EXPECT_EQ(g_SyncStartButton, &dlg.m_TongBu.m_StartButton);
    EXPECT_FALSE(dlg.m_TongBu.m_StartButton.IsWindowEnabled());

    EXPECT_EQ(Banner(dlg), "VorlupTovrane新版发布") << Show(Banner(dlg));
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(g_NoticeText, "VorlupTovrane新版发布");
  EXPECT_EQ(g_NoticeUrl, "http://maker/tovrane");
  EXPECT_EQ(NoticeRequests(), 1u);
}

TEST_F(MainWindowTest, UnreachableNoticePageGivesOneErrorBoxAndKeepsTheTemplateBanner) {
  WriteHosts("http://127.0.0.1:" + std::to_string(sites::ClosedPort()) + "/notice");
  bool ran = false;
  RunMainWindow([&](MainDlg& dlg) {
    ran = true;
    // The box came during the set-up, before the window was open.
    const auto boxes = ui::headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONSTOP);
    // It says what could not be reached, and where.
    EXPECT_EQ(boxes[0].text, "无法连接公告页面（127.0.0.1），未能读取公告：无法与服务器建立连接")
        << Show(boxes[0].text);

    EXPECT_EQ(Banner(dlg), kBannerTemplateText) << Show(Banner(dlg));
    EXPECT_EQ(dlg.GetWindowText(), "VorlupTovrane:V1.1.6");
    EXPECT_TRUE(dlg.m_QuChongFu.IsWindow());
    EXPECT_TRUE(dlg.m_TaoBao.IsWindowVisible());
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(g_NoticeText.IsEmpty());
  EXPECT_TRUE(g_NoticeUrl.IsEmpty());
}

TEST_F(MainWindowTest, PageWithoutMatchingEntryBlanksTheBannerAndClickOpensHome) {
  SetNoticePage("<P><SoftName>OtherTool</SoftName><a href=\"http://maker/o\">o</a></P>");
  RunMainWindow([&](MainDlg& dlg) {
    EXPECT_EQ(Banner(dlg), "");
    dynamic_cast<CStatic&>(*dlg.GetDlgItem(IDC_MAIN_BANNER)).UserClick();
    dlg.OnBannerClicked();  // a second click keeps the home page
  });
  EXPECT_EQ(g_NoticeUrl, kHomeUrl);
  const auto urls = ui::headless::OpenedUrls();
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[0], kHomeUrl);
  EXPECT_EQ(urls[1], kHomeUrl);
}

TEST_F(MainWindowTest, NoNoticeAddressMeansNoRequestAndABlankBanner) {
  WriteHosts("");
  RunMainWindow([&](MainDlg& dlg) {
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
    EXPECT_EQ(Banner(dlg), "");
  });
  EXPECT_EQ(NoticeRequests(), 0u);
}

TEST_F(MainWindowTest, BannerClickOpensTheNoticeLink) {
  RunMainWindow([&](MainDlg& dlg) {
    dynamic_cast<CStatic&>(*dlg.GetDlgItem(IDC_MAIN_BANNER)).UserClick();
  });
  const auto urls = ui::headless::OpenedUrls();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0], "http://maker/tovrane");
}

// The desktop's handler missing, or ending with a failure as xdg-open does
// when it finds no browser: a box names the address. A handler that opens
// it says nothing.
TEST_F(MainWindowTest, BannerAddressThatCannotBeOpenedIsNamedInABox) {
  const struct {
    const char *name, *script;  // script null: no handler there
  } cases[] = {
      {"missing", nullptr},
      {"no-browser", "#!/bin/sh\nexit 3\n"},
      {"opens", "#!/bin/sh\nprintf %s \"$1\" > \"$0.txt\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path opener = root_ / c.name, opened = opener.string() + ".txt";
    if (c.script != nullptr) {
      std::ofstream(opener) << c.script;
      fs::permissions(opener, fs::perms::owner_all);
    }
    ui::headless::Reset();
    ui::headless::SetUrlOpener(opener.string());
    RunMainWindow([&](MainDlg& dlg) {
      dynamic_cast<CStatic&>(*dlg.GetDlgItem(IDC_MAIN_BANNER)).UserClick();
      auto boxed = [] { return !ui::headless::MessageBoxes().empty(); };
      ui::PumpUntil([&] { return boxed() || fs::exists(opened); }, std::chrono::seconds(10));
      ui::PumpUntil(boxed, std::chrono::milliseconds(300));  // a handler's late failure
    });
    const auto boxes = ui::headless::MessageBoxes();
    if (fs::exists(opened)) {
      std::string text;
      std::getline(std::ifstream(opened), text);
      EXPECT_EQ(text, "http://maker/tovrane");
      EXPECT_TRUE(boxes.empty());
      continue;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "无法打开网址：http://maker/tovrane\n"
              "请安装 xdg-utils 并设置默认浏览器，或把网址复制到浏览器中打开。")
        << Show(boxes[0].text);
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONSTOP);
  }
}

TEST_F(MainWindowTest, BannerIsRedOnLightGreyAndOtherControlsKeepTheirColours) {
  RunMainWindow([&](MainDlg& dlg) {
    CDC dc;
    HBRUSH brush = dlg.CtlColorFor(dlg.GetDlgItem(IDC_MAIN_BANNER), &dc);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(CBrush::FromHandle(brush)->Color(), RGB(245, 245, 245));
    EXPECT_EQ(dc.text, RGB(255, 0, 0));
    EXPECT_EQ(dc.bk_mode, TRANSPARENT);

    CDC other;
    EXPECT_EQ(dlg.CtlColorFor(&dlg.m_Tab, &other), nullptr);
    EXPECT_FALSE(other.text_set);
  });
}

// The pages' OK and Cancel buttons ("停止同步", "确定", "取消") must not end a
// page: it would vanish from its tab for good.
TEST_F(MainWindowTest, PageButtonsWithTheOkAndCancelIdsNeverClosePages) {
  RunMainWindow([&](MainDlg& dlg) {
    struct Press {
      CDialog* page;
      int tab;
      int id;
    };
    for (const Press& p : {Press{&dlg.m_TongBu, 1, IDCANCEL}, Press{&dlg.m_DangDangTongBu, 2, IDOK},
                           Press{&dlg.m_QuChongFu, 3, IDOK}, Press{&dlg.m_QuChongFu, 3, IDCANCEL}}) {
      dlg.m_Tab.UserSelect(p.tab);
      dynamic_cast<CButton&>(*p.page->GetDlgItem(p.id)).UserClick();
      EXPECT_TRUE(p.page->IsWindow()) << p.tab << "/" << p.id;
      EXPECT_TRUE(p.page->IsWindowVisible()) << p.tab << "/" << p.id;
    }
    EXPECT_TRUE(dlg.IsModalRunning());

    // The option groups start at their first choice.
    const int radios[] = {IDC_SYNC_NO_ACTION, IDC_SYNC_DELIST, IDC_SYNC_DELETE};
    for (int i = 0; i < 3; ++i) {
      auto& radio = dynamic_cast<CButton&>(*dlg.m_TongBu.GetDlgItem(radios[i]));
      EXPECT_EQ(radio.GetCheck(), i == 0 ? BST_CHECKED : BST_UNCHECKED) << radios[i];
    }
    EXPECT_EQ(dynamic_cast<CButton&>(*dlg.m_DangDangTongBu.GetDlgItem(IDC_DD_REGION_OUT_IF_ANY))
                  .GetCheck(),
              BST_CHECKED);
    EXPECT_EQ(dynamic_cast<CButton&>(*dlg.m_DangDangTongBu.GetDlgItem(IDC_DD_REGION_IN_IF_ANY))
                  .GetCheck(),
              BST_UNCHECKED);
  });
}

// ---- tabs and the page rectangle ---------------------------------------------

TEST_F(MainWindowTest, SelectingTabTwoShowsThePricingPageOnThePageRectangle) {
  RunMainWindow([&](MainDlg& dlg) {
    RECT client;
    dlg.m_Tab.GetClientRect(&client);
    const CRect expected(client.left + 1, client.top + 25, client.right - 1, client.bottom - 1);
    EXPECT_EQ(dlg.PageRect(), expected);
    ASSERT_GT(expected.Width(), 0);
    ASSERT_GT(expected.Height(), 0);

    dlg.m_Tab.UserSelect(2);

    CDialog* pages[] = {&dlg.m_TaoBao, &dlg.m_TongBu, &dlg.m_DangDangTongBu, &dlg.m_QuChongFu};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(pages[i]->IsWindowVisible(), i == 2) << i;
      EXPECT_EQ(pages[i]->Rect(), expected) << i;
    }

    // Back and forth: pages keep their state, nothing is re-created.
    dlg.m_TongBu.m_SyncList.InsertItem(0, "kept");
    dlg.m_Tab.UserSelect(1);
    dlg.m_Tab.UserSelect(3);
    EXPECT_TRUE(dlg.m_QuChongFu.IsWindowVisible());
    EXPECT_FALSE(dlg.m_TongBu.IsWindowVisible());
    EXPECT_EQ(dlg.m_TongBu.m_SyncList.GetItemCount(), 1);
  });
}

TEST_F(MainWindowTest, SelectionOutsideZeroToThreeChangesNothing) {
  RunMainWindow([&](MainDlg& dlg) {
    CDialog* pages[] = {&dlg.m_TaoBao, &dlg.m_TongBu, &dlg.m_DangDangTongBu, &dlg.m_QuChongFu};
    dlg.m_Tab.UserSelect(1);
    dlg.m_QuChongFu.MoveWindow(3, 4, 50, 60);
    auto snapshot = [&] {
      std::vector<std::pair<bool, CRect>> s;
      for (CDialog* p : pages) s.emplace_back(p->IsWindowVisible() != FALSE, p->Rect());
      return s;
    };
    const auto before = snapshot();

    dlg.m_Tab.InsertItem(4, "第五页");
    dlg.m_Tab.UserSelect(4);
    EXPECT_EQ(snapshot(), before);

    dlg.m_Tab.SetCurSel(-1);
    NMHDR header;
    header.code = TCN_SELCHANGE;
    LRESULT result = 0;
    dlg.OnTabSelChange(&header, &result);
    EXPECT_EQ(snapshot(), before);
  });
}

// ---- keys ------------------------------------------------------------------------

TEST_F(MainWindowTest, KeysMoveOverThePageShownAndPressItsButtons) {
  using Key = ui::DialogKey;
  RunMainWindow([&](MainDlg& dlg) {
    // Tab and Shift+Tab: the shown page's visible, enabled tab stops in
    // template order, round again; from the tab control, or from a control
    // of a page hidden since, the walk starts on the page shown.
    const struct {
      int tab;
      CWnd* from;
      Key key;
      std::vector<int> ids;
    } walks[] = {
        {2, &dlg.m_Tab, Key::Tab,
         {IDOK, IDC_DD_RULE_TYPE, IDC_DD_USE_KEYWORD, IDC_DD_USE_PRICE, IDC_DD_USE_ALL_PRODUCTS,
          IDC_DD_RULE_MATCH, IDC_DD_QIANGGOUJIA, IDC_DD_RULE_DISCOUNT, IDC_DD_RULE_MARKUP,
          IDC_DD_ADD_RULE, IDC_DD_REGION_OUT_IF_ANY, IDC_DD_REGION_IN_IF_ANY, IDC_DD_RULE_LIST,
          IDC_DD_REGION_LIST, IDC_DD_YUANJIAZHE, IDC_DD_SHIYONGZHE, IDC_DD_FLOOR_5,
          IDC_DD_PRODUCT_NO, IDC_DD_CHECK_STOCK, IDOK}},
        {2, &dlg.m_Tab, Key::BackTab, {IDC_DD_CHECK_STOCK, IDC_DD_PRODUCT_NO}},
        // "开始同步" is disabled, the category buttons hidden, and of the
        // radio group only its first button is a tab stop.
        {1, dlg.m_TaoBao.GetDlgItem(IDC_TB_KEYWORD), Key::Tab,
         {IDC_SYNC_SITE, IDC_SYNC_THREADS, IDC_SYNC_PROCESS_TYPE, IDC_SYNC_LIST_WHEN_IN_STOCK,
          IDC_SYNC_UPDATE_STOCK, IDC_SYNC_STOCK_COUNT, IDC_SYNC_NO_ACTION, IDC_SYNC_RESULT_LIST,
          IDC_SYNC_ANALYSED, IDC_SYNC_NEED_UPDATE, IDC_SYNC_CURRENT_ROW, IDCANCEL, IDC_SYNC_SITE}},
    };
    for (const auto& walk : walks) {
      dlg.m_Tab.UserSelect(walk.tab);
      CWnd* focus = walk.from;
      for (int id : walk.ids) {
        CWnd* next = nullptr;
        ASSERT_TRUE(ui::HandleDialogKey(focus, walk.key, &next));
        ASSERT_NE(next, nullptr) << id;
        EXPECT_EQ(next->GetDlgCtrlID(), id);
        focus = next;
      }
    }

    // Enter presses the focused button, else the default one ("确定":
    // "保存成功"); the context-menu key opens the menu of the selected row
    // only, as a right click; Escape leaves the page as it is: neither a
    // disabled "停止同步" nor an enabled one with no run is pressed.
    DangDangTongBu& pricing = dlg.m_DangDangTongBu;
    pricing.GetDlgItem(IDC_DD_RULE_MATCH)->SetWindowText("0-88");
    pricing.GetDlgItem(IDC_DD_RULE_DISCOUNT)->SetWindowText("9");  // "添加" takes no empty one
    ui::headless::ScriptPopupCommands({ID_DELETE_RULE});
    dlg.m_TongBu.m_StopButton.EnableWindow(FALSE);
    const struct {
      CDialog* page;
      int tab, focus_id;
      Key key;
      int select_row, rules;
      size_t boxes, menus;
      BOOL stop_enabled = FALSE;
    } presses[] = {
        {&pricing, 2, IDC_DD_ADD_RULE, Key::Enter, -1, 1, 0, 0},
        {&pricing, 2, IDC_DD_RULE_MATCH, Key::Enter, -1, 1, 1, 0},
        {&pricing, 2, IDC_DD_RULE_LIST, Key::ContextMenu, -1, 1, 1, 0},
        {&pricing, 2, IDC_DD_RULE_LIST, Key::ContextMenu, 0, 0, 1, 1},
        {&pricing, 2, IDC_DD_RULE_MATCH, Key::Escape, -1, 0, 1, 1},
        {&dlg.m_TongBu, 1, IDC_SYNC_RESULT_LIST, Key::Escape, -1, 0, 1, 1},
        {&dlg.m_TongBu, 1, IDC_SYNC_RESULT_LIST, Key::Escape, -1, 0, 1, 1, TRUE},
    };
    for (const auto& p : presses) {
      dlg.m_Tab.UserSelect(p.tab);
      if (p.select_row >= 0) pricing.m_RuleList.UserSelect(p.select_row);
      dlg.m_TongBu.m_StopButton.EnableWindow(p.stop_enabled);
      CWnd* next = nullptr;
      EXPECT_TRUE(ui::HandleDialogKey(p.page->GetDlgItem(p.focus_id), p.key, &next));
      ui::RunPending();  // the command a menu chose comes posted
      EXPECT_EQ(next, nullptr);
      EXPECT_EQ(pricing.m_RuleList.GetItemCount(), p.rules) << p.focus_id;
      EXPECT_EQ(ui::headless::MessageBoxes().size(), p.boxes) << p.focus_id;
      EXPECT_EQ(ui::headless::PopupMenusShown().size(), p.menus) << p.focus_id;
      EXPECT_TRUE(p.page->IsWindowVisible()) << p.focus_id;
    }
    EXPECT_EQ(ui::headless::MessageBoxes()[0].text, "保存成功");
    EXPECT_FALSE(dlg.m_TongBu.m_StartButton.IsWindowEnabled());
    EXPECT_TRUE(dlg.m_TongBu.m_StopButton.IsWindowEnabled());
    EXPECT_TRUE(dlg.IsModalRunning());
  });
}

// ---- menu commands -------------------------------------------------------------

TEST_F(MainWindowTest, CancelInEitherConfirmationChangesNothingAndShowsNothingMore) {
  InsertRows();
  RunMainWindow([&](MainDlg& dlg) {
    struct Question {
      int command;
      const char* text;
    };
    for (const Question& q : {Question{ID_CLEAR_DATABASE, "你要清空数据库吗？"},
                              Question{ID_SET_ALL_NOT_UPDATED,
                                       "你确定要将数据库全部设置为未更新状态吗？"}}) {
      ui::headless::ClearMessageBoxes();
      ui::headless::ScriptMessageBoxAnswers({IDCANCEL});
      Command(dlg, q.command);
      const auto boxes = ui::headless::MessageBoxes();
      ASSERT_EQ(boxes.size(), 1u) << q.command;
      EXPECT_EQ(boxes[0].text, q.text);
      EXPECT_EQ(boxes[0].caption, g_SoftName);
      EXPECT_EQ(boxes[0].type, MB_OKCANCEL | MB_ICONWARNING);
      EXPECT_EQ(boxes[0].owner, dlg.m_hWnd);
    }
  });
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "3");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems WHERE IsUpdate='1'"), "2");
}

TEST_F(MainWindowTest, ConfirmedCommandsRunTheirStatementAndSayDone) {
  InsertRows();
  RunMainWindow([&](MainDlg& dlg) {
    ui::headless::ScriptMessageBoxAnswers({IDOK, IDOK});
    Command(dlg, ID_SET_ALL_NOT_UPDATED);
    EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems WHERE IsUpdate='0'"), "3");
    EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "3");

    ui::headless::ClearMessageBoxes();
    ui::headless::ScriptMessageBoxAnswers({IDOK, IDOK});
    Command(dlg, ID_CLEAR_DATABASE);
    EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), "0");
    const auto boxes = ui::headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "成功清空");
    EXPECT_EQ(boxes[1].caption, AfxGetAppName());
    EXPECT_EQ(boxes[1].type, MB_OK | MB_ICONWARNING);
  });
}

// The close box while a save of 20,000 rows writes: the window stays, its
// item page showing the save's progress, until every row is stored; then
// the program ends.
TEST_F(MainWindowTest, TheCloseBoxWaitsForTheSaveUnderWay) {
  constexpr int kRows = 20000;
  bool open_while_saving = false;
  CString progress;
  ui::headless::ScriptModal([&](CDialog& main) {
    auto& dlg = static_cast<MainDlg&>(main);
    CListCtrl& list = dlg.m_TaoBao.m_ItemList;
    for (int i = 0; i < kRows; ++i) {
      list.InsertRow(i, {std::to_string(i).c_str(), std::to_string(600000 + i).c_str(), "20000000",
                         "9.90"});
    }
    dlg.m_TaoBao.SendMessage(WM_COMMAND, MAKEWPARAM_(ID_SAVE_DATA, 0), 0);
    dlg.SendMessage(WM_CLOSE, 0, 0);
    const CStatic& status = dlg.m_TaoBao.m_SaveStatusText;
    ui::PumpUntil([&] { return status.GetWindowText().Left(10) == "已经保存第"; },
                  std::chrono::seconds(20));
    progress = status.GetWindowText();
    open_while_saving = dlg.IsModalRunning();
  });
  MainDlg dlg;
  dlg.DoModal();
  EXPECT_TRUE(open_while_saving);
  EXPECT_EQ(progress.Left(10), "已经保存第");
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), std::to_string(kRows).c_str());
}

TEST_F(MainWindowTest, CountCommandWritesTheRowCountIntoTheItemPage) {
  InsertRows();
  RunMainWindow([&](MainDlg& dlg) {
    Command(dlg, ID_COUNT_RECORDS);
    EXPECT_EQ(dlg.m_TaoBao.m_TotalCountEdit.GetWindowText(), "3");
    EXPECT_EQ(dlg.m_TaoBao.GetDlgItem(IDC_TB_TOTAL_COUNT)->GetWindowText(), "3");
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
  });
}

TEST_F(MainWindowTest, LoginCommandRunsTheSignInDialogModally) {
  UINT shown = 0;
  RunMainWindow([&](MainDlg& dlg) {
    ui::headless::ScriptModal([&](CDialog& web) {
      shown = web.TemplateId();
      web.EndDialog(IDCANCEL);
    });
    Command(dlg, ID_LOGIN_TAOBAO);
  });
  EXPECT_EQ(shown, static_cast<UINT>(IDD_Q_WEB));
}

// ---- the application ------------------------------------------------------------

TEST_F(MainWindowTest, InitInstanceRunsTheMainWindowAndReturnsFalse) {
  CWnd* main_window = nullptr;
  UINT template_id = 0;
  ui::headless::ScriptModal([&](CDialog& dlg) {
    main_window = AfxGetApp()->m_pMainWnd;
    template_id = dlg.TemplateId();
    EXPECT_EQ(main_window, &dlg);
    dlg.EndDialog(IDOK);
  });
  EXPECT_EQ(theApp.InitInstance(), FALSE);
  EXPECT_NE(main_window, nullptr);
  EXPECT_EQ(template_id, static_cast<UINT>(IDD_MAINDLG));
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  EXPECT_EQ(theApp.m_dwRestartManagerSupportFlags, 1u);
}

}  // namespace
