// The price-rule engine against the pricing page's controls (made here,
// headless, and published in the globals as the page publishes its own).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "sync/decimal_text.h"
#include "sync/price_rules.h"
#include "tests/sites/bookstores.h"

namespace {

const char* const kDangdang = "当当网";
const char* const kJd = "京东图书";

struct Rule {
  const char* type;
  const char* match;
  const char* discount;
  const char* markup;
  bool ticked = true;
};

class PriceRules : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* headings[] = {"编号", "处理类型", "匹配条件", "折扣", "加价"};
    for (int i = 0; i < 5; ++i) rules_.InsertColumn(i, headings[i], LVCFMT_CENTER, 60);
    g_RuleList = &rules_;
    g_UseKeyWordCheck = &keyword_;
    g_UsePriceCheck = &range_;
    g_UseAllProductsCheck = &all_;
    g_YuanJiaZheEdit = &threshold_;
    g_ShiYongZheEdit = &fallback_;
  }
  void TearDown() override {
    g_RuleList = nullptr;
    g_UseKeyWordCheck = g_UsePriceCheck = g_UseAllProductsCheck = nullptr;
    g_YuanJiaZheEdit = g_ShiYongZheEdit = nullptr;
  }

  void SetRules(const std::vector<Rule>& rules) {
    rules_.DeleteAllItems();
    for (const Rule& rule : rules) {
      int row = rules_.InsertRow(rules_.GetItemCount(),
                                 {"", rule.type, rule.match, rule.discount, rule.markup});
      rules_.SetCheck(row, rule.ticked);
    }
  }
  // Which families take part, and the two discount edits.
  void SetBoxes(bool keyword, bool range, bool all) {
    keyword_.SetCheck(keyword ? BST_CHECKED : BST_UNCHECKED);
    range_.SetCheck(range ? BST_CHECKED : BST_UNCHECKED);
    all_.SetCheck(all ? BST_CHECKED : BST_UNCHECKED);
  }
  void SetBounds(const char* threshold, const char* fallback) {
    threshold_.SetWindowText(threshold);
    fallback_.SetWindowText(fallback);
  }

  // Runs the rule on a Dangdang page; the new price as two-decimal text.
  struct Outcome {
    bool update;
    std::string price;
    std::string current;
  };
  Outcome Apply(const std::string& page, const char* current, const char* store = kDangdang) {
    float price = -1;
    CString text = current;
    bool update = ApplyPriceRule(price, text, CString(page), store);
    return {update, FormatTwoDecimals(price).str(), text.str()};
  }

  CListCtrl rules_;
  CButton keyword_, range_, all_;
  CEdit threshold_, fallback_;
};

sites::BookProduct Product(const char* sale, const char* list, const char* discount,
                           const char* title = "活着") {
  sites::BookProduct product;
  product.title = title;
  product.sale = sale;
  product.list = list;
  if (list[0] == '\0') product.list_layout = sites::ListLayout::kNone;
  product.discount = discount;
  if (discount[0] == '\0') product.discount_layout = sites::DiscountLayout::kNone;
  return product;
}

std::string Page(const char* sale, const char* list, const char* discount, const char* title = "活着") {
  return sites::DangdangPage(Product(sale, list, discount, title));
}

TEST_F(PriceRules, WorkedExamples) {
  SetBounds("5", "6");
  SetBoxes(false, false, true);
  SetRules({{"所有商品", "", "8.6", "6.6"}});
  Outcome main = Apply(Page("30.00", "40.00", "(7.5折)"), "35.00");
  EXPECT_TRUE(main.update);
  EXPECT_EQ(main.price, "32.40");
  EXPECT_EQ(main.current, "需要更新");

  // The bookstore's own discount at or below the threshold: the fallback
  // discount of the list price.
  SetRules({{"所有商品", "", "10", "0"}});
  EXPECT_EQ(Apply(Page("12.00", "40.00", "(3折)"), "35.00").price, "24.00");
  // The rule's price is a discount below the threshold against the list price.
  SetRules({{"所有商品", "", "0", "5"}});
  EXPECT_EQ(Apply(Page("30.00", "40.00", "(7.5折)"), "35.00").price, "24.00");
  // No bound, then the floor.
  SetRules({{"所有商品", "", "10", "0"}});
  EXPECT_EQ(Apply(Page("3.50", "4.00", ""), "35.00").price, "5.00");
}

TEST_F(PriceRules, NewPriceRoundedInSinglePrecision) {
  EXPECT_EQ(CalcNewPrice(30.0f, "8.6", "6.6"), 32.4f);
  // A rule without discount yields its markup; without markup the discounted price.
  EXPECT_EQ(CalcNewPrice(30.0f, "", "6.6"), 6.6f);
  EXPECT_EQ(CalcNewPrice(30.0f, "8.6", ""), 25.8f);
  EXPECT_EQ(CalcNewPrice(19.99f, "8.8", "0"), 17.59f);  // 17.5912 rounds down
  // 9.995 narrowed to single precision lies below 9.995: it rounds down.
  EXPECT_EQ(CalcNewPrice(10.0f, "9.995", "0"), 9.99f);
}

TEST_F(PriceRules, BoundsAndTheFloor) {
  struct Case {
    const char* name;
    const char* threshold;
    const char* fallback;
    const char* discount;  // on the page
    float new_price, list_price;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"discount above the threshold: the rule's price", "5", "6", "(7.5折)", 32.4f, 40, "32.40"},
      {"discount at the threshold counts", "7.5", "6", "(7.5折)", 32.4f, 40, "24.00"},
      {"price's discount at the threshold counts", "7.5", "9", "(9折)", 30.0f, 40, "36.00"},
      // 32.4f / 40 × 10 in single precision lies above the double 8.1.
      {"price's discount compared in single precision", "8.1", "9", "(9折)", 32.4f, 40, "32.40"},
      {"no discount element counts as 10", "8", "6", "", 32.4f, 40, "32.40"},
      {"no discount element, threshold 10", "10", "6", "", 32.4f, 40, "24.00"},
      {"empty edits read 0: no bound", "", "", "(3折)", 32.4f, 40, "32.40"},
      {"edits hold no number: no bound", "d", "d", "(3折)", 32.4f, 40, "32.40"},
      {"no list price, threshold over the discount: 0, then the floor", "5", "6", "(3折)", 32.4f, 0,
       "5.00"},
      {"no list price, discount above the threshold: kept", "5", "6", "(7.5折)", 32.4f, 0, "32.40"},
      {"below 5.00 after the bound: the floor", "5", "1", "(3折)", 32.4f, 40, "5.00"},
      {"price of 0 against no list price: undefined quotient fails the test", "5", "6", "(7.5折)", 0,
       0, "5.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetBounds(c.threshold, c.fallback);
    const CString page = Page("30.00", "40.00", c.discount).c_str();
    EXPECT_EQ(ClampByDiscount(page, kDangdang, c.new_price, c.list_price), c.expected);
  }
}

TEST_F(PriceRules, FamiliesInOrder) {
  SetBounds("", "");
  SetRules({{"所有商品", "", "10", "3"},
            {"价格区间", "0-100", "10", "2"},
            {"关键字", "余华", "10", "1"}});
  const std::string page = Page("30.00", "", "", "活着（余华代表作）");
  struct Case {
    bool keyword, range, all;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {true, true, true, "31.00"},   // the keyword wins over a range that also holds
      {false, true, true, "32.00"},  // range before all products
      {false, false, true, "33.00"},
      {true, false, false, "31.00"},
      {false, false, false, "30.00"},  // no family: the sale price, no decision
  };
  for (const Case& c : cases) {
    SetBoxes(c.keyword, c.range, c.all);
    Outcome outcome = Apply(page, "1.00");
    EXPECT_EQ(outcome.price, c.expected);
    EXPECT_EQ(outcome.current, outcome.update ? "需要更新" : "1.00");
  }
  // A keyword that the title lacks: the next family.
  SetBoxes(true, true, true);
  EXPECT_EQ(Apply(Page("30.00", "", "", "围城"), "1.00").price, "32.00");
  // Case matters.
  SetRules({{"关键字", "abc", "10", "1"}, {"所有商品", "", "10", "3"}});
  EXPECT_EQ(Apply(Page("30.00", "", "", "ABC"), "1.00").price, "33.00");
  // An indeterminate box counts as ticked.
  SetBoxes(false, false, false);
  all_.SetCheck(2);  // the third state of a three-state box
  EXPECT_EQ(Apply(page, "1.00").price, "33.00");
}

TEST_F(PriceRules, EmptyKeywordMatchesEveryTitle) {
  SetBounds("", "");
  SetBoxes(true, false, true);
  SetRules({{"关键字", "图书", "10", "1"}, {"关键字", "", "10", "2"}, {"所有商品", "", "10", "3"}});
  EXPECT_EQ(Apply(Page("30.00", "", "", ""), "1.00").price, "32.00");
  EXPECT_EQ(Apply(Page("30.00", "", "", "图书"), "1.00").price, "31.00");
  // JD replies have no title: only the empty keyword matches them.
  const std::string jd = "[{\"id\":\"J_5\",\"p\":\"30.00\",\"m\":\"40.00\"}]\r\n";
  EXPECT_EQ(Apply(jd, "1.00", kJd).price, "32.00");
  SetRules({{"关键字", "图书", "10", "1"}, {"所有商品", "", "10", "3"}});
  EXPECT_EQ(Apply(jd, "1.00", kJd).price, "33.00");
}

TEST_F(PriceRules, PriceRanges) {
  SetBounds("", "");
  SetBoxes(false, true, false);
  struct Case {
    const char* range;
    const char* sale;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"10-20", "10.00", false}, {"10-20", "20.00", false}, {"10-20", "15.00", true},
      {"10-20", "10.01", true},  {"0-88", "87.99", true},   {"0-88", "88.00", false},
      {"88", "87.99", true},     {"88", "88.00", false},    {"88", "6.00", true},
      {"10-", "15.00", false},   {"10-", "9.00", false},    {"-20", "19.99", true},
      {"-20", "20.00", false},   {"10-20-30", "15.00", true}, {"x-y", "15.00", false},
      {" 10 - 20 ", "15.00", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.range) + " with " + c.sale);
    SetRules({{"价格区间", c.range, "10", "1"}});
    Outcome outcome = Apply(Page(c.sale, "", ""), "1.00");
    EXPECT_EQ(outcome.update, c.matches);
    const float expected = static_cast<float>(ParseDecimal(c.sale)) + (c.matches ? 1.0f : 0.0f);
    EXPECT_EQ(outcome.price, FormatTwoDecimals(expected).str());
  }
  // The first ticked range that holds, in list order.
  SetRules({{"价格区间", "0-10", "10", "1"},
            {"价格区间", "0-50", "10", "2", false},
            {"价格区间", "20-50", "10", "3"},
            {"价格区间", "0-100", "10", "4"}});
  EXPECT_EQ(Apply(Page("30.00", "", ""), "1.00").price, "33.00");
}

TEST_F(PriceRules, FirstTickedAllProductsRule) {
  SetBounds("", "");
  SetBoxes(false, false, true);
  SetRules({{"所有商品", "", "10", "9", false},
            {"关键字", "", "10", "8"},
            {"所有商品", "", "10", "1"},
            {"所有商品", "", "10", "2"}});
  EXPECT_EQ(Apply(Page("30.00", "", ""), "1.00").price, "31.00");
  EXPECT_EQ(FindRuleRows("所有商品"), (std::vector<int>{2, 3}));
  EXPECT_EQ(FindRuleRows("关键字"), (std::vector<int>{1}));
  EXPECT_TRUE(FindRuleRows("所有").empty());
}

TEST_F(PriceRules, Decisions) {
  SetBounds("", "");
  SetBoxes(false, false, true);
  SetRules({{"所有商品", "", "8.6", "6.6"}});
  const std::string page = Page("30.00", "40.00", "(7.5折)");
  EXPECT_EQ(Apply(page, "32.4").current, "需要更新");  // text comparison: 32.4 is not 32.40
  Outcome same = Apply(page, "32.40");
  EXPECT_FALSE(same.update);
  EXPECT_EQ(same.current, "32.40");
  EXPECT_EQ(same.price, "32.40");

  CString current = "35";
  EXPECT_TRUE(DecidePriceUpdate("35.00", current));
  EXPECT_EQ(current, "需要更新");
  current = "35.00";
  EXPECT_FALSE(DecidePriceUpdate("0.00", current));
  EXPECT_EQ(current, "未能获取价格");
}

// Pages and rules out of the ordinary, each with what the call leaves.
TEST_F(PriceRules, UnusualPricesAndRuleResults) {
  SetBounds("5", "6");
  SetBoxes(true, true, true);
  struct Case {
    const char* name;
    std::string page;
    const char* store;
    const char* markup;  // of the one rule, 10 折
    bool update;
    const char* price;
    const char* current;
  };
  const std::vector<Case> cases = {
      {"no price on the page", sites::DangdangNotFoundPage(), kDangdang, "1", false, "0.00", "35.00"},
      {"price that is no number", "<div class=\"right\"><span class=\"price_d\">&yen;缺货</span>",
       kDangdang, "1", false, "0.00", "35.00"},
      {"JD reply without p", "[{\"id\":\"J_5\",\"m\":\"40.00\"}]", kJd, "1", false, "0.00",
       "35.00"},
      {"JD's answer for an unknown sku", "[{\"id\":\"J_5\",\"p\":\"-1\",\"m\":\"-1\"}]", kJd,
       "1", false, "-1.00", "35.00"},
      {"store without a reader", Page("30.00", "40.00", ""), "博库", "1", false, "0.00", "35.00"},
      {"sale price with grouped digits", Page("1,234.50", "1,500.00", "(8.2折)"), kDangdang, "1",
       true, "1235.50", "需要更新"},
      // The bookstore's 4.9 折 is at the threshold: 6 折 of the whole list price.
      {"list price with grouped digits", Page("1,234.50", "2,500.00", "(4.9折)"), kDangdang, "1",
       true, "1500.00", "需要更新"},
      // Not the fallback discount of the list price, nor the 5.00 floor.
      {"rule result beyond a float", Page("30.00", "40.00", "(3折)"), kDangdang, "1e39", false,
       "0.00", "未能获取价格"},
      {"rule result beyond a float, no bound", Page("30.00", "40.00", "(7.5折)"), kDangdang,
       "-1e39", false, "0.00", "未能获取价格"},
      // Prices of 100,000.00 and more are no price to send, the rule's or the bound one.
      {"rule result at the limit", Page("30.00", "40.00", "(7.5折)"), kDangdang, "99970", false,
       "0.00", "未能获取价格"},
      {"rule result beyond a float's cents", Page("30.00", "40.00", "(3折)"), kDangdang,
       "1000000000000000000000000000000", false, "0.00", "未能获取价格"},
      {"rule result below the limit", Page("30.00", "40.00", "(7.5折)"), kDangdang, "99969.99",
       true, "99999.99", "需要更新"},
      {"bound price at the limit", Page("30.00", "200,000.00", "(0.1折)"), kDangdang, "1", false,
       "0.00", "未能获取价格"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetRules({{"所有商品", "", "10", c.markup}});
    Outcome outcome = Apply(c.page, "35.00", c.store);
    EXPECT_EQ(outcome.update, c.update);
    EXPECT_EQ(outcome.price, c.price);
    EXPECT_EQ(outcome.current, c.current);
  }
}

// The pricing page may change while a sync runs: each call reads it anew.
TEST_F(PriceRules, ControlsReadOnEveryCall) {
  SetBoxes(false, false, true);
  SetRules({{"所有商品", "", "10", "0"}});
  const std::string page = Page("12.00", "40.00", "(3折)");
  SetBounds("5", "6");
  EXPECT_EQ(Apply(page, "1.00").price, "24.00");
  SetBounds("2", "6");
  EXPECT_EQ(Apply(page, "1.00").price, "12.00");
  rules_.SetCheck(0, FALSE);
  EXPECT_FALSE(Apply(page, "1.00").update);
}

TEST_F(PriceRules, CategoryVariant) {
  SetBounds("5", "6");
  SetBoxes(true, true, true);
  SetRules({{"关键字", "", "10", "9"}, {"价格区间", "10-20", "10", "1"}, {"所有商品", "", "10", "0"}});
  struct Case {
    const char* base;
    const char* list;
    const char* current;
    bool update;
    const char* new_base;     // unbounded
    const char* new_current;
  };
  const std::vector<Case> cases = {
      {"15.00", "0", "16.00", false, "16.00", "16.00"},         // range (no keyword family)
      {"15.00", "40.00", "16.00", true, "16.00", "需要更新"},     // range; bound to 24.00
      {"8.00", "40.00", "1.00", true, "8.00", "需要更新"},        // all products; bound to 24.00
      {"3.00", "0", "5.00", false, "3.00", "5.00"},             // floor 5.00 equals the shop price
      {"5.50", "0", "5.50", false, "5.50", "5.50"},             // no list price: below 6 stays
      {"0", "40.00", "1.00", true, "0.00", "需要更新"},          // no test for a zero price
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base);
    CString base = c.base, current = c.current;
    EXPECT_EQ(ApplyCategoryPriceRule(base, current, c.list), c.update);
    EXPECT_EQ(base, c.new_base);
    EXPECT_EQ(current, c.new_current);
  }
  EXPECT_EQ(ClampByDiscountCategory(40.0f, 12.0f), "24.00");
  EXPECT_EQ(ClampByDiscountCategory(40.0f, 32.4f), "32.40");
  EXPECT_EQ(ClampByDiscountCategory(0.0f, 5.9f), "5.90");
  SetBoxes(true, false, false);
  CString base = "15.00", current = "1.00";
  EXPECT_FALSE(ApplyCategoryPriceRule(base, current, "40.00"));
  EXPECT_EQ(base, "15.00");

  // A result beyond a float, or of 100,000.00 and more, is no price to
  // bound, whatever the threshold.
  SetBoxes(false, false, true);
  for (const char* markup : {"1e39", "99985"}) {
    SetRules({{"所有商品", "", "10", markup}});
    for (const char* threshold : {"5", "10"}) {
      SCOPED_TRACE(std::string(markup) + ", threshold " + threshold);
      SetBounds(threshold, "6");
      base = "15.00";
      current = "16.00";
      EXPECT_FALSE(ApplyCategoryPriceRule(base, current, "40.00"));
      EXPECT_EQ(current, "未能获取价格");
    }
  }
}

}  // namespace
