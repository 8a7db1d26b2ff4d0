#pragma once
// Dialog templates and menus as data: what the window layer builds dialogs
// and menus from. Positions and sizes are in dialog units. The program's
// templates are constant once built: any thread may read them.
#include <vector>

#include "platform/types.h"

enum class ControlKind {
  PushButton,
  DefPushButton,
  CheckBox,       // auto check box
  RadioButton,    // auto radio button; `group` starts a new group
  GroupBox,
  Static,         // static text
  Edit,
  ComboBox,       // drop-down with edit field
  ComboList,      // drop-down list without edit field
  ListView,       // report view
  TreeView,
  DateTime,
  Spin,           // up-down
  Tab,
  Browser,        // the embedded web browser
};

// Style bits beyond the kind, as the templates need them.
enum ControlStyle : DWORD {
  kStyleNone = 0,
  kStyleVisible = 1u << 0,
  kStyleDisabled = 1u << 1,
  kStyleGroup = 1u << 2,
  kStyleTabStop = 1u << 3,
  kStyleBorder = 1u << 4,
  kStyleNotify = 1u << 5,      // static: sends clicks
  kStyleNumber = 1u << 6,      // edit: digits only
  kStyleReadOnly = 1u << 7,    // edit
  kStyleAutoHScroll = 1u << 8, // edit
  kStyleMultiline = 1u << 9,   // edit
  kStyleSort = 1u << 10,       // combo: sorted list
  kStyleCenter = 1u << 11,     // static / edit: centred text
  kStyleRight = 1u << 12,      // date picker: right-aligned drop-down
  kStyleShortDate = 1u << 13,  // date picker
  kStyleLines = 1u << 14,      // tree: lines, lines at root
  kStyleHasButtons = 1u << 15, // tree
  kStyleArrowKeys = 1u << 16,  // spin
  kStyleVScroll = 1u << 17,
  kStyleShowSelAlways = 1u << 18, // list / tree
  kStyleSingleSel = 1u << 19,  // list
};

struct ControlTemplate {
  int id;             // -1 for a static without id (IDC_STATIC)
  ControlKind kind;
  DWORD style;        // ControlStyle bits
  const char* text;   // GBK text, may be ""
  int x, y, cx, cy;   // dialog units
};

enum DialogStyle : DWORD {
  kDlgChild = 1u << 0,     // a page: child window without title bar
  kDlgPopup = 1u << 1,     // a top-level window with a title bar
  kDlgSysMenu = 1u << 2,
  kDlgMinimizeBox = 1u << 3,
  kDlgMaximizeBox = 1u << 4,
  kDlgModalFrame = 1u << 5,
  kDlgVisible = 1u << 6,
};

struct DialogTemplate {
  int id;
  const char* caption;  // GBK text
  DWORD style;          // DialogStyle bits
  int cx, cy;           // dialog units
  const char* font;     // face name
  int point_size;
  int menu_id;          // 0: none
  std::vector<ControlTemplate> controls;  // in template (tab) order
};

struct MenuItemTemplate {
  int id;                 // command id; 0 for a separator or a pop-up
  const char* text;       // GBK text
  std::vector<MenuItemTemplate> popup;  // items of a pop-up; empty for a command
};

struct MenuTemplate {
  int id;
  std::vector<MenuItemTemplate> items;  // a menu bar, or the pop-ups of a context menu resource
};

// Looks a template up by id; null when there is none.
const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);
