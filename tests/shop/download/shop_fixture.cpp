#include "tests/shop/download/shop_fixture.h"

#include <sqlite3.h>

#include <cstdlib>
#include <set>

#include "platform/thread/thread.h"
#include "services/globals.h"
#include "services/http.h"
#include "services/hosts.h"
#include "shop/item_download.h"
#include "store/item_db.h"
#include "tests/support/page_globals.h"
#include "tests/support/sign_in.h"

namespace shoptest {

void ShopFixture::SetUp() {
  ui::SetUiThread();
  ui::headless::Reset();
  g_CookieBuffer[0] = '\0';
  server_ = std::make_unique<sites::SiteServer>();
  market_ = std::make_unique<sites::Marketplace>(*server_);
  centre_ = std::make_unique<sites::SellerCentre>(*server_, market_.get());
  folder_ = std::make_unique<sites::TestProgramFolder>();
  sites::WriteHostsIni(*folder_, *server_, market_->HostKeys());
  SignIn();

  sync_start_.EnableWindow(FALSE);
  g_SyncStartButton = &sync_start_;
  page_ = std::make_unique<TaoBao>();
  ASSERT_TRUE(page_->Create(TaoBao::IDD, nullptr));
  ui::headless::ClearMessageBoxes();
}

void ShopFixture::TearDown() {
  // Workers still running would reach the page's controls.
  if (page_) page_->m_SearchButton.EnableWindow(TRUE);
  EXPECT_TRUE(WaitWorkers());
  if (page_) page_->DestroyWindow();
  page_.reset();
  ui::RunPending();
  support::ForgetPageGlobals();
  g_CookieBuffer[0] = '\0';
  centre_.reset();
  market_.reset();
  server_.reset();
  folder_.reset();
  ReloadHosts();
}

void ShopFixture::SignIn() { support::SignInThroughDialog(); }

void ShopFixture::ChooseItemSet(int index, const char* status) {
  page_->m_ItemSetCombo.UserSelect(index);
  if (index == 0) {
    int found = page_->m_StatusCombo.FindStringExact(-1, status);
    ASSERT_GE(found, 0);
    page_->m_StatusCombo.UserSelect(found);
  }
}

bool ShopFixture::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return ui::PumpUntil(done, limit);
}

bool ShopFixture::SearchAndWait(std::chrono::seconds limit) {
  page_->m_SearchButton.UserClick();
  // The search handler reset the count; the end box comes at the twentieth.
  if (!PumpUntil([&] { return g_DownloadDoneCount >= kWorkerCount; }, limit)) return false;
  return WaitWorkers(limit);
}

bool ShopFixture::WaitWorkers(std::chrono::seconds limit) { return support::WaitWorkersAndPosts(limit); }

std::vector<std::vector<std::string>> ShopFixture::ListRows() const {
  std::vector<std::vector<std::string>> rows;
  const CListCtrl& list = page_->m_ItemList;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    std::vector<std::string> row;
    for (int c = 0; c < 4; ++c) row.push_back(list.GetItemText(i, c).str());
    rows.push_back(row);
  }
  return rows;
}

std::map<std::string, int> ShopFixture::ListIdCounts() const {
  std::map<std::string, int> counts;
  for (const auto& row : ListRows()) ++counts[row[1]];
  return counts;
}

std::vector<DbRow> ShopFixture::DbRows() const {
  std::vector<DbRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(ItemDbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT ID, TbId, DDID, Price, IsUpdate FROM DDItems ORDER BY ID", -1,
                         &statement, nullptr) == SQLITE_OK) {
    auto text = [&](int column) {
      const unsigned char* value = sqlite3_column_text(statement, column);
      return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    while (sqlite3_step(statement) == SQLITE_ROW) {
      rows.push_back({text(0), text(1), text(2), text(3), text(4)});
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

int ShopFixture::BoxesWithText(const char* text) const {
  int count = 0;
  for (const auto& box : ui::headless::MessageBoxes()) {
    if (box.text == text) ++count;
  }
  return count;
}

std::vector<std::string> ShopFixture::BoxesStartingWith(const char* start) const {
  std::vector<std::string> texts;
  for (const auto& box : ui::headless::MessageBoxes()) {
    if (box.text.str().rfind(start, 0) == 0) texts.push_back(box.text.str());
  }
  return texts;
}

std::map<std::string, ExpectedItem> ExpectedItems(const std::vector<sites::ShopItem>& items) {
  std::map<std::string, ExpectedItem> expected;
  for (const sites::ShopItem& item : items) {
    switch (item.fault) {
      case sites::RowFault::kShortCode:
      case sites::RowFault::kNoStart:
        break;
      case sites::RowFault::kNoPrice:
        expected[item.id] = {item.id, item.code, ""};
        break;
      case sites::RowFault::kNoId:
        expected["(no id) " + item.code] = {"", item.code, item.price};
        break;
      default:
        expected[item.id] = {item.id, item.code, item.price};
    }
  }
  return expected;
}

bool OnSharedBound(const std::string& price) {
  const double value = std::strtod(price.c_str(), nullptr);
  for (int i = 1; i < 20; ++i) {
    if (value == sites::kBlockBoundsForTests[i]) return true;
  }
  return false;
}

}  // namespace shoptest
