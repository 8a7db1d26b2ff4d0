#pragma once
// The sync page (tab "宝贝同步"): the run's options, the result list that the
// sync workers fill, the progress counters and Start/Stop. The workers reach
// its controls through the globals it publishes in OnInitDialog; the page
// itself is created and handled on the UI thread.
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"

class TongBu : public CDialogEx {
 public:
  enum { IDD = IDD_TONGBU };
  TongBu();
  ~TongBu() override;

  // Control members, bound in this order.
  CComboBox m_SiteCombo;            // 1001 store
  CComboBox m_ThreadCombo;          // 1002 number of producers
  CListCtrl m_SyncList;             // 1014 result list
  CButton m_ListWhenInStockCheck;   // 1004 "有货上架"
  CButton m_UpdateStockCheck;       // 1005 "有货更新库存"
  CEdit m_AnalysedEdit;             // 1011
  CEdit m_CurrentRowEdit;           // 1012
  CEdit m_NeedUpdateEdit;           // 1021
  CButton m_StopButton;             // 2 "停止同步"
  CButton m_StartButton;            // 1024 "开始同步"
  CButton m_CategoryStep1Button;    // 1032, hidden
  CComboBox m_ProcessTypeCombo;     // 1033 processing type
  CButton m_CategoryStep2Button;    // 1035, hidden
  CStatic m_SyncStatusText;         // 1037 progress of the result save
  // Out-of-stock action, radio group 1015..1017: 0 "无操作", 1 "无货下架", 2 "无货删除".
  int m_StockActionMode = 0;

  BOOL OnInitDialog() override;

  // Handlers (UI thread). Public so that tests can drive them as the user would.
  void OnStartSync();
  void OnStopSync();
  void OnStockActionRadio();
  void OnSyncListDblClk(NMHDR* header, LRESULT* result);
  void OnSyncListRClick(NMHDR* header, LRESULT* result);
  void OnSaveUpdated();  // "保存更新成功的数据", and at the end of a price run
  // WM_SYNC_DONE: `run` the run that ended, `not_changed` its edits that did
  // not go through. Only the end of the current run is acted on.
  LRESULT OnSyncFinished(WPARAM run, LPARAM not_changed);
  // The category method (category_sync.cpp); its buttons stay hidden.
  void OnCategoryStep1();
  void OnCategoryStep2();
  void OnStopCategorySync();

  // Empties the result list and ends the run as a start does
  // (ClearSyncResults). A price run whose end the page has not handled is
  // saved as its end would have saved it (EndUnendedPriceRun). UI thread.
  void ClearResultsSavingUnendedRun();
  // When a price run started here has not had its end handled: ends it as
  // a start does and saves it as its end would have, the rows it ticked
  // and the edits it still has in flight once the shop has answered them,
  // before any later save. The main window calls it when it closes. UI
  // thread.
  void EndUnendedPriceRun();

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  // A page never ends itself: Enter and Esc (button 2 carries the Cancel id)
  // must not close it.
  void OnOK() override {}
  void OnCancel() override {}
  DECLARE_MESSAGE_MAP()

 private:
  // A price run (or category step) started here whose end has not been
  // handled: a start before that end saves what the run ticked, as its end
  // would have. The category steps' starts set it too.
  bool m_PriceRunUnended = false;
};
