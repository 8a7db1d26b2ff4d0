#pragma once
// The seller-centre form token and the item-list download.
//
// The search handler (TaoBao::OnSearchItems) and the end handler
// (TaoBao::OnDownloadDone) run on the user-interface thread; 20 workers
// DownloadItemPagesThread walk the 20 price blocks page by page.
//
// Locking: a lock of item_download.cpp guards the search's state below (the
// block's page counters, its done flags, every advance of g_PriceBlock, the
// failure counts and the sign-in flag). Workers take it inside g_WorkMutex,
// the lock of their page claims and block advances; the handlers take it
// alone and never wait for g_WorkMutex, which a throttled
// listing request holds across its POST. g_PriceBlock and g_PageCount are
// atomics so that the workers' loop tests may read them without the lock.
// g_DownloadDoneCount is touched only on the user-interface thread.
//
// A worker leaves at its next step when a newer search begins or when the
// program ends (the worker registry's stop signal).
#include <atomic>

#include "platform/text/CString.h"
#include "platform/types.h"

// GET of the warehouse list page with the session; g_TbToken := the hidden
// "_tb_token_" value (empty when the page has none); returns it. Throws the
// internet exception on a network failure. Any thread.
CString FetchTbToken();
// GET of the seller page (answer unused), then FetchTbToken's steps; true.
bool CheckLoginAndFetchToken();
// The body of one list page: g_ListBodyTemplate with the page number and the
// price block's bounds put in (searchNumFrom / searchNumTo go out empty).
// The template stays unchanged. Any thread.
CString BuildPageBody(int page, CString start_price, CString end_price);

// The worker procedure. `param` carries the search's generation number;
// the worker posts it back as wParam of WM_TAOBAO_WORKER_DONE.
UINT DownloadItemPagesThread(LPVOID param);

// Download state, reset by every search.
constexpr int kPriceBlockCount = 20;
constexpr int kMaxBlockPages = 500;
constexpr int kWorkerCount = 20;
// The walk goes from the search's first block to its last: 1 to 20, or with
// "价格范围" ticked the blocks that hold the range (their outer bounds cut to
// it, both ends included, as the seller centre takes them).
extern std::atomic<int> g_PriceBlock;   // block being walked; g_PageCount: all done
extern std::atomic<int> g_PageCount;    // one past the last block (21 uncut)
// [item set][block - 1]; item set 0 = on sale, 1 = warehouse.
extern int g_BlockPageCounters[2][kPriceBlockCount];
extern int g_BlockDoneFlags[2][kPriceBlockCount];
extern int g_DownloadDoneCount;         // UI thread only
// Raised by every search, under the same lock as the reset of the
// counters above; workers of an earlier search leave at their next step,
// claim nothing of the new search and their end messages are not counted.
extern std::atomic<unsigned> g_SearchGeneration;
// Pages of the current search that brought nothing: no answer
// (a network failure, a status other than 200), or an answer that is no item
// list (neither rows nor the end text). Either makes the end message say
// that the download is incomplete.
extern int g_UnreachablePages;
extern int g_UnreadablePages;
// A list reply of the current search was the sign-in page: the
// session has ended, so every worker leaves before its next page, and the
// download ends as "停止搜索" ends it, its end message naming the sign-in.
extern bool g_SignInLost;

// The table's bounds of price block `block` (1..20); block 20 has no end.
const char* PriceBlockStart(int block);
const char* PriceBlockEnd(int block);

// The end text of a price block in a list page.
extern const char* const kBlockEndText;
