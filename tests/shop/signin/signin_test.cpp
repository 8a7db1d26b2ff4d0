// The sign-in dialog and the item page against the local marketplace,
// headless: the browser of the sign-in dialog fetches the login page through
// the internet layer, so the session cookies land in the shared store as the
// real browser's do.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/cookies.h"
#include "platform/text/codepage.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/headless/headless.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "shop/Q_Web.h"
#include "shop/TaoBao.h"
#include "store/item_db.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/site_server.h"
#include "tests/support/page_globals.h"

namespace {

using ui::headless::MessageBoxes;

std::string Show(const CString& gbk) { return GbkToUtf8(gbk.str()); }
// Expected texts, written here in GBK literals, as UTF-8 for comparing and printing.
std::string U(const char* gbk) { return GbkToUtf8(gbk); }
std::vector<std::string> U(std::initializer_list<const char*> gbk) {
  std::vector<std::string> out;
  for (const char* t : gbk) out.push_back(GbkToUtf8(t));
  return out;
}

const char kSignedInStatus[] = "VorlupTovrane----淘宝账户状态：登陆成功";
const char kSignedOutStatus[] = "VorlupTovrane----淘宝账户状态：登陆失败";

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

sites::MarketAccount SecondAccount() {
  sites::MarketAccount account;
  account.nick = "青山书屋";
  account.categories = {{"哲学", "2001", {{"西方哲学", "2101", {}}}}};
  return account;
}

class SignInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::RunPending();
    ui::headless::Reset();
    ClearCookieStore();
    std::memset(g_CookieBuffer, 0, sizeof g_CookieBuffer);
    g_LoggedIn = 0;
    ui::SetStatusText("");
    server_ = std::make_unique<sites::SiteServer>();
    market_ = std::make_unique<sites::Marketplace>(*server_);
    folder_ = std::make_unique<sites::TestProgramFolder>();
    sites::WriteHostsIni(*folder_, *server_, market_->HostKeys());
  }

  void TearDown() override {
    if (page_) page_->DestroyWindow();
    page_.reset();
    ui::RunPending();
    ui::headless::Reset();
    support::ForgetPageGlobals();
    g_CookieBuffer[0] = '\0';
    ClearCookieStore();
    market_.reset();
    server_.reset();
    folder_.reset();
    ReloadHosts();
  }

  // Runs the sign-in dialog; `action` acts on it once it is up. Returns the
  // dialog's result.
  std::intptr_t RunSignIn(std::function<void(Q_Web&)> action) {
    ui::headless::ScriptModal([action](CDialog& dialog) { action(static_cast<Q_Web&>(dialog)); });
    Q_Web dialog;
    return dialog.DoModal();
  }
  // The user presses "确定" / "取消" as a click on the button.
  static void Press(CDialog& dialog, int id) {
    auto* button = dynamic_cast<CButton*>(dialog.GetDlgItem(id));
    ASSERT_NE(button, nullptr);
    button->UserClick();
  }
  std::intptr_t SignIn() {
    return RunSignIn([](Q_Web& dialog) { Press(dialog, IDOK); });
  }

  void CreatePage() {
    page_ = std::make_unique<TaoBao>();
    ASSERT_TRUE(page_->Create(TaoBao::IDD, nullptr));
  }

  // The page has published its controls for the workers and the other pages.
  void ExpectPublishedControls() const {
    EXPECT_EQ(g_ItemList, &page_->m_ItemList);
    EXPECT_EQ(g_ItemSetCombo, &page_->m_ItemSetCombo);
    EXPECT_EQ(g_CategoryTree, &page_->m_CategoryTree);
    EXPECT_EQ(g_SearchButton, &page_->m_SearchButton);
    EXPECT_EQ(g_SaveStatusText, &page_->m_SaveStatusText);
    EXPECT_EQ(g_UpShelfStatusText, &page_->m_UpShelfStatusText);
    EXPECT_EQ(g_ItemCountEdit, &page_->m_ItemCountEdit);
    EXPECT_EQ(g_UpShelfWaitEdit, &page_->m_UpShelfWaitEdit);
    EXPECT_EQ(g_TotalCountEdit, &page_->m_TotalCountEdit);
    EXPECT_EQ(g_TaoBaoHwnd, page_->GetSafeHwnd());
  }

  std::vector<std::string> TreeTexts(HTREEITEM parent) const {
    std::vector<std::string> texts;
    const CTreeCtrl& tree = page_->m_CategoryTree;
    HTREEITEM item = parent == TVI_ROOT ? tree.GetRootItem() : tree.GetChildItem(parent);
    for (; item; item = tree.GetNextSiblingItem(item)) texts.push_back(Show(tree.GetItemText(item)));
    return texts;
  }
  HTREEITEM RootItem(const char* gbk_text) const {
    const CTreeCtrl& tree = page_->m_CategoryTree;
    for (HTREEITEM item = tree.GetRootItem(); item; item = tree.GetNextSiblingItem(item)) {
      if (tree.GetItemText(item) == gbk_text) return item;
    }
    return nullptr;
  }
  // Message boxes shown since the last reset, as UTF-8 texts.
  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : MessageBoxes()) texts.push_back(Show(box.text));
    return texts;
  }

  std::unique_ptr<sites::SiteServer> server_;
  std::unique_ptr<sites::Marketplace> market_;
  std::unique_ptr<sites::TestProgramFolder> folder_;
  std::unique_ptr<TaoBao> page_;
};

// ---- the sign-in dialog ------------------------------------------------------------

TEST_F(SignInTest, DialogShowsTheLoginPageUnderTheProductTitle) {
  CString title;
  CString location;
  std::intptr_t result = RunSignIn([&](Q_Web& dialog) {
    title = dialog.GetWindowText();
    location = dialog.m_Explorer.LocationURL();
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(Show(title), "VorlupTovrane");
  EXPECT_EQ(Show(location), "https://" + market_->LoginHost() + "/");
  EXPECT_EQ(market_->LoginVisits(), 1);
}

TEST_F(SignInTest, ConfirmTakesTheDomainCookiesWithHttpOnlyAndChecksTheSellerPage) {
  EXPECT_EQ(SignIn(), IDOK);
  std::string cookies = g_CookieBuffer;
  EXPECT_NE(cookies.find("cookie2="), std::string::npos) << "the HttpOnly session cookie";
  EXPECT_NE(cookies.find("tracknick=" + sites::TrackNickValue("书香小店") + ";"), std::string::npos)
      << cookies;
  EXPECT_NE(cookies.find("_tb_token_="), std::string::npos);
  EXPECT_EQ(cookies.find("lgc="), std::string::npos) << "a cookie of the login host alone";
  EXPECT_EQ(g_LoggedIn.load(), 1);
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedInStatus));
  EXPECT_TRUE(MessageBoxes().empty());
  // The check asked the upload host for the seller page.
  bool asked = false;
  for (const auto& r : server_->Requests()) {
    if (r.path == "/auction/sell.jhtml") {
      asked = true;
      EXPECT_EQ(r.scheme, "http");
      EXPECT_NE(r.raw_head.find("Host: " + market_->UploadHost()), std::string::npos);
    }
  }
  EXPECT_TRUE(asked);
}

TEST_F(SignInTest, ConfirmWithoutASessionClosesTheDialogSignedOut) {
  std::intptr_t result = RunSignIn([this](Q_Web& dialog) {
    market_->ExpireSessions();  // the user never finished signing in
    Press(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(g_LoggedIn.load(), 0);
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedOutStatus));
}

TEST_F(SignInTest, StatusAlsoGoesToTheItemPageWindowText) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  ASSERT_EQ(SignIn(), IDOK);
  EXPECT_EQ(Show(page_->GetWindowText()), U(kSignedInStatus));
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedInStatus));
}

TEST_F(SignInTest, CancelLeavesCookiesFlagAndDatabaseAlone) {
  ASSERT_EQ(SignIn(), IDOK);
  const std::string cookies = g_CookieBuffer;
  const std::string db_path = ItemDbPath();
  ui::SetStatusText("unchanged");

  market_->SetAccount(SecondAccount());
  std::intptr_t result = RunSignIn([](Q_Web& dialog) { Press(dialog, IDCANCEL); });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(market_->LoginVisits(), 2) << "the second account's page was shown";
  EXPECT_EQ(std::string(g_CookieBuffer), cookies);
  EXPECT_EQ(g_LoggedIn.load(), 1);
  EXPECT_EQ(ItemDbPath(), db_path);
  EXPECT_EQ(ui::GetStatusText(), CString("unchanged"));
}

TEST_F(SignInTest, SecondSignInWithAnotherAccountMovesToThatAccountsDatabase) {
  ASSERT_EQ(SignIn(), IDOK);
  const std::string first_cookies = g_CookieBuffer;
  const std::string first_db = ItemDbPath();
  ExecItemSql("INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES ('1','20000001','9.90','0')");
  ASSERT_TRUE(FileExists(first_db));

  market_->SetAccount(SecondAccount());
  ASSERT_EQ(SignIn(), IDOK);
  const std::string second_cookies = g_CookieBuffer;
  EXPECT_NE(second_cookies, first_cookies);
  EXPECT_NE(second_cookies.find("tracknick=" + sites::TrackNickValue("青山书屋") + ";"),
            std::string::npos)
      << second_cookies;
  EXPECT_EQ(second_cookies.find(sites::TrackNickValue("书香小店")), std::string::npos);
  // Every pair of the old text is gone or has its new value.
  size_t session_at = first_cookies.find("cookie2=");
  ASSERT_NE(session_at, std::string::npos);
  std::string old_session = first_cookies.substr(session_at, first_cookies.find(';', session_at) - session_at);
  EXPECT_EQ(second_cookies.find(old_session), std::string::npos);

  const std::string second_db = ItemDbPath();
  EXPECT_NE(second_db, first_db);
  EXPECT_NE(second_db.find(GbkToUtf8("青山书屋") + ".db"), std::string::npos) << second_db;
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), CString("0"));
  EXPECT_TRUE(FileExists(second_db));
  // The first account's rows are still in its own file.
  std::memcpy(g_CookieBuffer, first_cookies.c_str(), first_cookies.size() + 1);
  EXPECT_EQ(QueryItemScalar("SELECT COUNT(*) FROM DDItems"), CString("1"));
}

TEST_F(SignInTest, NetworkFailureInTheCheckKeepsTheDialogOpen) {
  ui::SetStatusText("before");
  bool still_open = false;
  std::string cookies_after_press;
  std::intptr_t result = RunSignIn([&](Q_Web& dialog) {
    server_->SetRefuse(true);
    Press(dialog, IDOK);
    still_open = dialog.IsModalRunning();
    cookies_after_press = g_CookieBuffer;
    server_->SetRefuse(false);
    Press(dialog, IDCANCEL);
  });
  EXPECT_TRUE(still_open);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(g_LoggedIn.load(), 0);
  EXPECT_EQ(ui::GetStatusText(), CString("before"));
  // The cookies were copied before the check failed.
  EXPECT_NE(cookies_after_press.find("cookie2="), std::string::npos);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].type & MB_ICONMASK, MB_ICONSTOP);
  // It says what could not be reached, and where.
  EXPECT_EQ(MessageBoxes()[0].text.Find("无法连接淘宝卖家页面（"), 0)
      << Show(MessageBoxes()[0].text);
  EXPECT_GT(MessageBoxes()[0].text.Find("），未能检查登录状态：无法与服务器建立连接"), 0);
}

TEST_F(SignInTest, CookiesBeyond8192BytesLeaveTheOldText) {
  ASSERT_EQ(SignIn(), IDOK);
  const std::string cookies = g_CookieBuffer;
  for (int i = 0; i < 4; ++i) {
    CookieRecord big;
    big.name = "big" + std::to_string(i);
    big.value = std::string(2500, 'a' + i);
    // Host-only cookies of the www host: in the text the dialog reads, but
    // not sent to the upload host, whose server would refuse so long a head.
    big.domain = std::string("www.") + sites::kTestDomain;
    ASSERT_TRUE(AddCookieToStore(big));
  }
  EXPECT_EQ(SignIn(), IDOK);
  EXPECT_EQ(std::string(g_CookieBuffer), cookies);
  EXPECT_EQ(g_LoggedIn.load(), 1) << "the check goes on with the store's cookies";
}

// ---- the item page -------------------------------------------------------------

TEST_F(SignInTest, PageStartsWithItsListCombosGlobalsAndCategories) {
  ASSERT_EQ(SignIn(), IDOK);
  g_LoggedIn = 0;
  CreatePage();
  EXPECT_EQ(g_LoggedIn.load(), 1) << "the page checks the sign-in itself";
  EXPECT_TRUE(MessageBoxes().empty());

  const CListCtrl& list = page_->m_ItemList;
  ASSERT_EQ(list.GetColumnCount(), 4);
  const char* headers[] = {"编号", "淘宝商品ID", "商家编码", "价格"};
  const int widths[] = {50, 100, 100, 50};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(Show(list.GetColumn(c).heading), U(headers[c]));
    EXPECT_EQ(list.GetColumn(c).width, widths[c]);
    EXPECT_EQ(list.GetColumn(c).format, LVCFMT_CENTER);
  }
  EXPECT_EQ(list.GetExtendedStyle(), 0x225u);

  CComboBox& set = page_->m_ItemSetCombo;
  ASSERT_EQ(set.GetCount(), 2);
  CString text;
  set.GetLBText(0, text);
  EXPECT_EQ(Show(text), U("仓库中的宝贝"));
  set.GetLBText(1, text);
  EXPECT_EQ(Show(text), U("出售中的宝贝"));
  EXPECT_EQ(set.GetCurSel(), 0);

  CComboBox& status = page_->m_StatusCombo;
  ASSERT_EQ(status.GetCount(), 5);
  const char* statuses[] = {"全部", "售完下架", "我下架的", "即将开始", "从未上架"};
  for (int i = 0; i < 5; ++i) {
    status.GetLBText(i, text);
    EXPECT_EQ(Show(text), U(statuses[i]));
  }
  EXPECT_EQ(status.GetCurSel(), 2);
  EXPECT_TRUE(status.IsWindowEnabled());

  ExpectPublishedControls();
  EXPECT_NE(g_TaoBaoHwnd, nullptr);

  EXPECT_EQ(TreeTexts(TVI_ROOT), U({"全部类目", "文学", "历史", "少儿"}));
}

TEST_F(SignInTest, ItemSetChoiceSwitchesTheStatusCombo) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  CComboBox& status = page_->m_StatusCombo;
  page_->m_ItemSetCombo.UserSelect(1);  // "出售中的宝贝"
  EXPECT_FALSE(status.IsWindowEnabled());
  EXPECT_EQ(status.GetCurSel(), 2) << "its selection stays";
  status.SetCurSel(0);
  page_->m_ItemSetCombo.UserSelect(0);  // "仓库中的宝贝"
  EXPECT_TRUE(status.IsWindowEnabled());
  EXPECT_EQ(status.GetCurSel(), 2) << "\"我下架的\" again";
}

TEST_F(SignInTest, ExpiredSessionGivesOnlyTheRootCategory) {
  ASSERT_EQ(SignIn(), IDOK);
  market_->ExpireSessions();
  CreatePage();
  EXPECT_EQ(g_LoggedIn.load(), 0);
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(TreeTexts(TVI_ROOT), U({"全部类目"}));
}

TEST_F(SignInTest, NetworkFailureAtStartIsShownOnceAndThePageIsStillSetUp) {
  ASSERT_EQ(SignIn(), IDOK);
  server_->SetRefuse(true);
  CreatePage();
  server_->SetRefuse(false);
  EXPECT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(g_LoggedIn.load(), 1) << "the flag stays as it was";
  ExpectPublishedControls();
  EXPECT_EQ(page_->m_StatusCombo.GetCurSel(), 2);
  EXPECT_TRUE(page_->m_StatusCombo.IsWindowEnabled());
  EXPECT_EQ(page_->m_CategoryTree.GetCount(), 0);

  // "获取分类" once the network is back fills the tree.
  page_->OnGetCategories();
  EXPECT_EQ(TreeTexts(TVI_ROOT), U({"全部类目", "文学", "历史", "少儿"}));
}

TEST_F(SignInTest, CategorySelectedTwiceShowsItsChildrenTwice) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  CTreeCtrl& tree = page_->m_CategoryTree;
  HTREEITEM history = RootItem("历史");
  HTREEITEM literature = RootItem("文学");
  ASSERT_NE(history, nullptr);
  ASSERT_NE(literature, nullptr);

  tree.UserSelect(history);
  std::vector<std::string> once = TreeTexts(history);
  // Its chunk runs from the "items" key of 文学 to its own: the names in it.
  EXPECT_EQ(once, U({"小说", "诗歌", "历史"}));
  EXPECT_TRUE(tree.IsWindowEnabled());

  tree.UserSelect(literature);
  tree.UserSelect(history);
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(TreeTexts(history), twice);

  // "全部类目" and a child carry no chunk: nothing is added.
  HTREEITEM all = RootItem("全部类目");
  tree.UserSelect(all);
  EXPECT_TRUE(TreeTexts(all).empty());
  HTREEITEM child = tree.GetChildItem(history);
  tree.UserSelect(child);
  EXPECT_TRUE(TreeTexts(child).empty());
  EXPECT_TRUE(tree.IsWindowEnabled());
}

TEST_F(SignInTest, GetCategoriesTwiceFromTheTreeMenuGivesTheSameTree) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  page_->m_CategoryTree.UserSelect(RootItem("文学"));  // children that must go
  const std::vector<std::string> expected = U({"全部类目", "文学", "历史", "少儿"});
  for (int round = 0; round < 2; ++round) {
    ui::headless::ScriptPopupCommands({ID_GET_CATEGORIES});
    page_->m_CategoryTree.UserRightClick(POINT{20, 20});
    ui::RunPending();
    EXPECT_EQ(TreeTexts(TVI_ROOT), expected) << "round " << round;
    EXPECT_TRUE(TreeTexts(RootItem("文学")).empty());
  }
  auto menus = ui::headless::PopupMenusShown();
  ASSERT_EQ(menus.size(), 2u);
  ASSERT_EQ(menus[0].size(), 1u);
  EXPECT_EQ(Show(menus[0][0]), U("获取分类"));
}

TEST_F(SignInTest, ClearOnAnEmptyListSetsZeroAndSaysSo) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  page_->m_ItemCountEdit.SetWindowText("17");
  ui::headless::ScriptPopupCommands({ID_CLEAR_LIST});
  page_->m_ItemList.UserRightClick(-1, POINT{30, 30});
  ui::RunPending();
  EXPECT_EQ(page_->m_ItemCountEdit.GetWindowText(), CString("0"));
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(Show(MessageBoxes()[0].text), U("成功清除！"));
  EXPECT_EQ(MessageBoxes()[0].type & MB_TYPEMASK, MB_OK);

  auto menus = ui::headless::PopupMenusShown();
  ASSERT_EQ(menus.size(), 1u);
  std::vector<std::string> items;
  for (const CString& t : menus[0]) items.push_back(Show(t));
  EXPECT_EQ(items, U({"清空", "全选", "全部取消", "保存数据", "导入全部数据",
                  "批量上架（仅用于大于1万的情况）", "导入未更新数据"}));
}

TEST_F(SignInTest, ClearCheckAllAndUncheckAllOnRows) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  CListCtrl& list = page_->m_ItemList;
  page_->OnCheckAll();  // an empty list is left alone
  for (int i = 0; i < 3; ++i) list.InsertRow(i, {"1", "520000000001", "20000001", "9.90"});
  list.SetCheck(1, TRUE);
  page_->OnCheckAll();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(list.GetCheck(i)) << i;
  page_->OnUncheckAll();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(list.GetCheck(i)) << i;
  page_->OnClearList();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(page_->m_ItemCountEdit.GetWindowText(), CString("0"));
}

TEST_F(SignInTest, StopSearchEnablesSearchAndBothCombos) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  page_->m_ItemSetCombo.UserSelect(1);  // "出售中的宝贝": status combo disabled
  page_->m_SearchButton.EnableWindow(FALSE);
  page_->m_StopButton.EnableWindow(TRUE);
  page_->m_ItemSetCombo.EnableWindow(FALSE);
  page_->m_StopButton.UserClick();
  EXPECT_TRUE(page_->m_SearchButton.IsWindowEnabled());
  EXPECT_FALSE(page_->m_StopButton.IsWindowEnabled());
  EXPECT_TRUE(page_->m_ItemSetCombo.IsWindowEnabled());
  EXPECT_TRUE(page_->m_StatusCombo.IsWindowEnabled());
  EXPECT_TRUE(page_->IsWindow()) << "the page never ends itself";
}

TEST_F(SignInTest, TestLoginSaysValidThenExpired) {
  ASSERT_EQ(SignIn(), IDOK);
  CreatePage();
  auto* test_button = dynamic_cast<CButton*>(page_->GetDlgItem(IDC_TB_TEST_LOGIN));
  ASSERT_NE(test_button, nullptr);

  test_button->UserClick();
  ASSERT_EQ(BoxTexts(), U({"登录有效"}));
  EXPECT_EQ(MessageBoxes()[0].type & MB_TYPEMASK, MB_OK);
  EXPECT_EQ(g_LoggedIn.load(), 1);
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedInStatus));
  EXPECT_EQ(Show(page_->GetWindowText()), U(kSignedInStatus));

  market_->ExpireSessions();
  test_button->UserClick();
  EXPECT_EQ(BoxTexts(), U({"登录有效", "登录失效"}));
  EXPECT_EQ(g_LoggedIn.load(), 0);
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedOutStatus));
  EXPECT_EQ(Show(page_->GetWindowText()), U(kSignedOutStatus));

  // A network failure: the error box, nothing else changes.
  server_->SetRefuse(true);
  test_button->UserClick();
  server_->SetRefuse(false);
  auto boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].type & MB_ICONMASK, MB_ICONSTOP);
  EXPECT_EQ(g_LoggedIn.load(), 0);
  EXPECT_EQ(Show(ui::GetStatusText()), U(kSignedOutStatus));
}

}  // namespace
