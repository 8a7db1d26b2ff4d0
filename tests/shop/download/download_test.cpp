// The item-list download against the local seller centre, headless: the
// whole road from sign-in to the saved and re-loaded list, the form bodies,
// the block walk, stopping, and the failures of the seller centre.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/thread/thread.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "shop/item_download.h"
#include "shop/page_parsers.h"
#include "store/item_db.h"
#include "tests/shop/download/shop_fixture.h"

namespace shoptest {
namespace {

using sites::ListRequest;
using sites::ShopItem;
using sites::ShopOptions;

std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }

// The list requests of the download proper (the counting request has no body).
std::vector<ListRequest> PageRequests(const sites::SellerCentre& centre) {
  std::vector<ListRequest> pages;
  for (const ListRequest& request : centre.ListRequests()) {
    if (!request.body.empty()) pages.push_back(request);
  }
  return pages;
}

// Items priced inside one block.
std::vector<ShopItem> ItemsAtPrice(int count, const std::string& price, std::uint64_t first_id) {
  std::vector<ShopItem> items = Shop(count).FirstId(first_id).Items();
  for (ShopItem& item : items) item.price = price;
  return items;
}

class DownloadTest : public ShopFixture {
 protected:
  // The end of a download with failed pages: one box in place of
  // "全部下载完毕！", naming the rows that arrived, the pages that failed and
  // the likely cause; the counts behind it by kind.
  void ExpectIncomplete(int items, int unreachable, int unreadable, const char* cause) {
    EXPECT_EQ(g_UnreachablePages, unreachable);
    EXPECT_EQ(g_UnreadablePages, unreadable);
    EXPECT_EQ(BoxesWithText("全部下载完毕！"), 0);
    const std::vector<std::string> texts = BoxesStartingWith("下载未完成");
    ASSERT_EQ(texts.size(), 1u);
    const std::string counts = "下载未完成：已下载 " + std::to_string(items) + " 个宝贝，" +
                               std::to_string(unreachable + unreadable) + " 个页面下载失败。";
    EXPECT_EQ(texts[0].rfind(counts, 0), 0u) << Utf8(texts[0]);
    EXPECT_NE(texts[0].find(cause), std::string::npos) << Utf8(texts[0]);
    for (const auto& box : ui::headless::MessageBoxes()) {
      if (box.text.str() != texts[0]) continue;
      EXPECT_EQ(box.caption, g_SoftName);
      EXPECT_EQ(box.type, MB_ICONWARNING | MB_OK);
      EXPECT_EQ(box.owner, page_->m_hWnd);
    }
  }
};

// Sign-in, a warehouse search of a 2,000-item shop over every price block,
// the save that follows it, and the ranged re-load of rows not yet updated.
TEST_F(DownloadTest, WholeRoadFromSignInToRangedReload) {
  const std::vector<ShopItem> items =
      Shop(2000).Status("myOff").OnBoundEvery(50).Items();
  centre_->SetItems(items);
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());

  const auto boxes = ui::headless::MessageBoxes();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "2000");  // the total, before the download
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);
  for (const auto& box : boxes) {
    if (box.text != "全部下载完毕！") continue;
    EXPECT_EQ(box.caption, "提示");
    EXPECT_EQ(box.type, MB_ICONEXCLAMATION | MB_OK);
    EXPECT_EQ(box.owner, page_->m_hWnd);
  }
  EXPECT_EQ(g_DownloadDoneCount, 20);
  EXPECT_EQ(g_UnreachablePages + g_UnreadablePages, 0);
  EXPECT_TRUE(sync_start_.IsWindowEnabled());

  // Every block was walked, each to its end text.
  std::set<std::string> blocks_ended;
  for (const ListRequest& request : PageRequests(*centre_)) {
    if (request.end_text) blocks_ended.insert(request.Field("startPrice"));
  }
  EXPECT_EQ(blocks_ended.size(), 20u);

  // Every item once, also those priced on a bound that two blocks share
  // (both blocks' pages carry them): two on each of the 19 bounds.
  const std::map<std::string, int> counts = ListIdCounts();
  std::map<std::string, int> on_bounds;
  for (const ShopItem& item : items) {
    auto found = counts.find(item.id);
    ASSERT_NE(found, counts.end()) << "missing " << item.id << " at " << item.price;
    EXPECT_EQ(found->second, 1) << item.id << " at " << item.price;
    if (OnSharedBound(item.price)) ++on_bounds[item.price];
  }
  EXPECT_EQ(on_bounds.size(), 19u);
  for (const auto& [price, count] : on_bounds) EXPECT_GE(count, 2) << price;
  EXPECT_EQ(counts.size(), items.size());

  // Rows whole, numbered 0 .. n-1, the count field showing n.
  std::map<std::string, const ShopItem*> by_id;
  for (const ShopItem& item : items) by_id[item.id] = &item;
  const auto rows = ListRows();
  ASSERT_EQ(rows.size(), 2000u);
  std::set<int> numbers;
  for (const auto& row : rows) {
    numbers.insert(std::stoi(row[0]));
    EXPECT_EQ(row[2], by_id[row[1]]->code);
    EXPECT_EQ(row[3], by_id[row[1]]->price);
  }
  EXPECT_EQ(numbers.size(), rows.size());
  EXPECT_EQ(*numbers.begin(), 0);
  EXPECT_EQ(*numbers.rbegin(), 1999);
  EXPECT_EQ(page_->m_ItemCountEdit.GetWindowText(), "2000");

  // The save after the download: each item id once, not updated yet.
  const std::vector<DbRow> stored = DbRows();
  ASSERT_EQ(stored.size(), items.size());
  std::set<std::string> stored_ids;
  for (const DbRow& row : stored) {
    stored_ids.insert(row.tb_id);
    ASSERT_TRUE(by_id.count(row.tb_id)) << row.tb_id;
    EXPECT_EQ(row.code, by_id[row.tb_id]->code);
    EXPECT_EQ(row.price, by_id[row.tb_id]->price);
    EXPECT_EQ(row.is_update, "0");
  }
  EXPECT_EQ(stored_ids.size(), items.size());
  EXPECT_EQ(g_ItemDb, nullptr) << "the run's connection was closed and forgotten";

  // "导入未更新数据" with the range 101 to 300.
  page_->m_ItemList.DeleteAllItems();
  page_->m_RangeFromEdit.SetWindowText("101");
  page_->m_RangeToEdit.SetWindowText("300");
  ui::headless::ClearMessageBoxes();
  page_->SendMessage(WM_COMMAND, ID_IMPORT_NOT_UPDATED, 0);
  const auto question = ui::headless::MessageBoxes();
  ASSERT_EQ(question.size(), 1u);
  EXPECT_EQ(question[0].text, "亲，您确定要下载第101至300条的数据吗?");
  EXPECT_EQ(question[0].caption, g_SoftName);
  EXPECT_EQ(question[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
  EXPECT_EQ(question[0].owner, page_->m_hWnd);

  const auto loaded = ListRows();
  ASSERT_EQ(loaded.size(), 200u);
  for (size_t i = 0; i < loaded.size(); ++i) {
    const DbRow& expected = stored[100 + i];
    EXPECT_EQ(loaded[i][0], expected.id);
    EXPECT_EQ(loaded[i][1], expected.tb_id);
    EXPECT_EQ(loaded[i][2], expected.code);
    EXPECT_EQ(loaded[i][3], expected.price);
  }
  EXPECT_EQ(page_->m_ItemCountEdit.GetWindowText(), "200");
  EXPECT_EQ(g_ListFromDb.load(), 1);

  // Loads into the filled list add only the items it does not hold, in the
  // order of the query, ahead of the rows there; a second load adds none.
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    page_->SendMessage(WM_COMMAND, ID_IMPORT_ALL, 0);
    const auto all = ListRows();
    ASSERT_EQ(all.size(), stored.size());
    for (size_t i = 0; i < all.size(); ++i) {
      const DbRow& expected = i < 100 ? stored[i] : i < 1800 ? stored[200 + i] : stored[i - 1700];
      EXPECT_EQ(all[i][0], expected.id) << i;
      EXPECT_EQ(all[i][1], expected.tb_id) << i;
    }
    EXPECT_EQ(page_->m_ItemCountEdit.GetWindowText(), "2000");
  }
  ui::headless::ScriptMessageBoxAnswers({IDOK});
  page_->SendMessage(WM_COMMAND, ID_IMPORT_NOT_UPDATED, 0);
  EXPECT_EQ(ListIdCounts().size(), stored.size());
  EXPECT_EQ(ListRows().size(), stored.size());
}

TEST_F(DownloadTest, EmptyItemSetEndsAfterTheTwentiethWorker) {
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  const auto boxes = ui::headless::MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].text, "0");
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);
  EXPECT_EQ(page_->m_ItemList.GetItemCount(), 0);
  EXPECT_TRUE(DbRows().empty());

  // Each block's first page carried the end text; no page went out twice.
  std::set<std::pair<std::string, std::string>> seen;
  std::set<std::string> blocks;
  for (const ListRequest& request : PageRequests(*centre_)) {
    EXPECT_TRUE(request.end_text);
    EXPECT_TRUE(seen.insert({request.Field("startPrice"), request.Field("page")}).second);
    blocks.insert(request.Field("startPrice"));
  }
  EXPECT_EQ(blocks.size(), 20u);
}

TEST_F(DownloadTest, BlockEndingAfterThreePagesHandsOnToTheNext) {
  centre_->SetItems(ItemsAtPrice(60, "21.50", 1000));  // block 5, three pages of 20
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());

  EXPECT_EQ(ListIdCounts().size(), 60u);
  for (const auto& [id, count] : ListIdCounts()) EXPECT_EQ(count, 1) << id;

  std::set<int> block_pages;
  bool next_block_walked = false;
  for (const ListRequest& request : PageRequests(*centre_)) {
    if (request.Field("startPrice") == "23") next_block_walked = true;
    if (request.Field("startPrice") != "20") continue;
    const int page = std::stoi(request.Field("page"));
    EXPECT_TRUE(block_pages.insert(page).second) << "page " << page << " asked twice";
    EXPECT_EQ(request.end_text, page >= 4) << "page " << page;
  }
  EXPECT_TRUE(block_pages.count(4));
  EXPECT_TRUE(next_block_walked);
}

// The warehouse form body byte for byte: the template's fields in order, the
// block's bounds (block 20 with an empty end), the stock-count range left
// open, then x_id and the status.
TEST_F(DownloadTest, WarehouseBodiesByteForByte) {
  std::vector<ShopItem> items = ItemsAtPrice(3, "150.00", 1000);
  for (ShopItem& item : items) item.status = "neverUp";
  centre_->SetItems(items);
  centre_->AddItems(ItemsAtPrice(5, "150.00", 2000));  // "myOff": another status
  ChooseItemSet(0, "从未上架");
  page_->m_KeywordEdit.SetWindowText("图书");  // not ticked: not sent
  HTREEITEM all = page_->m_CategoryTree.GetRootItem();
  ASSERT_NE(all, nullptr);
  page_->m_CategoryTree.SelectItem(all);
  ASSERT_TRUE(SearchAndWait());

  const std::string token = centre_->Token();
  const std::string x_id = centre_->XId();
  EXPECT_EQ(g_TbToken.Get().str(), token);
  EXPECT_EQ(g_XId.Get().str(), x_id);
  auto expected_body = [&](int page, const std::string& start, const std::string& end) {
    return "0=0&_tb_token_=" + token + "&pageName=goodsInStock&banner=&page=" +
           std::to_string(page) +
           "&setVal=&orderField=1&orderBy=0&singleId=&singleIdNum=&singleIdMinNum"
           "&distributionIds=&action=goodsmanager/GoodsManageAction&event_submit_do_recommend="
           "&event_submit_do_delete=&event_submit_do_off_shelf=&event_submit_do_unrecommend="
           "&event_submit_do_set_lighting_auction=&isFirstLogin=false&shopCatName=全部类目"
           "&searchKeyword=&startPrice=" + start + "&endPrice=" + end +
           "&recommend=&outId=&searchNumFrom=&searchNumTo=&x_id=" + x_id + "&status=neverUp";
  };
  const char* bounds[] = {"0",  "8",  "14", "17", "20", "23", "26", "29", "32", "35", "38",
                          "41", "44", "47", "50", "60", "70", "80", "90", "100", ""};
  const auto requests = centre_->ListRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].body, "") << "the counting request";
  EXPECT_EQ(requests[0].type, "1");
  std::set<std::string> checked;
  for (const ListRequest& request : PageRequests(*centre_)) {
    EXPECT_EQ(request.type, "1");
    const int page = std::stoi(request.Field("page"));
    int block = 0;
    while (block < 20 && bounds[block] != request.Field("startPrice")) ++block;
    ASSERT_LT(block, 20) << Utf8(request.body);
    EXPECT_EQ(request.body, expected_body(page, bounds[block], bounds[block + 1]))
        << Utf8(request.body);
    checked.insert(bounds[block]);
  }
  EXPECT_EQ(checked.size(), 20u);
  EXPECT_EQ(ListIdCounts().size(), 3u);  // all in block 20: "endPrice=" open
}

TEST_F(DownloadTest, KeywordGoesOutOnlyWhileTicked) {
  std::vector<ShopItem> items = Shop(40).Items();
  centre_->SetItems(items);
  ChooseItemSet(0, "全部");
  page_->m_KeywordEdit.SetWindowText("第1");  // titles 图书第1号, 图书第1x号
  page_->m_UseKeyword.SetCheck(BST_CHECKED);
  ASSERT_TRUE(SearchAndWait());
  for (const ListRequest& request : PageRequests(*centre_)) {
    EXPECT_EQ(request.Field("searchKeyword"), "第1");
  }
  std::set<std::string> expected;
  for (const ShopItem& item : items) {
    if (item.title.find("第1") != std::string::npos) expected.insert(item.id);
  }
  std::set<std::string> listed;
  for (const auto& [id, count] : ListIdCounts()) listed.insert(id);
  EXPECT_EQ(listed, expected);

  centre_->ClearListRequests();
  page_->m_UseKeyword.SetCheck(BST_UNCHECKED);
  page_->OnStopSearch();
  ASSERT_TRUE(SearchAndWait());
  for (const ListRequest& request : PageRequests(*centre_)) {
    EXPECT_TRUE(request.Has("searchKeyword"));
    EXPECT_EQ(request.Field("searchKeyword"), "");
  }
  EXPECT_EQ(ListIdCounts().size(), items.size());
}

// "价格范围" ticked: the blocks that hold the range are walked, their outer
// bounds cut to it, both ends included; unticked, the edits change nothing.
// An item on a bound two walked blocks share comes twice, as in a full download.
TEST_F(DownloadTest, TickedPriceRangeWalksOnlyItsBlocks) {
  const char* prices[] = {"0.00",  "8.00",  "9.99",  "10.00", "12.50", "14.00", "16.80",
                          "20.00", "20.01", "24.30", "99.95", "150.00", "400.00"};
  std::vector<ShopItem> items;
  std::uint64_t id = 1000;
  for (const char* price : prices) items.push_back(ItemsAtPrice(1, price, id++)[0]);
  centre_->SetItems(items);
  ChooseItemSet(0, "全部");
  using Bounds = std::set<std::pair<std::string, std::string>>;
  struct Case {
    bool ticked;
    const char *low, *high;
    Bounds sent;  // empty: every block as the table has it
  } cases[] = {
      {false, "10", "20", {}},
      {true, "10", "20", {{"10", "14"}, {"14", "17"}, {"17", "20"}}},
      {true, " 14 ", "14", {{"14", "14"}}},
      {true, "0", "8", {{"0", "8"}}},
      {true, "9.5", "10.00", {{"9.5", "10.00"}}},
      {true, "90", "300", {{"90", "100"}, {"100", "300"}}},
  };
  size_t full_download_requests = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ticked ? "ticked " : "unticked ") + c.low + "-" + c.high);
    page_->m_UsePriceRange.SetCheck(c.ticked ? BST_CHECKED : BST_UNCHECKED);
    page_->m_LowPriceEdit.SetWindowText(c.low);
    page_->m_HighPriceEdit.SetWindowText(c.high);
    centre_->ClearListRequests();
    ASSERT_TRUE(SearchAndWait());
    page_->OnStopSearch();

    const auto pages = PageRequests(*centre_);
    Bounds sent;
    for (const ListRequest& request : pages) {
      sent.insert({request.Field("startPrice"), request.Field("endPrice")});
    }
    std::map<std::string, int> expected;
    const double low = std::strtod(c.low, nullptr), high = std::strtod(c.high, nullptr);
    for (const ShopItem& item : items) {
      const double price = std::strtod(item.price.c_str(), nullptr);
      if (c.ticked && (price < low || price > high)) continue;
      expected[item.id] = 1;  // once, also on a bound that two blocks share
    }
    EXPECT_EQ(ListIdCounts(), expected);
    EXPECT_EQ(g_UnreachablePages + g_UnreadablePages, 0);
    if (!c.ticked) {
      EXPECT_EQ(sent.size(), 20u);
      full_download_requests = pages.size();
      continue;
    }
    EXPECT_EQ(sent, c.sent);
    EXPECT_LT(pages.size(), full_download_requests);
  }
}

// An empty, unreadable or reversed range: a box says so and no search starts.
TEST_F(DownloadTest, UnusablePriceRangeStartsNoSearch) {
  const std::string unfilled = "价格范围未填写或不是数字：请填写最低价格和最高价格，如 10 和 20。";
  const struct {
    const char *low, *high;
    std::string text;
  } cases[] = {
      {"", "", unfilled},
      {"十", "20", unfilled},
      {"-1", "20", unfilled},
      {"10", "2e1", unfilled},
      {"20", "10", "价格范围有误：最低价格 20 高于最高价格 10。"},
      {"10.01", " 10 ", "价格范围有误：最低价格 10.01 高于最高价格 10。"},
  };
  centre_->SetItems(Shop(20).Items());
  ChooseItemSet(0, "全部");
  page_->m_ItemList.InsertItem(0, "0");  // a list from before stays
  page_->m_UsePriceRange.SetCheck(BST_CHECKED);
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(std::string(c.low) + "|" + c.high));
    ui::headless::ClearMessageBoxes();
    page_->m_LowPriceEdit.SetWindowText(c.low);
    page_->m_HighPriceEdit.SetWindowText(c.high);
    page_->m_SearchButton.UserClick();
    const auto boxes = ui::headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.str(), c.text) << Utf8(boxes[0].text.str());
    EXPECT_EQ(boxes[0].caption, g_SoftName);
    EXPECT_EQ(boxes[0].type, MB_ICONWARNING | MB_OK);
    EXPECT_EQ(boxes[0].owner, page_->m_hWnd);
    EXPECT_TRUE(page_->m_SearchButton.IsWindowEnabled());
    EXPECT_EQ(page_->m_ItemList.GetItemCount(), 1);
    EXPECT_EQ(worker_registry::LiveCount(), 0);
  }
  EXPECT_TRUE(centre_->ListRequests().empty());
}

// A category name or keyword holding "&", "+", "=", "%" or brackets, and a
// character whose second byte is "[": each reaches the seller centre as one
// field with its own text, and the search finds the items that carry it.
TEST_F(DownloadTest, CategoryAndKeywordArriveAsTheyAre) {
  const std::string category = "文学&艺术+瞇[x]=100%";
  ASSERT_NE(category.find("\xB2\x5B"), std::string::npos);  // 瞇: its second byte is "["
  centre_->SetItems(Shop(30).Category(category).Items());
  centre_->AddItems(Shop(30).FirstId(900000000000).Category("历史").Items());
  HTREEITEM item = page_->m_CategoryTree.InsertItem(category.c_str());
  page_->m_CategoryTree.SelectItem(item);
  page_->m_KeywordEdit.SetWindowText("图书第1");
  page_->m_UseKeyword.SetCheck(BST_CHECKED);
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());

  const auto pages = PageRequests(*centre_);
  ASSERT_FALSE(pages.empty());
  for (const ListRequest& request : pages) {
    EXPECT_EQ(request.Field("shopCatName"), category) << Utf8(request.body);
    EXPECT_EQ(request.Field("searchKeyword"), "图书第1");
    EXPECT_EQ(request.Field("endPrice").find('['), std::string::npos);
  }
  // The trail byte stays with its character; the field's own marks are escaped.
  EXPECT_NE(pages[0].body.find("&shopCatName=文学%26艺术%2B瞇%5Bx%5D%3D100%25&searchKeyword="),
            std::string::npos)
      << Utf8(pages[0].body);
  const auto counts = ListIdCounts();
  EXPECT_EQ(counts.size(), 11u);  // 图书第1号 and 图书第10号 ... 图书第19号
  for (const auto& [id, count] : counts) EXPECT_LT(id, "900000000000");
}

TEST_F(DownloadTest, OnSaleSearchSendsNeitherXIdNorStatus) {
  centre_->SetItems(Shop(100).OnSale().Items());
  centre_->AddItems(Shop(50).FirstId(900000000000).Items());
  ChooseItemSet(1);
  ASSERT_TRUE(SearchAndWait());
  EXPECT_EQ(ui::headless::MessageBoxes()[0].text, "100");
  for (const ListRequest& request : PageRequests(*centre_)) {
    EXPECT_EQ(request.type, "11");
    EXPECT_EQ(request.Field("pageName"), "goodsOnSale");
    EXPECT_FALSE(request.Has("x_id"));
    EXPECT_FALSE(request.Has("status"));
    EXPECT_TRUE(request.body.ends_with("&searchNumFrom=&searchNumTo=")) << Utf8(request.body);
  }
  const auto counts = ListIdCounts();
  EXPECT_EQ(counts.size(), 100u);
  for (const auto& [id, count] : counts) EXPECT_LT(id, "900000000000");
}

TEST_F(DownloadTest, SecondSearchStartsAtBlockOneWithRowsFromZero) {
  centre_->SetItems(Shop(120).Items());
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  ASSERT_EQ(page_->m_ItemList.GetItemCount(), 120);
  page_->OnStopSearch();  // the end of a download leaves Search disabled
  centre_->ClearListRequests();
  ASSERT_TRUE(SearchAndWait());

  const auto rows = ListRows();
  ASSERT_EQ(rows.size(), 120u);
  std::set<int> numbers;
  for (const auto& row : rows) numbers.insert(std::stoi(row[0]));
  EXPECT_EQ(*numbers.begin(), 0);
  EXPECT_EQ(*numbers.rbegin(), 119);
  const auto pages = PageRequests(*centre_);
  ASSERT_FALSE(pages.empty());
  EXPECT_EQ(pages[0].Field("startPrice"), "0");
  std::set<std::string> first_block_pages;
  for (const auto& request : pages) {
    if (request.Field("startPrice") == "0") first_block_pages.insert(request.Field("page"));
  }
  EXPECT_TRUE(first_block_pages.count("1"));
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 2);
}

TEST_F(DownloadTest, StopMidDownloadEndsAndSavesWhatCame) {
  centre_->SetItems(Shop(2000).Items());
  centre_->SetListDelay(std::chrono::milliseconds(50));
  ChooseItemSet(0, "全部");
  page_->m_SearchButton.UserClick();
  ASSERT_TRUE(PumpUntil([&] { return page_->m_ItemList.GetItemCount() >= 30; }));
  page_->m_StopButton.UserClick();
  EXPECT_TRUE(page_->m_SearchButton.IsWindowEnabled());
  ASSERT_TRUE(PumpUntil([&] { return BoxesWithText("全部下载完毕！") == 1; }));
  ASSERT_TRUE(WaitWorkers());

  const auto counts = ListIdCounts();
  EXPECT_GT(counts.size(), 0u);
  EXPECT_LT(counts.size(), 2000u);
  std::set<std::string> listed, stored;
  for (const auto& [id, count] : counts) listed.insert(id);
  for (const DbRow& row : DbRows()) stored.insert(row.tb_id);
  EXPECT_EQ(stored, listed);
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);  // stopped, but every page answered
  EXPECT_EQ(g_UnreachablePages + g_UnreadablePages, 0);
}

// Stop at the first row, then search the same set again at once, while the
// stopped search's workers are still reading their pages: none of them takes a page, ends a block or counts a failure of the
// new search, so every item comes, each once. Repeated, since it is a matter
// of timing.
TEST_F(DownloadTest, SearchRightAfterStopGetsEveryItem) {
  // 50 items a block, two a page: more pages with rows than workers.
  const std::vector<ShopItem> items = Shop(1000).Items();
  centre_->SetItems(items);
  centre_->SetRowsPerPage(2);
  ChooseItemSet(0, "全部");
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    centre_->SetListDelay(std::chrono::milliseconds(300));
    g_RowPauseMs = 100;
    page_->m_SearchButton.UserClick();
    ASSERT_TRUE(PumpUntil([&] { return page_->m_ItemList.GetItemCount() >= 1; }));
    page_->m_StopButton.UserClick();
    page_->m_SearchButton.UserClick();
    // The old workers are through their pages while the new search's first
    // block is still out; then the rest may go quickly.
    PumpUntil([] { return false; }, std::chrono::milliseconds(1200));
    centre_->SetListDelay(std::chrono::milliseconds(0));
    g_RowPauseMs = 1;
    ASSERT_TRUE(PumpUntil([&] { return g_DownloadDoneCount >= kWorkerCount; }));
    ASSERT_TRUE(WaitWorkers());

    const auto counts = ListIdCounts();
    for (const ShopItem& item : items) {
      auto found = counts.find(item.id);
      ASSERT_NE(found, counts.end()) << "missing " << item.id << " at " << item.price;
      EXPECT_EQ(found->second, 1) << item.id;
    }
    EXPECT_EQ(counts.size(), items.size());
    EXPECT_EQ(BoxesWithText("全部下载完毕！"), round + 1);
    page_->OnStopSearch();
  }
  g_RowPauseMs = 100;
}

TEST_F(DownloadTest, FurtherEndMessagesTriggerNothing) {
  centre_->SetItems(Shop(20).Items());
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  ASSERT_EQ(g_DownloadDoneCount, 20);
  page_->PostMessage(WM_TAOBAO_WORKER_DONE, g_SearchGeneration.load(), 0);
  page_->PostMessage(WM_TAOBAO_WORKER_DONE, 0, 0);
  ui::RunPending();
  EXPECT_EQ(g_DownloadDoneCount, 21);
  EXPECT_EQ(worker_registry::LiveCount(), 0) << "no second save";
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);
}

// Workers of a stopped search that are still inside a block when the next
// search starts: their pages and end messages belong to no one.
TEST_F(DownloadTest, EarlierSearchDoesNotCountTowardTheNext) {
  centre_->SetItems(Shop(2000).Items());
  centre_->AddItems(Shop(200).FirstId(900000000000).OnSale().Items());
  centre_->SetListDelay(std::chrono::milliseconds(300));
  ChooseItemSet(0, "全部");
  page_->m_SearchButton.UserClick();
  ASSERT_TRUE(PumpUntil([&] { return page_->m_ItemList.GetItemCount() >= 1; }));
  page_->m_StopButton.UserClick();
  ChooseItemSet(1);
  centre_->SetListDelay(std::chrono::milliseconds(0));
  ASSERT_TRUE(SearchAndWait());

  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);
  EXPECT_EQ(g_DownloadDoneCount, 20);
  const auto counts = ListIdCounts();
  EXPECT_EQ(counts.size(), 200u);
  for (const auto& [id, count] : counts) {
    EXPECT_GE(id, "900000000000") << "a warehouse row of the stopped search";
    EXPECT_EQ(count, 1);
  }
  const auto rows = ListRows();
  std::set<int> numbers;
  for (const auto& row : rows) numbers.insert(std::stoi(row[0]));
  EXPECT_EQ(*numbers.rbegin(), static_cast<int>(rows.size()) - 1);
}

// An ended session, before the search or in the middle of it: the seller
// centre sends every list request to the sign-in page. The download stops
// there as "停止搜索" stops it, each worker asking for at most one page more;
// the rows that came stay and are saved, and the end names the sign-in.
TEST_F(DownloadTest, AnEndedSessionStopsTheDownloadAndSaysSo) {
  struct Case {
    const char* name;
    int pages_signed_in;  // list pages before the session ends; -1: ended before the search
    size_t most_signed_out;
  };
  const Case cases[] = {
      {"search before sign-in", -1, 0},  // the counting request already told
      {"session ends mid-download", 30, kWorkerCount},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::headless::ClearMessageBoxes();
    centre_->ClearListRequests();
    centre_->SetItems(Shop(1000).Items());
    centre_->SetRowsPerPage(10);
    if (c.pages_signed_in < 0) {
      market_->ExpireSessions();
    } else {
      SignIn();
      centre_->ExpireSessionAfterListPages(c.pages_signed_in);
    }
    ChooseItemSet(0, "全部");
    ASSERT_TRUE(SearchAndWait());

    std::set<std::string> served;
    size_t signed_out = 0;
    for (const ListRequest& request : PageRequests(*centre_)) {
      served.insert(request.ids.begin(), request.ids.end());
      if (!request.signed_in) ++signed_out;
    }
    EXPECT_LE(signed_out, c.most_signed_out);
    const auto counts = ListIdCounts();
    EXPECT_EQ(counts.size(), served.size());
    for (const auto& [id, count] : counts) EXPECT_TRUE(served.count(id)) << id;
    EXPECT_EQ(DbRows().size(), counts.size());

    EXPECT_EQ(BoxesWithText("全部下载完毕！"), 0);
    const std::vector<std::string> texts = BoxesStartingWith("下载未完成");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("下载未完成：已下载 " + std::to_string(counts.size()) +
                                 " 个宝贝，淘宝登录已失效或尚未登录，下载已停止。",
                             0),
              0u)
        << Utf8(texts[0]);
    // As after "停止搜索": a new search can be started at once.
    EXPECT_TRUE(page_->m_SearchButton.IsWindowEnabled());
    EXPECT_FALSE(page_->m_StopButton.IsWindowEnabled());
    EXPECT_TRUE(page_->m_ItemSetCombo.IsWindowEnabled());
  }
}

// The site goes away in the middle: the pages after it fail at once, the
// rows that came stay and are saved, and the end says the list is incomplete.
TEST_F(DownloadTest, SiteStoppedMidDownloadEndsIncompleteAndKeepsWhatCame) {
  centre_->SetItems(Shop(2000).Items());
  centre_->SetListDelay(std::chrono::milliseconds(50));
  ChooseItemSet(0, "全部");
  page_->m_SearchButton.UserClick();
  ASSERT_TRUE(PumpUntil([&] { return page_->m_ItemList.GetItemCount() >= 30; }));
  server_->SetRefuse(true);
  ASSERT_TRUE(PumpUntil([&] { return g_DownloadDoneCount >= kWorkerCount; }));
  ASSERT_TRUE(WaitWorkers());
  server_->SetRefuse(false);

  // Every page handed out that the site did not answer failed; so may one
  // it read just as it went away.
  int claimed = 0;
  for (int block = 0; block < kPriceBlockCount; ++block) claimed += g_BlockPageCounters[1][block] - 1;
  const int answered = static_cast<int>(PageRequests(*centre_).size());
  const int failed = g_UnreachablePages;
  EXPECT_GE(failed, claimed - answered);
  EXPECT_LE(failed, claimed);
  const auto counts = ListIdCounts();
  EXPECT_GT(counts.size(), 0u);
  EXPECT_LT(counts.size(), 2000u);
  ExpectIncomplete(static_cast<int>(counts.size()), failed, 0, "无法连接网站");
  std::set<std::string> listed, stored;
  for (const auto& [id, count] : counts) listed.insert(id);
  for (const DbRow& row : DbRows()) stored.insert(row.tb_id);
  EXPECT_EQ(stored, listed);
}

TEST_F(DownloadTest, CutConnectionsLoseOnlyTheirPagesAndAreCounted) {
  const std::vector<ShopItem> items = Shop(600).Items();
  centre_->SetItems(items);
  centre_->SetRowsPerPage(10);
  centre_->CutEveryNthListPage(5);
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());

  const std::vector<std::string> cut = centre_->CutItemIds();
  const std::set<std::string> lost(cut.begin(), cut.end());
  const auto counts = ListIdCounts();
  for (const ShopItem& item : items) {
    auto found = counts.find(item.id);
    if (lost.count(item.id)) {
      EXPECT_EQ(found, counts.end()) << item.id << " from a cut page";
    } else {
      ASSERT_NE(found, counts.end()) << item.id;
      EXPECT_EQ(found->second, 1);
    }
  }
  int cut_pages = 0;
  for (const ListRequest& request : PageRequests(*centre_)) cut_pages += request.cut ? 1 : 0;
  ASSERT_GT(cut_pages, 0);
  ExpectIncomplete(static_cast<int>(counts.size()), cut_pages, 0, "无法连接网站");
}

TEST_F(DownloadTest, MalformedRowsAsTheReadersTakeThem) {
  const std::vector<ShopItem> items = Shop(420).MalformedEvery(5).Items();
  centre_->SetItems(items);
  ChooseItemSet(0, "全部");
  ASSERT_TRUE(SearchAndWait());
  // The rows left out for a short merchant code are counted at the end.
  int short_codes = 0;
  for (const ShopItem& item : items) short_codes += item.fault == sites::RowFault::kShortCode;
  ASSERT_GT(short_codes, 0);
  const std::string note =
      "（" + std::to_string(short_codes) + " 个宝贝的商家编码不足4位数字，未列入）";
  int noted = 0;
  for (const auto& box : ui::headless::MessageBoxes()) {
    noted += box.text.str().ends_with(note) ? 1 : 0;
  }
  EXPECT_EQ(noted, 1);

  std::map<std::string, ExpectedItem> listed;
  for (const auto& row : ListRows()) {
    const std::string key = row[1].empty() ? "(no id) " + row[2] : row[1];
    EXPECT_FALSE(listed.count(key)) << key;
    listed[key] = {row[1], row[2], row[3]};
  }
  const auto expected = ExpectedItems(items);
  EXPECT_EQ(listed.size(), expected.size());
  for (const auto& [key, item] : expected) {
    auto found = listed.find(key);
    ASSERT_NE(found, listed.end()) << key;
    EXPECT_EQ(found->second.code, item.code) << key;
    EXPECT_EQ(found->second.price, item.price) << key;
  }
}

// The site stopped before the search: no worker starts, the search ends as
// a failed download, naming what it could not reach, and the page is ready
// for the next search.
TEST_F(DownloadTest, NetworkFailureBeforeTheWorkersEndsTheSearch) {
  centre_->SetItems(Shop(20).Items());
  ChooseItemSet(0, "全部");
  server_->SetRefuse(true);
  page_->m_SearchButton.UserClick();
  server_->SetRefuse(false);
  const auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.str(),
            "下载未完成：已下载 0 个宝贝，\n无法连接淘宝卖家中心（seller.market.localhost），搜索未能开始："
            "无法与服务器建立连接。\n"
            "可能的原因：无法连接网站（网络中断或网站没有响应）。请检查网络后再搜索。");
  EXPECT_EQ(boxes[0].caption, g_SoftName);
  EXPECT_EQ(boxes[0].type, MB_ICONWARNING | MB_OK);
  EXPECT_EQ(boxes[0].owner, page_->m_hWnd);
  EXPECT_TRUE(page_->m_SearchButton.IsWindowEnabled());
  EXPECT_FALSE(page_->m_StopButton.IsWindowEnabled());
  EXPECT_TRUE(page_->m_ItemSetCombo.IsWindowEnabled());
  EXPECT_TRUE(sync_start_.IsWindowEnabled());
  EXPECT_TRUE(PageRequests(*centre_).empty());
  ASSERT_TRUE(WaitWorkers());

  // The next search, with the site back, runs whole.
  ui::headless::ClearMessageBoxes();
  ASSERT_TRUE(SearchAndWait());
  EXPECT_EQ(BoxesWithText("全部下载完毕！"), 1);
  EXPECT_EQ(ListIdCounts().size(), 20u);
}

TEST_F(DownloadTest, PageWithoutHiddenInputsSendsThemEmpty) {
  centre_->SetHiddenInputs(false, false);
  ChooseItemSet(0, "全部");
  page_->m_SearchButton.UserClick();
  ASSERT_TRUE(PumpUntil([&] { return !PageRequests(*centre_).empty(); }));
  page_->m_StopButton.UserClick();
  ASSERT_TRUE(PumpUntil([&] { return g_DownloadDoneCount >= kWorkerCount; }));
  ASSERT_TRUE(WaitWorkers());
  EXPECT_EQ(g_TbToken.Get(), "");
  EXPECT_EQ(g_XId.Get(), "");
  const ListRequest first = PageRequests(*centre_).front();
  EXPECT_NE(first.body.find("&_tb_token_=&pageName="), std::string::npos);
  EXPECT_TRUE(first.body.ends_with("&x_id=&status=inStock")) << Utf8(first.body);
}

}  // namespace
}  // namespace shoptest
