#include "sync/TongBu.h"

#include "services/globals.h"
#include "services/page_lists.h"

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

  g_SyncList = &m_SyncList;
  g_SyncStartButton = &m_StartButton;

  // Start stays disabled until the item page has a list to sync.
  m_StartButton.EnableWindow(FALSE);
  return TRUE;
}
