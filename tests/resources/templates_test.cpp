#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

namespace {

const std::vector<int> kAllDialogs = {IDD_TAOBAO,        IDD_TONGBU,         IDD_JDTONGBU,
                                      IDD_DANGDANGTONGBU, IDD_JOYOTONGBU,    IDD_BOKUTONGBU,
                                      IDD_WENXUANTONGBU, IDD_MAINDLG,        IDD_Q_WEB,
                                      IDD_QUCHONGFU};
const std::vector<int> kAllMenus = {IDR_MAIN_MENU, IDR_CONTEXT_MENUS};

// u8 literals are not touched by the GBK execution charset: they are the
// independent reference the templates' GBK bytes are checked against.
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

const ControlTemplate* FindControl(const DialogTemplate& t, int id) {
  for (const ControlTemplate& c : t.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

// A GBK text that came out of a character GBK lacks (GB18030 gives it four
// bytes that GBK cannot read back) shows up as U+FFFD after conversion.
bool IsCleanGbk(const char* text) {
  return GbkToUtf8(text).find("\xEF\xBF\xBD") == std::string::npos;
}

void CollectCommands(const std::vector<MenuItemTemplate>& items, std::vector<int>& out) {
  for (const MenuItemTemplate& item : items) {
    if (item.id != 0) out.push_back(item.id);
    CollectCommands(item.popup, out);
  }
}

TEST(DialogTemplates, EveryControlFitsInsideItsDialogAndIdsAreUnique) {
  for (int id : kAllDialogs) {
    SCOPED_TRACE("template " + std::to_string(id));
    const DialogTemplate* t = FindDialogTemplate(id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->id, id);
    EXPECT_STREQ(t->font, "MS Shell Dlg");
    EXPECT_TRUE(IsCleanGbk(t->caption));
    std::set<int> seen;
    for (const ControlTemplate& c : t->controls) {
      SCOPED_TRACE("control " + std::to_string(c.id) + " at " + std::to_string(c.x) + "," +
                   std::to_string(c.y));
      EXPECT_GE(c.x, 0);
      EXPECT_GE(c.y, 0);
      EXPECT_GT(c.cx, 0);
      EXPECT_GT(c.cy, 0);
      EXPECT_LE(c.x + c.cx, t->cx);
      EXPECT_LE(c.y + c.cy, t->cy);
      EXPECT_TRUE(IsCleanGbk(c.text));
      if (c.id != -1) {
        EXPECT_TRUE(seen.insert(c.id).second) << "duplicate id " << c.id;
      }
    }
  }
}

TEST(DialogTemplates, UnknownIdsGiveNull) {
  EXPECT_EQ(FindDialogTemplate(0), nullptr);
  EXPECT_EQ(FindDialogTemplate(-1), nullptr);
  EXPECT_EQ(FindDialogTemplate(IDR_MAIN_MENU), nullptr);  // a menu id is no dialog
  EXPECT_EQ(FindDialogTemplate(136), nullptr);
  EXPECT_EQ(FindMenuTemplate(IDD_MAINDLG), nullptr);      // a dialog id is no menu
  EXPECT_EQ(FindMenuTemplate(0), nullptr);
}

// Every id a page binds or handles must be in its template: a missing one
// leaves the page's control unbound.
TEST(DialogTemplates, PagesFindTheControlsTheyBind) {
  struct Page {
    int dialog;
    std::vector<int> ids;
  };
  const std::vector<Page> pages = {
      {IDD_MAINDLG, {IDC_MAIN_TAB, IDC_MAIN_BANNER}},
      {IDD_Q_WEB, {IDC_WEB_BROWSER, 1, 2}},
      {IDD_TAOBAO,
       {1, 2, IDC_TB_CATEGORY_TREE, IDC_TB_ITEM_SET, IDC_TB_ITEM_STATUS, IDC_TB_KEYWORD,
        IDC_TB_USE_KEYWORD, IDC_TB_USE_PRICE, IDC_TB_USE_TIME, IDC_TB_TIME_FROM, IDC_TB_TIME_TO,
        IDC_TB_PRICE_LOW, IDC_TB_PRICE_HIGH, IDC_TB_ITEM_LIST, IDC_TB_ITEM_COUNT,
        IDC_TB_RANGE_FROM, IDC_TB_TEST_LOGIN, IDC_TB_SAVE_STATUS, IDC_TB_UPSHELF_STATUS,
        IDC_TB_UPSHELF_WAIT, IDC_TB_RANGE_TO, IDC_TB_TOTAL_COUNT}},
      {IDD_TONGBU,
       {2, IDC_SYNC_SITE, IDC_SYNC_THREADS, IDC_SYNC_LIST_WHEN_IN_STOCK, IDC_SYNC_UPDATE_STOCK,
        IDC_SYNC_ANALYSED, IDC_SYNC_CURRENT_ROW, IDC_SYNC_RESULT_LIST, IDC_SYNC_NO_ACTION,
        IDC_SYNC_DELIST, IDC_SYNC_DELETE, IDC_SYNC_NEED_UPDATE, IDC_SYNC_START,
        IDC_SYNC_CATEGORY_STEP1, IDC_SYNC_PROCESS_TYPE, IDC_SYNC_STOP_CATEGORY,
        IDC_SYNC_CATEGORY_STEP2, IDC_SYNC_SAVE_STATUS}},
      {IDD_DANGDANGTONGBU,
       {1, IDC_DD_RULE_TYPE, IDC_DD_RULE_MATCH, IDC_DD_USE_KEYWORD, IDC_DD_USE_PRICE,
        IDC_DD_USE_ALL_PRODUCTS, IDC_DD_RULE_DISCOUNT, IDC_DD_RULE_MARKUP, IDC_DD_RULE_LIST,
        IDC_DD_REGION_OUT_IF_ANY, IDC_DD_REGION_IN_IF_ANY, IDC_DD_REGION_LIST,
        IDC_DD_YUANJIAZHE, IDC_DD_QIANGGOUJIA, IDC_DD_ADD_RULE, IDC_DD_SHIYONGZHE,
        IDC_DD_CHECK_STOCK, IDC_DD_PRODUCT_NO}},
      {IDD_QUCHONGFU, {IDC_QC_PROGRESS, IDC_QC_RESULT_LIST, IDC_QC_START_CHECK, IDC_QC_COLLECT}},
  };
  for (const Page& p : pages) {
    const DialogTemplate* t = FindDialogTemplate(p.dialog);
    ASSERT_NE(t, nullptr);
    for (int id : p.ids) {
      EXPECT_NE(FindControl(*t, id), nullptr) << "template " << p.dialog << " lacks " << id;
    }
  }
}

TEST(DialogTemplates, StylesThatChangeBehaviour) {
  const DialogTemplate* sync = FindDialogTemplate(IDD_TONGBU);
  ASSERT_NE(sync, nullptr);
  // Nothing shows the category method's buttons.
  for (int id : {IDC_SYNC_CATEGORY_STEP1, IDC_SYNC_CATEGORY_STEP2, IDC_SYNC_STOP_CATEGORY}) {
    EXPECT_EQ(FindControl(*sync, id)->style & kStyleVisible, 0u) << id;
  }
  EXPECT_NE(FindControl(*sync, IDC_SYNC_START)->style & kStyleVisible, 0u);
  // Radio exchange reads the group from its first button on.
  EXPECT_NE(FindControl(*sync, IDC_SYNC_NO_ACTION)->style & kStyleGroup, 0u);
  EXPECT_EQ(FindControl(*sync, IDC_SYNC_DELIST)->style & kStyleGroup, 0u);
  EXPECT_EQ(FindControl(*sync, IDC_SYNC_DELETE)->style & kStyleGroup, 0u);
  // The store and thread boxes keep their insertion order: a sorted box would
  // put "10" before "2".
  EXPECT_EQ(FindControl(*sync, IDC_SYNC_THREADS)->style & kStyleSort, 0u);
  EXPECT_EQ(FindControl(*sync, IDC_SYNC_SITE)->style & kStyleSort, 0u);

  const DialogTemplate* item = FindDialogTemplate(IDD_TAOBAO);
  ASSERT_NE(item, nullptr);
  // Index 0 of the item-set box is "仓库中的宝贝" only because the list is sorted.
  EXPECT_NE(FindControl(*item, IDC_TB_ITEM_SET)->style & kStyleSort, 0u);
  EXPECT_EQ(FindControl(*item, 1)->kind, ControlKind::DefPushButton);
  EXPECT_EQ(item->point_size, 9);

  const DialogTemplate* main = FindDialogTemplate(IDD_MAINDLG);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->menu_id, IDR_MAIN_MENU);
  EXPECT_NE(FindControl(*main, IDC_MAIN_BANNER)->style & kStyleNotify, 0u);  // clicks open the link
  for (int page : {IDD_TAOBAO, IDD_TONGBU, IDD_DANGDANGTONGBU, IDD_QUCHONGFU, IDD_JDTONGBU}) {
    EXPECT_NE(FindDialogTemplate(page)->style & kDlgChild, 0u) << page;
    EXPECT_EQ(FindDialogTemplate(page)->style & kDlgPopup, 0u) << page;
  }
}

// The pages in the main window's font sit in the tab control's client area:
// a shown control reaching past it is cut off at the tab's right border.
TEST(DialogTemplates, PagesFitTheTabControl) {
  const ControlTemplate* tab = FindControl(*FindDialogTemplate(IDD_MAINDLG), IDC_MAIN_TAB);
  ASSERT_NE(tab, nullptr);
  for (int page : {IDD_TONGBU, IDD_DANGDANGTONGBU}) {
    for (const ControlTemplate& c : FindDialogTemplate(page)->controls) {
      if ((c.style & kStyleVisible) == 0) continue;
      EXPECT_LE(c.x + c.cx, tab->cx - 2) << "page " << page << ": " << GbkToUtf8(c.text) << " " << c.id;
    }
  }
}

TEST(DialogTemplates, TextsThatAreEasyToGetWrong) {
  const DialogTemplate* item = FindDialogTemplate(IDD_TAOBAO);
  ASSERT_NE(item, nullptr);
  std::set<std::string> item_texts;
  for (const ControlTemplate& c : item->controls) item_texts.insert(GbkToUtf8(c.text));
  EXPECT_TRUE(item_texts.count(
      U8(u8"如果有商品，却搜索不出来，请点击测试淘宝登录状态按钮，查看登录状态")));
  EXPECT_TRUE(item_texts.count(
      U8(u8"这是方便多开用的，一个实例下载0到1万，便写0和10000，第二个实例便写10001到20000,"
         u8"不填写则默认为全部下载。")));
  EXPECT_TRUE(item_texts.count(U8(u8"上架不了填数字：4000")));

  const DialogTemplate* pricing = FindDialogTemplate(IDD_DANGDANGTONGBU);
  ASSERT_NE(pricing, nullptr);
  std::set<std::string> pricing_texts;
  for (const ControlTemplate& c : pricing->controls) pricing_texts.insert(GbkToUtf8(c.text));
  EXPECT_TRUE(pricing_texts.count(
      U8(u8"(例：6.6） 如所有条件都选择则将优先使用“关键字”然后是“价格区间”最后是“所有商品”。")));

  EXPECT_EQ(GbkToUtf8(FindControl(*FindDialogTemplate(IDD_MAINDLG), IDC_MAIN_BANNER)->text),
            U8(u8"热烈祝贺VorlupTovraneV1.0成功发布！"));
}

TEST(MenuTemplates, CommandIdsAreUniqueWithinAMenu) {
  for (int id : kAllMenus) {
    const MenuTemplate* m = FindMenuTemplate(id);
    ASSERT_NE(m, nullptr) << id;
    std::vector<int> commands;
    CollectCommands(m->items, commands);
    EXPECT_FALSE(commands.empty());
    std::set<int> unique(commands.begin(), commands.end());
    EXPECT_EQ(unique.size(), commands.size()) << "menu " << id;
  }
}

TEST(MenuTemplates, MainBarAndContextPopups) {
  const MenuTemplate* bar = FindMenuTemplate(IDR_MAIN_MENU);
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->items.size(), 4u);
  for (const MenuItemTemplate& item : bar->items) EXPECT_TRUE(item.popup.empty());
  EXPECT_EQ(bar->items[0].id, ID_LOGIN_TAOBAO);
  EXPECT_EQ(bar->items[3].id, ID_COUNT_RECORDS);

  // The pages open pop-ups by position, so positions must not shift.
  const MenuTemplate* ctx = FindMenuTemplate(IDR_CONTEXT_MENUS);
  ASSERT_NE(ctx, nullptr);
  ASSERT_EQ(ctx->items.size(), static_cast<size_t>(kContextPopupCount));
  auto popup = [&](int pos) -> const std::vector<MenuItemTemplate>& {
    return ctx->items[pos].popup;
  };
  ASSERT_EQ(popup(kPopupRuleList).size(), 1u);
  EXPECT_EQ(popup(kPopupRuleList)[0].id, ID_DELETE_RULE);
  ASSERT_EQ(popup(kPopupItemList).size(), 7u);
  EXPECT_EQ(popup(kPopupItemList)[0].id, ID_CLEAR_LIST);
  EXPECT_EQ(popup(kPopupItemList)[5].id, ID_BATCH_UPSHELF);
  EXPECT_EQ(GbkToUtf8(popup(kPopupItemList)[5].text),
            U8(u8"批量上架（仅用于大于1万的情况）"));
  ASSERT_EQ(popup(kPopupSyncList).size(), 1u);
  EXPECT_EQ(popup(kPopupSyncList)[0].id, ID_SAVE_UPDATED);
  ASSERT_EQ(popup(kPopupRegionList).size(), 2u);
  EXPECT_EQ(popup(kPopupRegionList)[0].id, ID_CHECK_ALL_REGIONS);
  EXPECT_EQ(popup(kPopupRegionList)[1].id, ID_UNCHECK_ALL_REGIONS);
  ASSERT_EQ(popup(kPopupCategoryTree).size(), 1u);
  EXPECT_EQ(popup(kPopupCategoryTree)[0].id, ID_GET_CATEGORIES);
  for (const MenuItemTemplate& p : ctx->items) {
    EXPECT_EQ(p.id, 0);  // a pop-up carries no command
    EXPECT_TRUE(IsCleanGbk(p.text));
    for (const MenuItemTemplate& item : p.popup) EXPECT_TRUE(IsCleanGbk(item.text));
  }
}

}  // namespace
