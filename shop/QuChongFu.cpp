#include "shop/QuChongFu.h"

#include <chrono>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/exception.h"
#include "services/globals.h"
#include "services/page_lists.h"

std::mutex g_DupStateLock;
std::shared_ptr<TbInfoArray> g_TbInfoArray;
int g_NextFillRow = 0;
int g_NextScanIndex = 0;
int g_DupResultRow = 0;

namespace {

constexpr int kCollectThreadCount = 50;
// The scan shows how far it got at a pace a person can read, not per record.
constexpr std::chrono::milliseconds kScanProgressEvery{200};

// A worker's hold of the finder's state. A timed wait for g_WorkMutex that
// runs out waits again: nothing the lock guards is touched without it.
class WorkLock : public WorkClaim {
 public:
  WorkLock() : WorkClaim(g_DupStateLock, 500) {}
};

// The buttons' hold: the state's lock alone.
using PageLock = std::lock_guard<std::mutex>;

void ShowProgress(const char* format, int number) {
  CString text;
  text.Format(format, number);
  if (g_DupProgressEdit) g_DupProgressEdit->SetWindowText(text);
}

}  // namespace

std::vector<bool> DuplicatesListed(const std::vector<const TbInfo*>& records) {
  using Key = std::pair<std::string_view, std::string_view>;  // (code, id)
  struct KeyHash {
    size_t operator()(const Key& key) const noexcept {
      const size_t a = std::hash<std::string_view>{}(key.first);
      const size_t b = std::hash<std::string_view>{}(key.second);
      return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
  };
  // The keys view the records' texts, which outlive this call. Map values
  // keep their place when the maps grow: each record remembers its counters,
  // so the listing pass looks nothing up again.
  std::unordered_map<std::string_view, int> per_code(records.size());
  std::vector<const int*> code_count(records.size());
  for (size_t i = 0; i < records.size(); ++i)
    code_count[i] = &++per_code[records[i]->DDID.str()];
  // Only a code on two records or more can list one: only those records are
  // counted per (code, id). The first record of an item is the one listed,
  // so an item the list holds twice still gets one row.
  std::unordered_map<Key, int, KeyHash> per_item;
  std::vector<const int*> item_count(records.size());
  std::vector<bool> first_of_item(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (*code_count[i] < 2) continue;
    int& count = per_item[Key(records[i]->DDID.str(), records[i]->TbId.str())];
    first_of_item[i] = count++ == 0;
    item_count[i] = &count;
  }
  std::vector<bool> listed(records.size());
  for (size_t i = 0; i < records.size(); ++i)
    listed[i] = first_of_item[i] && *code_count[i] > *item_count[i];
  return listed;
}

UINT DuplicateCollectThread(LPVOID param) {
  std::shared_ptr<TbInfoArray> array;
  {
    std::unique_ptr<std::shared_ptr<TbInfoArray>> handed(
        static_cast<std::shared_ptr<TbInfoArray>*>(param));
    array = std::move(*handed);
  }
  const int count = g_ItemList ? g_ItemList->GetItemCount() : 0;
  for (;;) {
    int row = -1;
    {
      WorkLock lock;
      if (g_TbInfoArray == array && g_NextFillRow < count) row = g_NextFillRow++;
    }
    if (row < 0 || worker_registry::StopRequested()) break;
    RunWorkerPass([&] {
      ShowProgress("正在整理第%d行", row);
      Sleep(0);
      // Both columns in one read: a row that is gone by now (the list was
      // emptied meanwhile) gives no record rather than one of empty texts.
      CListCtrl::RowView view;
      if (!g_ItemList->GetRowView(row, view)) return;
      view.cells.resize(3);
      auto info = std::make_unique<const TbInfo>(TbInfo{view.cells[1], view.cells[2]});
      WorkLock lock;
      array->push_back(std::move(info));
    });
  }
  return 0;
}

UINT DuplicateScanThread(LPVOID) {
  // The records as they stand now. Collecting workers may still append: the
  // pointers are copied under the lock, and the shared array keeps them
  // alive even when "整理" replaces it meanwhile.
  std::shared_ptr<TbInfoArray> array;
  std::vector<const TbInfo*> records;
  {
    WorkLock lock;
    array = g_TbInfoArray;
    if (array) {
      records.reserve(array->size());
      for (const auto& record : *array) records.push_back(record.get());
    }
  }
  const int count = static_cast<int>(records.size());
  const std::vector<bool> listed = DuplicatesListed(records);

  using Clock = std::chrono::steady_clock;
  Clock::time_point shown{};
  bool examined = false;
  for (;;) {
    int index = -1;
    {
      WorkLock lock;
      if (g_NextScanIndex < count) index = g_NextScanIndex++;
    }
    if (index < 0 || worker_registry::StopRequested()) break;
    examined = true;
    RunWorkerPass([&] {
      if (index % 256 == 0) {
        const Clock::time_point now = Clock::now();
        if (now - shown >= kScanProgressEvery) {
          ShowProgress("正在查：第%d行", index);
          shown = now;
        }
      }
      if (!listed[static_cast<size_t>(index)]) return;
      const TbInfo& record = *records[static_cast<size_t>(index)];
      // The list stays in the order of the numbers even when two scans run:
      // the number is taken and the row inserted under one hold of the lock.
      WorkLock lock;
      const int row = g_DupResultRow++;
      CString number;
      number.Format("%d", row);
      g_DupList->InsertRow(row, {number, record.TbId, record.DDID});
    });
  }
  // Where a scan that compares every pair leaves the line: at its last
  // comparison.
  if (examined && count > 0) ShowProgress("正在查：第%d行", count - 1);
  return 0;
}

QuChongFu::QuChongFu() : CDialogEx(IDD, nullptr) {}

QuChongFu::~QuChongFu() {
  // The last collection goes with the page (a worker still holding it keeps
  // its share until it ends).
  PageLock lock(g_DupStateLock);
  g_TbInfoArray.reset();
}

void QuChongFu::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_QC_RESULT_LIST, m_ResultList);
  DDX_Control(dx, IDC_QC_PROGRESS, m_ProgressEdit);
}

BEGIN_MESSAGE_MAP(QuChongFu, CDialogEx)
  ON_BN_CLICKED(IDC_QC_START_CHECK, &QuChongFu::OnStartDuplicateCheck)
  ON_BN_CLICKED(IDC_QC_COLLECT, &QuChongFu::OnCollectItems)
END_MESSAGE_MAP()

BOOL QuChongFu::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SetUpPageList(m_ResultList, {{"编号", 50}, {" 淘宝商品ID", 100}, {"商家编码", 100},
                               {"操作动作", 100}, {"日志", 200}});
  g_DupList = &m_ResultList;
  g_DupProgressEdit = &m_ProgressEdit;
  return TRUE;
}

void QuChongFu::OnCollectItems() {
  auto array = std::make_shared<TbInfoArray>();
  array->reserve(static_cast<size_t>(g_ItemList ? g_ItemList->GetItemCount() : 0));
  std::shared_ptr<TbInfoArray> previous;
  {
    PageLock lock(g_DupStateLock);
    previous = std::exchange(g_TbInfoArray, array);
    g_NextFillRow = 0;
  }
  // Released here unless a worker of an earlier collection or scan still
  // holds it; then that worker releases it as it ends.
  previous.reset();
  for (int i = 0; i < kCollectThreadCount; ++i) {
    // The worker takes over its share; one the system would not make leaves
    // it here.
    auto handed = std::make_unique<std::shared_ptr<TbInfoArray>>(array);
    if (AfxBeginThread(&DuplicateCollectThread, handed.get())) handed.release();
  }
}

void QuChongFu::OnStartDuplicateCheck() {
  {
    PageLock lock(g_DupStateLock);
    g_NextScanIndex = 0;
  }
  AfxBeginThread(&DuplicateScanThread, nullptr);
}
