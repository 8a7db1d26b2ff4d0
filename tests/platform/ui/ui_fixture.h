#pragma once
// Shared set-up of the window-layer tests: a small dialog template of our own,
// the test thread as the UI thread, and a clean headless backend.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/codepage.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/templates.h"

namespace uitest {

constexpr int kTestDlg = 9001;
constexpr int kTestPage = 9002;
constexpr int kTestMenu = 9003;

enum : int {
  kBanner = 100,
  kEdit = 101,
  kDigits = 102,
  kRadioA = 110,
  kRadioB = 111,
  kRadioC = 112,
  kLabel = 114,
  kRadioX = 115,
  kRadioY = 116,
  kCheck = 117,
  kCombo = 120,
  kPlainCombo = 121,
  kList = 130,
  kTree = 140,
  kTab = 150,
  kPageText = 200,
  kCmdFirst = 32001,
  kCmdSecond = 32002,
};

inline const DialogTemplate& TestDialog() {
  static const DialogTemplate t = {
      kTestDlg,
      "测试窗口",
      kDlgPopup | kDlgSysMenu,
      300,
      200,
      "MS Shell Dlg",
      8,
      0,
      {
          {IDOK, ControlKind::DefPushButton, kStyleVisible | kStyleTabStop, "确定", 10, 170, 50, 14},
          {IDCANCEL, ControlKind::PushButton, kStyleVisible | kStyleTabStop, "取消", 70, 170, 50, 14},
          {kBanner, ControlKind::Static, kStyleVisible | kStyleNotify, "横幅文字", 7, 0, 200, 8},
          {kEdit, ControlKind::Edit, kStyleVisible | kStyleBorder, "", 10, 10, 60, 14},
          {kDigits, ControlKind::Edit, kStyleVisible | kStyleNumber, "4000", 80, 10, 60, 14},
          {kRadioA, ControlKind::RadioButton, kStyleVisible | kStyleGroup, "无操作", 10, 30, 40, 10},
          {kRadioB, ControlKind::RadioButton, kStyleVisible, "无货下架", 60, 30, 40, 10},
          {kRadioC, ControlKind::RadioButton, kStyleVisible, "无货删除", 110, 30, 40, 10},
          {kLabel, ControlKind::Static, kStyleVisible, "说明", 160, 30, 40, 10},
          {kRadioX, ControlKind::RadioButton, kStyleVisible | kStyleGroup, "甲", 10, 45, 40, 10},
          {kRadioY, ControlKind::RadioButton, kStyleVisible, "乙", 60, 45, 40, 10},
          {kCheck, ControlKind::CheckBox, kStyleVisible | kStyleGroup, "勾选", 110, 45, 40, 10},
          {kCombo, ControlKind::ComboBox, kStyleVisible | kStyleSort, "", 10, 60, 80, 90},
          {kPlainCombo, ControlKind::ComboBox, kStyleVisible, "", 100, 60, 80, 90},
          {kList, ControlKind::ListView, kStyleVisible | kStyleBorder, "", 10, 80, 280, 40},
          {kTree, ControlKind::TreeView, kStyleVisible | kStyleBorder, "", 10, 125, 100, 40},
          {kTab, ControlKind::Tab, kStyleVisible, "", 120, 125, 170, 40},
      }};
  return t;
}

inline const DialogTemplate& TestPage() {
  static const DialogTemplate t = {kTestPage, "", kDlgChild | kDlgVisible, 100, 50, "MS Shell Dlg", 9,
                                   0,
                                   {
                                       {kPageText, ControlKind::Static, kStyleVisible, "页面", 5, 5, 40, 8},
                                   }};
  return t;
}

inline const MenuTemplate& TestMenu() {
  static const MenuTemplate m = {kTestMenu,
                                 {
                                     {0, "Menu1", {{kCmdFirst, "第一", {}}}},
                                     {0, "Menu2", {{kCmdFirst, "第一", {}}, {0, "", {}}, {kCmdSecond, "第二", {}}}},
                                 }};
  return m;
}

inline std::string Show(const CString& gbk) { return GbkToUtf8(gbk.str()); }

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::RegisterDialogTemplate(&TestDialog());
    ui::RegisterDialogTemplate(&TestPage());
    ui::RegisterMenuTemplate(&TestMenu());
    ui::RunPending();  // nothing left over from an earlier test
    ui::headless::Reset();
  }
  void TearDown() override {
    ui::RunPending();
    ui::headless::Reset();
  }
};

}  // namespace uitest
