#pragma once
// The duplicate finder (tab "查重"): lists the items of the shop list whose
// merchant code other items share. Created and handled on the UI thread.
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"

class QuChongFu : public CDialogEx {
 public:
  enum { IDD = IDD_QUCHONGFU };
  QuChongFu();
  ~QuChongFu() override;

  CListCtrl m_ResultList;  // 1020
  CEdit m_ProgressEdit;    // 1003

  BOOL OnInitDialog() override;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  // Buttons 1 and 2 have no handlers: they must not end the page.
  void OnOK() override {}
  void OnCancel() override {}
  DECLARE_MESSAGE_MAP()
};
