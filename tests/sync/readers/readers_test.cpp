// The bookstore readers on product pages and price replies, and the number
// texts they and the price rules share.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sync/bookstore_readers.h"
#include "services/text_services.h"
#include "sync/decimal_text.h"
#include "tests/sites/bookstores.h"

namespace {

using sites::BookProduct;
using sites::DiscountLayout;
using sites::ListLayout;
using sites::SaleLayout;

const char* const kDangdang = "当当网";
const char* const kJd = "京东图书";

struct Read {
  float sale;
  std::string list, discount, title;
};

Read ReadAll(const std::string& page, const char* store) {
  CString text(page);
  return {GetSalePrice(text, store), GetOriginalPrice(text, store).str(),
          GetDiscountText(text, store).str(), GetProductTitle(text).str()};
}

// Every combination of the sale, list-price and discount layouts on a full
// product page (about 200 KB of markup around the price block).
TEST(BookstoreReaders, DangdangPagesOfEveryLayout) {
  for (int sale = 0; sale < 3; ++sale) {
    for (int list = 0; list < 4; ++list) {
      for (int discount = 0; discount < 3; ++discount) {
        for (bool empty_right : {false, true}) {
          BookProduct product;
          product.number = "23456789";
          product.title = "活着（余华代表作）";
          product.sale = "30.50";
          product.list = "40.00";
          product.discount = "(7.5折)";
          product.sale_layout = static_cast<SaleLayout>(sale);
          product.list_layout = static_cast<ListLayout>(list);
          product.discount_layout = static_cast<DiscountLayout>(discount);
          product.empty_right_block = empty_right;
          const std::string page = sites::DangdangPage(product);
          SCOPED_TRACE("sale layout " + std::to_string(sale) + ", list layout " +
                       std::to_string(list) + ", discount layout " + std::to_string(discount) +
                       (empty_right ? ", empty first block" : ""));
          ASSERT_GT(page.size(), 190000u);
          Read read = ReadAll(page, kDangdang);
          EXPECT_EQ(read.sale, 30.5f);
          EXPECT_EQ(read.list, product.list_layout == ListLayout::kNone ? "0.00" : "40.00");
          EXPECT_EQ(read.discount, product.discount_layout == DiscountLayout::kNone ? "0.00" : "7.5");
          EXPECT_EQ(read.title, product.title);
        }
      }
    }
  }
}

struct PageCase {
  const char* name;
  const char* store;
  std::string page;
  Read expected;
};

TEST(BookstoreReaders, PageSamples) {
  const std::vector<PageCase> cases = {
      {"dd-price only, white space around the number", kDangdang,
       "<p id=\"dd-price\">\r\n<span class=\"yen\">&yen;</span>\r\n  19.90 \t\r\n</p>",
       {19.9f, "0.00", "0.00", ""}},
      {"first pattern captures empty text, the second holds the price", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen;</span>"
       "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>25.00</p>",
       {25.0f, "0.00", "0.00", ""}},
      {"empty first match of a pattern, a later match of the same pattern", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen;</span>"
       "<div class=\"right\"><span class=\"price_d\">&yen;12.30</span>",
       {12.3f, "0.00", "0.00", ""}},
      {"untrimmed patterns keep the blanks: the number still parses", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen; 8.80</span>"
       "<span class=\"price_m\">&yen; 12.00 </span><span class=\"price_zhe\" > (7.3折) </span>",
       {8.8f, " 12.00 ", "7.3", ""}},
      {"prices of a thousand and more, digits grouped by commas", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen;1,234.50</span>"
       "<span class=\"price_m\">&yen; 12,345,678.00</span>",
       {1234.5f, " 12345678.00", "0.00", ""}},
      {"a comma that groups no three digits ends the number", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen;1,23</span>"
       "<span class=\"price_m\">&yen;1234,567.00</span>",
       {1.0f, "1234,567.00", "0.00", ""}},
      {"tags in capitals", kDangdang,
       "<DIV CLASS=\"RIGHT\"><SPAN CLASS=\"PRICE_D\">&YEN;45.60</SPAN>",
       {45.6f, "0.00", "0.00", ""}},
      {"a sale price that is no number", kDangdang,
       "<div class=\"right\"><span class=\"price_d\">&yen;暂无</span>", {0.0f, "0.00", "0.00", ""}},
      {"discount without brackets, second layout", kDangdang,
       "<div class=\"price_zhe\" id=\"price_discount\" >8.6折</div>", {0.0f, "0.00", "8.6", ""}},
      {"discount element without the blank before >", kDangdang,
       "<span class=\"price_zhe\">(7.5折)</span>", {0.0f, "0.00", "0.00", ""}},
      {"title untrimmed", kDangdang, "<h1 title=\" 围城 \">", {0.0f, "0.00", "0.00", " 围城 "}},
      {"JD reply", kJd, "[{\"id\":\"J_11\",\"p\":\"39.80\",\"m\":\"49.00\"}]\r\n",
       {39.8f, "49.00", "", ""}},
      {"JD reply with grouped digits", kJd, "[{\"id\":\"J_11\",\"p\":\"1,039.80\",\"m\":\"1,049.00\"}]",
       {1039.8f, "1049.00", "", ""}},
      {"JD reply without p", kJd, "[{\"id\":\"J_11\",\"op\":\"39.80\",\"m\":\"49.00\"}]\r\n",
       {0.0f, "49.00", "", ""}},
      {"JD reply without m", kJd, "[{\"id\":\"J_11\",\"p\":\"39.80\"}]\r\n", {39.8f, "0.00", "", ""}},
      {"JD reply of an unknown sku", kJd, "[{\"id\":\"J_11\",\"p\":\"-1\",\"m\":\"-1\"}]\r\n",
       {-1.0f, "-1", "", ""}},
      {"JD reads no Dangdang element", kJd,
       "<h1 title=\"书\"><div class=\"right\"><span class=\"price_d\">&yen;5.00</span>",
       {0.0f, "0.00", "", "书"}},
      {"Dangdang reads no JD field", kDangdang, "{\"p\":\"39.80\",\"m\":\"49.00\"}",
       {0.0f, "0.00", "0.00", ""}},
      {"store without a reader", "博库", sites::DangdangPage(BookProduct()), {0.0f, "", "", ""}},
      {"unknown store text", "当当", sites::DangdangPage(BookProduct()), {0.0f, "", "", ""}},
      {"not-found page", kDangdang, sites::DangdangNotFoundPage(), {0.0f, "0.00", "0.00", ""}},
      {"empty page", kDangdang, "", {0.0f, "0.00", "0.00", ""}},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.name);
    Read read = ReadAll(c.page, c.store);
    EXPECT_EQ(read.sale, c.expected.sale);
    EXPECT_EQ(read.list, c.expected.list);
    EXPECT_EQ(read.discount, c.expected.discount);
    EXPECT_EQ(read.title, c.expected.title);
  }
}

// The readers as the tables of patterns describe them, each pattern applied
// with RegexFirst: the oracle for the readers' faster search.
std::string Oracle(const std::vector<std::pair<const char*, bool>>& patterns, const std::string& page) {
  for (const auto& [pattern, trimmed] : patterns) {
    CString text(page);
    CString found = RegexFirst(text, MakeRegex(pattern));
    if (trimmed) found.Trim();
    if (!found.IsEmpty()) return found.str();
  }
  return std::string();
}

Read OracleRead(const std::string& page) {
  std::string sale = Oracle({{"<div class=\"right\"><span class=\"price_d\">&yen;(.*?)</span>", false},
                             {"<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>", false},
                             {"<p id=\"dd-price\">.*?<span class=\"yen\">&yen;</span>(.*?)</p>", true}},
                            page);
  std::string list = Oracle(
      {{"<span class=\"price_m\">&yen;(.*?)</span>", false},
       {"<div class=\"price_m\">.*?<span class=\"yen\">&yen;</span>(.*?)</div>", false},
       {"<div class=\"price_m\" id='original-price'>.*?<span class=\"yen\">&yen;</span>(.*?)</div>", true}},
      page);
  CString discount = Oracle({{"<span class=\"price_zhe\" >(.*?)</span>", false},
                             {"<div class=\"price_zhe\" id=\"price_discount\" >(.*?)</div>", false}},
                            page);
  if (discount.IsEmpty()) {
    discount = "0.00";
  } else {
    discount.Replace("(", "");
    discount.Replace(")", "");
    discount.Replace("折", "");
    discount.Trim();
  }
  return {static_cast<float>(ParseDecimal(WithoutDigitGrouping(sale.c_str()))),
          list.empty() ? "0.00" : WithoutDigitGrouping(CString(list)).str(), discount.str(),
          Oracle({{"<h1 title=\"(.*?)\">", false}}, page)};
}

// Pages spoiled at random (letters in other case, bytes dropped or doubled,
// element starts without their ends, empty elements, zero bytes, pages cut
// short) read as the patterns read them, and never take the reader down.
TEST(BookstoreReaders, SpoiledPagesReadAsThePatternsRead) {
  std::mt19937 random(20161017);
  const char* fragments[] = {"<div class=\"right\"><span class=\"price_d\">&yen;",
                             "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>",
                             "<P ID=\"DD-PRICE\">", "<span class=\"yen\">&yen;</span>", "</p>", "</span>",
                             "<div class=\"price_m\">", "<SPAN CLASS=\"PRICE_ZHE\" >", "</div>",
                             "<h1 title=\"", "\">", std::string(1, '\0').c_str()};
  for (int round = 0; round < 150; ++round) {
    sites::ShopItem item;
    item.code = std::to_string(random() % 100000);
    item.price = "23.45";
    item.title = "书";
    std::string page = sites::DangdangPage(sites::DangdangProductFor(item));
    // Spoil the part around the price block most, where the patterns look.
    const size_t block = page.find("name_info");
    for (int change = 0; change < 6; ++change) {
      const size_t at = block + random() % 1500;
      if (at >= page.size()) continue;
      switch (random() % 6) {
        case 0:
          for (size_t i = at; i < std::min(page.size(), at + 40); ++i) {
            if (page[i] >= 'a' && page[i] <= 'z') page[i] = static_cast<char>(page[i] - 32);
          }
          break;
        case 1: page.erase(at, 1 + random() % 8); break;
        case 2: page.insert(at, page.substr(at, 1 + random() % 30)); break;
        case 3: page.insert(at, fragments[random() % 11]); break;
        case 4: page.insert(at, std::string(1, '\0')); break;
        default: page.insert(random() % page.size(), fragments[random() % 11]); break;
      }
    }
    if (round % 5 == 4) page.resize(block + random() % 2000);
    SCOPED_TRACE("round " + std::to_string(round));
    Read read = ReadAll(page, kDangdang);
    Read expected = OracleRead(page);
    EXPECT_EQ(read.sale, expected.sale);
    EXPECT_EQ(read.list, expected.list);
    EXPECT_EQ(read.discount, expected.discount);
    EXPECT_EQ(read.title, expected.title);
  }
}

TEST(DecimalText, ParseAsTheCLibraryInTheCLocale) {
  const std::vector<std::pair<const char*, double>> cases = {
      {"39.80", 39.8},  {"  12.5abc", 12.5}, {"", 0},        {"abc", 0},     {"-3", -3},
      {"+2.", 2},       {".5", 0.5},         {"1e3", 1000},  {"1e", 1},      {"1e+", 1},
      {"\t\r\n7", 7},   {"nan", 0},          {"inf", 0},     {"0x1A", 0},    {"1e400", 0},
      {"32.40", 32.4},  {"8.6折", 8.6},      {"1,5", 1},     {"-", 0},       {".", 0},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseDecimal(text), value);
  }
}

TEST(DecimalText, TwoDecimalsAsPrintfGives) {
  const std::vector<std::pair<double, const char*>> cases = {
      {32.4f, "32.40"}, {5.0, "5.00"},   {0.125, "0.12"}, {0.375, "0.38"}, {2.675, "2.67"},
      {-1.0, "-1.00"},  {1e6, "1000000.00"}, {0.0, "0.00"},
      {std::numeric_limits<double>::quiet_NaN(), "0.00"},
      {std::numeric_limits<double>::infinity(), "0.00"},
  };
  for (const auto& [value, text] : cases) {
    char expected[64];
    std::snprintf(expected, sizeof(expected), "%.2f", value);
    if (std::isfinite(value)) {
      EXPECT_STREQ(text, expected);
    }
    EXPECT_EQ(FormatTwoDecimals(value), text);
  }
}

}  // namespace
