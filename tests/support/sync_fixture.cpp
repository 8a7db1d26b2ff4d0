#include "tests/support/sync_fixture.h"

#include <sqlite3.h>

#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "store/item_db.h"
#include "tests/support/page_globals.h"
#include "tests/support/sign_in.h"

namespace support {

void SyncFixture::SetUp() {
  ui::SetUiThread();
  ui::headless::Reset();
  g_CookieBuffer[0] = '\0';
  server_ = std::make_unique<sites::SiteServer>();
  market_ = std::make_unique<sites::Marketplace>(*server_);
  centre_ = std::make_unique<sites::SellerCentre>(*server_, market_.get());
  books_ = std::make_unique<sites::Bookstores>(*server_, centre_.get(), market_.get());
  folder_ = std::make_unique<sites::TestProgramFolder>();
  auto keys = market_->HostKeys();
  for (const auto& [key, host] : books_->HostKeys()) keys[key] = host;
  sites::WriteHostsIni(*folder_, *server_, keys);
  SignIn();

  taobao_ = std::make_unique<TaoBao>();
  tongbu_ = std::make_unique<TongBu>();
  pricing_ = std::make_unique<DangDangTongBu>();
  ASSERT_TRUE(taobao_->Create(TaoBao::IDD, nullptr));
  ASSERT_TRUE(tongbu_->Create(TongBu::IDD, nullptr));
  ASSERT_TRUE(pricing_->Create(DangDangTongBu::IDD, nullptr));
  ui::headless::ClearMessageBoxes();
}

void SyncFixture::TearDown() {
  // Running workers would reach the pages' controls.
  if (taobao_) taobao_->m_SearchButton.EnableWindow(TRUE);
  if (tongbu_) tongbu_->m_StartButton.EnableWindow(TRUE);
  EXPECT_TRUE(WaitWorkers());
  for (CDialog* page : {static_cast<CDialog*>(pricing_.get()), static_cast<CDialog*>(tongbu_.get()),
                        static_cast<CDialog*>(taobao_.get())}) {
    if (page) page->DestroyWindow();
  }
  pricing_.reset();
  tongbu_.reset();
  taobao_.reset();
  ui::RunPending();
  ForgetPageGlobals();
  g_CookieBuffer[0] = '\0';
  g_LoggedIn = 0;
  books_.reset();
  centre_.reset();
  market_.reset();
  server_.reset();
  folder_.reset();
  ReloadHosts();
}

void SyncFixture::SignIn() { support::SignInThroughDialog(); }

bool SyncFixture::Download(const std::vector<sites::ShopItem>& items) {
  centre_->SetItems(items);
  // After a download the user presses "停止搜索" before searching again.
  if (!taobao_->m_SearchButton.IsWindowEnabled()) taobao_->m_StopButton.UserClick();
  taobao_->m_ItemSetCombo.UserSelect(1);  // "出售中的宝贝"
  const int before = BoxesWithText("全部下载完毕！");
  taobao_->m_SearchButton.UserClick();
  if (!PumpUntil([&] { return BoxesWithText("全部下载完毕！") > before; })) return false;
  return WaitWorkers();
}

void SyncFixture::AddAllProductsRule(const char* discount, const char* markup) {
  CListCtrl& rules = pricing_->m_RuleList;
  const int row = rules.GetItemCount();
  rules.InsertRow(row, {std::to_string(row + 1).c_str(), "所有商品", "", discount, markup});
  rules.SetCheck(row, TRUE);
  pricing_->m_UseAllProductsCheck.SetCheck(BST_CHECKED);
}

void SyncFixture::SetSalePrice(const sites::ShopItem& item, const std::string& sale) {
  sites::BookProduct product = sites::DangdangProductFor(item);
  product.sale = sale;
  books_->SetProduct(product);
}

bool SyncFixture::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return ui::PumpUntil(done, limit);
}

bool SyncFixture::WaitWorkers(std::chrono::seconds limit) { return WaitWorkersAndPosts(limit); }

bool SyncFixture::WaitSyncDone(int before, const char* text) {
  if (!PumpUntil([&] { return BoxesWithText(text) > before; })) return false;
  return WaitWorkers();
}

int SyncFixture::BoxesWithText(const char* text) const {
  int count = 0;
  for (const auto& box : ui::headless::MessageBoxes()) count += box.text == text ? 1 : 0;
  return count;
}

std::vector<SyncFixture::ResultRow> SyncFixture::Results() const {
  std::vector<ResultRow> rows;
  const CListCtrl& list = tongbu_->m_SyncList;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    CListCtrl::RowView view;
    if (!list.GetRowView(i, view)) break;
    ResultRow row;
    for (int c = 0; c < 8; ++c) row.cells.push_back(c < static_cast<int>(view.cells.size()) ? view.cells[c].str() : "");
    row.ticked = view.checked;
    rows.push_back(row);
  }
  return rows;
}

std::vector<sites::OperationForm> SyncFixture::PriceEdits() const {
  std::vector<sites::OperationForm> edits;
  for (const auto& form : centre_->OperationForms()) {
    if (form.path == "/auction/merchandise/auction_list.json") edits.push_back(form);
  }
  return edits;
}

std::vector<sites::OperationForm> SyncFixture::Deletes() const {
  std::vector<sites::OperationForm> deletes;
  for (const auto& form : centre_->OperationForms()) {
    if (form.Field("event_submit_do_delete") == "1") deletes.push_back(form);
  }
  return deletes;
}

std::vector<ItemDbRow> ItemDbRows() {
  std::vector<ItemDbRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(ItemDbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT TbId, DDID, Price, IsUpdate FROM DDItems ORDER BY ID", -1,
                       &statement, nullptr);
    auto text = [&](int column) {
      const unsigned char* value = sqlite3_column_text(statement, column);
      return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
      rows.push_back({text(0), text(1), text(2), text(3)});
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return rows;
}

std::string ItemDbIntegrity() {
  std::string result = "(not opened)";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(ItemDbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
    if (statement && sqlite3_step(statement) == SQLITE_ROW)
      result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return result;
}

}  // namespace support
