#pragma once
// Resource ids of the program: dialog templates, menus, the controls of each
// template and the menu commands. The same control number means different
// controls on different pages, so control ids are named per page:
//   IDC_MAIN_  main window (135)        IDC_WEB_   sign-in dialog (137)
//   IDC_TB_    item page (102)          IDC_SYNC_  sync page (129)
//   IDC_DD_    pricing page (131)       IDC_QC_    duplicate finder (147)
// The OK and Cancel ids (1 and 2) belong to the window layer and are not
// repeated here.

// Dialog templates.
inline constexpr int IDD_TAOBAO = 102;          // item page `TaoBao`
inline constexpr int IDD_TONGBU = 129;          // sync page `TongBu`
inline constexpr int IDD_JDTONGBU = 130;        // empty store page `JDTongbu`
inline constexpr int IDD_DANGDANGTONGBU = 131;  // pricing-conditions page `DangDangTongBu`
inline constexpr int IDD_JOYOTONGBU = 132;      // empty store page `JoyoTongbu`
inline constexpr int IDD_BOKUTONGBU = 133;      // empty store page `BoKuTongbu`
inline constexpr int IDD_WENXUANTONGBU = 134;   // empty store page `WenXuanTongBu`
inline constexpr int IDD_MAINDLG = 135;         // main window `MainDlg`
inline constexpr int IDD_Q_WEB = 137;           // sign-in dialog `Q_Web`
inline constexpr int IDD_QUCHONGFU = 147;       // duplicate finder `QuChongFu`

// Menus.
inline constexpr int IDR_MAIN_MENU = 136;       // menu bar of `MainDlg`
inline constexpr int IDR_CONTEXT_MENUS = 140;   // the pages' pop-up menus, by position

// Positions of the pop-ups inside IDR_CONTEXT_MENUS.
inline constexpr int kPopupRuleList = 0;        // pricing page, condition list: "删除"
inline constexpr int kPopupItemList = 1;        // item page, shop item list
inline constexpr int kPopupSyncList = 2;        // sync page, result list
inline constexpr int kPopupUnused3 = 3;         // opened by no page
inline constexpr int kPopupUnused4 = 4;         // opened by no page
inline constexpr int kPopupRegionList = 5;      // pricing page, province list
inline constexpr int kPopupCategoryTree = 6;    // item page, category tree
inline constexpr int kContextPopupCount = 7;

// Main window (135).
inline constexpr int IDC_MAIN_TAB = 1018;
inline constexpr int IDC_MAIN_BANNER = 1038;

// Sign-in dialog (137).
inline constexpr int IDC_WEB_BROWSER = 1019;

// Item page (102). Button 1 "搜索宝贝" and button 2 "停止搜索" use the OK and Cancel ids.
inline constexpr int IDC_TB_CATEGORY_TREE = 1000;
inline constexpr int IDC_TB_ITEM_SET = 1001;
inline constexpr int IDC_TB_ITEM_STATUS = 1002;
inline constexpr int IDC_TB_KEYWORD = 1003;
inline constexpr int IDC_TB_USE_KEYWORD = 1004;
inline constexpr int IDC_TB_USE_PRICE = 1005;
inline constexpr int IDC_TB_USE_TIME = 1006;
inline constexpr int IDC_TB_TIME_FROM = 1007;
inline constexpr int IDC_TB_TIME_TO = 1008;
inline constexpr int IDC_TB_PRICE_LOW_SPIN = 1010;
inline constexpr int IDC_TB_PRICE_LOW = 1011;
inline constexpr int IDC_TB_PRICE_HIGH = 1012;
inline constexpr int IDC_TB_PRICE_HIGH_SPIN = 1013;
inline constexpr int IDC_TB_ITEM_LIST = 1014;
inline constexpr int IDC_TB_ITEM_COUNT = 1021;
inline constexpr int IDC_TB_RANGE_FROM = 1026;
inline constexpr int IDC_TB_TEST_LOGIN = 1030;
inline constexpr int IDC_TB_SAVE_STATUS = 1036;
inline constexpr int IDC_TB_UPSHELF_STATUS = 1039;
inline constexpr int IDC_TB_UPSHELF_WAIT = 1040;
inline constexpr int IDC_TB_RANGE_TO = 1042;
inline constexpr int IDC_TB_TOTAL_COUNT = 1043;

// Sync page (129). Button 2 "停止同步" uses the Cancel id.
inline constexpr int IDC_SYNC_SITE = 1001;
inline constexpr int IDC_SYNC_THREADS = 1002;
inline constexpr int IDC_SYNC_STOCK_COUNT = 1003;
inline constexpr int IDC_SYNC_LIST_WHEN_IN_STOCK = 1004;
inline constexpr int IDC_SYNC_UPDATE_STOCK = 1005;
inline constexpr int IDC_SYNC_ANALYSED = 1011;
inline constexpr int IDC_SYNC_CURRENT_ROW = 1012;
inline constexpr int IDC_SYNC_RESULT_LIST = 1014;
inline constexpr int IDC_SYNC_NO_ACTION = 1015;    // first radio of the stock-action group
inline constexpr int IDC_SYNC_DELIST = 1016;
inline constexpr int IDC_SYNC_DELETE = 1017;
inline constexpr int IDC_SYNC_NEED_UPDATE = 1021;
inline constexpr int IDC_SYNC_START = 1024;
inline constexpr int IDC_SYNC_CATEGORY_STEP1 = 1032;
inline constexpr int IDC_SYNC_PROCESS_TYPE = 1033;
inline constexpr int IDC_SYNC_STOP_CATEGORY = 1034;
inline constexpr int IDC_SYNC_CATEGORY_STEP2 = 1035;
inline constexpr int IDC_SYNC_SAVE_STATUS = 1037;

// Pricing-conditions page (131). Button 1 "确定" uses the OK id.
inline constexpr int IDC_DD_RULE_TYPE = 1001;
inline constexpr int IDC_DD_RULE_MATCH = 1003;
inline constexpr int IDC_DD_USE_KEYWORD = 1004;
inline constexpr int IDC_DD_USE_PRICE = 1005;
inline constexpr int IDC_DD_USE_ALL_PRODUCTS = 1006;
inline constexpr int IDC_DD_RULE_DISCOUNT = 1011;
inline constexpr int IDC_DD_RULE_MARKUP = 1012;
inline constexpr int IDC_DD_RULE_LIST = 1014;
inline constexpr int IDC_DD_REGION_OUT_IF_ANY = 1015;  // first radio of the region-mode group
inline constexpr int IDC_DD_REGION_IN_IF_ANY = 1016;
inline constexpr int IDC_DD_REGION_LIST = 1020;
inline constexpr int IDC_DD_YUANJIAZHE = 1021;
inline constexpr int IDC_DD_SETTINGS_GROUP = 1022;
inline constexpr int IDC_DD_QIANGGOUJIA = 1023;
inline constexpr int IDC_DD_ADD_RULE = 1024;
inline constexpr int IDC_DD_SHIYONGZHE = 1026;
inline constexpr int IDC_DD_FLOOR_5 = 1027;            // in the template only: nothing reads it
inline constexpr int IDC_DD_CHECK_STOCK = 1030;
inline constexpr int IDC_DD_PRODUCT_NO = 1040;

// Duplicate finder (147).
inline constexpr int IDC_QC_PROGRESS = 1003;
inline constexpr int IDC_QC_RESULT_LIST = 1020;
inline constexpr int IDC_QC_START_CHECK = 1024;
inline constexpr int IDC_QC_COLLECT = 1030;

// Commands of the main menu bar (136).
inline constexpr int ID_LOGIN_TAOBAO = 32771;
inline constexpr int ID_CLEAR_DATABASE = 32784;
inline constexpr int ID_SET_ALL_NOT_UPDATED = 32794;
inline constexpr int ID_COUNT_RECORDS = 32800;

// Commands of the pop-up menus (140).
inline constexpr int ID_DELETE_RULE = 32775;         // pop-up 0
inline constexpr int ID_CHECK_ALL = 32777;           // pop-up 1
inline constexpr int ID_UNCHECK_ALL = 32778;         // pop-up 1
inline constexpr int ID_SAVE_DATA = 32779;           // pop-up 1
inline constexpr int ID_CLEAR_LIST = 32780;          // pop-up 1
inline constexpr int ID_IMPORT_ALL = 32782;          // pop-up 1
inline constexpr int ID_SAVE_UPDATED = 32785;        // pop-up 2
inline constexpr int ID_BATCH_UPSHELF = 32788;       // pop-up 1
inline constexpr int ID_CHECK_ALL_REGIONS = 32789;   // pop-up 5
inline constexpr int ID_UNCHECK_ALL_REGIONS = 32790; // pop-up 5
inline constexpr int ID_IMPORT_NOT_UPDATED = 32793;  // pop-up 1
inline constexpr int ID_GET_CATEGORIES = 32796;      // pop-up 6

// In the message map of `BoKuTongbu` only; no menu item carries it.
inline constexpr int ID_BOKU_COMMAND = 32787;
