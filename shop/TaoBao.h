#pragma once
// The item page (tab "宝贝查询"): the shop item list, the search controls of
// the download, the shop category tree, the re-load range and the sign-in test.
#include "platform/ui/afxwin.h"

// How a search ended: pages that failed, workers the system would not make,
// a lost sign-in, or a network failure before the workers (named).
struct DownloadEnd {
  int unreachable = 0;
  int unreadable = 0;
  bool no_workers = false;
  bool signed_out = false;
  CString start_failure;
};

class TaoBao : public CDialogEx {
 public:
  enum { IDD = 102 };
  TaoBao();
  ~TaoBao() override;

  // Control members, bound in this order.
  CListCtrl m_ItemList;           // 1014
  CComboBox m_ItemSetCombo;       // 1001
  CComboBox m_StatusCombo;        // 1002
  CEdit m_ItemCountEdit;          // 1021
  CEdit m_KeywordEdit;            // 1003
  CButton m_UseKeyword;           // 1004
  CButton m_UsePriceRange;        // 1005
  CEdit m_LowPriceEdit;           // 1011
  CEdit m_HighPriceEdit;          // 1012
  CButton m_UseTimeRange;         // 1006
  CDateTimeCtrl m_TimeFrom;       // 1007
  CDateTimeCtrl m_TimeTo;         // 1008
  CTreeCtrl m_CategoryTree;       // 1000
  CButton m_SearchButton;         // 1 "搜索宝贝"
  CButton m_StopButton;           // 2 "停止搜索"
  CStatic m_SaveStatusText;       // 1036
  CStatic m_UpShelfStatusText;    // 1039
  CEdit m_UpShelfWaitEdit;        // 1040
  CEdit m_RangeFromEdit;          // 1026
  CEdit m_RangeToEdit;            // 1042
  CEdit m_TotalCountEdit;         // 1043

  BOOL OnInitDialog() override;

  // Handlers (UI thread). Public so that tests can drive them as the user would.
  void OnItemSetSelChange();
  void OnSearchItems();                          // the download
  LRESULT OnDownloadDone(WPARAM wparam, LPARAM lparam);
  void OnCategorySelChanged(NMHDR* header, LRESULT* result);
  void OnStopSearch();
  void OnItemListRClick(NMHDR* header, LRESULT* result);
  void OnClearList();
  void OnCheckAll();
  void OnUncheckAll();
  void OnSaveData();                             // saving the list
  void OnImportAll();                            // re-loading it
  void OnImportNotUpdated();
  void OnBatchUpShelf();                         // batch listing (batch_upshelf.cpp)
  void OnGetCategories();
  void OnCategoryTreeRClick(NMHDR* header, LRESULT* result);
  void OnTestLogin();

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  CString AskForTheItemSet(CString& body, const CString& keyword, bool* signed_out);
  // The end of a search: its end message, the page's buttons, the save.
  void EndSearch(const DownloadEnd& end);
  void OnOK() override {}      // the page never ends itself
  void OnCancel() override {}
  DECLARE_MESSAGE_MAP()
};

// Fetches the seller centre's category reply and fills g_CategoryTree (UI thread).
void LoadShopCategories();
// Adds the top-level categories of a marked category reply to g_CategoryTree.
void FillCategoryTree(CString text);
