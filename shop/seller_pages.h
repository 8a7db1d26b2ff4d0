#pragma once
// The seller centre's item-list pages, as the download and the item
// operations address them. Any thread.
#include "platform/text/CString.h"

// The list of the items on sale, and of the items in the warehouse.
CString OnSaleListUrl();
CString InStockListUrl();

// The warehouse page's hidden "x_id" field; its one group is the value.
extern const char* const kXIdPattern;
