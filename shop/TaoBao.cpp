// The item page: its set-up, the category tree and the list commands. The
// download and the save/re-load handlers live in item_download.cpp and
// item_save.cpp. Every handler here runs on the user-interface thread.
#include "shop/TaoBao.h"

#include <exception>
#include <memory>

#include "platform/text/containers.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "services/page_menus.h"
#include "services/text_services.h"
#include "shop/Q_Web.h"

namespace {

// Re-enables a window when it goes out of scope, so that a handler that
// throws half-way does not leave the control disabled for good.
class EnableOnExit {
 public:
  explicit EnableOnExit(CWnd& wnd) : wnd_(wnd) {}
  ~EnableOnExit() { wnd_.EnableWindow(TRUE); }
  EnableOnExit(const EnableOnExit&) = delete;
  EnableOnExit& operator=(const EnableOnExit&) = delete;

 private:
  CWnd& wnd_;
};

// Runs one step of the page's set-up. An exception is shown as the
// dispatcher shows one that escapes a handler; the result says whether the
// step went through.
template <typename Step>
bool RunShowingFailure(Step step) {
  try {
    step();
    return true;
  } catch (CException* e) {
    ui::ReportException(e);
    e->Delete();
  } catch (const std::exception& e) {
    ui::ReportException(e);
  }
  return false;
}

}  // namespace

TaoBao::TaoBao() : CDialogEx(IDD) {}

TaoBao::~TaoBao() = default;

void TaoBao::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_TB_ITEM_LIST, m_ItemList);
  DDX_Control(dx, IDC_TB_ITEM_SET, m_ItemSetCombo);
  DDX_Control(dx, IDC_TB_ITEM_STATUS, m_StatusCombo);
  DDX_Control(dx, IDC_TB_ITEM_COUNT, m_ItemCountEdit);
  DDX_Control(dx, IDC_TB_KEYWORD, m_KeywordEdit);
  DDX_Control(dx, IDC_TB_USE_KEYWORD, m_UseKeyword);
  DDX_Control(dx, IDC_TB_USE_PRICE, m_UsePriceRange);
  DDX_Control(dx, IDC_TB_PRICE_LOW, m_LowPriceEdit);
  DDX_Control(dx, IDC_TB_PRICE_HIGH, m_HighPriceEdit);
  DDX_Control(dx, IDC_TB_USE_TIME, m_UseTimeRange);
  DDX_Control(dx, IDC_TB_TIME_FROM, m_TimeFrom);
  DDX_Control(dx, IDC_TB_TIME_TO, m_TimeTo);
  DDX_Control(dx, IDC_TB_CATEGORY_TREE, m_CategoryTree);
  DDX_Control(dx, IDOK, m_SearchButton);
  DDX_Control(dx, IDCANCEL, m_StopButton);
  DDX_Control(dx, IDC_TB_SAVE_STATUS, m_SaveStatusText);
  DDX_Control(dx, IDC_TB_UPSHELF_STATUS, m_UpShelfStatusText);
  DDX_Control(dx, IDC_TB_UPSHELF_WAIT, m_UpShelfWaitEdit);
  DDX_Control(dx, IDC_TB_RANGE_FROM, m_RangeFromEdit);
  DDX_Control(dx, IDC_TB_RANGE_TO, m_RangeToEdit);
  DDX_Control(dx, IDC_TB_TOTAL_COUNT, m_TotalCountEdit);
}

BEGIN_MESSAGE_MAP(TaoBao, CDialogEx)
  ON_CBN_SELCHANGE(IDC_TB_ITEM_SET, &TaoBao::OnItemSetSelChange)
  ON_BN_CLICKED(IDOK, &TaoBao::OnSearchItems)
  ON_MESSAGE(WM_TAOBAO_WORKER_DONE, &TaoBao::OnDownloadDone)
  ON_NOTIFY(TVN_SELCHANGED, IDC_TB_CATEGORY_TREE, &TaoBao::OnCategorySelChanged)
  ON_BN_CLICKED(IDCANCEL, &TaoBao::OnStopSearch)
  ON_NOTIFY(NM_RCLICK, IDC_TB_ITEM_LIST, &TaoBao::OnItemListRClick)
  ON_COMMAND(ID_CLEAR_LIST, &TaoBao::OnClearList)
  ON_COMMAND(ID_CHECK_ALL, &TaoBao::OnCheckAll)
  ON_COMMAND(ID_UNCHECK_ALL, &TaoBao::OnUncheckAll)
  ON_COMMAND(ID_SAVE_DATA, &TaoBao::OnSaveData)
  ON_COMMAND(ID_IMPORT_ALL, &TaoBao::OnImportAll)
  ON_COMMAND(ID_IMPORT_NOT_UPDATED, &TaoBao::OnImportNotUpdated)
  ON_COMMAND(ID_BATCH_UPSHELF, &TaoBao::OnBatchUpShelf)
  ON_COMMAND(ID_GET_CATEGORIES, &TaoBao::OnGetCategories)
  ON_NOTIFY(NM_RCLICK, IDC_TB_CATEGORY_TREE, &TaoBao::OnCategoryTreeRClick)
  ON_BN_CLICKED(IDC_TB_TEST_LOGIN, &TaoBao::OnTestLogin)
END_MESSAGE_MAP()

BOOL TaoBao::OnInitDialog() {
  CDialogEx::OnInitDialog();

  SetUpPageList(m_ItemList, {{"编号", 50}, {"淘宝商品ID", 100}, {"商家编码", 100}, {"价格", 50}});
  m_ItemList.IndexColumn(kItemIdColumn);

  // The list is sorted: "仓库中的宝贝" comes first.
  m_ItemSetCombo.AddString("出售中的宝贝");
  m_ItemSetCombo.AddString("仓库中的宝贝");
  m_ItemSetCombo.SetCurSel(0);

  m_StatusCombo.InsertString(0, "全部");
  m_StatusCombo.InsertString(1, "售完下架");
  m_StatusCombo.InsertString(2, "我下架的");
  m_StatusCombo.InsertString(3, "即将开始");
  m_StatusCombo.InsertString(4, "从未上架");
  m_StatusCombo.SetCurSel(0);

  // The sign-in check and the category tree need the network. The other
  // pages rely on the globals below whatever happens there, so a failure is
  // shown once and the set-up goes on; after a failed check the category
  // request is not tried (it would only fail again, after another wait).
  bool network_ok = RunShowingFailure(CheckSellerPage);

  g_ItemCountEdit = &m_ItemCountEdit;
  g_ItemSetCombo = &m_ItemSetCombo;
  g_CategoryTree = &m_CategoryTree;
  g_SearchButton = &m_SearchButton;
  g_SaveStatusText = &m_SaveStatusText;
  g_UpShelfStatusText = &m_UpShelfStatusText;
  g_ItemList = &m_ItemList;
  g_UpShelfWaitEdit = &m_UpShelfWaitEdit;

  if (network_ok) RunShowingFailure(LoadShopCategories);

  g_TotalCountEdit = &m_TotalCountEdit;
  g_TaoBaoHwnd = m_hWnd;

  OnItemSetSelChange();
  return TRUE;
}

void TaoBao::OnItemSetSelChange() {
  switch (m_ItemSetCombo.GetCurSel()) {
    case 0:  // "仓库中的宝贝"
      m_StatusCombo.EnableWindow(TRUE);
      m_StatusCombo.SetCurSel(2);  // "我下架的"
      break;
    case 1:  // "出售中的宝贝": the status does not apply
      m_StatusCombo.EnableWindow(FALSE);
      break;
    default:
      break;
  }
}

void LoadShopCategories() {
  CString url = CString("http://") + Hosts().seller + "/auction/goods/get_shop_category.htm";
  CString reply = HttpGetWithCookie(url);
  // Every "items" key gets a marker behind it, and so does the end: the
  // pieces between markers are the category chunks.
  reply.Replace("items", "itemsCaoTaMa");
  reply += "itemsCaoTaMa";
  FillCategoryTree(reply);
}

void FillCategoryTree(CString text) {
  CTreeCtrl* tree = g_CategoryTree;
  if (!tree) return;
  std::unique_ptr<CStringArray> chunks(RegexAllToArray(text, MakeRegex("(.*?)CaoTaMa{1}")));
  tree->InsertItem("全部类目", TVI_ROOT, TVI_LAST);
  boost::regex name_pattern = MakeRegex(",\"text\":\"(.*?)\",\"value{1}\":\".*?\".*?items{1}");
  for (int i = 0; i < chunks->GetSize(); ++i) {
    CString& chunk = chunks->ElementAt(i);
    CString name = RegexFirst(chunk, name_pattern);
    if (name.IsEmpty()) continue;
    HTREEITEM item = tree->InsertItem(name, TVI_ROOT, TVI_LAST);
    tree->SetItemDataText(item, chunk);
  }
}

void TaoBao::OnCategorySelChanged(NMHDR* header, LRESULT* result) {
  (void)header;
  if (result) *result = 0;
  HTREEITEM item = m_CategoryTree.GetSelectedItem();
  // Disabled while the children go in, so that the selection cannot move.
  m_CategoryTree.EnableWindow(FALSE);
  EnableOnExit enable(m_CategoryTree);
  if (!item) return;
  CString chunk = m_CategoryTree.GetItemDataText(item);
  if (chunk.IsEmpty()) return;  // "全部类目" and the children carry no chunk
  std::unique_ptr<CStringArray> names(
      RegexAllToArray(chunk, MakeRegex("\"text\":\"(.*?)\",\"value\":\".*?\"")));
  for (int i = 0; i < names->GetSize(); ++i) {
    m_CategoryTree.InsertItem(names->GetAt(i), item, TVI_LAST);
  }
}

void TaoBao::OnStopSearch() {
  m_SearchButton.EnableWindow(TRUE);
  m_StopButton.EnableWindow(FALSE);
  m_ItemSetCombo.EnableWindow(TRUE);
  m_StatusCombo.EnableWindow(TRUE);
}

void TaoBao::OnItemListRClick(NMHDR* header, LRESULT* result) {
  (void)header;
  ShowPageContextMenu(kPopupItemList, this);
  if (result) *result = 0;
}

void TaoBao::OnCategoryTreeRClick(NMHDR* header, LRESULT* result) {
  (void)header;
  ShowPageContextMenu(kPopupCategoryTree, this);
  if (result) *result = 0;
}

void TaoBao::OnClearList() {
  m_ItemList.DeleteAllItems();
  m_ItemCountEdit.SetWindowText("0");
  AfxMessageBox("成功清除！", MB_OK);
}

void TaoBao::OnCheckAll() { SetAllChecks(m_ItemList, TRUE); }

void TaoBao::OnUncheckAll() { SetAllChecks(m_ItemList, FALSE); }

void TaoBao::OnGetCategories() {
  m_CategoryTree.DeleteAllItems();
  LoadShopCategories();
}

void TaoBao::OnTestLogin() {
  // A network failure leaves the handler here: flag and status stay.
  CheckSellerPage();
  AfxMessageBox(g_LoggedIn ? "登录有效" : "登录失效", MB_OK);
  ShowLoginStatus(g_LoggedIn != 0);
}
