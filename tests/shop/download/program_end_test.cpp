// The program's end while the item list downloads: closing the main window
// stops the download's workers and waits for them before the pages and their
// controls go away with it.
#include <gtest/gtest.h>

#include <chrono>

#include "app/MainDlg.h"
#include "app/TovraneApp.h"
#include "platform/thread/thread.h"
#include "shop/item_download.h"
#include "tests/shop/download/shop_fixture.h"

namespace shoptest {
namespace {

using Clock = std::chrono::steady_clock;

class ProgramEndTest : public ShopFixture {
 protected:
  void SetUp() override {
    ShopFixture::SetUp();
    // The main window makes the program's own item page.
    if (page_) page_->DestroyWindow();
    page_.reset();
  }

  int PageRequests() const {
    int pages = 0;
    for (const sites::ListRequest& request : centre_->ListRequests()) {
      if (!request.body.empty()) ++pages;
    }
    return pages;
  }
};

TEST_F(ProgramEndTest, ClosingTheMainWindowEndsTheDownloadBeforeThePagesGo) {
  centre_->SetItems(Shop(2000).Status("myOff").Items());
  // The seller centre keeps every list page a minute: when the window
  // closes, each worker is waiting inside its request.
  centre_->SetListDelay(std::chrono::minutes(1));

  int live_at_close = -1;
  Clock::time_point closed;
  ui::headless::ScriptModal([&](CDialog& dlg) {
    TaoBao& page = static_cast<MainDlg&>(dlg).m_TaoBao;
    page.m_SearchButton.UserClick();
    ASSERT_TRUE(PumpUntil([&] { return PageRequests() >= kWorkerCount; },
                          std::chrono::seconds(60)));
    live_at_close = worker_registry::LiveCount();
    closed = Clock::now();
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(theApp.InitInstance(), FALSE);
  const auto exit_took = Clock::now() - closed;

  // The main window and its pages are gone: no worker may be left to reach
  // their controls.
  EXPECT_EQ(live_at_close, kWorkerCount);
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  EXPECT_LT(exit_took, std::chrono::seconds(10)) << "the requests in flight did not give up";
  EXPECT_FALSE(worker_registry::StopRequested());
}

}  // namespace
}  // namespace shoptest
