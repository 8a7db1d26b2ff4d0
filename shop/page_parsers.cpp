#include "shop/page_parsers.h"

#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "services/globals.h"
#include "services/page_lists.h"
#include "services/text_services.h"

int g_ParsedRowCount = 0;
std::atomic<DWORD> g_RowPauseMs{100};

namespace {

// Raised with every reset of the row number (g_ParseRowMutex). A page keeps
// the value it began with: rows of a page that a worker of an earlier
// search is still reading when a new search starts are not added to the new
// search's list.
int g_RowListEpoch = 0;
// The epoch of the page this thread is splitting; -1 outside a splitter.
thread_local int t_PageEpoch = -1;
// The epoch a download worker took when it started; -1: none.
thread_local int t_PinnedEpoch = -1;

// Items of the current list left out for their merchant code
// (g_ParseRowMutex): their ids, and rows without an id, which cannot be
// told apart and count one each.
std::unordered_set<std::string> g_LeftOutIds;
int g_LeftOutWithoutId = 0;

}  // namespace

void PinRowListForThisThread() {
  LockWaitingAgain(g_ParseRowMutex, 50);
  t_PinnedEpoch = g_RowListEpoch;
  g_ParseRowMutex.Unlock();
}

void ResetParsedRowCount() {
  LockWaitingAgain(g_ParseRowMutex, 50);
  g_ParsedRowCount = 0;
  ++g_RowListEpoch;
  g_LeftOutIds.clear();
  g_LeftOutWithoutId = 0;
  g_ParseRowMutex.Unlock();
}

int LeftOutItemCount() {
  LockWaitingAgain(g_ParseRowMutex, 50);
  const int count = static_cast<int>(g_LeftOutIds.size()) + g_LeftOutWithoutId;
  g_ParseRowMutex.Unlock();
  return count;
}

namespace {

constexpr const char* kOnSaleRowPattern = "<tr class=\"goods-sid \">(.*?)复制链接</a>";
constexpr const char* kInStockRowPattern = "<tr class=\"goods-sid\">(.*?)复制链接</a>";
constexpr const char* kOnSaleIdPattern = "<input id = \"selectedIds:(.*?)\" type=\"checkbox\"";
constexpr const char* kInStockIdPattern = "itemIds=\"([0-9]{1,})\"";
constexpr const char* kCodePattern = "商家编码：([0-9]{4,})";
constexpr const char* kPricePattern = "data-price=\"(.*?)\"";

CString FirstTrimmed(CString& text, const char* pattern) {
  CString found = RegexFirst(text, MakeRegex(pattern));
  found.TrimRight();
  found.TrimLeft();
  return found;
}

// A page of an earlier search: with g_ParseRowMutex held.
bool IsStalePage() { return t_PageEpoch >= 0 && t_PageEpoch != g_RowListEpoch; }

void ParseRow(CString& row, const char* id_pattern) {
  CString code = FirstTrimmed(row, kCodePattern);
  CString id = FirstTrimmed(row, id_pattern);
  if (code.IsEmpty()) {
    // Left out, as the list always left such rows out; the end of the
    // download says how many, so the list is not taken for the whole shop.
    LockWaitingAgain(g_ParseRowMutex, 50);
    if (!IsStalePage()) {
      if (id.IsEmpty()) {
        ++g_LeftOutWithoutId;
      } else {
        g_LeftOutIds.insert(id.str());
      }
    }
    g_ParseRowMutex.Unlock();
    return;
  }
  CString price = FirstTrimmed(row, kPricePattern);

  // A wait that runs out waits again: no number is taken without the lock.
  // The lock is held until the row is in the list, so that a new search,
  // which resets the number under it, never finds a row of its predecessor
  // arriving after its reset. The row goes in with every cell in one step:
  // rows that other threads insert out of number order can never receive
  // this row's texts, nor this one theirs.
  LockWaitingAgain(g_ParseRowMutex, 50);
  if (IsStalePage()) {
    g_ParseRowMutex.Unlock();
    return;
  }
  // An item the list holds already is passed over without a number: one
  // priced on the bound two price blocks share comes in the pages of both.
  const int number = g_ParsedRowCount;
  CString number_text;
  number_text.Format("%d", number);
  const bool added = AddItemListRow(*g_ItemList, number, {number_text, id, code, price}) >= 0;
  if (added) g_ParsedRowCount = number + 1;
  g_ParseRowMutex.Unlock();
  if (!added) return;

  // The pause comes first and the count is read and shown in one step under
  // its own lock: a count read before the pause could be written after a
  // later thread's, leaving the field one or more rows short at the end.
  Sleep(g_RowPauseMs.load());
  static std::mutex count_lock;
  std::lock_guard<std::mutex> lock(count_lock);
  CString count_text;
  count_text.Format("%d", g_ItemList->GetItemCount());
  g_ItemCountEdit->SetWindowText(count_text);
}

// Hands every non-empty capture of the row pattern to `parse_row`, in page
// order; each search starts behind the end of the previous whole match.
// Returns how many it handed on.
int SplitPage(const CString& page, const char* row_pattern, void (*parse_row)(CString)) {
  if (t_PinnedEpoch >= 0) {
    t_PageEpoch = t_PinnedEpoch;
  } else {
    LockWaitingAgain(g_ParseRowMutex, 50);
    t_PageEpoch = g_RowListEpoch;
    g_ParseRowMutex.Unlock();
  }
  struct EndOfPage {
    ~EndOfPage() { t_PageEpoch = -1; }
  } end_of_page;

  const boost::regex pattern = MakeRegex(row_pattern);
  int blocks = 0;
  WalkMatches(page.str(), pattern, [&](const boost::cmatch& match) {
    if (match[1].matched && match[1].first != match[1].second) {
      ++blocks;
      parse_row(CString(std::string(match[1].first, match[1].second)));
    }
    return true;
  });
  return blocks;
}

}  // namespace

void ParseOnSaleRow(CString row) { ParseRow(row, kOnSaleIdPattern); }

void ParseInStockRow(CString row) { ParseRow(row, kInStockIdPattern); }

int SplitOnSalePage(const CString& page) { return SplitPage(page, kOnSaleRowPattern, &ParseOnSaleRow); }

int SplitInStockPage(const CString& page) {
  return SplitPage(page, kInStockRowPattern, &ParseInStockRow);
}

void ParseOnSalePage(CString page) { SplitOnSalePage(page); }

void ParseInStockPage(CString page) { SplitInStockPage(page); }
