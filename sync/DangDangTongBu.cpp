#include "sync/DangDangTongBu.h"

DangDangTongBu::DangDangTongBu() : CDialogEx(IDD, nullptr) {}
DangDangTongBu::~DangDangTongBu() = default;

void DangDangTongBu::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_DD_REGION_LIST, m_RegionList);
  DDX_Control(dx, IDC_DD_REGION_OUT_IF_ANY, m_RegionOutIfAnyRadio);
  DDX_Radio(dx, IDC_DD_REGION_OUT_IF_ANY, m_RegionStockMode);
  DDX_Control(dx, IDC_DD_RULE_LIST, m_RuleList);
  DDX_Control(dx, IDC_DD_RULE_DISCOUNT, m_DiscountEdit);
  DDX_Control(dx, IDC_DD_RULE_MARKUP, m_MarkupEdit);
  DDX_Control(dx, IDC_DD_RULE_MATCH, m_MatchEdit);
  DDX_Control(dx, IDC_DD_RULE_TYPE, m_TypeCombo);
  DDX_Control(dx, IDC_DD_USE_KEYWORD, m_UseKeyWordCheck);
  DDX_Control(dx, IDC_DD_USE_PRICE, m_UsePriceCheck);
  DDX_Control(dx, IDC_DD_USE_ALL_PRODUCTS, m_UseAllProductsCheck);
  DDX_Control(dx, IDC_DD_QIANGGOUJIA, m_QiangGouJiaCheck);
  DDX_Control(dx, IDC_DD_YUANJIAZHE, m_YuanJiaZheEdit);
  DDX_Control(dx, IDC_DD_SHIYONGZHE, m_ShiYongZheEdit);
  DDX_Control(dx, IDC_DD_PRODUCT_NO, m_ProductNoEdit);
}

BEGIN_MESSAGE_MAP(DangDangTongBu, CDialogEx)
END_MESSAGE_MAP()

BOOL DangDangTongBu::OnInitDialog() {
  CDialogEx::OnInitDialog();

  const DWORD list_style =
      LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL;
  // Column 0 of the province list only carries the tick.
  m_RegionList.InsertColumn(0, "选择", LVCFMT_CENTER, 50);
  m_RegionList.InsertColumn(1, "地区", LVCFMT_CENTER, 250);
  m_RegionList.InsertColumn(2, "地区代码", LVCFMT_CENTER, 200);
  m_RegionList.SetExtendedStyle(list_style);

  m_RuleList.InsertColumn(0, "编号", LVCFMT_CENTER, 50);
  m_RuleList.InsertColumn(1, "处理类型", LVCFMT_CENTER, 100);
  m_RuleList.InsertColumn(2, "匹配条件", LVCFMT_CENTER, 100);
  m_RuleList.InsertColumn(3, "折扣", LVCFMT_CENTER, 60);
  m_RuleList.InsertColumn(4, "加价", LVCFMT_CENTER, 40);
  m_RuleList.SetExtendedStyle(list_style);

  // The combo is sorted: item 0 is "关键字" whatever the order of adding.
  m_TypeCombo.AddString("关键字");
  m_TypeCombo.AddString("价格区间");
  m_TypeCombo.AddString("所有商品");
  m_TypeCombo.SetCurSel(0);
  return TRUE;
}
