#include "shop/QuChongFu.h"

#include "services/page_lists.h"

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
  SetUpPageList(m_ResultList, {{"编号", 50}, {" 淘宝商品ID", 100}, {"商家编码", 100},
                               {"操作动作", 100}, {"日志", 200}});
  return TRUE;
}
