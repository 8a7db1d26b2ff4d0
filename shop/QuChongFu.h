#pragma once
// The duplicate finder (tab "查重"): lists once each item of the shop list
// whose merchant code another item shares. "整理" copies the shop list into records
// on 50 DuplicateCollectThread workers; "开始查重" lists the duplicates on one
// DuplicateScanThread. Handlers run on the UI thread.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"

// One shop item: written once by the collecting thread that makes it,
// read-only once it is in an array.
struct TbInfo {
  CString TbId;  // column 1 of the shop list
  CString DDID;  // column 2: the merchant code
};

// The records of one collection, in the order the workers appended them.
// The array owns its records. Appends happen under g_DupStateLock and may
// move the array's slots, never the records: readers copy the record
// pointers they need under the lock and keep the array alive by sharing it.
using TbInfoArray = std::vector<std::unique_ptr<const TbInfo>>;

// The current collection's array (null before the first "整理"). Each
// "整理" replaces it; a worker still reading or filling the previous one
// holds its own share, so the previous records live until it ends.
// Guarded by g_DupStateLock, as are the three counters below. The workers
// take it inside g_WorkMutex (WorkClaim), the buttons alone: a throttled
// listing request holds g_WorkMutex, and the window must not wait for it.
extern std::mutex g_DupStateLock;
extern std::shared_ptr<TbInfoArray> g_TbInfoArray;
extern int g_NextFillRow;    // next shop-list row to collect; 0 at each "整理"
extern int g_NextScanIndex;  // next record to examine; 0 at each "开始查重"
extern int g_DupResultRow;   // next result row; never reset, so scans append

// `param` is the collection's array, passed by OnCollectItems as a heap
// std::shared_ptr<TbInfoArray> that the thread takes over. A worker whose
// array was replaced by a later "整理" claims no further row.
UINT DuplicateCollectThread(LPVOID param);
// `param` is not used. Lists the records of the array as it stands at the
// thread's start.
UINT DuplicateScanThread(LPVOID param);

class QuChongFu : public CDialogEx {
 public:
  enum { IDD = IDD_QUCHONGFU };
  QuChongFu();
  ~QuChongFu() override;

  CListCtrl m_ResultList;  // 1020
  CEdit m_ProgressEdit;    // 1003

  BOOL OnInitDialog() override;

  void OnCollectItems();         // "整理"
  void OnStartDuplicateCheck();  // "开始查重"

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  // Buttons 1 and 2 have no handlers: they must not end the page.
  void OnOK() override {}
  void OnCancel() override {}
  DECLARE_MESSAGE_MAP()
};

// For each of `records`, whether a scan lists it: when another record has
// its merchant code under another item id (texts compared exactly), and it is
// the first record of its (code, id). Counts per code and per (code, id)
// instead of comparing every pair of records.
std::vector<bool> DuplicatesListed(const std::vector<const TbInfo*>& records);
