#include "services/globals.h"

CString g_NoticeText;
CString g_NoticeUrl;
const CString g_SoftName("VorlupTovrane");
const CString g_Version("V1.1.6");

CMutex g_ParseRowMutex;
CMutex g_WorkMutex;
CMutex g_ShopRowMutex;
CMutex g_ResultMutex;

SharedText& SharedText::operator=(const CString& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ = text;
  return *this;
}

CString SharedText::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

bool SharedText::IsEmpty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_.IsEmpty();
}

CString g_ListBodyTemplate;
SharedText g_TbToken;
CString g_ItemPageKind;
SharedText g_XId;

std::atomic<BYTE> g_LoggedIn{0};
std::atomic<BYTE> g_ListFromDb{0};

CListCtrl* g_ItemList = nullptr;
CComboBox* g_ItemSetCombo = nullptr;
CTreeCtrl* g_CategoryTree = nullptr;
CButton* g_SearchButton = nullptr;
CStatic* g_SaveStatusText = nullptr;
CStatic* g_UpShelfStatusText = nullptr;
CEdit* g_ItemCountEdit = nullptr;
CEdit* g_UpShelfWaitEdit = nullptr;
CEdit* g_TotalCountEdit = nullptr;
HWND g_TaoBaoHwnd = nullptr;

CButton* g_SyncStartButton = nullptr;
CListCtrl* g_SyncList = nullptr;
CComboBox* g_SiteCombo = nullptr;
CButton* g_ListWhenInStockCheck = nullptr;
CButton* g_UpdateStockCheck = nullptr;
std::atomic<int> g_StockActionMode{0};
CEdit* g_AnalysedEdit = nullptr;
CEdit* g_NeedUpdateEdit = nullptr;
CEdit* g_CurrentRowEdit = nullptr;
CButton* g_CategoryStep1Button = nullptr;
CButton* g_CategoryStep2Button = nullptr;
CStatic* g_SyncStatusText = nullptr;
HWND g_SyncHwnd = nullptr;

CListCtrl* g_RuleList = nullptr;
CListCtrl* g_RegionList = nullptr;
CButton* g_UseKeyWordCheck = nullptr;
CButton* g_UsePriceCheck = nullptr;
CButton* g_UseAllProductsCheck = nullptr;
CButton* g_QiangGouJiaCheck = nullptr;
CEdit* g_YuanJiaZheEdit = nullptr;
CEdit* g_ShiYongZheEdit = nullptr;
std::atomic<int> g_RegionStockMode{0};

CListCtrl* g_DupList = nullptr;
CEdit* g_DupProgressEdit = nullptr;

sqlite3* g_ItemDb = nullptr;
