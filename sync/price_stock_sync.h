#pragma once
// The price-and-stock run ("更新库存和价格") of the sync page: producers price
// each shop item as the price run does and add Dangdang's stock for the items
// that need a new price; the consumer carries out the stock action of the
// page's options and then sends the price edit, logging every outcome in
// column 6. Both run in the frame of sync_run.h; TongBu::OnStartSync starts
// them. The run announces no end and saves nothing by itself.
#include "platform/types.h"

// Producer. Per shop row: the bookstore's page for the store in g_SiteCombo
// (read anew for every row, fetched quietly); when the price rules call for
// a new price, the stock is read and a result row appended (column 5 "1" in
// stock, "0" not). A vanished page deletes nothing. Every processed shop
// row is ticked.
UINT PriceStockCheckThread(LPVOID param);

// Consumer. Reads the item set once at its start; per result row, while the
// seller is signed in, the stock action (RunStockAction, with "下架成功," ...
// and a delete after a refused delisting), then, when old and new price
// differ, the price edit: the log and the edit's reply are recorded as the
// price run records them (RecordPriceEdit: ticked whatever the stock
// outcomes, unless the edit failed or found the sign-in gone). Posts nothing
// at its end.
UINT PriceStockActionThread(LPVOID param);
