#include "sync/price_rules.h"

#include <cmath>

#include "services/globals.h"
#include "sync/bookstore_readers.h"
#include "sync/decimal_text.h"

const char* const kRuleKeyword = "关键字";
const char* const kRulePriceRange = "价格区间";
const char* const kRuleAllProducts = "所有商品";
const char* const kPriceNotObtained = "未能获取价格";
const char* const kPriceNeedsUpdate = "需要更新";

namespace {

// Columns of a condition row.
constexpr int kTypeColumn = 1;
constexpr int kMatchColumn = 2;
constexpr int kDiscountColumn = 3;
constexpr int kMarkupColumn = 4;

// Any state but unticked counts as ticked. A page not created yet has no
// boxes, and then no family takes part.
bool Ticked(CButton* box) { return box != nullptr && box->GetCheck() != BST_UNCHECKED; }

double EditNumber(CEdit* edit) {
  return edit != nullptr ? ParseDecimal(edit->GetWindowText()) : 0.0;
}

CString RuleCell(int row, int column) {
  return g_RuleList != nullptr ? g_RuleList->GetItemText(row, column) : CString();
}

// The range "low-high" of a row holds `price` strictly; without a hyphen the
// whole text is the high bound and the low one is 0.
bool RangeHolds(const CString& range, float price) {
  const int hyphen = range.Find('-');
  const double low = hyphen < 0 ? 0.0 : ParseDecimal(range.Left(hyphen));
  const double high = ParseDecimal(hyphen < 0 ? range : range.Mid(hyphen + 1));
  const double value = price;
  return low < value && value < high;
}

// The first ticked price-range row that holds `price`; -1 when none.
int FirstRangeRow(float price) {
  for (int row : FindRuleRows(kRulePriceRange)) {
    if (RangeHolds(RuleCell(row, kMatchColumn), price)) return row;
  }
  return -1;
}

int FirstAllProductsRow() {
  std::vector<int> rows = FindRuleRows(kRuleAllProducts);
  return rows.empty() ? -1 : rows.front();
}

// The two-decimal price `text`, or "0.00" (no update) when it reaches the
// limit.
CString WithinLimit(const CString& text) {
  return ParseDecimal(text) < kPriceLimit ? text : CString("0.00");
}

// The rule's price `new_price` bounded by `bound`, unless it is not finite
// or reaches the limit: bounding such a price would send the fallback
// discount or the floor in its place, so it gives "0.00" (no update).
template <typename Bound>
CString BoundedPrice(float new_price, Bound bound) {
  if (!std::isfinite(new_price) || !(new_price < kPriceLimit)) return CString("0.00");
  return WithinLimit(bound());
}

// Steps shared by both bounds: `own_discount` is the bookstore's discount in
// tenths (10 when unknown).
CString Bound(float own_discount, float new_price, float list_price) {
  const double threshold = EditNumber(g_YuanJiaZheEdit);
  const double fallback = EditNumber(g_ShiYongZheEdit);
  auto fallback_price = [&] { return static_cast<float>((fallback * list_price) * 0.1); };
  // The bookstore sells at or below the threshold: take the fallback discount
  // of the list price.
  float price = threshold >= own_discount ? fallback_price() : new_price;
  // The discount this price gives against the list price. With a list price
  // of 0 the quotient is infinite or undefined and the test fails.
  const float discount = (price / list_price) * 10.0f;
  if (threshold >= discount) price = fallback_price();
  if (price < 5.0f) price = 5.0f;
  return FormatTwoDecimals(price);
}

}  // namespace

std::vector<int> FindRuleRows(CString type) {
  std::vector<int> rows;
  CListCtrl* list = g_RuleList;
  if (list == nullptr) return rows;
  const int count = list->GetItemCount();
  for (int row = 0; row < count; ++row) {
    if (list->GetCheck(row) && list->GetItemText(row, kTypeColumn) == type) rows.push_back(row);
  }
  return rows;
}

float CalcNewPrice(float base, CString discount, CString markup) {
  const double z = ParseDecimal(discount);
  const double j = ParseDecimal(markup);
  const float value = static_cast<float>(j + ((z * base) * 0.1));
  // Stays beyond a float: its text "0.00" would read back as 0, which the
  // bounds would then raise to a price.
  if (!std::isfinite(value)) return value;
  return static_cast<float>(ParseDecimal(FormatTwoDecimals(value)));
}

CString ClampByDiscount(const CString& page, CString store, float new_price, float list_price) {
  float own = static_cast<float>(ParseDecimal(GetDiscountText(page, store)));
  if (own == 0.0f) own = 10.0f;
  return Bound(own, new_price, list_price);
}

CString ClampByDiscountCategory(float list_price, float new_price) {
  return Bound(10.0f, new_price, list_price);
}

bool DecidePriceUpdate(CString new_text, CString& current) {
  if (new_text == "0.00") {
    current = kPriceNotObtained;
    return false;
  }
  if (new_text != current) {
    current = kPriceNeedsUpdate;
    return true;
  }
  return false;
}

bool ApplyPriceRule(float& price, CString& current, const CString& page, CString store) {
  const float sale = GetSalePrice(page, store);
  price = sale;
  // No price, or JD's "-1" for a sku it does not know: no price to set.
  if (!(sale > 0.0f)) return false;
  const float list_price = static_cast<float>(ParseDecimal(GetOriginalPrice(page, store)));

  int row = -1;
  if (Ticked(g_UseKeyWordCheck)) {
    const CString title = GetProductTitle(page);
    for (int candidate : FindRuleRows(kRuleKeyword)) {
      if (title.Find(RuleCell(candidate, kMatchColumn)) >= 0) {
        row = candidate;
        break;
      }
    }
  }
  if (row < 0 && Ticked(g_UsePriceCheck)) row = FirstRangeRow(sale);
  if (row < 0 && Ticked(g_UseAllProductsCheck)) row = FirstAllProductsRow();
  if (row < 0) return false;

  const float new_price =
      CalcNewPrice(sale, RuleCell(row, kDiscountColumn), RuleCell(row, kMarkupColumn));
  const CString text =
      BoundedPrice(new_price, [&] { return ClampByDiscount(page, store, new_price, list_price); });
  price = static_cast<float>(ParseDecimal(text));
  return DecidePriceUpdate(text, current);
}

bool ApplyCategoryPriceRule(CString& base, CString& current, CString list_price) {
  const float list = static_cast<float>(ParseDecimal(list_price));
  const float base_price = static_cast<float>(ParseDecimal(base));
  int row = -1;
  if (Ticked(g_UsePriceCheck)) row = FirstRangeRow(base_price);
  if (row < 0 && Ticked(g_UseAllProductsCheck)) row = FirstAllProductsRow();
  if (row < 0) return false;

  const float new_price =
      CalcNewPrice(base_price, RuleCell(row, kDiscountColumn), RuleCell(row, kMarkupColumn));
  base = FormatTwoDecimals(new_price);
  const CString text =
      BoundedPrice(new_price, [&] { return ClampByDiscountCategory(list, new_price); });
  return DecidePriceUpdate(text, current);
}
