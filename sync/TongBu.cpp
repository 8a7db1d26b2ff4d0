// The sync page: its set-up, Start and Stop, the end of a price run and the
// result list's commands. The runs themselves are the workers' (sync_run.h
// and the run types); every handler here runs on the user-interface thread.
#include "sync/TongBu.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/file/profile.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/page_lists.h"
#include "services/page_menus.h"
#include "services/text_services.h"
#include "sync/bookstore_readers.h"
#include "sync/option_checks.h"
#include "sync/price_stock_sync.h"
#include "sync/price_sync.h"
#include "sync/result_save.h"
#include "sync/stock_sync.h"
#include "sync/sync_run.h"

namespace {

constexpr const char* kSection = "SYSCONFIG";

// The producer and consumer of a processing type.
struct RunType {
  const char* name;
  AFX_THREADPROC producer;
  AFX_THREADPROC consumer;
  bool reads_store;  // its producers read the pages of the store in box 1001
};

}  // namespace

TongBu::TongBu() : CDialogEx(IDD, nullptr) {}
TongBu::~TongBu() = default;

void TongBu::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_SYNC_SITE, m_SiteCombo);
  DDX_Control(dx, IDC_SYNC_THREADS, m_ThreadCombo);
  DDX_Control(dx, IDC_SYNC_RESULT_LIST, m_SyncList);
  DDX_Control(dx, IDC_SYNC_LIST_WHEN_IN_STOCK, m_ListWhenInStockCheck);
  DDX_Control(dx, IDC_SYNC_UPDATE_STOCK, m_UpdateStockCheck);
  DDX_Control(dx, IDC_SYNC_ANALYSED, m_AnalysedEdit);
  DDX_Control(dx, IDC_SYNC_CURRENT_ROW, m_CurrentRowEdit);
  DDX_Control(dx, IDC_SYNC_NEED_UPDATE, m_NeedUpdateEdit);
  DDX_Control(dx, IDCANCEL, m_StopButton);
  DDX_Control(dx, IDC_SYNC_START, m_StartButton);
  DDX_Control(dx, IDC_SYNC_CATEGORY_STEP1, m_CategoryStep1Button);
  DDX_Control(dx, IDC_SYNC_PROCESS_TYPE, m_ProcessTypeCombo);
  DDX_Control(dx, IDC_SYNC_CATEGORY_STEP2, m_CategoryStep2Button);
  DDX_Control(dx, IDC_SYNC_SAVE_STATUS, m_SyncStatusText);
  DDX_Radio(dx, IDC_SYNC_NO_ACTION, m_StockActionMode);
}

BEGIN_MESSAGE_MAP(TongBu, CDialogEx)
  ON_BN_CLICKED(IDC_SYNC_START, &TongBu::OnStartSync)
  ON_BN_CLICKED(IDCANCEL, &TongBu::OnStopSync)
  ON_BN_CLICKED(IDC_SYNC_NO_ACTION, &TongBu::OnStockActionRadio)
  ON_BN_CLICKED(IDC_SYNC_DELIST, &TongBu::OnStockActionRadio)
  ON_BN_CLICKED(IDC_SYNC_DELETE, &TongBu::OnStockActionRadio)
  ON_NOTIFY(NM_DBLCLK, IDC_SYNC_RESULT_LIST, &TongBu::OnSyncListDblClk)
  ON_NOTIFY(HDN_ITEMDBLCLICK, IDC_SYNC_RESULT_LIST, &TongBu::OnSyncListDblClk)
  ON_NOTIFY(NM_RCLICK, IDC_SYNC_RESULT_LIST, &TongBu::OnSyncListRClick)
  ON_COMMAND(ID_SAVE_UPDATED, &TongBu::OnSaveUpdated)
  ON_MESSAGE(WM_SYNC_DONE, &TongBu::OnSyncFinished)
  ON_BN_CLICKED(IDC_SYNC_CATEGORY_STEP1, &TongBu::OnCategoryStep1)
  ON_BN_CLICKED(IDC_SYNC_CATEGORY_STEP2, &TongBu::OnCategoryStep2)
  ON_BN_CLICKED(IDC_SYNC_STOP_CATEGORY, &TongBu::OnStopCategorySync)
END_MESSAGE_MAP()

BOOL TongBu::OnInitDialog() {
  CDialogEx::OnInitDialog();

  SetUpPageList(m_SyncList, {{"编号", 50}, {" 淘宝商品ID", 100}, {"商家编码", 100},
                             {"原价", 100}, {"新价", 100}, {"货存状况", 50},
                             {"操作动作", 100}, {"日志", 200}});

  for (const char* type : {"更新价格", "更新库存", "更新库存和价格"}) m_ProcessTypeCombo.AddString(type);
  m_ProcessTypeCombo.SetCurSel(0);
  for (const char* store : {"当当网", "京东图书", "卓越图书", "博库", "文轩", "苏宁图书"})
    m_SiteCombo.AddString(store);
  m_SiteCombo.SetCurSel(0);
  for (int n = 1; n <= 15; ++n) {
    CString text;
    text.Format("%d", n);
    m_ThreadCombo.AddString(text);
  }
  m_ThreadCombo.SetCurSel(14);

  const CString ini = GetSystemIniPath();
  char value[260];
  GetPrivateProfileStringA(kSection, "HasStoreUp", "d", value, sizeof value, ini);
  SetCheckFromText(&m_ListWhenInStockCheck, value);
  GetPrivateProfileStringA(kSection, "HasStoreUpdate", "d", value, sizeof value, ini);
  SetCheckFromText(&m_UpdateStockCheck, value);

  g_SyncList = &m_SyncList;
  g_SiteCombo = &m_SiteCombo;
  g_SyncStartButton = &m_StartButton;
  g_ListWhenInStockCheck = &m_ListWhenInStockCheck;
  g_UpdateStockCheck = &m_UpdateStockCheck;
  g_StockActionMode = m_StockActionMode;
  g_AnalysedEdit = &m_AnalysedEdit;
  g_NeedUpdateEdit = &m_NeedUpdateEdit;
  g_CurrentRowEdit = &m_CurrentRowEdit;
  g_CategoryStep1Button = &m_CategoryStep1Button;
  g_CategoryStep2Button = &m_CategoryStep2Button;
  g_SyncStatusText = &m_SyncStatusText;
  g_SyncHwnd = GetSafeHwnd();

  // Start stays disabled until the item page has a list to sync.
  m_StartButton.EnableWindow(FALSE);
  return TRUE;
}

void TongBu::OnStartSync() {
  // Also when a check below refuses the start.
  ClearResultsSavingUnendedRun();

  if (g_RuleList == nullptr || g_RuleList->GetItemCount() == 0) {
    MessageBoxA(nullptr, "亲，请先在条件列表里添加条件！", g_SoftName, MB_ICONEXCLAMATION);
    return;
  }
  int ticked = 0;
  for (int row = 0; row < g_RuleList->GetItemCount(); ++row) ticked += g_RuleList->GetCheck(row) ? 1 : 0;
  if (ticked == 0) {
    MessageBoxA(nullptr, "亲，请在条件列表里勾选一条作为同步条件！", g_SoftName, MB_ICONEXCLAMATION);
    return;
  }

  static const RunType kRunTypes[] = {
      {"更新价格", &PriceCheckThread, &PriceEditThread, true},
      {"更新库存", &StockCheckThread, &StockActionThread, false},
      {"更新库存和价格", &PriceStockCheckThread, &PriceStockActionThread, true},
  };
  const CString type = SelectedText(m_ProcessTypeCombo);
  const RunType* run_type = nullptr;
  for (const RunType& known : kRunTypes) {
    if (type == known.name) run_type = &known;
  }
  if (run_type == nullptr || run_type->producer == nullptr) return;
  // A price run on a store whose pages the program cannot read would find
  // no price and announce "全部同步 完毕！" having done nothing. The stock run
  // asks Dangdang's stock whatever store is named.
  const CString store = SelectedText(m_SiteCombo);
  if (run_type->reads_store && !HasReader(store)) {
    MessageBoxA(nullptr, "暂不支持读取" + store + "的页面，请选择当当网或京东图书。", g_SoftName,
                MB_ICONEXCLAMATION);
    return;
  }

  ResetSyncState();
  m_StartButton.EnableWindow(FALSE);
  m_StopButton.EnableWindow(TRUE);
  if (type == "更新库存和价格") {
    const CString ini = GetSystemIniPath();
    CString text;
    GetCheckAsText(&m_ListWhenInStockCheck, text);
    WritePrivateProfileStringA(kSection, "HasStoreUp", text, ini);
    GetCheckAsText(&m_UpdateStockCheck, text);
    WritePrivateProfileStringA(kSection, "HasStoreUpdate", text, ini);
  }
  const int producers = std::atoi(SelectedText(m_ThreadCombo));
  if (StartSyncThreads(producers, run_type->producer, run_type->consumer)) {
    m_PriceRunUnended = run_type->consumer == &PriceEditThread;
  } else {
    OnStopSync();
  }
}

void TongBu::ClearResultsSavingUnendedRun() {
  if (m_PriceRunUnended) {
    EndUnendedPriceRun();
  } else {
    ClearSyncResults();
  }
}

void TongBu::EndUnendedPriceRun() {
  // A stopped price run ends when its consumer has finished the row in hand
  // and the page has handled its end message; emptying the list before that
  // would lose what the end saves.
  if (!m_PriceRunUnended) return;
  m_PriceRunUnended = false;
  const unsigned run = CurrentSyncRun();
  ItemSaveRun* save = BeginStoppedRunSave(run);
  std::vector<CListCtrl::RowCopy> ticked;
  ClearSyncResults(&ticked);
  FinishStoppedRunSave(run, save, std::move(ticked));
}

void TongBu::OnStopSync() {
  // The run's threads see Start enabled and end by themselves.
  m_StopButton.EnableWindow(FALSE);
  m_StartButton.EnableWindow(TRUE);
}

void TongBu::OnStockActionRadio() {
  UpdateData(TRUE);
  g_StockActionMode = m_StockActionMode;
}

void TongBu::OnSyncListDblClk(NMHDR*, LRESULT* result) {
  *result = 0;
  const int row = m_SyncList.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) {
    MessageBox("请选择", "VorlupTovrane", MB_ICONEXCLAMATION);
    return;
  }
  const CString url = "https://" + Hosts().item + "/item.htm?id=" + m_SyncList.GetItemText(row, 1);
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

void TongBu::OnSyncListRClick(NMHDR*, LRESULT* result) {
  *result = 0;
  ShowPageContextMenu(kPopupSyncList, this);
}

void TongBu::OnSaveUpdated() { SaveTickedResults(); }

LRESULT TongBu::OnSyncFinished(WPARAM run, LPARAM not_changed) {
  // The end of a run that a newer start replaced: that start saved the old
  // run's rows, and the new run goes on.
  if (run != CurrentSyncRun()) return 0;
  m_PriceRunUnended = false;
  m_StartButton.EnableWindow(TRUE);
  OnSaveUpdated();
  CString text = "全部同步 完毕！";
  if (not_changed > 0) {
    text.Format("全部同步 完毕！\n%ld 个宝贝的价格未能修改，原因见“操作动作”列。",
                static_cast<long>(not_changed));
  }
  MessageBox(text, "提示", MB_ICONEXCLAMATION);
  return 0;
}
