#include "shop/QuChongFu.h"

QuChongFu::QuChongFu() : CDialogEx(IDD, nullptr) {}
QuChongFu::~QuChongFu() = default;

void QuChongFu::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_QC_RESULT_LIST, m_ResultList);
  DDX_Control(dx, IDC_QC_PROGRESS, m_ProgressEdit);
}

BEGIN_MESSAGE_MAP(QuChongFu, CDialogEx)
END_MESSAGE_MAP()

BOOL QuChongFu::OnInitDialog() {
  CDialogEx::OnInitDialog();
  m_ResultList.InsertColumn(0, "编号", LVCFMT_CENTER, 50);
  m_ResultList.InsertColumn(1, " 淘宝商品ID", LVCFMT_CENTER, 100);
  m_ResultList.InsertColumn(2, "商家编码", LVCFMT_CENTER, 100);
  m_ResultList.InsertColumn(3, "操作动作", LVCFMT_CENTER, 100);
  m_ResultList.InsertColumn(4, "日志", LVCFMT_CENTER, 200);
  m_ResultList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT |
                                LVS_EX_REGIONAL);
  return TRUE;
}
