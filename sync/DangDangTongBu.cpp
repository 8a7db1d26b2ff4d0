#include "sync/DangDangTongBu.h"

#include "services/page_lists.h"

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

  // Column 0 of the province list only carries the tick.
  SetUpPageList(m_RegionList, {{"选择", 50}, {"地区", 250}, {"地区代码", 200}});
  SetUpPageList(m_RuleList,
                {{"编号", 50}, {"处理类型", 100}, {"匹配条件", 100}, {"折扣", 60}, {"加价", 40}});

  // The combo is sorted: item 0 is "关键字" whatever the order of adding.
  m_TypeCombo.AddString("关键字");
  m_TypeCombo.AddString("价格区间");
  m_TypeCombo.AddString("所有商品");
  m_TypeCombo.SetCurSel(0);
  return TRUE;
}
