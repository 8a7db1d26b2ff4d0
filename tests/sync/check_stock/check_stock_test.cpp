// The pricing page's "检测是否有货", headless, against the local stock
// service: the answer over the ticked provinces in both modes, and the box
// when the service cannot be reached.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/net/internet.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "sync/DangDangTongBu.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"
#include "tests/support/page_globals.h"

namespace {

class CheckStockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
    sites::WriteHostsIni(folder_, server_, stores_.HostKeys());
    InternetTimeouts timeouts;
    timeouts.connect = std::chrono::milliseconds(3000);
    timeouts.idle = std::chrono::milliseconds(2000);
    SetInternetTimeouts(timeouts);

    page_ = std::make_unique<DangDangTongBu>();
    ASSERT_TRUE(page_->Create(DangDangTongBu::IDD, nullptr));
    CListCtrl& regions = page_->m_RegionList;
    regions.DeleteAllItems();
    regions.InsertRow(0, {"", "北京", "111"});
    regions.InsertRow(1, {"", "上海", "112"});
    regions.InsertRow(2, {"", "天津", "113"});

    sites::BookProduct product;
    product.number = "25112233";
    product.nostock_provinces = {"112"};
    stores_.SetProduct(product);
  }
  void TearDown() override {
    if (page_) page_->DestroyWindow();
    page_.reset();
    ui::RunPending();
    support::ForgetPageGlobals();
    SetInternetTimeouts(InternetTimeouts());
  }

  void Tick(std::vector<bool> ticks) {
    for (int row = 0; row < 3; ++row) page_->m_RegionList.SetCheck(row, ticks[row]);
  }
  void ChooseMode(int id) { static_cast<CButton*>(page_->GetDlgItem(id))->UserClick(); }
  // Presses the button for `number`; the box it showed.
  ui::headless::MessageBoxRecord Check(const char* number) {
    ui::headless::ClearMessageBoxes();
    stores_.ClearRequests();
    page_->m_ProductNoEdit.UserSetText(number);
    static_cast<CButton*>(page_->GetDlgItem(IDC_DD_CHECK_STOCK))->UserClick();
    ui::RunPending();
    std::vector<ui::headless::MessageBoxRecord> boxes = ui::headless::MessageBoxes();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? ui::headless::MessageBoxRecord{} : boxes.back();
  }

  sites::SiteServer server_;
  sites::Bookstores stores_{server_, nullptr};
  sites::TestProgramFolder folder_;
  std::unique_ptr<DangDangTongBu> page_;
};

TEST_F(CheckStockTest, AnswersOverTheTickedProvinces) {
  struct Case {
    const char* name;
    std::vector<bool> ticks;
    int mode_radio;
    const char* number;
    const char* answer;
    size_t requests;
  };
  const std::vector<Case> cases = {
      {"nothing ticked, mode 1: no request", {false, false, false}, IDC_DD_REGION_IN_IF_ANY,
       "25112233", "无货", 0},
      {"mode 0 stops at the province without stock", {true, true, true}, IDC_DD_REGION_OUT_IF_ANY,
       "25112233", "无货", 2},
      {"mode 1 stops at the first with stock", {true, true, true}, IDC_DD_REGION_IN_IF_ANY,
       "25112233", "有货", 1},
      {"an empty number is asked all the same", {true, false, false}, IDC_DD_REGION_OUT_IF_ANY, "",
       "无货", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tick(c.ticks);
    ChooseMode(c.mode_radio);
    ui::headless::MessageBoxRecord box = Check(c.number);
    EXPECT_EQ(box.text, c.answer);
    EXPECT_EQ(box.caption, AfxGetAppName());
    ASSERT_EQ(stores_.StockRequests().size(), c.requests);
    if (c.requests > 0) {
      EXPECT_EQ(stores_.StockRequests()[0].product_id, c.number);
    }
  }
}

TEST_F(CheckStockTest, UnreachableServiceIsReportedAndThePageGoesOn) {
  Tick({true, true, true});
  server_.SetRefuse(true);
  ui::headless::MessageBoxRecord box = Check("25112233");
  EXPECT_EQ(box.text, "无法连接当当库存查询服务（stock.dangdang.localhost），未能检测是否有货：无法与服务器建立连接");
  EXPECT_EQ(box.type & MB_ICONSTOP, static_cast<UINT>(MB_ICONSTOP));
  server_.SetRefuse(false);

  // A reply cut short is a failure too, not an answer.
  stores_.SetStockReplies(sites::ReplyMode::kCut);
  EXPECT_EQ(Check("25112233").text.Find("无法连接当当库存查询服务"), 0);
  stores_.SetStockReplies(sites::ReplyMode::kNormal);

  // The page goes on: the next press answers.
  EXPECT_EQ(Check("25112233").text, "无货");
  EXPECT_TRUE(page_->IsWindowEnabled());
}

}  // namespace
