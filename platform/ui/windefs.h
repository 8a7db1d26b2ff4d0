#pragma once
// Window-layer constants and small value types, with the names the program's
// pages are written with.
#include <cstdint>

#include "platform/types.h"

class CWnd;
struct HWND__;
using HWND = HWND__*;  // a window's handle; CWnd::FromHandle turns it back
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
using HTREEITEM = struct TreeItem*;

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_CTLCOLOR = 0x0019;
constexpr UINT WM_USER = 0x0400;

// Notification codes carried by WM_COMMAND.
constexpr UINT BN_CLICKED = 0;
constexpr UINT STN_CLICKED = 0;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT EN_CHANGE = 0x0300;

// Notification codes carried by WM_NOTIFY.
constexpr UINT NM_CLICK = static_cast<UINT>(-2);
constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
constexpr UINT LVN_ITEMCHANGED = static_cast<UINT>(-101);
constexpr UINT TVN_SELCHANGED = static_cast<UINT>(-402);
constexpr UINT TCN_SELCHANGE = static_cast<UINT>(-551);
constexpr UINT HDN_ITEMDBLCLICK = static_cast<UINT>(-303);

// Dialog results and command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr UINT ID_HELP = 0xE146;

// Message-box types.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_YESNOCANCEL = 0x03;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_TYPEMASK = 0x0F;
constexpr UINT MB_ICONMASK = 0xF0;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline CWnd* const wndTop = nullptr;  // top of the sibling order

// Check-box states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

// List-view extended styles, item states and columns.
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr DWORD LVS_EX_REGIONAL = 0x0200;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_SELECTED = 0x0002;
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;

// Tree-view insertion places and item relations.
HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x10000));
HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFF));
HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFE));
constexpr UINT TVGN_CARET = 0x0009;
constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVE_TOGGLE = 0x0003;
constexpr UINT TVC_BYMOUSE = 0x0001;

// Pop-up menus.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;

// Control-colour query types.
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_STATIC = 6;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr UINT MAKEWPARAM_(UINT low, UINT high) { return (low & 0xFFFF) | (high << 16); }
constexpr UINT LOWORD_(WPARAM w) { return static_cast<UINT>(w & 0xFFFF); }
constexpr UINT HIWORD_(WPARAM w) { return static_cast<UINT>((w >> 16) & 0xFFFF); }

struct POINT {
  LONG x = 0, y = 0;
};
struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
};
using LPRECT = RECT*;

class CPoint : public POINT {
 public:
  CPoint() = default;
  CPoint(LONG x_, LONG y_) { x = x_; y = y_; }
};

class CRect : public RECT {
 public:
  CRect() = default;
  CRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& r) : RECT(r) {}
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  operator LPRECT() { return this; }
  operator const RECT*() const { return this; }
  friend bool operator==(const CRect& a, const CRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

// Every notification of WM_NOTIFY starts with this header.
struct NMHDR {
  HWND hwndFrom = nullptr;
  std::uintptr_t idFrom = 0;
  UINT code = 0;
};

// List-view clicks: the item hit (-1: none) and the point in client pixels.
struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  POINT ptAction;
};

// A list's column header: the column hit.
struct NMHEADER {
  NMHDR hdr;
  int iItem = -1;
  int iButton = 0;
};

// Tree-view selection change.
struct NMTREEVIEW {
  NMHDR hdr;
  UINT action = 0;
  HTREEITEM itemOld = nullptr;
  HTREEITEM itemNew = nullptr;
};
using LPNMTREEVIEW = NMTREEVIEW*;
using LPNMITEMACTIVATE = NMITEMACTIVATE*;
