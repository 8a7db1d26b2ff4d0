// The seller-centre page readers over page samples of both layouts, their
// row numbers under 20 threads, and a mutation pass.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/codepage.h"
#include "services/globals.h"
#include "shop/page_parsers.h"

namespace {

// Narrow literals are GBK, as the pages are: samples and cells compare as
// GBK bytes; only what a failure prints is turned into UTF-8.
using Row = std::vector<std::string>;  // 编号, 淘宝商品ID, 商家编码, 价格

std::string Show(const std::vector<Row>& rows) {
  std::string out;
  for (const Row& row : rows) {
    out += "[";
    for (size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + row[i];
    out += "] ";
  }
  return GbkToUtf8(out);
}

class PageParsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_list_ = g_ItemList;
    saved_count_ = g_ItemCountEdit;
    list_.InsertColumn(0, "编号", LVCFMT_CENTER, 50);
    list_.InsertColumn(1, "淘宝商品ID", LVCFMT_CENTER, 100);
    list_.InsertColumn(2, "商家编码", LVCFMT_CENTER, 100);
    list_.InsertColumn(3, "价格", LVCFMT_CENTER, 50);
    g_ItemList = &list_;
    g_ItemCountEdit = &count_;
    g_RowPauseMs = 0;
    ResetParsedRowCount();
  }
  void TearDown() override {
    g_ItemList = saved_list_;
    g_ItemCountEdit = saved_count_;
    g_RowPauseMs = 100;
  }

  std::vector<Row> Rows() const {
    std::vector<Row> rows;
    for (int i = 0; i < list_.GetItemCount(); ++i) {
      Row row;
      for (int c = 0; c < 4; ++c) row.push_back(list_.GetItemText(i, c).str());
      rows.push_back(row);
    }
    return rows;
  }

  CListCtrl list_;
  CEdit count_;
  CListCtrl* saved_list_ = nullptr;
  CEdit* saved_count_ = nullptr;
};

// Row blocks as the two list pages write them.
std::string OnSaleRow(const std::string& id, const std::string& code, const std::string& price) {
  return "<tr class=\"goods-sid \">\r\n<td><input id = \"selectedIds:" + id +
         "\" type=\"checkbox\" name=\"selectedIds\" value=\"" + id +
         "\"></td>\r\n<td><a href=\"//item.taobao.com/item.htm?id=" + id +
         "\">三国演义</a><p>商家编码：" + code + "</p></td>\r\n<td><span data-price=\"" + price +
         "\">" + price + "</span></td>\r\n<td><a href=\"#\">复制链接</a></td>\r\n</tr>\r\n";
}

std::string InStockRow(const std::string& id, const std::string& code, const std::string& price) {
  return "<tr class=\"goods-sid\">\r\n<td><input type=\"checkbox\" itemIds=\"" + id +
         "\"></td>\r\n<td><a href=\"#\">红楼梦</a><p>商家编码：" + code +
         "</p></td>\r\n<td><span data-price=\"" + price +
         "\">" + price + "</span></td>\r\n<td><a href=\"#\">复制链接</a></td>\r\n</tr>\r\n";
}

std::string Page(const std::string& rows) {
  return "<html><head><title>宝贝管理</title></head><body>\r\n<ul><li>共有2条记录 </li></ul>"
         "\r\n<table>\r\n" + rows + "</table></body></html>\r\n";
}

enum class Layout { kOnSale, kInStock };

struct PageCase {
  const char* name;
  Layout layout;
  std::string page;
  std::vector<Row> rows;  // expected
};

TEST_F(PageParsersTest, PagesOfBothLayouts) {
  const std::vector<PageCase> cases = {
      {"one row on sale", Layout::kOnSale, Page(OnSaleRow("520000000001", "23456789", "35.00")),
       {{"0", "520000000001", "23456789", "35.00"}}},
      {"one row in the warehouse", Layout::kInStock,
       Page(InStockRow("520000000002", "23456790", "12.80")),
       {{"0", "520000000002", "23456790", "12.80"}}},
      {"two rows: page order, consecutive numbers", Layout::kInStock,
       Page(InStockRow("11", "1111", "1.00") + InStockRow("22", "2222", "2.00")),
       {{"0", "11", "1111", "1.00"}, {"1", "22", "2222", "2.00"}}},
      {"three-digit code: dropped, no number taken", Layout::kInStock,
       Page(InStockRow("11", "123", "1.00") + InStockRow("22", "2222", "2.00")),
       {{"0", "22", "2222", "2.00"}}},
      {"twelve-digit code kept whole", Layout::kOnSale,
       Page(OnSaleRow("33", "978712345678", "9.90")), {{"0", "33", "978712345678", "9.90"}}},
      {"four digits is enough", Layout::kOnSale, Page(OnSaleRow("33", "1234", "9.90")),
       {{"0", "33", "1234", "9.90"}}},
      {"half-width colon is not the code", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"5\" 商家编码:12345 data-price=\"1\" 复制链接</a>", {}},
      {"blank between colon and digits is not the code", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"5\" 商家编码： 12345 data-price=\"1\" 复制链接</a>", {}},
      {"row start in capitals", Layout::kInStock,
       "<TR CLASS=\"GOODS-SID\">ITEMIDS=\"77\" 商家编码：7777 DATA-PRICE=\"7.00\" 复制链接</A>",
       {{"0", "77", "7777", "7.00"}}},
      {"on-sale page to the warehouse splitter", Layout::kInStock,
       Page(OnSaleRow("1", "12345", "1.00")), {}},
      {"warehouse page to the on-sale splitter", Layout::kOnSale,
       Page(InStockRow("1", "12345", "1.00")), {}},
      {"no data-price: empty price", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"8\" 商家编码：88888 复制链接</a>", {{"0", "8", "88888", ""}}},
      {"no item id: empty id", Layout::kOnSale,
       "<tr class=\"goods-sid \">商家编码：88888 data-price=\"3.50\" 复制链接</a>",
       {{"0", "", "88888", "3.50"}}},
      {"warehouse id must be digits", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"abc\" 商家编码：88888 data-price=\"3\" 复制链接</a>",
       {{"0", "", "88888", "3"}}},
      {"blanks around id and price trimmed", Layout::kOnSale,
       "<tr class=\"goods-sid \"><input id = \"selectedIds: 42 \" type=\"checkbox\" "
       "商家编码：4242 data-price=\"\t4.20 \" 复制链接</a>",
       {{"0", "42", "4242", "4.20"}}},
      {"first code of the row wins", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"9\" 商家编码：12 商家编码：99999 商家编码：88888 "
       "data-price=\"1\" 复制链接</a>",
       {{"0", "9", "99999", "1"}}},
      {"row without its end joins the next one", Layout::kInStock,
       "<tr class=\"goods-sid\">itemIds=\"1\" 商家编码：11111 data-price=\"1\" </tr>" +
           InStockRow("2", "22222", "2"),
       {{"0", "1", "11111", "1"}}},
      {"text between rows is not a row", Layout::kInStock,
       InStockRow("1", "11111", "1") + "商家编码：55555 itemIds=\"5\" 复制链接</a>" +
           InStockRow("2", "22222", "2"),
       {{"0", "1", "11111", "1"}, {"1", "2", "22222", "2"}}},
      {"end text page", Layout::kInStock,
       "<li>共有0条记录 </li><div>没有找到符合条件的宝贝！</div>", {}},
      {"sign-in page", Layout::kOnSale, "<html><title>淘宝网 - 登录</title>亲，请登录</html>", {}},
      {"empty reply", Layout::kOnSale, "", {}},
      {"network error text", Layout::kInStock, "dwError = 12030", {}},
      {"empty row block", Layout::kInStock, "<tr class=\"goods-sid\">复制链接</a>", {}},
  };
  for (const PageCase& c : cases) {
    list_.DeleteAllItems();
    ResetParsedRowCount();
    const CString page(c.page);
    if (c.layout == Layout::kOnSale)
      ParseOnSalePage(page);
    else
      ParseInStockPage(page);
    EXPECT_EQ(Show(Rows()), Show(c.rows)) << c.name;
  }
}

TEST_F(PageParsersTest, RowParsersTakeOneRowBlock) {
  ParseOnSaleRow("<input id = \"selectedIds:61\" type=\"checkbox\" 商家编码：6161 "
                 "data-price=\"6.10\"");
  ParseInStockRow("itemIds=\"62\" 商家编码：6262 data-price=\"6.20\"");
  ParseInStockRow("itemIds=\"63\" 商家编码：626 data-price=\"6.30\"");
  EXPECT_EQ(Show(Rows()), Show({{"0", "61", "6161", "6.10"}, {"1", "62", "6262", "6.20"}}));
}

TEST_F(PageParsersTest, CountFieldShowsTheRowsInTheList) {
  // Rows already in the list (a re-load before the search): the count is of
  // the list, not the number of the last row.
  for (int i = 0; i < 5; ++i) list_.InsertRow(i, {"x", "x", "x", "x"});
  ParseInStockPage(Page(InStockRow("1", "11111", "1.00")));
  EXPECT_EQ(count_.GetWindowText().str(), "6");
  EXPECT_EQ(list_.GetItemText(0, 0).str(), "0");  // row 0 goes to the top
}

TEST_F(PageParsersTest, NumberPastTheEndOfTheListGoesToTheEnd) {
  LockWaitingAgain(g_ParseRowMutex, 50);
  g_ParsedRowCount = 7;
  g_ParseRowMutex.Unlock();
  list_.InsertRow(0, {"a", "a", "a", "a"});
  ParseInStockPage(Page(InStockRow("1", "11111", "1.00")));
  ASSERT_EQ(list_.GetItemCount(), 2);
  EXPECT_EQ(list_.GetItemText(1, 0).str(), "7");
  EXPECT_EQ(list_.GetItemText(1, 1).str(), "1");
}

// A worker of an earlier search brings its page in after the next search
// has reset the list: none of its rows may land in the new list.
TEST_F(PageParsersTest, RowsOfAPinnedThreadStopAfterTheNextReset) {
  std::thread worker([] {
    PinRowListForThisThread();
    ParseInStockPage(Page(InStockRow("1", "11111", "1")));
    ResetParsedRowCount();  // the next search (on any thread)
    ParseInStockPage(Page(InStockRow("2", "22222", "2")));
  });
  worker.join();
  EXPECT_EQ(Show(Rows()), Show({{"0", "1", "11111", "1"}}));
  ParseInStockPage(Page(InStockRow("3", "33333", "3")));  // an unpinned thread
  EXPECT_EQ(Show(Rows()), Show({{"0", "3", "33333", "3"}, {"0", "1", "11111", "1"}}));
}

TEST_F(PageParsersTest, EachAcceptedRowPausesItsThread) {
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  g_RowPauseMs = 100;
  auto start = steady_clock::now();
  ParseInStockPage(Page(InStockRow("1", "11111", "1") + InStockRow("2", "222", "2") +
                        InStockRow("3", "33333", "3")));
  EXPECT_GE(steady_clock::now() - start, milliseconds(200));  // two accepted rows
  EXPECT_EQ(list_.GetItemCount(), 2);

  // The dropped row costs nothing: with a pause far longer than any load
  // could stretch the reading of one row, a row without a merchant code
  // comes back well before a pause would have ended.
  g_RowPauseMs = 20000;
  start = steady_clock::now();
  ParseInStockRow("itemIds=\"4\" 商家编码：444 data-price=\"4\"");
  EXPECT_LT(steady_clock::now() - start, milliseconds(10000));
  EXPECT_EQ(list_.GetItemCount(), 2);
}

// Twenty threads parse pages at once: every number is taken once, and every
// row holds the texts of one item (never another row's), whatever the order
// of the insertions.
TEST_F(PageParsersTest, TwentyThreadsKeepEveryRowWhole) {
  g_RowPauseMs = 1;
  constexpr int kThreads = 20, kPages = 5, kRowsPerPage = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int p = 0; p < kPages; ++p) {
        std::string rows;
        for (int r = 0; r < kRowsPerPage; ++r) {
          const int n = (t * kPages + p) * kRowsPerPage + r;
          const std::string id = std::to_string(100000 + n);
          rows += (t % 2 ? OnSaleRow(id, std::to_string(50000000 + n), std::to_string(n) + ".00")
                         : InStockRow(id, std::to_string(50000000 + n), std::to_string(n) + ".00"));
        }
        if (t % 2)
          ParseOnSalePage(Page(rows));
        else
          ParseInStockPage(Page(rows));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), static_cast<size_t>(kThreads * kPages * kRowsPerPage));
  std::set<std::string> numbers, ids;
  for (const Row& row : rows) {
    numbers.insert(row[0]);
    ids.insert(row[1]);
    const int n = std::stoi(row[1]) - 100000;
    EXPECT_EQ(row[2], std::to_string(50000000 + n)) << "row " << row[0];
    EXPECT_EQ(row[3], std::to_string(n) + ".00") << "row " << row[0];
  }
  EXPECT_EQ(numbers.size(), rows.size());
  EXPECT_EQ(ids.size(), rows.size());
  EXPECT_EQ(*numbers.begin(), "0");
  EXPECT_EQ(count_.GetWindowText().str().empty(), false);
}

// Random damage to real pages: the readers may find fewer rows or none, may
// give up on a page (the worker's pass catches that), but never crash, and
// every row they add carries a merchant code of four or more digits.
TEST_F(PageParsersTest, MutatedPagesNeverCrash) {
  std::string rows;
  for (int i = 0; i < 6; ++i) {
    rows += OnSaleRow(std::to_string(i), std::to_string(10000 + i), "1.00");
    rows += InStockRow(std::to_string(i), std::to_string(20000 + i), "2.00");
  }
  const std::string base = Page(rows);
  const std::vector<std::string> pieces = {
      "<tr class=\"goods-sid\">",  "<tr class=\"goods-sid \">",
      "复制链接</a>",               "商家编码：",
      "data-price=\"",                     "itemIds=\"",
      "<input id = \"selectedIds:",        "\"",
      std::string(1, '\0'),                "\xB8",
      "\xFE\xFE",                          "\r\n"};
  std::mt19937 random(20240607);
  int gave_up = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string page = base;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !page.empty(); ++e) {
      const size_t at = random() % page.size();
      switch (random() % 5) {
        case 0: page.erase(at, 1 + random() % 40); break;
        case 1: page.insert(at, pieces[random() % pieces.size()]); break;
        case 2: page[at] = static_cast<char>(random() % 256); break;
        case 3: page.insert(at, page.substr(random() % page.size(), random() % 200)); break;
        default: page.resize(at); break;
      }
    }
    list_.DeleteAllItems();
    ResetParsedRowCount();
    try {
      if (round % 2)
        ParseOnSalePage(CString(page));
      else
        ParseInStockPage(CString(page));
    } catch (const std::exception&) {
      ++gave_up;
    }
    for (const Row& row : Rows()) {
      ASSERT_GE(row[2].size(), 4u) << "round " << round;
      ASSERT_EQ(row[2].find_first_not_of("0123456789"), std::string::npos) << "round " << round;
    }
  }
  EXPECT_LT(gave_up, 3000);
}

}  // namespace
