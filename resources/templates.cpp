// Every dialog template and menu of the program. Texts are narrow literals,
// so they are GBK bytes like every other text of the program.
//
// Style conventions, as the resource compiler gives them unless a control says
// otherwise: every control is visible; buttons, check boxes, edits, combos,
// lists, trees and date pickers are tab stops, and so is the first button of a
// radio group (on the pricing page every radio button is); edits, lists and
// trees carry a border.
#include <vector>

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

namespace {

using K = ControlKind;

constexpr int kOk = 1;      // the window layer's OK id
constexpr int kCancel = 2;  // the window layer's Cancel id
constexpr int kNoId = -1;   // a static or group box without id

constexpr DWORD kVis = kStyleVisible;
constexpr DWORD kBtn = kStyleVisible | kStyleTabStop;
constexpr DWORD kCheck = kStyleVisible | kStyleTabStop;
constexpr DWORD kEdit = kStyleVisible | kStyleBorder | kStyleTabStop;
constexpr DWORD kList = kStyleVisible | kStyleBorder | kStyleTabStop;
constexpr DWORD kCombo = kStyleVisible | kStyleTabStop;
constexpr DWORD kDate = kStyleVisible | kStyleTabStop | kStyleShortDate | kStyleRight;
constexpr DWORD kSpin = kStyleVisible | kStyleArrowKeys;

constexpr DWORD kPageStyle = kDlgChild;
constexpr const char* kFont = "MS Shell Dlg";

std::vector<DialogTemplate> BuildDialogs() {
  std::vector<DialogTemplate> d;

  // Main window `MainDlg`.
  d.push_back({IDD_MAINDLG, "Tovrane",
               kDlgPopup | kDlgSysMenu | kDlgMinimizeBox | kDlgMaximizeBox | kDlgModalFrame,
               573, 466, kFont, 8, IDR_MAIN_MENU,
               {
                   {IDC_MAIN_TAB, K::Tab, kVis, "", 7, 12, 559, 447},
                   {IDC_MAIN_BANNER, K::Static, kVis | kStyleGroup | kStyleNotify,
                    "热烈祝贺VorlupTovraneV1.0成功发布！", 7, 0, 559, 8},
               }});

  // Item page `TaoBao`.
  d.push_back({IDD_TAOBAO, "", kDlgChild | kDlgVisible | kDlgSysMenu, 479, 385, kFont, 9, 0,
               {
                   {kOk, K::DefPushButton, kBtn, "搜索宝贝", 25, 317, 50, 14},
                   {kCancel, K::PushButton, kBtn, "停止搜索", 99, 317, 50, 14},
                   {kNoId, K::GroupBox, kVis, "店铺分类", 7, 7, 245, 175},
                   {kNoId, K::GroupBox, kVis, "搜索宝贝", 7, 190, 249, 106},
                   {kNoId, K::GroupBox, kVis, "", 7, 297, 250, 52},
                   {kNoId, K::Static, kVis, "宝贝状态", 17, 202, 28, 8},
                   {IDC_TB_ITEM_SET, K::ComboBox, kCombo | kStyleSort, "", 56, 198, 86, 94},
                   {IDC_TB_ITEM_STATUS, K::ComboBox, kCombo | kStyleSort, "", 151, 199, 101, 98},
                   {IDC_TB_KEYWORD, K::Edit, kEdit | kStyleAutoHScroll, "", 57, 223, 30, 14},
                   {IDC_TB_USE_KEYWORD, K::CheckBox, kCheck, "关键字", 16, 226, 37, 10},
                   {IDC_TB_USE_PRICE, K::CheckBox, kCheck, "价格范围", 16, 253, 43, 10},
                   {IDC_TB_USE_TIME, K::CheckBox, kCheck, "时间范围", 16, 277, 43, 10},
                   {IDC_TB_TIME_FROM, K::DateTime, kDate, "", 57, 273, 78, 15},
                   {kNoId, K::Static, kVis, "到", 139, 277, 8, 8},
                   {IDC_TB_TIME_TO, K::DateTime, kDate, "", 152, 272, 100, 15},
                   {IDC_TB_PRICE_LOW_SPIN, K::Spin, kSpin, "", 126, 249, 10, 14},
                   {IDC_TB_PRICE_LOW, K::Edit, kEdit | kStyleAutoHScroll, "", 58, 248, 68, 14},
                   {kNoId, K::Static, kVis, "到", 139, 251, 8, 8},
                   {IDC_TB_PRICE_HIGH, K::Edit, kEdit | kStyleAutoHScroll, "", 151, 249, 92, 14},
                   {IDC_TB_PRICE_HIGH_SPIN, K::Spin, kSpin, "", 243, 248, 10, 14},
                   {kNoId, K::GroupBox, kVis, "宝贝列表", 258, 7, 217, 343},
                   {IDC_TB_ITEM_LIST, K::ListView, kList, "", 262, 56, 207, 253},
                   {kNoId, K::Static, kVis, "已下载数量：", 262, 319, 42, 8},
                   {IDC_TB_ITEM_COUNT, K::Edit, kEdit | kStyleNumber, "", 307, 317, 58, 14},
                   {IDC_TB_CATEGORY_TREE, K::TreeView, kList | kStyleLines, "", 14, 19, 233, 156},
                   {IDC_TB_SAVE_STATUS, K::Static, kVis, "", 369, 315, 103, 8},
                   {IDC_TB_UPSHELF_STATUS, K::Static, kVis, "", 380, 333, 85, 8},
                   {IDC_TB_UPSHELF_WAIT, K::Edit, kVis | kStyleTabStop | kStyleNumber, "", 338,
                    332, 29, 14},
                   {kNoId, K::Static, kVis, "上架不了填数字：4000", 262, 337, 72, 8},
                   {IDC_TB_TEST_LOGIN, K::PushButton, kBtn, "测试淘宝登录状态", 177, 317, 73, 14},
                   {kNoId, K::Static, kVis,
                    "如果有商品，却搜索不出来，请点击测试淘宝登录状态按钮，查看登录状态", 10, 337,
                    243, 8},
                   {kNoId, K::Static, kVis, "从", 262, 20, 8, 8},
                   {IDC_TB_RANGE_FROM, K::Edit, kEdit | kStyleNumber, "", 276, 18, 40, 14},
                   {kNoId, K::Static, kVis, "条到", 322, 21, 15, 8},
                   {IDC_TB_RANGE_TO, K::Edit, kEdit | kStyleNumber, "", 339, 18, 40, 14},
                   {kNoId, K::Static, kVis, "条，共有数据", 381, 21, 42, 8},
                   {IDC_TB_TOTAL_COUNT, K::Edit, kEdit | kStyleNumber, "", 425, 17, 40, 14},
                   {kNoId, K::Static, kVis,
                    "这是方便多开用的，一个实例下载0到1万，便写0和10000，第二个实例便写10001到"
                    "20000,不填写则默认为全部下载。",
                    276, 34, 186, 18},
               }});

  // Sync page `TongBu`. The category method's three buttons are hidden and
  // nothing shows them.
  d.push_back({IDD_TONGBU, "", kPageStyle, 561, 417, kFont, 8, 0,
               {
                   {kNoId, K::GroupBox, kVis, "同步设置", 14, 14, 540, 56},
                   {kNoId, K::Static, kVis, "同步平台", 19, 28, 33, 8},
                   {IDC_SYNC_SITE, K::ComboBox, kCombo, "", 73, 26, 48, 97},
                   {kNoId, K::Static, kVis, "线程数量", 21, 49, 33, 8},
                   {IDC_SYNC_THREADS, K::ComboBox, kCombo, "", 74, 47, 48, 115},
                   {kNoId, K::Static, kVis, "处理类型", 137, 27, 33, 8},
                   {IDC_SYNC_PROCESS_TYPE, K::ComboBox, kCombo, "", 182, 25, 71, 76},
                   {kNoId, K::Static, kVis, "仓库中的宝贝", 264, 27, 49, 8},
                   {IDC_SYNC_LIST_WHEN_IN_STOCK, K::CheckBox, kCheck, "有货上架", 316, 27, 48, 10},
                   {IDC_SYNC_UPDATE_STOCK, K::CheckBox, kCheck, "有货更新库存", 368, 27, 64, 10},
                   {kNoId, K::Static, kVis, "库存数量：", 434, 27, 41, 8},
                   {IDC_SYNC_STOCK_COUNT, K::Edit, kEdit | kStyleNumber, "", 480, 25, 42, 14},
                   {kNoId, K::Static, kVis, "出售中的宝贝", 267, 50, 49, 8},
                   {IDC_SYNC_NO_ACTION, K::RadioButton, kVis | kStyleGroup | kStyleTabStop,
                    "无操作", 319, 49, 40, 10},
                   {IDC_SYNC_DELIST, K::RadioButton, kVis, "无货下架", 368, 49, 48, 10},
                   {IDC_SYNC_DELETE, K::RadioButton, kVis, "无货删除", 421, 50, 48, 10},
                   {kNoId, K::GroupBox, kVis, "同步列表", 7, 76, 547, 284},
                   {IDC_SYNC_RESULT_LIST, K::ListView, kList | kStyleSingleSel, "", 14, 88, 533,
                    269},
                   {kNoId, K::Static, kVis, "已分析", 10, 367, 25, 8},
                   {IDC_SYNC_ANALYSED, K::Edit, kEdit | kStyleReadOnly, "", 40, 365, 35, 14},
                   {kNoId, K::Static, kVis, "个，需更新", 82, 367, 41, 8},
                   {IDC_SYNC_NEED_UPDATE, K::Edit, kEdit | kStyleReadOnly, "", 125, 365, 40, 14},
                   {kNoId, K::Static, kVis, "个，正在同步第", 170, 367, 57, 8},
                   {IDC_SYNC_CURRENT_ROW, K::Edit, kEdit | kStyleReadOnly, "", 229, 365, 40, 14},
                   {kNoId, K::Static, kVis, "行", 275, 367, 9, 8},
                   {IDC_SYNC_START, K::PushButton, kBtn, "开始同步", 421, 364, 63, 14},
                   {kCancel, K::PushButton, kBtn, "停止同步", 504, 364, 50, 14},
                   {IDC_SYNC_CATEGORY_STEP1, K::PushButton, kStyleTabStop, "分类法第一步", 343, 386,
                    61, 14},
                   {IDC_SYNC_CATEGORY_STEP2, K::PushButton, kStyleTabStop, "分类法第二步", 421, 385,
                    61, 14},
                   {IDC_SYNC_STOP_CATEGORY, K::PushButton, kStyleTabStop, "停止分类同步", 503, 385,
                    50, 14},
                   {IDC_SYNC_SAVE_STATUS, K::Static, kVis, "", 15, 388, 305, 8},
               }});

  // Pricing-conditions page `DangDangTongBu`. Both lists allow several
  // selected rows.
  d.push_back({IDD_DANGDANGTONGBU, "", kPageStyle, 555, 383, kFont, 8, 0,
               {
                   {kOk, K::DefPushButton, kBtn, "确定", 486, 362, 50, 14},
                   {IDC_DD_SETTINGS_GROUP, K::GroupBox, kVis, "同步设置", 7, 7, 534, 112},
                   {kNoId, K::Static, kVis, "处理类型", 29, 25, 33, 8},
                   {IDC_DD_RULE_TYPE, K::ComboBox, kCombo | kStyleSort | kStyleVScroll, "", 71, 20,
                    48, 107},
                   {IDC_DD_USE_KEYWORD, K::CheckBox, kCheck, "使用关键字条件", 150, 23, 72, 10},
                   {IDC_DD_USE_PRICE, K::CheckBox, kCheck, "使用价格区间条件", 229, 23, 80, 10},
                   {IDC_DD_USE_ALL_PRODUCTS, K::CheckBox, kCheck, "使用所有商品条件", 320, 23, 80,
                    10},
                   {kNoId, K::Static, kVis, "匹配条件", 30, 45, 33, 8},
                   {IDC_DD_RULE_MATCH, K::Edit, kEdit | kStyleAutoHScroll, "", 71, 42, 48, 14},
                   {IDC_DD_QIANGGOUJIA, K::CheckBox, kCheck, "同步抢购价", 150, 44, 56, 10},
                   {kNoId, K::Static, kVis, "折扣", 32, 65, 17, 8},
                   // Not digits-only: a discount such as 8.6 needs its point, and
                   // "添加" refuses what is no number instead of changing it.
                   {IDC_DD_RULE_DISCOUNT, K::Edit, kEdit | kStyleAutoHScroll, "", 71, 62, 48, 14},
                   {kNoId, K::Static, kVis, "加价", 31, 83, 17, 8},
                   {IDC_DD_RULE_MARKUP, K::Edit, kEdit | kStyleAutoHScroll, "", 71, 81, 48, 14},
                   {IDC_DD_ADD_RULE, K::PushButton, kBtn, "添加", 70, 99, 50, 14},
                   {kNoId, K::GroupBox, kVis, "条件处理列表", 7, 121, 267, 236},
                   {kNoId, K::GroupBox, kVis, "", 284, 120, 257, 237},
                   {IDC_DD_REGION_OUT_IF_ANY, K::RadioButton, kVis | kStyleGroup | kStyleTabStop,
                    "区域无货算无货：下列选中区域其中一个地区无货则商品判断为无货", 289, 135, 256,
                    10},
                   {IDC_DD_REGION_IN_IF_ANY, K::RadioButton, kVis | kStyleTabStop,
                    "区域有货算有货：下列选中区域其中一个地区有货则商品判断为有货", 289, 152, 256,
                    10},
                   {IDC_DD_RULE_LIST, K::ListView, kList, "", 7, 134, 261, 220},
                   {IDC_DD_REGION_LIST, K::ListView, kList, "", 289, 166, 246, 186},
                   {kNoId, K::Static, kVis, "网站价低于原价", 214, 45, 57, 8},
                   {IDC_DD_YUANJIAZHE, K::Edit, kEdit | kStyleAutoHScroll, "", 284, 43, 40, 14},
                   {kNoId, K::Static, kVis, "时使用此折扣（相对于原价）", 327, 46, 105, 8},
                   {IDC_DD_SHIYONGZHE, K::Edit, kEdit | kStyleAutoHScroll, "", 437, 43, 40, 14},
                   {kNoId, K::Static, kVis, "折", 486, 45, 9, 8},
                   {IDC_DD_FLOOR_5, K::CheckBox, kCheck, "价格低于5元自动更新为5元", 419, 22, 112,
                    10},
                   {kNoId, K::Static, kVis,
                    "(例：8.6） 注：价格区间匹配条件格式为：0-88，即0到88元之间的商品。", 129, 68,
                    259, 8},
                   {kNoId, K::Static, kVis,
                    "(例：6.6） 如所有条件都选择则将优先使用“关键字”然后是“价格区间”最后是“所有商"
                    "品”。",
                    130, 84, 312, 8},
                   {IDC_DD_PRODUCT_NO, K::Edit, kEdit | kStyleAutoHScroll, "", 324, 362, 74, 14},
                   {kNoId, K::Static, kVis, "当当标志", 286, 363, 33, 8},
                   {IDC_DD_CHECK_STOCK, K::PushButton, kBtn, "检测是否有货", 403, 362, 60, 14},
               }});

  // Sign-in dialog `Q_Web`; its caption is replaced when it opens.
  d.push_back({IDD_Q_WEB, "Dialog", kDlgPopup | kDlgSysMenu | kDlgModalFrame, 521, 343, kFont, 8,
               0,
               {
                   {IDC_WEB_BROWSER, K::Browser, kVis | kStyleTabStop, "", 7, 7, 507, 307},
                   {kOk, K::PushButton, kBtn, "确定", 198, 322, 50, 14},
                   {kCancel, K::PushButton, kBtn, "取消", 464, 322, 50, 14},
               }});

  // Duplicate finder `QuChongFu`.
  d.push_back({IDD_QUCHONGFU, "", kDlgChild | kDlgSysMenu, 533, 350, kFont, 8, 0,
               {
                   {kOk, K::DefPushButton, kBtn, "确定", 198, 329, 50, 14},
                   {kCancel, K::PushButton, kBtn, "取消", 476, 329, 50, 14},
                   {IDC_QC_RESULT_LIST, K::ListView, kList, "", 7, 65, 519, 255},
                   {IDC_QC_START_CHECK, K::PushButton, kBtn, "开始查重", 349, 24, 50, 14},
                   {IDC_QC_PROGRESS, K::Edit, kEdit | kStyleAutoHScroll, "", 15, 24, 296, 14},
                   {IDC_QC_COLLECT, K::PushButton, kBtn, "整理", 418, 25, 50, 14},
               }});

  // The empty store pages: the two standard buttons only.
  struct EmptyPage {
    int id, cx, cy, ok_x, cancel_x, y;
  };
  for (const EmptyPage& p : {EmptyPage{IDD_JDTONGBU, 451, 311, 198, 394, 290},
                             EmptyPage{IDD_JOYOTONGBU, 457, 295, 198, 400, 274},
                             EmptyPage{IDD_BOKUTONGBU, 401, 292, 198, 344, 271},
                             EmptyPage{IDD_WENXUANTONGBU, 429, 279, 198, 372, 258}}) {
    d.push_back({p.id, "", kPageStyle, p.cx, p.cy, kFont, 8, 0,
                 {
                     {kOk, K::DefPushButton, kBtn, "确定", p.ok_x, p.y, 50, 14},
                     {kCancel, K::PushButton, kBtn, "取消", p.cancel_x, p.y, 50, 14},
                 }});
  }
  return d;
}

std::vector<MenuTemplate> BuildMenus() {
  std::vector<MenuTemplate> m;

  m.push_back({IDR_MAIN_MENU,
               {
                   {ID_LOGIN_TAOBAO, "登录淘宝网", {}},
                   {ID_CLEAR_DATABASE, "清空数据库", {}},
                   {ID_SET_ALL_NOT_UPDATED, "数据全部设置为未更新", {}},
                   {ID_COUNT_RECORDS, "读取数据库数据总量", {}},
               }});

  // Pop-ups 3 and 4 are opened by no page and hold no items.
  m.push_back({IDR_CONTEXT_MENUS,
               {
                   {0, "删除", {{ID_DELETE_RULE, "删除", {}}}},
                   {0, "Menu2",
                    {
                        {ID_CLEAR_LIST, "清空", {}},
                        {ID_CHECK_ALL, "全选", {}},
                        {ID_UNCHECK_ALL, "全部取消", {}},
                        {ID_SAVE_DATA, "保存数据", {}},
                        {ID_IMPORT_ALL, "导入全部数据", {}},
                        {ID_BATCH_UPSHELF, "批量上架（仅用于大于1万的情况）", {}},
                        {ID_IMPORT_NOT_UPDATED, "导入未更新数据", {}},
                    }},
                   {0, "Menu3", {{ID_SAVE_UPDATED, "保存更新成功的数据", {}}}},
                   {0, "Menu4", {}},
                   {0, "Menu5", {}},
                   {0, "地区",
                    {
                        {ID_CHECK_ALL_REGIONS, "全选", {}},
                        {ID_UNCHECK_ALL_REGIONS, "全部取消", {}},
                    }},
                   {0, "获取淘宝分类", {{ID_GET_CATEGORIES, "获取分类", {}}}},
               }});
  return m;
}

// Built once, on first use (thread-safe static initialisation), and never
// changed afterwards: any thread may read them.
const std::vector<DialogTemplate>& Dialogs() {
  static const std::vector<DialogTemplate> dialogs = BuildDialogs();
  return dialogs;
}

const std::vector<MenuTemplate>& Menus() {
  static const std::vector<MenuTemplate> menus = BuildMenus();
  return menus;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& t : Dialogs()) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const MenuTemplate* FindMenuTemplate(int id) {
  for (const MenuTemplate& t : Menus()) {
    if (t.id == id) return &t;
  }
  return nullptr;
}
