#pragma once
// The category method of the sync page, a price run in two steps, each in
// the frame of sync_run.h with PriceEditThread as its consumer:
//   step 1 prices each shop item by its category's base and list price
//          (g_CategoryMap names the category of a merchant code, row k of
//          g_CategoryList holds the list price in column 2 and the base price
//          in column 3);
//   step 2 prices from the bookstore page as the price run does, deleting
//          nothing, and waits at a shop row that is ticked.
// The page's three buttons of the method stay hidden and nothing fills the
// map or provides the list, so the user cannot start it; the handlers are
// TongBu::OnCategoryStep1, OnCategoryStep2 and OnStopCategorySync.
#include "platform/text/CString.h"
#include "platform/text/containers.h"
#include "platform/types.h"
#include "platform/ui/afxwin.h"

// Merchant code -> decimal row index in g_CategoryList. Empty at start;
// whoever fills it does so while no step runs (the producers read it
// without a lock).
extern CMap<CString, const CString&, CString, const CString&>* g_CategoryMap;
// One row per category; null until something provides it.
extern CListCtrl* g_CategoryList;

// The value stored for `key` (compared byte for byte), or empty text.
CString LookupCategory(CString key);

// Step 1 producer, stopped by g_CategoryStep1Button. A merchant code without
// category leaves its shop row unticked and makes no result row.
UINT CategoryStep1Thread(LPVOID param);
// Step 2 producer, stopped by g_CategoryStep2Button. The page is fetched with
// HttpGetUtf8, so a network error abandons the row.
UINT CategoryStep2Thread(LPVOID param);
