#include "sync/DangDangTongBu.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "platform/text/codepage.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "services/page_menus.h"
#include "services/text_services.h"
#include "platform/net/internet.h"
#include "sync/bookstore_readers.h"
#include "sync/category_db.h"
#include "sync/decimal_text.h"
#include "sync/option_checks.h"
#include "sync/price_rules.h"
#include "sync/region_file.h"

namespace {

constexpr const char* kRuleQuery = "select ID,TreatMethod,PiPei,ZheK,JiaJia from ZheKou";
constexpr const char* kSection = "SYSCONFIG";

bool AllDigits(const CString& text) {
  if (text.IsEmpty()) return false;
  for (char c : text.str())
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether the plain decimal `text` is below the price limit in absolute
// value, read from the digits before its point: also where the text is too
// long for a double to hold. Up to 15 digits read exactly; more are far
// beyond the limit.
bool BelowPriceLimit(const CString& text) {
  const std::string& s = text.str();
  const size_t point = std::min(s.find('.'), s.size());
  const size_t at = std::min(s.find_first_not_of("-0"), point);
  const std::string whole = s.substr(at, point - at);
  return whole.size() < 16 && (whole.empty() || std::stod(whole) < kPriceLimit);
}

// The page's switches, each with the key of the options file that keeps it.
struct SwitchKey {
  const char* key;
  CButton* box;
};

std::array<SwitchKey, 4> Switches(DangDangTongBu& page) {
  return {{{"UseKeyWord", &page.m_UseKeyWordCheck},
           {"UsePrice", &page.m_UsePriceCheck},
           {"UseAllProducts", &page.m_UseAllProductsCheck},
           {"TongBuQiangGouJia", &page.m_QiangGouJiaCheck}}};
}

}  // namespace

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
  ON_BN_CLICKED(IDC_DD_ADD_RULE, &DangDangTongBu::OnAddRule)
  ON_BN_CLICKED(IDOK, &DangDangTongBu::OnSaveSettings)
  ON_BN_CLICKED(IDC_DD_REGION_OUT_IF_ANY, &DangDangTongBu::OnRegionModeRadio)
  ON_BN_CLICKED(IDC_DD_REGION_IN_IF_ANY, &DangDangTongBu::OnRegionModeRadio)
  ON_NOTIFY(NM_RCLICK, IDC_DD_RULE_LIST, &DangDangTongBu::OnRuleListRClick)
  ON_COMMAND(ID_DELETE_RULE, &DangDangTongBu::OnDeleteRule)
  ON_NOTIFY(NM_RCLICK, IDC_DD_REGION_LIST, &DangDangTongBu::OnRegionListRClick)
  ON_COMMAND(ID_CHECK_ALL_REGIONS, &DangDangTongBu::OnCheckAllRegions)
  ON_COMMAND(ID_UNCHECK_ALL_REGIONS, &DangDangTongBu::OnUncheckAllRegions)
  ON_BN_CLICKED(IDC_DD_CHECK_STOCK, &DangDangTongBu::OnCheckStock)
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

  g_UseKeyWordCheck = &m_UseKeyWordCheck;
  g_UsePriceCheck = &m_UsePriceCheck;
  g_UseAllProductsCheck = &m_UseAllProductsCheck;
  g_QiangGouJiaCheck = &m_QiangGouJiaCheck;
  g_YuanJiaZheEdit = &m_YuanJiaZheEdit;
  g_ShiYongZheEdit = &m_ShiYongZheEdit;
  g_RuleList = &m_RuleList;
  g_RegionList = &m_RegionList;

  LoadRegionList();
  m_RegionsLoaded = true;
  g_RegionStockMode = m_RegionStockMode;
  LoadRuleList(kRuleQuery);

  const CString ini = GetSystemIniPath();
  char value[260];
  for (const SwitchKey& option : Switches(*this)) {
    GetPrivateProfileStringA(kSection, option.key, "d", value, sizeof value, ini);
    SetCheckFromText(option.box, value);
  }
  GetPrivateProfileStringA(kSection, "YuanJiaZhe", "d", value, sizeof value, ini);
  m_YuanJiaZheEdit.SetWindowText(value);
  GetPrivateProfileStringA(kSection, "ShiYongZhe", "d", value, sizeof value, ini);
  m_ShiYongZheEdit.SetWindowText(value);
  m_OptionsLoaded = true;
  return TRUE;
}

void DangDangTongBu::LoadRegionList() {
  FillRegionListFromText(ReadFileToString(GetRegionFilePath()), MakeRegex(kRegionRecordPattern));
}

void DangDangTongBu::SaveRegionList() {
  CString text;
  const int count = m_RegionList.GetItemCount();
  for (int i = 0; i < count; ++i) {
    text += m_RegionList.GetItemText(i, 2);
    text += ",";
    text += m_RegionList.GetItemText(i, 1);
    text += m_RegionList.GetCheck(i) ? ",TRUE\r\n" : ",FALSE\r\n";
  }
  SaveRegionText(text);
}

void DangDangTongBu::OnAddRule() {
  const CString discount = m_DiscountEdit.GetWindowText();
  const CString markup = m_MarkupEdit.GetWindowText();
  const CString match = m_MatchEdit.GetWindowText();
  const int selected = m_TypeCombo.GetCurSel();
  if (selected < 0) {
    MessageBox("请选择处理类型", g_SoftName, MB_ICONEXCLAMATION);
    return;
  }
  // The engine reads these texts as numbers up to the first character that
  // does not fit: "8,6" would price at 8 折 and "1元" add 1. Anything but a
  // plain decimal is refused here, where the user can still mend it; so is
  // a discount above ten times the price or a markup that alone reaches a
  // price no book has (the engine would only drop such prices row by row).
  const double discount_value = ParseDecimal(discount);
  if (!IsPlainDecimal(discount) || !(discount_value > 0) || discount_value > 100) {
    MessageBox("“折扣”须为大于0且不超过100的数字（例：8.6）", g_SoftName, MB_ICONEXCLAMATION);
    return;
  }
  if (!markup.IsEmpty() && (!IsPlainDecimal(markup) || !BelowPriceLimit(markup))) {
    CString text;
    text.Format("“加价”须为空或绝对值小于%.0f的数字（例：6.6）", kPriceLimit);
    MessageBox(text, g_SoftName, MB_ICONEXCLAMATION);
    return;
  }
  CString type;
  m_TypeCombo.GetLBText(selected, type);

  // The new row shows its number at once, so that deleting it deletes it.
  auto utf8 = [](const CString& text) { return ConvertCodePage(text, CP_GBK, CP_UTF8); };
  const CString id = InsertRule(utf8(type), utf8(match), utf8(discount), utf8(markup));
  m_RuleList.InsertRow(m_RuleList.GetItemCount(), {id, type, match, discount, markup});
}

void DangDangTongBu::OnDeleteRule() {
  const int row = m_RuleList.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) {
    MessageBox("请至少选择一项", g_SoftName, MB_ICONEXCLAMATION);
    return;
  }
  // A row without a number (its add found no database) has nothing stored.
  const CString id = m_RuleList.GetItemText(row, 0);
  if (AllDigits(id)) ExecCategorySql("delete from ZheKou where Id=" + id);
  m_RuleList.DeleteAllItems();
  LoadRuleList(kRuleQuery);
}

void DangDangTongBu::OnSaveSettings() {
  const CString ini = GetSystemIniPath();
  CString not_saved;
  if (m_OptionsLoaded) {
    for (const SwitchKey& option : Switches(*this)) {
      CString text;
      GetCheckAsText(option.box, text);
      WritePrivateProfileStringA(kSection, option.key, text, ini);
    }
    WritePrivateProfileStringA(kSection, "YuanJiaZhe", m_YuanJiaZheEdit.GetWindowText(), ini);
    WritePrivateProfileStringA(kSection, "ShiYongZhe", m_ShiYongZheEdit.GetWindowText(), ini);
  } else {
    not_saved += "\n" + CString(Utf8ToGbk(NativePath(ini)));
  }
  // A province file that cannot be written throws: the error box names the
  // file and the save ends before "保存成功".
  if (m_RegionsLoaded)
    SaveRegionList();
  else
    not_saved += "\n" + CString(Utf8ToGbk(NativePath(GetRegionFilePath())));
  if (!not_saved.IsEmpty()) {
    AfxMessageBox("打开页面时未能读入这些文件，未保存：" + not_saved, MB_ICONEXCLAMATION);
    return;
  }
  AfxMessageBox("保存成功", MB_OK);
}

void DangDangTongBu::OnRegionModeRadio() {
  UpdateData(TRUE);
  g_RegionStockMode = m_RegionStockMode;
}

void DangDangTongBu::OnRuleListRClick(NMHDR* header, LRESULT* result) {
  const auto* item = reinterpret_cast<NMITEMACTIVATE*>(header);
  if (item && item->iItem != -1) ShowPageContextMenu(kPopupRuleList, this);
  if (result) *result = 0;
}

void DangDangTongBu::OnRegionListRClick(NMHDR* header, LRESULT* result) {
  (void)header;
  ShowPageContextMenu(kPopupRegionList, this);
  if (result) *result = 0;
}

void DangDangTongBu::OnCheckAllRegions() { SetAllChecks(m_RegionList, TRUE); }

void DangDangTongBu::OnUncheckAllRegions() { SetAllChecks(m_RegionList, FALSE); }

void DangDangTongBu::OnCheckStock() {
  bool in_stock = false;
  try {
    in_stock = GetDangdangStock(m_ProductNoEdit.GetWindowText());
  } catch (CInternetException* error) {
    // The framework's report would give only the network's reason; say
    // which service it was, so the user knows the answer is missing, not "无货".
    const CString text = NetworkFailureText("当当库存查询服务", "http://" + Hosts().dangdangStock,
                                            "未能检测是否有货", *error);
    error->Delete();
    AfxMessageBox(text, MB_ICONSTOP);
    return;
  }
  AfxMessageBox(in_stock ? "有货" : "无货", MB_OK);
}
