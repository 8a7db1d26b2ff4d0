#pragma once
// State shared between the pages and their workers. The pages publish their
// controls here in their OnInitDialog; workers reach the controls through
// these pointers (control members are safe from any thread).
#include <atomic>
#include <mutex>

#include "platform/text/CString.h"
#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"

struct sqlite3;

// Messages the workers post to the pages.
constexpr UINT WM_TAOBAO_WORKER_DONE = WM_USER + 102;
constexpr UINT WM_SYNC_DONE = WM_USER + 104;

// Notice banner (the main window).
extern CString g_NoticeText;
extern CString g_NoticeUrl;
// The product title: caption of the program's own boxes, title, notice key.
extern const CString g_SoftName;
extern const CString g_Version;

// Locks, unnamed and process-local. g_WorkMutex is the workers' lock for
// their claims of rows, pages and groups (download, saves, batch listing,
// duplicate finder, sync consumers); a throttled listing request holds it
// across its POST, so those claims wait behind it. g_ParseRowMutex guards
// the parsers' row number; g_ShopRowMutex and g_ResultMutex the sync
// producers' rows.
extern CMutex g_ParseRowMutex;
extern CMutex g_WorkMutex;
extern CMutex g_ShopRowMutex;
extern CMutex g_ResultMutex;

// A worker's claim on state that a handler on the window's thread also
// resets or reads. The worker takes g_WorkMutex, as every claim does, and
// then `state`, the short lock of that state; the window's thread takes
// `state` alone. No thread holds `state` across a request or while it waits
// for g_WorkMutex, so the window never waits behind a throttled listing.
// A wait for g_WorkMutex that runs out waits again.
class WorkClaim {
 public:
  WorkClaim(std::mutex& state, DWORD wait_ms) : state_(state) {
    LockWaitingAgain(g_WorkMutex, wait_ms);
    state_.lock();
  }
  ~WorkClaim() {
    state_.unlock();
    g_WorkMutex.Unlock();
  }
  WorkClaim(const WorkClaim&) = delete;
  WorkClaim& operator=(const WorkClaim&) = delete;

 private:
  std::mutex& state_;
};

// A text that workers read while the user-interface thread may rewrite it
// (a search fetches a new form token while item operations of a sync run
// are building their forms). Every read is a copy taken under the lock and
// every write replaces the whole text under it, so a request carries the
// value that was current when it was built. Any thread.
class SharedText {
 public:
  SharedText() = default;
  SharedText(const SharedText&) = delete;
  SharedText& operator=(const SharedText&) = delete;

  SharedText& operator=(const CString& text);
  CString Get() const;
  operator CString() const { return Get(); }
  bool IsEmpty() const;

 private:
  mutable std::mutex mutex_;
  CString text_;
};

// Seller-centre form state.
extern CString g_ListBodyTemplate;  // the download's; see item_download.cpp for its lock
extern CString g_ItemPageKind;
// The form token "_tb_token_" and the warehouse page's "x_id", as the last
// fetch read them (empty before).
extern SharedText g_TbToken;
extern SharedText g_XId;

// The signed-in flag (0 or 1).
extern std::atomic<BYTE> g_LoggedIn;
// Set once by a re-load of the item database; never cleared.
extern std::atomic<BYTE> g_ListFromDb;

// Controls published by the item page.
extern CListCtrl* g_ItemList;
extern CComboBox* g_ItemSetCombo;
extern CTreeCtrl* g_CategoryTree;
extern CButton* g_SearchButton;
extern CStatic* g_SaveStatusText;
extern CStatic* g_UpShelfStatusText;
extern CEdit* g_ItemCountEdit;
extern CEdit* g_UpShelfWaitEdit;
extern CEdit* g_TotalCountEdit;
extern HWND g_TaoBaoHwnd;

// Published by the sync page: its Start button is the sync workers' stop
// signal (enabled = stopped); its result list; the store box (its selected
// text names the store); the stock options "有货上架" and "有货更新库存";
// the out-of-stock action of its radio group (0 "无操作", 1 "无货下架",
// 2 "无货删除"; the page writes it, the consumers read it); the progress
// edits (shop rows analysed, result rows taken, result row in hand); the
// category method's step buttons (their producers' stop signals); the
// result save's progress text; the page's own window (target of WM_SYNC_DONE).
extern CButton* g_SyncStartButton;
extern CListCtrl* g_SyncList;
extern CComboBox* g_SiteCombo;
extern CButton* g_ListWhenInStockCheck;
extern CButton* g_UpdateStockCheck;
extern std::atomic<int> g_StockActionMode;
extern CEdit* g_AnalysedEdit;
extern CEdit* g_NeedUpdateEdit;
extern CEdit* g_CurrentRowEdit;
extern CButton* g_CategoryStep1Button;
extern CButton* g_CategoryStep2Button;
extern CStatic* g_SyncStatusText;
extern HWND g_SyncHwnd;

// Published by the pricing-conditions page: the condition and province
// lists, the option boxes and discount edits that the price-rule engine and
// the stock reader read live, and the region stock mode (0 or 1).
extern CListCtrl* g_RuleList;
extern CListCtrl* g_RegionList;
extern CButton* g_UseKeyWordCheck;
extern CButton* g_UsePriceCheck;
extern CButton* g_UseAllProductsCheck;
extern CButton* g_QiangGouJiaCheck;
extern CEdit* g_YuanJiaZheEdit;
extern CEdit* g_ShiYongZheEdit;
extern std::atomic<int> g_RegionStockMode;

// Published by the duplicate finder: its result list and progress line.
extern CListCtrl* g_DupList;
extern CEdit* g_DupProgressEdit;

// The connection of the current save run, shared by its threads.
extern sqlite3* g_ItemDb;
