#pragma once
// Windows of the window layer.
//
// Every window and control is an object of ours that holds its own state
// (text, enabled, visible, position, items ...) behind its own lock. Any
// thread may call the state members: each call is atomic and none waits for
// the user-interface thread. A change asks the backend to refresh the widget;
// the backend coalesces refreshes and does the drawing on the UI thread.
//
// Message handlers (message maps) run on the user-interface thread only:
// notifications from user actions are dispatched there, and PostMessage
// queues a message that the UI thread delivers. An exception that escapes a
// handler is shown in an error box and the window goes on.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/exception.h"
#include "platform/text/CString.h"
#include "platform/types.h"
#include "platform/ui/windefs.h"
#include "resources/dialog_template.h"

class CWnd;
class CCmdTarget;
class CDataExchange;

// ---- message maps -------------------------------------------------------

struct AFX_MSGMAP_ENTRY {
  UINT message;  // WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR or a window message
  UINT code;     // notification code for WM_COMMAND / WM_NOTIFY, else 0
  UINT id;       // control or command id for WM_COMMAND / WM_NOTIFY, else 0
  LRESULT (*call)(CCmdTarget* target, WPARAM wparam, LPARAM lparam);
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*base)();
  const AFX_MSGMAP_ENTRY* entries;  // ends with an entry whose call is null
};

#define DECLARE_MESSAGE_MAP()                        \
 protected:                                          \
  static const AFX_MSGMAP* GetThisMessageMap();      \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                     \
    using ThisClass [[maybe_unused]] = theClass;                                         \
    using TheBaseClass = baseClass;                                                      \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                   \
  { 0, 0, 0, nullptr }                                                      \
  };                                                                        \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                              \
  }

// void handler()
#define ON_COMMAND(id, fn)                                                     \
  {WM_COMMAND, 0, static_cast<UINT>(id), [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT { \
     (static_cast<ThisClass*>(t)->*(fn))();                                      \
     return 0;                                                                   \
   }},
#define ON_CONTROL(code, id, fn)                                                    \
  {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id),                      \
   [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {                                   \
     (static_cast<ThisClass*>(t)->*(fn))();                                          \
     return 0;                                                                       \
   }},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
// void handler(NMHDR*, LRESULT*)
#define ON_NOTIFY(code, id, fn)                                                     \
  {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id),                       \
   [](CCmdTarget* t, WPARAM, LPARAM lp) -> LRESULT {                                \
     LRESULT result = 0;                                                             \
     (static_cast<ThisClass*>(t)->*(fn))(reinterpret_cast<NMHDR*>(lp), &result);    \
     return result;                                                                  \
   }},
// LRESULT handler(WPARAM, LPARAM)
#define ON_MESSAGE(msg, fn)                                                    \
  {static_cast<UINT>(msg), 0, 0, [](CCmdTarget* t, WPARAM wp, LPARAM lp) -> LRESULT { \
     return (static_cast<ThisClass*>(t)->*(fn))(wp, lp);                         \
   }},
// HBRUSH OnCtlColor(CDC*, CWnd*, UINT)
#define ON_WM_CTLCOLOR()                                                          \
  {WM_CTLCOLOR, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM lp) -> LRESULT {           \
     auto* q = reinterpret_cast<CtlColorQuery*>(lp);                              \
     q->brush = static_cast<ThisClass*>(t)->OnCtlColor(q->dc, q->wnd, q->type);   \
     return 1;                                                                     \
   }},

// ---- drawing stand-ins for the control-colour query -------------------------

// Records what a WM_CTLCOLOR handler asks for; the backend applies it.
class CDC {
 public:
  COLORREF SetTextColor(COLORREF c) { COLORREF old = text; text = c; text_set = true; return old; }
  COLORREF SetBkColor(COLORREF c) { COLORREF old = back; back = c; back_set = true; return old; }
  int SetBkMode(int mode) { int old = bk_mode; bk_mode = mode; return old; }

  COLORREF text = 0, back = 0xFFFFFF;
  bool text_set = false, back_set = false;
  int bk_mode = OPAQUE;
};

// A solid brush; its handle stays valid while the object lives.
class CBrush {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF c) { CreateSolidBrush(c); }
  BOOL CreateSolidBrush(COLORREF c) { color_ = c; valid_ = true; return TRUE; }
  operator HBRUSH() const { return valid_ ? reinterpret_cast<HBRUSH>(const_cast<CBrush*>(this)) : nullptr; }
  COLORREF Color() const { return color_; }
  static const CBrush* FromHandle(HBRUSH h) { return reinterpret_cast<const CBrush*>(h); }

 private:
  COLORREF color_ = 0;
  bool valid_ = false;
};

struct CtlColorQuery {
  CDC* dc;
  CWnd* wnd;
  UINT type;
  HBRUSH brush;
};

// ---- command targets and windows -------------------------------------------

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  friend class CWnd;
};

// What a control's change touched; the backend refreshes only that.
enum ChangeBits : unsigned {
  kChangeText = 1u << 0,
  kChangeEnabled = 1u << 1,
  kChangeVisible = 1u << 2,
  kChangeRect = 1u << 3,
  kChangeItems = 1u << 4,      // rows, entries, tree items, columns, tabs
  kChangeSelection = 1u << 5,  // selection, checks, caret
  kChangeStyle = 1u << 6,
  kChangeAll = 0xFFFFFFFFu,
};

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;  // set while the window exists
  HWND GetSafeHwnd() const { return m_hWnd; }
  static CWnd* FromHandle(HWND h);  // null for a handle of no living window

  // State, from any thread.
  void SetWindowText(const char* text);
  void GetWindowText(CString& out) const;
  CString GetWindowText() const;
  int GetWindowTextLength() const;
  BOOL EnableWindow(BOOL enable = TRUE);  // returns whether it was disabled
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int cmd);  // SW_SHOW / SW_HIDE; returns whether it was visible
  BOOL IsWindowVisible() const;
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
  void MoveWindow(const RECT& r, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insert_after, int x, int y, int cx, int cy, UINT flags);
  void GetClientRect(LPRECT r) const;  // (0, 0, width, height) in pixels
  void GetWindowRect(LPRECT r) const;  // in the parent's client pixels
  int GetDlgCtrlID() const;
  CWnd* GetParent() const;
  CWnd* GetDlgItem(int id) const;  // a child control by id, or null
  void SetDlgItemText(int id, const char* text);
  int GetDlgItemText(int id, CString& out) const;
  DWORD GetStyle() const;  // ControlStyle / DialogStyle bits of its template
  ControlKind Kind() const;
  BOOL IsWindow() const { return m_hWnd != nullptr; }
  void SetFocus();
  // The control after `ctl` (before it with `previous`) among this window's
  // visible, enabled tab stops, in template order and round again; with no
  // `ctl` (or one that is not a child), the first (last) of them. Null when
  // there is none (UI thread).
  CWnd* GetNextDlgTabItem(CWnd* ctl, BOOL previous = FALSE) const;

  // Messages. PostMessage may be called from any thread; the UI thread
  // delivers the message later (dropped when the window is gone by then).
  // SendMessage runs the handler now on the UI thread; from another thread
  // it waits for the UI thread to run it.
  BOOL PostMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

  // Message boxes owned by this window.
  int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  // Ends the window and the windows under it (UI thread): their handles
  // die, controls made from the template are deleted, member controls and
  // pages stay as objects without a window. Destructors call it.
  virtual BOOL DestroyWindow();
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctl_color);  // default colours: null

  // ---- for the layer and its backends --------------------------------------
  // Delivers a message through the message maps (UI thread). Returns whether
  // a handler took it; `result` gets its value.
  bool Dispatch(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  // A user action on this control: sends its notification to the parent.
  void NotifyParentCommand(UINT code);
  LRESULT NotifyParent(NMHDR& header);
  const std::vector<CWnd*>& Children() const { return children_; }  // UI thread
  // The window that owns a top-level dialog (null for a child window).
  CWnd* GetOwner() const { return owner_; }
  // Whether the backend was asked to make the window's widget.
  bool IsRealized() const { return realized_.load(); }
  // The control-colour query for `child`, asked of this window (its parent)
  // through WM_CTLCOLOR (UI thread). `dc` gets the colours; null: defaults.
  HBRUSH CtlColorFor(CWnd* child, CDC* dc);
  const ControlTemplate* Template() const { return template_; }
  // Pixel rectangle in the parent's client area.
  CRect Rect() const;
  void* native = nullptr;  // the backend's widget; UI thread only
  std::atomic<unsigned> pending_changes{0};  // coalesced refresh bits (backend)

  // Creates the window object's state from a template control, as a child of
  // `parent`, at the given pixel rectangle.
  void CreateFromTemplate(const ControlTemplate& t, CWnd* parent, const CRect& pixels);
  // Takes over the state of `generic` (a control the dialog made from its
  // template) in the parent's child list; used by DDX_Control.
  void SubclassFrom(CWnd& generic);

 protected:
  virtual LRESULT DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual BOOL OnCommand(WPARAM wparam, LPARAM lparam);
  // Copies kind-specific state when a member subclasses a generic control.
  virtual void TakeStateFrom(CWnd& generic);
  // Tells the backend what changed (any thread).
  void Changed(unsigned bits);
  void AttachHandle();
  void DetachFromParent();
  // Ends the window state of this window and every child (UI thread): the
  // handles die, generic controls are deleted, member controls stay as
  // objects without a window.
  void DestroyTree();

  mutable std::recursive_mutex lock_;  // guards the state below and in derived controls
  CString text_;
  bool enabled_ = true;
  bool visible_ = true;
  CRect rect_;
  DWORD style_ = 0;
  int id_ = 0;
  ControlKind kind_ = ControlKind::Static;
  CWnd* parent_ = nullptr;
  std::vector<CWnd*> children_;                // UI thread
  std::vector<std::unique_ptr<CWnd>> owned_;   // generic controls made from a template
  const ControlTemplate* template_ = nullptr;
  CWnd* owner_ = nullptr;             // top-level dialogs: the owner window
  std::atomic<bool> realized_{false};  // read by Changed() on any thread
  friend class CDialog;
  friend class CDataExchange;
  friend void RealizeTree(CWnd* w);
};

// Posts to a window by handle (any thread).
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Marks `w` and its children realized and asks the backend to make their
// widgets (UI thread). Dialogs call it when their tree is complete.
void RealizeTree(CWnd* w);

// ---- data exchange ----------------------------------------------------------

class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

// Binds `control` to the dialog's control `id` (once; later calls do nothing).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Radio group starting at `first_id`: the index of the checked button (-1: none).
void DDX_Radio(CDataExchange* dx, int first_id, int& value);
void DDX_Text(CDataExchange* dx, int id, CString& value);
