#pragma once
// The pricing-conditions page (tab "当当同步"): the pricing conditions, the
// switches of the condition kinds, the discount bounds, the provinces of the
// Dangdang stock check and its mode. The price-rule engine and the stock
// reader read these controls live while a sync runs, through the globals the
// page publishes in OnInitDialog. Its handlers run on the UI thread.
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"

class DangDangTongBu : public CDialogEx {
 public:
  enum { IDD = IDD_DANGDANGTONGBU };
  DangDangTongBu();
  ~DangDangTongBu() override;

  // Members, in binding order.
  CListCtrl m_RegionList;           // 1020 provinces
  CButton m_RegionOutIfAnyRadio;    // 1015 first radio of the region stock mode
  // Region stock mode (radio group 1015): 0 one ticked province without stock
  // makes the book out of stock, 1 one with stock makes it in stock.
  int m_RegionStockMode = 0;
  CListCtrl m_RuleList;             // 1014 conditions
  CEdit m_DiscountEdit;             // 1011 discount of a new condition (ZheK)
  CEdit m_MarkupEdit;               // 1012 markup of a new condition (JiaJia)
  CEdit m_MatchEdit;                // 1003 match condition of a new condition (PiPei)
  CComboBox m_TypeCombo;            // 1001 type of a new condition (TreatMethod)
  CButton m_UseKeyWordCheck;        // 1004
  CButton m_UsePriceCheck;          // 1005
  CButton m_UseAllProductsCheck;    // 1006
  CButton m_QiangGouJiaCheck;       // 1023
  CEdit m_YuanJiaZheEdit;           // 1021 discount threshold, in 折
  CEdit m_ShiYongZheEdit;           // 1026 discount applied below it, in 折
  CEdit m_ProductNoEdit;            // 1040 product number of the stock check

  BOOL OnInitDialog() override;

  // Fills the province list from the province file, and writes it back.
  void LoadRegionList();
  void SaveRegionList();

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  // A page never ends itself ("确定" carries the OK id).
  void OnOK() override {}
  void OnCancel() override {}

  void OnAddRule();
  void OnDeleteRule();
  void OnSaveSettings();
  void OnRegionModeRadio();
  void OnRuleListRClick(NMHDR* header, LRESULT* result);
  void OnRegionListRClick(NMHDR* header, LRESULT* result);
  void OnCheckAllRegions();
  void OnUncheckAllRegions();
  // Asks Dangdang's stock of the product number over the ticked provinces;
  // blocks the window until the stock service has answered.
  void OnCheckStock();
  DECLARE_MESSAGE_MAP()

 private:
  // Which files OnInitDialog got through. When a load stops part way, the
  // controls behind it never got their stored values, and "确定" must not
  // write those over the file.
  bool m_OptionsLoaded = false;
  bool m_RegionsLoaded = false;
};
