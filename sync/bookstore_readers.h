#pragma once
// The bookstores' pages: addresses of the product pages and price services,
// the prices, discount and title read out of a fetched page, Dangdang's stock
// over the provinces ticked on the pricing page, and whether a Taobao item is
// still on the shelf.
//
// Store names are compared as exact text: "当当网" and "京东图书" have readers;
// "卓越图书", "博库", "文轩", "苏宁图书" and any other text give an empty
// address, a sale price of 0 and empty texts.
//
// Page texts are GBK, as the request functions return them. The functions
// keep nothing between calls and may be called from any thread at once.
#include "platform/text/CString.h"

// Whether the program reads the pages of `store` ("当当网", "京东图书").
bool HasReader(const CString& store);

// The address to fetch for a product number, or empty text.
CString GetSourceUrl(CString store, CString product_no);

// The sale price of a product page or JD price reply; 0 when none. Commas
// that group a price's digits by threes are no end of it: "1,234.50" reads
// 1234.5.
float GetSalePrice(const CString& page, CString store);
// The list price text, its digits without grouping commas; "0.00" when the
// page holds none, empty for stores without a reader.
CString GetOriginalPrice(const CString& page, CString store);
// The discount in tenths ("(7.5折)" gives "7.5"); "0.00" when a Dangdang
// page holds none, empty for every other store.
CString GetDiscountText(const CString& page, CString store);
// The product title (the h1 element's title); empty when none.
CString GetProductTitle(const CString& page);

// Dangdang's stock of a product over the ticked rows of g_RegionList, in list
// order, combined by g_RegionStockMode (0: one province without stock makes
// it out of stock; 1: one with stock makes it in stock). One request per
// province asked, on the caller's thread. Throws CInternetException* when a
// request fails.
bool GetDangdangStock(CString product_no);

// False when the item's page says it has been taken off the shelf. Uses the
// shop session. Throws CInternetException* when the request fails.
bool IsTaobaoItemOnShelf(CString item_id);
