#pragma once
// Readers of the seller centre's item-list pages. Each accepted item becomes
// one row of g_ItemList ("编号", "淘宝商品ID", "商家编码", "价格") unless the
// list holds its item id already, and the count field g_ItemCountEdit shows
// the list's size.
//
// Called by the download workers, up to 20 at once; the list and the count
// field are controls, safe from any thread. Patterns may throw (boost gives
// up on a pathological page): the worker's pass catches it.
#include <atomic>

#include "platform/text/CString.h"
#include "platform/types.h"

// The number the next accepted row gets. Guarded by g_ParseRowMutex: read,
// raised and reset only while holding it.
extern int g_ParsedRowCount;

// Pause after each accepted row, in milliseconds: 100. Only tests of the
// parsers on their own shorten it.
extern std::atomic<DWORD> g_RowPauseMs;

// Sets g_ParsedRowCount to 0 under g_ParseRowMutex (the search does this
// before its workers start). Rows of pages whose splitting began before the
// reset are no longer added, nor counted as left out.
void ResetParsedRowCount();

// How many items the row parsers left out since the last reset because
// their merchant code is not four digits or more; an item that two price
// blocks both bring counts once.
int LeftOutItemCount();

// Ties the rows the calling thread will parse to the current list: once the
// next ResetParsedRowCount has run, they are no longer added. A download
// worker calls it when it starts (after its search's reset), so that pages
// it brings in after a newer search has begun land nowhere.
void PinRowListForThisThread();

// Page splitters: every row block of the page, in page order, to the row
// parser of the layout. Items on sale ("<tr class=\"goods-sid \">") and items
// in the warehouse ("<tr class=\"goods-sid\">").
void ParseOnSalePage(CString page);
void ParseInStockPage(CString page);
// The same, returning how many row blocks the page held (accepted or not):
// 0 for a page that is no item list at all, such as the sign-in page.
int SplitOnSalePage(const CString& page);
int SplitInStockPage(const CString& page);

// Row parsers: one row block's text in; adds one row when the block carries
// a merchant code of four or more digits after "商家编码：" and an item id
// the list does not hold yet, else nothing. Each added row costs its thread
// a 100 ms pause.
void ParseOnSaleRow(CString row);
void ParseInStockRow(CString row);
