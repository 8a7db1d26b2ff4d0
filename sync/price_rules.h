#pragma once
// The price-rule engine: which ticked condition of the pricing page applies
// to a product, the new shop price it gives, and whether the shop's price
// must change.
//
// Every call reads the pricing page's controls live through the globals the
// page publishes (g_RuleList, g_UseKeyWordCheck, g_UsePriceCheck,
// g_UseAllProductsCheck, g_YuanJiaZheEdit, g_ShiYongZheEdit), so a change on
// the page takes effect from the next item of a running sync. No lock is
// taken; the producers of a sync call these from their threads at once.
//
// Prices travel as single-precision numbers; every new price is rounded by
// its "%.2f" text, and new and current price are compared as text (so 35 and
// 35.00 differ).
#include <vector>

#include "platform/text/CString.h"

// Rule types, column 1 of the condition list.
extern const char* const kRuleKeyword;     // "关键字"
extern const char* const kRulePriceRange;  // "价格区间"
extern const char* const kRuleAllProducts; // "所有商品"

// Texts that DecidePriceUpdate leaves in the current price.
extern const char* const kPriceNotObtained;  // "未能获取价格"
extern const char* const kPriceNeedsUpdate;  // "需要更新"

// Prices the shop is sent stay below this: a single-precision price is
// exact to the cent only below about 167,772, and a price this high comes
// from a condition typed wrong, not from a book. The pricing page refuses a
// condition whose markup alone reaches it.
constexpr double kPriceLimit = 100000.0;

// Indices of the ticked condition rows whose type (column 1) is `type`, ascending.
std::vector<int> FindRuleRows(CString type);

// markup + (discount × base) × 0.1, rounded to two decimals; not finite when
// it overflows a float.
float CalcNewPrice(float base, CString discount, CString markup);

// Bounds a new price by the page's threshold and fallback discount against the
// list price (the bookstore's own discount from `page`), then by the 5.00
// floor. Returns the two-decimal text.
CString ClampByDiscount(const CString& page, CString store, float new_price, float list_price);

// "0.00": `current` becomes kPriceNotObtained, false. A text other than
// `current`: `current` becomes kPriceNeedsUpdate, true. Else false.
bool DecidePriceUpdate(CString new_text, CString& current);

// Reads the product page, picks the rule (keyword, then price range, then all
// products, each family only when its box is ticked), computes and bounds the
// new price into `price` and decides on `current`. A price that is not
// finite or reaches 100,000.00, the rule's or the bounded one, gives "0.00":
// no update, `current` becomes kPriceNotObtained. With
// no sale price (0, or not above 0 as JD's "-1" for an unknown sku) or no
// rule: false, `price` holds the sale price and `current` is unchanged.
bool ApplyPriceRule(float& price, CString& current, const CString& page, CString store);

// The bound of ClampByDiscount for a list price without a product page (no
// bookstore discount known).
CString ClampByDiscountCategory(float list_price, float new_price);

// The category method's variant: rule by price range or all products applied
// to `base`; `base` receives the unbounded new price as two-decimal text. A
// price that is not finite or reaches 100,000.00 gives no update.
bool ApplyCategoryPriceRule(CString& base, CString& current, CString list_price);
