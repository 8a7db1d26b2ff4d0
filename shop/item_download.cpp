// The item-list download: search handler, workers and their end.
#include "shop/item_download.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "platform/exception.h"
#include "platform/net/internet.h"
#include "services/globals.h"
#include "services/page_lists.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "shop/TaoBao.h"
#include "shop/page_parsers.h"
#include "shop/seller_pages.h"

std::atomic<int> g_PriceBlock{1};
std::atomic<int> g_PageCount{0};
int g_BlockPageCounters[2][kPriceBlockCount];
int g_BlockDoneFlags[2][kPriceBlockCount];
int g_DownloadDoneCount = 0;
std::atomic<unsigned> g_SearchGeneration{0};
int g_UnreachablePages = 0;
int g_UnreadablePages = 0;
bool g_SignInLost = false;

const char* const kBlockEndText = "没有找到符合条件的宝贝！";

namespace {

constexpr int kOnSaleSet = 0;
constexpr int kInStockSet = 1;

constexpr const char* kOnSaleText = "出售中的宝贝";
constexpr const char* kInStockText = "仓库中的宝贝";

constexpr const char* kTokenPattern = "<input name='_tb_token_' type='hidden' value='(.*?)'>";
constexpr const char* kTotalPattern = "<li>共有([0-9]*?)条记录 | </li>";

constexpr const char* kBodyTemplate =
    "0=0&_tb_token_=[tbToken]&pageName=&banner=&page=[TbPages]&setVal=&orderField=1&orderBy=0"
    "&singleId=&singleIdNum=&singleIdMinNum"
    "&distributionIds=&action=goodsmanager/GoodsManageAction&event_submit_do_recommend="
    "&event_submit_do_delete=&event_submit_do_off_shelf=&event_submit_do_unrecommend="
    "&event_submit_do_set_lighting_auction=&isFirstLogin=false&shopCatName=[ShopCate]"
    "&searchKeyword=[KeyWord]&startPrice=[SPrice]&endPrice=[EPrice]"
    "&recommend=&outId=&searchNumFrom=[SNum]&searchNumTo=[ENum]";

// Block bounds. Blocks 2 and 3 meet at 14: the narrow three-unit blocks then
// run without a gap from 14 up to 50, where most book prices lie, and the
// wider block 2 takes the cheaper, thinner range 8 to 14.
constexpr const char* kBlockBounds[kPriceBlockCount + 1] = {
    "0",  "8",  "14", "17", "20", "23", "26", "29", "32", "35", "38",
    "41", "44", "47", "50", "60", "70", "80", "90", "100", ""};

// The blocks a search walks and the bounds it sends: every block as the table
// has it, or, with "价格范围" ticked, the blocks that hold the range, the
// first starting at the range's low end and the last ending at its high end.
struct PriceCut {
  int first = 1, last = kPriceBlockCount;
  CString low, high;  // empty: the table's bound
};

// g_ListBodyTemplate and the search's price cut are rewritten by a search on
// the UI thread while workers of an earlier search may still be building
// bodies from them: both sides take this lock. Held only for a copy or an
// assignment.
std::mutex g_TemplateLock;
PriceCut g_SearchPriceCut;

// The search's state: its generation, the blocks' page counters and done
// flags, the advance of g_PriceBlock, the failure counts and the sign-in
// flag. Workers take it inside g_WorkMutex (WorkClaim), as the page claims
// and block advances go under that lock; the window's thread takes it alone,
// since a throttled listing request may hold g_WorkMutex across its POST.
std::mutex g_DownloadLock;
constexpr DWORD kClaimWait = 500;  // g_WorkMutex

// A price the seller typed: digits with an optional decimal part, blanks
// around them ignored. Read without the locale, as the list pages' prices.
bool ReadTypedPrice(CString& text, double* value) {
  text.Trim();
  const std::string& s = text.str();
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  const auto [end, error] =
      std::from_chars(s.data(), s.data() + s.size(), *value, std::chars_format::fixed);
  return error == std::errc() && end == s.data() + s.size();
}

// The seller centre lists both bounds of a block, and neighbouring blocks
// share a bound: the walk starts at the last block that starts at or below
// the low end and stops at the first that reaches the high end, so that no
// block is asked only for a price its neighbour lists already.
PriceCut CutToRange(const CString& low, double low_value, const CString& high, double high_value) {
  PriceCut cut{1, 1, low, high};
  while (cut.first < kPriceBlockCount && std::atoi(PriceBlockStart(cut.first + 1)) <= low_value) {
    ++cut.first;
  }
  cut.last = cut.first;
  while (cut.last < kPriceBlockCount && std::atoi(PriceBlockEnd(cut.last)) < high_value) ++cut.last;
  return cut;
}

// The bounds a page of `block` goes out with in the current search.
void SearchBlockBounds(int block, CString* start, CString* end) {
  std::lock_guard<std::mutex> lock(g_TemplateLock);
  const PriceCut& cut = g_SearchPriceCut;
  *start = block == cut.first && !cut.low.IsEmpty() ? cut.low : CString(PriceBlockStart(block));
  *end = block == cut.last && !cut.high.IsEmpty() ? cut.high : CString(PriceBlockEnd(block));
}

CString ListUrl(int item_set) {
  return item_set == kOnSaleSet ? OnSaleListUrl() : InStockListUrl();
}

CString SellerPageUrl() { return "http://" + Hosts().upload + "/auction/sell.jhtml"; }

// A value put into the form body keeps its bytes (GBK, no general escaping,
// as the seller centre reads them), except those that would end the field,
// start another one, turn into a blank, or be taken for a placeholder.
// The walk goes by characters: a GBK trail byte may be "[" or "]" and
// belongs to its character.
CString FormValue(const CString& value) {
  CString out;
  const std::string& bytes = value.str();
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (IsGbkLeadByte(static_cast<unsigned char>(c)) && i + 1 < bytes.size()) {
      out += c;
      out += bytes[++i];
      continue;
    }
    switch (c) {
      case '%': out += "%25"; break;
      case '&': out += "%26"; break;
      case '+': out += "%2B"; break;
      case '=': out += "%3D"; break;
      case '[': out += "%5B"; break;
      case ']': out += "%5D"; break;
      default: out += c;
    }
  }
  return out;
}

CString StatusField(const CString& status) {
  if (status == "全部") return "&status=inStock";
  if (status == "售完下架") return "&status=saleOut";
  if (status == "我下架的") return "&status=myOff";
  if (status == "从未上架") return "&status=neverUp";
  if (status == "即将开始") return "&status=timmingShelf";
  return CString();
}

// A newer search took over, or the program is ending and waits for this
// worker before the page's controls go away. A plain read, for the steps
// that take nothing of the search's state; every claim, advance and count
// tests the generation again under g_DownloadLock (OwnsSearch).
bool MustLeave(unsigned generation) {
  return g_SearchGeneration.load() != generation || worker_registry::StopRequested();
}

// With g_DownloadLock held: whether the worker's search is still the
// current one. A search raises the generation under the same lock as it
// resets the counters, so a worker that passes this test works on its own
// search's counters until it unlocks.
bool OwnsSearch(unsigned generation) { return g_SearchGeneration.load() == generation; }

// Raises the generation and resets the download state in one step under
// g_DownloadLock: no worker of an earlier search can claim a page, advance a
// block or count a failure of the new search in between.
void ResetDownloadState(unsigned generation, int first_block) {
  {
    std::lock_guard<std::mutex> lock(g_DownloadLock);
    g_SearchGeneration = generation;
    g_PriceBlock = first_block;
    for (int set = 0; set < 2; ++set) {
      for (int block = 0; block < kPriceBlockCount; ++block) {
        g_BlockPageCounters[set][block] = 1;
        g_BlockDoneFlags[set][block] = 0;
      }
    }
    g_UnreachablePages = 0;
    g_UnreadablePages = 0;
    g_SignInLost = false;
  }
  ResetParsedRowCount();
}

enum class PassEnd { kNext, kLeave };

// A reply that brought nothing: no answer at all (network failure, a status
// other than 200) or an answer that is no item list.
bool IsUnreachableReply(const CString& reply) {
  return reply.IsEmpty() || IsPostFailure(reply);
}

// Each further page would be the sign-in page too: the search's workers
// stop asking. False when a newer search owns the state.
// Also the search's own step on the window's thread: a flag, not a claim.
bool NoteSignInLost(unsigned generation) {
  std::lock_guard<std::mutex> lock(g_DownloadLock);
  const bool owns = OwnsSearch(generation);
  if (owns) g_SignInLost = true;
  return owns;
}

// One pass of a worker: walks the current block of the chosen item set
// until its end text, until the block moves on or its pages are all claimed.
PassEnd DownloadPass(unsigned generation) {
  if (MustLeave(generation) || g_PriceBlock.load() >= g_PageCount.load() ||
      g_SearchButton->IsWindowEnabled()) {
    return PassEnd::kLeave;
  }
  int block;
  {
    WorkClaim claim(g_DownloadLock, kClaimWait);
    if (!OwnsSearch(generation)) return PassEnd::kLeave;
    block = g_PriceBlock.load();
  }
  // Another worker may have finished the last block since the test above:
  // with a price range that is not the table's last one.
  if (block < 1 || block >= g_PageCount.load()) return PassEnd::kNext;

  const CString set_text = SelectedText(*g_ItemSetCombo);
  int item_set;
  int (*split_page)(const CString&);
  if (set_text == kOnSaleText) {
    item_set = kOnSaleSet;
    split_page = &SplitOnSalePage;
  } else if (set_text == kInStockText) {
    item_set = kInStockSet;
    split_page = &SplitInStockPage;
  } else {
    Sleep(100);  // nothing to walk: do not spin until the Search button comes back
    return PassEnd::kNext;
  }
  const CString url = ListUrl(item_set);
  CString start_price, end_price;
  SearchBlockBounds(block, &start_price, &end_price);

  for (;;) {
    int page = 0;
    {
      WorkClaim claim(g_DownloadLock, kClaimWait);
      if (!OwnsSearch(generation) || g_SignInLost) return PassEnd::kLeave;
      int& next_page = g_BlockPageCounters[item_set][block - 1];
      if (g_PriceBlock.load() != block) break;
      if (next_page > kMaxBlockPages) {
        // Every page of the block was handed out and none carried the end
        // text (pages that are no list at all): nothing will move the block
        // on, so this worker ends.
        if (g_BlockDoneFlags[item_set][block - 1] == 0) return PassEnd::kLeave;
        break;
      }
      page = next_page++;
    }

    const CString body = BuildPageBody(page, start_price, end_price);
    bool signed_out = false;
    const CString reply = PostSellerForm(url, body, &signed_out);
    // A newer search owns the list now: this page belongs to no one. At
    // the program's end the request gave up and brought nothing.
    if (MustLeave(generation)) return PassEnd::kLeave;
    if (signed_out) {
      NoteSignInLost(generation);
      return PassEnd::kLeave;
    }

    if (reply.Find(kBlockEndText) >= 0) {
      WorkClaim claim(g_DownloadLock, kClaimWait);
      if (!OwnsSearch(generation)) return PassEnd::kLeave;
      int& done = g_BlockDoneFlags[item_set][block - 1];
      if (done == 0 && g_PriceBlock.load() == block) {
        done = 1;
        ++g_PriceBlock;
      }
      break;
    }
    // A failed page yields nothing and the block goes on; it is counted, so
    // that the end of the download does not call an incomplete list whole.
    const bool unreachable = IsUnreachableReply(reply);
    if (unreachable || split_page(reply) == 0) {
      WorkClaim claim(g_DownloadLock, kClaimWait);
      if (OwnsSearch(generation)) ++(unreachable ? g_UnreachablePages : g_UnreadablePages);
    }
  }
  return PassEnd::kNext;
}

// Workers of the current search the system would not make. UI thread only:
// set by the search before its first end message can be handled.
int g_UnstartedWorkers = 0;

constexpr const char* kUnreachableCause =
    "可能的原因：无法连接网站（网络中断或网站没有响应）。请检查网络后再搜索。";

// The end message of an incomplete download: what arrived, what failed, and
// what most likely stands behind it. No worker started: no page was asked
// for at all; `start_failure`, when given, names the network failure that
// came before the workers.
CString IncompleteDownloadText(const DownloadEnd& end, int items) {
  CString text;
  if (!end.start_failure.IsEmpty()) {
    // The host and the network's reason make a long line: it starts a line
    // of its own rather than being wrapped at the count's space.
    text.Format("下载未完成：已下载 %d 个宝贝，\n", items);
    return text + end.start_failure + "。\n" + kUnreachableCause;
  }
  if (end.no_workers) {
    text.Format("下载未完成：已下载 %d 个宝贝，下载线程无法启动。\n", items);
    text += "可能的原因：系统资源不足。请关闭其他程序后再搜索。";
    return text;
  }
  if (end.signed_out) {
    text.Format("下载未完成：已下载 %d 个宝贝，淘宝登录已失效或尚未登录，下载已停止。\n", items);
    text += "请点击菜单“登录淘宝网”登录后再搜索。";
    return text;
  }
  text.Format("下载未完成：已下载 %d 个宝贝，%d 个页面下载失败。\n", items,
              end.unreachable + end.unreadable);
  if (end.unreadable > 0 && end.unreachable > 0) {
    text += "可能的原因：淘宝登录已失效，或无法连接网站。请检查网络并重新登录淘宝网后再搜索。";
  } else if (end.unreadable > 0) {
    text += "可能的原因：淘宝登录已失效或尚未登录。请点击菜单“登录淘宝网”登录后再搜索。";
  } else {
    text += kUnreachableCause;
  }
  return text;
}

// Said at the end of every download with such rows: otherwise the list
// would be taken for the whole item set.
CString LeftOutNote() {
  const int left_out = LeftOutItemCount();
  if (left_out == 0) return CString();
  CString note;
  note.Format("（%d 个宝贝的商家编码不足4位数字，未列入）", left_out);
  return note;
}

}  // namespace

const char* PriceBlockStart(int block) { return kBlockBounds[block - 1]; }
const char* PriceBlockEnd(int block) { return kBlockBounds[block]; }

CString FetchTbToken() {
  CString page = HttpGetWithCookie(ListUrl(kInStockSet));
  CString token = RegexFirst(page, MakeRegex(kTokenPattern));
  g_TbToken = token;
  return token;
}

bool CheckLoginAndFetchToken() {
  HttpGetWithCookie(SellerPageUrl());
  FetchTbToken();
  return true;
}

CString BuildPageBody(int page, CString start_price, CString end_price) {
  CString body;
  {
    std::lock_guard<std::mutex> lock(g_TemplateLock);
    body = g_ListBodyTemplate;
  }
  CString page_text;
  page_text.Format("%d", page);
  body.Replace("[TbPages]", page_text);
  body.Replace("[SPrice]", start_price);
  body.Replace("[EPrice]", end_price);
  // The stock-count range filter stays open: every item, whatever its stock.
  body.Replace("[SNum]", "");
  body.Replace("[ENum]", "");
  return body;
}

UINT DownloadItemPagesThread(LPVOID param) {
  const auto generation = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(param));
  PinRowListForThisThread();
  for (;;) {
    PassEnd end = PassEnd::kNext;
    RunWorkerPass([&] { end = DownloadPass(generation); });
    if (end == PassEnd::kLeave) break;
  }
  PostMessage(g_TaoBaoHwnd, WM_TAOBAO_WORKER_DONE, generation, 0);
  return 0;
}

void TaoBao::OnSearchItems() {
  PriceCut cut;
  if (m_UsePriceRange.GetCheck() == BST_CHECKED) {
    CString low = m_LowPriceEdit.GetWindowText();
    CString high = m_HighPriceEdit.GetWindowText();
    double low_value = 0, high_value = 0;
    if (!ReadTypedPrice(low, &low_value) || !ReadTypedPrice(high, &high_value)) {
      MessageBox("价格范围未填写或不是数字：请填写最低价格和最高价格，如 10 和 20。", g_SoftName,
                 MB_ICONWARNING | MB_OK);
      return;
    }
    if (low_value > high_value) {
      CString text;
      text.Format("价格范围有误：最低价格 %s 高于最高价格 %s。", low.GetString(),
                  high.GetString());
      MessageBox(text, g_SoftName, MB_ICONWARNING | MB_OK);
      return;
    }
    cut = CutToRange(low, low_value, high, high_value);
  }

  // From here on, workers of an earlier search leave at their next step and
  // their end messages no longer count.
  ResetDownloadState(g_SearchGeneration.load() + 1, cut.first);
  const unsigned generation = g_SearchGeneration.load();

  m_ItemSetCombo.EnableWindow(FALSE);
  m_SearchButton.EnableWindow(FALSE);
  m_StopButton.EnableWindow(TRUE);
  if (g_SyncStartButton) g_SyncStartButton->EnableWindow(TRUE);

  m_ItemList.DeleteAllItems();

  CString body = kBodyTemplate;
  g_DownloadDoneCount = 0;

  CString keyword;
  if (m_UseKeyword.GetCheck() == BST_CHECKED) keyword = m_KeywordEdit.GetWindowText();

  CString reply;
  bool signed_out = false;
  try {
    reply = AskForTheItemSet(body, keyword, &signed_out);
  } catch (CInternetException* error) {
    // No item page was asked for yet: the search ends here, with the
    // network's reason in the end box, and the page is ready for the next one.
    DownloadEnd end;
    end.start_failure =
        NetworkFailureText("淘宝卖家中心", ListUrl(kInStockSet), "搜索未能开始", *error);
    error->Delete();
    EndSearch(end);
    return;
  }
  // Signed out already: no worker asks for a page.
  if (signed_out) NoteSignInLost(generation);
  {
    std::lock_guard<std::mutex> lock(g_TemplateLock);
    g_ListBodyTemplate = body;
    g_SearchPriceCut = cut;
  }

  CString total = RegexFirst(reply, MakeRegex(kTotalPattern));
  if (total.IsEmpty()) total = CString("0");
  AfxMessageBox(total);

  g_PageCount = cut.last + 1;
  g_UnstartedWorkers = 0;
  for (int i = 0; i < kWorkerCount; ++i) {
    // A worker the system would not make has ended at once: its end message
    // still comes, so the download ends when the workers that ran have.
    // Those that ran walk every block; with none, nothing was downloaded.
    if (!AfxBeginThread(&DownloadItemPagesThread,
                        reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(generation)))) {
      ++g_UnstartedWorkers;
      ::PostMessage(g_TaoBaoHwnd, WM_TAOBAO_WORKER_DONE, generation, 0);
    }
  }
}

// The search's requests before its workers: the token, the form template's
// values and the counting request; returns the counting reply. Throws
// CInternetException* when the seller centre cannot be reached.
CString TaoBao::AskForTheItemSet(CString& body, const CString& keyword, bool* signed_out) {
  FetchTbToken();

  CString category;
  if (HTREEITEM selected = m_CategoryTree.GetSelectedItem()) {
    category = m_CategoryTree.GetItemText(selected);
  }

  body.Replace("[tbToken]", FormValue(g_TbToken));
  body.Replace("[ShopCate]", FormValue(category));
  body.Replace("[KeyWord]", FormValue(keyword));

  const CString set_text = SelectedText(m_ItemSetCombo);
  CString reply;
  if (set_text == kOnSaleText) {
    body.Replace("pageName=", "pageName=goodsOnSale");
    reply = PostSellerForm(ListUrl(kOnSaleSet), "", signed_out);
  } else if (set_text == kInStockText) {
    body.Replace("pageName=", "pageName=goodsInStock");
    CString page = HttpGetWithCookie(ListUrl(kInStockSet));
    const CString x_id = RegexFirst(page, MakeRegex(kXIdPattern));
    body += "&x_id=" + FormValue(x_id);
    g_XId = x_id;
    body += StatusField(SelectedText(m_StatusCombo));
    reply = PostSellerForm(ListUrl(kInStockSet), "", signed_out);
  }
  return reply;
}

LRESULT TaoBao::OnDownloadDone(WPARAM wparam, LPARAM) {
  if (static_cast<unsigned>(wparam) != g_SearchGeneration.load()) return 0;
  ++g_DownloadDoneCount;
  if (g_DownloadDoneCount != kWorkerCount) return 0;
  // Every worker has left: the counts are final.
  DownloadEnd end;
  {
    std::lock_guard<std::mutex> lock(g_DownloadLock);
    end.unreachable = g_UnreachablePages;
    end.unreadable = g_UnreadablePages;
    end.signed_out = g_SignInLost;
  }
  end.no_workers = g_UnstartedWorkers == kWorkerCount;
  EndSearch(end);
  return 0;
}

void TaoBao::EndSearch(const DownloadEnd& end) {
  if (g_SyncStartButton) g_SyncStartButton->EnableWindow(TRUE);
  // The ended session stops the download as the Stop button does; a search
  // that failed before its workers started has no worker to stop, but its
  // buttons are set as for a running search: the Stop button's handler
  // sets them back, so that the next search can start.
  const bool never_started = !end.start_failure.IsEmpty();
  if (end.signed_out || never_started) OnStopSearch();
  const CString left_out = LeftOutNote();
  if (end.unreachable + end.unreadable == 0 && !end.no_workers && !end.signed_out &&
      !never_started) {
    MessageBox("全部下载完毕！" + left_out, "提示", MB_ICONEXCLAMATION | MB_OK);
  } else {
    CString text = IncompleteDownloadText(end, m_ItemList.GetItemCount());
    if (!left_out.IsEmpty()) text += "\n" + left_out;
    MessageBox(text, g_SoftName, MB_ICONWARNING | MB_OK);
  }
  OnSaveData();
}
