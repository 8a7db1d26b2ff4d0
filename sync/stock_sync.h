#pragma once
// The stock run ("更新库存") of the sync page: producers read Dangdang's stock
// of each shop item, the consumer delists, deletes or lists the items whose
// stock calls for it. Both run in the frame of sync_run.h;
// TongBu::OnStartSync starts them. The run announces no end and saves
// nothing: the user stops it and saves with the result list's command.
//
// The stock action of one result row is shared with the price-and-stock run
// (RunStockAction), which logs it with other texts.
#include "platform/text/CString.h"
#include "platform/types.h"

// The item sets of the item page's set box, as its selected text reads.
extern const char* const kItemSetOnSale;     // "出售中的宝贝"
extern const char* const kItemSetWarehouse;  // "仓库中的宝贝"

// The selected text of the item page's set box (g_ItemSetCombo); empty
// before the page exists. Any thread.
CString CurrentItemSet();

// Producer. Per shop row: the item set (g_ItemSetCombo, read anew for every
// row) and Dangdang's stock decide; an out-of-stock item on sale gives a
// result row with column 5 "0", an in-stock warehouse item one with "1".
// Every processed shop row is ticked.
UINT StockCheckThread(LPVOID param);

// Consumer. Reads the item set once at its start; per result row it carries
// out the action of the page's options (RunStockAction), writes the outcome
// into column 6 and ticks the row when the action succeeded. Posts nothing
// at its end.
UINT StockActionThread(LPVOID param);

// The texts a run logs for each outcome of a stock action, and whether a
// refused delisting is followed by a delete.
struct StockActionTexts {
  const char* delisted;
  const char* delist_failed;
  const char* deleted;
  const char* delete_failed;
  const char* listed;
  const char* list_failed;
  bool delete_after_failed_delist;
};

struct StockOutcome {
  CString log;             // the outcome texts in order; empty: no action
  bool succeeded = false;  // the last operation succeeded
};

// The stock action of one result row: `stock_state` is its column 5 ("0"
// out of stock, "1" in stock), `item_set` the set the consumer read at its
// start. While g_ListFromDb is set, the item's Taobao page decides whether
// it is on the shelf, fetched before the mode (g_StockActionMode) and the
// check box "有货上架" are looked at; otherwise the item set decides. The
// item operations use g_TbToken as it stands. Consumer threads; throws what
// the item page's request throws.
StockOutcome RunStockAction(const CString& item_id, const CString& stock_state,
                            const CString& item_set, const StockActionTexts& texts);
