#include "platform/ui/wx/window_tree.h"

#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/nativewin.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/valtext.h>

#include <algorithm>

#include "platform/browser/web_browser.h"
#include "platform/text/codepage.h"
#include "platform/ui/internal.h"
#include "platform/ui/templates.h"
#include "platform/ui/wx/custom_widgets.h"
#include "platform/ui/wx/fonts.h"
#include "platform/ui/wx/message_box.h"

namespace wxui {
namespace {

wxPoint Pos(const CRect& r) { return wxPoint(r.left, r.top); }
wxSize Size(const CRect& r) { return wxSize(std::max<LONG>(1, r.Width()), std::max<LONG>(1, r.Height())); }

// A dialog with a parent is a page inside it; one without is a window of
// its own (a modal dialog has an owner, not a parent).
bool IsTopLevelDialog(CWnd* w) {
  return dynamic_cast<CDialog*>(w) != nullptr && w->GetParent() == nullptr;
}

// "&File" to GTK's "_File"; "&&" is a literal ampersand, "_" must double.
std::string GtkMnemonic(const char* gbk) {
  const std::string utf8 = GbkToUtf8(gbk ? gbk : "");
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '&') {
      if (i + 1 < utf8.size() && utf8[i + 1] == '&') {
        out += '&';
        ++i;
      } else {
        out += '_';
      }
    } else if (c == '_') {
      out += "__";
    } else if (c == '\t') {
      break;  // an accelerator text: not shown in a menu bar item
    } else {
      out += c;
    }
  }
  return out;
}

struct MenuActivation {
  WindowTree* tree;
  CWnd* dialog;
  int id;
};

void OnGtkMenuActivate(GtkMenuItem*, gpointer data) {
  auto* a = static_cast<MenuActivation*>(data);
  a->tree->Command(a->dialog, a->id);
}

void FreeMenuActivation(gpointer data, GClosure*) { delete static_cast<MenuActivation*>(data); }

// GTK's menu bar is made for items that open a menu: a press opens it and a
// release within half a second leaves it open for a second click, so a plain
// command item of the bar ran only after a long press or a double click.
// Here a release over the item that the press selected runs its command, as
// a click on a command item of a menu bar does elsewhere; a release anywhere
// else, and every item with a menu of its own, stays with GTK.
gboolean OnMenuBarRelease(GtkWidget* bar, GdkEventButton* event, gpointer) {
  if (event->button != 1) return FALSE;
  GtkWidget* item = gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(bar));
  if (item == nullptr || gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)) != nullptr ||
      !gtk_widget_is_sensitive(item)) {
    return FALSE;
  }
  // The pointer's place in the item's own coordinates.
  GdkWindow* window = gtk_widget_get_window(item);
  if (window == nullptr) return FALSE;
  int origin_x = 0, origin_y = 0;
  gdk_window_get_origin(window, &origin_x, &origin_y);
  GtkAllocation a;
  gtk_widget_get_allocation(item, &a);
  const double x = event->x_root - origin_x - a.x;
  const double y = event->y_root - origin_y - a.y;
  if (x < 0 || y < 0 || x >= a.width || y >= a.height) return FALSE;
  // Closes the bar (and its grab) before the command opens any window.
  gtk_menu_shell_activate_item(GTK_MENU_SHELL(bar), item, TRUE);
  return TRUE;
}

GtkWidget* BuildGtkMenuItems(GtkWidget* shell, const std::vector<MenuItemTemplate>& items,
                             WindowTree* tree, CWnd* dialog) {
  for (const MenuItemTemplate& item : items) {
    GtkWidget* mi = nullptr;
    if (item.id == 0 && item.popup.empty() && (item.text == nullptr || *item.text == '\0')) {
      mi = gtk_separator_menu_item_new();
    } else {
      mi = gtk_menu_item_new_with_mnemonic(GtkMnemonic(item.text).c_str());
      if (!item.popup.empty()) {
        GtkWidget* sub = gtk_menu_new();
        BuildGtkMenuItems(sub, item.popup, tree, dialog);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(mi), sub);
      } else {
        g_signal_connect_data(mi, "activate", G_CALLBACK(OnGtkMenuActivate),
                              new MenuActivation{tree, dialog, item.id}, FreeMenuActivation,
                              GConnectFlags(0));
      }
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(shell), mi);
  }
  return shell;
}

// The tree item behind a wx item.
class ItemRef : public wxTreeItemData {
 public:
  explicit ItemRef(const TreeItem* item) : item_(item) {}
  HTREEITEM Item() const { return const_cast<TreeItem*>(item_); }

 private:
  const TreeItem* item_;
};

// A closed combo is as high as an edit of 13 dialog units, or as GTK
// needs, within the template's height (which counts the open list).
int ClosedComboHeight(wxWindow* combo, int template_height, int point_size) {
  int base_x = 0, base_y = 0;
  BaseUnitsFor(point_size, &base_x, &base_y);
  return std::min(template_height, std::max(combo->GetBestSize().y, 13 * base_y / 8));
}

}  // namespace

namespace {
WindowTree* g_current_tree = nullptr;
}  // namespace

WindowTree::WindowTree() { g_current_tree = this; }

WindowTree* WindowTree::Current() { return g_current_tree; }

WindowTree::~WindowTree() {
  if (g_current_tree == this) g_current_tree = nullptr;
  for (auto& [wnd, node] : nodes_) {
    if (node->list) node->list->Detach();
    if (node->tab) node->tab->Detach();
    if (node->label) node->label->Detach();
    if (node->radio) node->radio->Detach();
    wnd->native = nullptr;
  }
}

Node* WindowTree::Find(CWnd* w) const {
  auto it = nodes_.find(w);
  return it == nodes_.end() ? nullptr : it->second.get();
}

wxTopLevelWindow* WindowTree::TopLevelOf(CWnd* w) const {
  for (Node* n = Find(w); n != nullptr; n = n->parent)
    if (n->top != nullptr) return n->top;
  return nullptr;
}

void WindowTree::Realize(CWnd* w) {
  if (w == nullptr) return;
  if (Node* n = Find(w)) {
    CreateChildren(n);  // children made since
    Apply(n, kChangeAll);
    return;
  }
  if (IsTopLevelDialog(w)) {
    const DialogTemplate* t = static_cast<CDialog*>(w)->DialogTemplateData();
    Create(w, nullptr, nullptr, t != nullptr ? t->point_size : 8);
    return;
  }
  // A child: it goes into its parent's widget, made now or later together
  // with the parent.
  Node* parent = Find(w->GetParent());
  if (parent == nullptr) return;
  Node* n = Create(w, parent, parent->widget, parent->point_size);
  (void)n;
}

Node* WindowTree::Create(CWnd* w, Node* parent, wxWindow* parent_widget, int point_size) {
  auto owned = std::make_unique<Node>();
  Node* n = owned.get();
  n->wnd = w;
  n->parent = parent;
  n->kind = w->Kind();
  auto* dialog = dynamic_cast<CDialog*>(w);
  if (dialog != nullptr) {
    const DialogTemplate* t = dialog->DialogTemplateData();
    if (t != nullptr) point_size = t->point_size;
    if (parent_widget != nullptr)
      n->shape = Node::Shape::Page;
    else
      n->shape = t != nullptr && t->menu_id != 0 ? Node::Shape::Frame : Node::Shape::Dialog;
  }
  n->point_size = point_size;
  nodes_.emplace(w, std::move(owned));
  if (parent != nullptr) parent->children.push_back(n);

  n->updating = true;
  if (n->shape == Node::Shape::Dialog || n->shape == Node::Shape::Frame) {
    MakeTopLevel(n);
  } else if (n->shape == Node::Shape::Page) {
    const CRect r = w->Rect();
    auto* panel = new wxPanel(parent_widget, wxID_ANY, Pos(r), Size(r), wxTAB_TRAVERSAL | wxBORDER_NONE);
    panel->SetFont(DialogFont(point_size));
    n->widget = panel;
  } else {
    const CRect r = w->Rect();
    n->widget = MakeControl(n, parent_widget, Pos(r), Size(r));
    if (n->widget != nullptr && n->kind != ControlKind::Browser) n->widget->SetFont(DialogFont(point_size));
    BindControlEvents(n);
  }
  w->native = n->widget;
  n->updating = false;

  // What changed before now is read in full below.
  w->pending_changes.exchange(0);
  CreateChildren(n);
  Apply(n, kChangeAll);
  return n;
}

void WindowTree::CreateChildren(Node* n) {
  if (n->widget == nullptr) return;
  // A copy: creating a child's widgets runs no code of ours that changes
  // the list, but a handler of a colour query might.
  const std::vector<CWnd*> children = n->wnd->Children();
  for (CWnd* child : children) {
    if (child == nullptr || Find(child) != nullptr) continue;
    if (IsTopLevelDialog(child)) continue;
    Create(child, n, n->widget, n->point_size);
  }
}

void WindowTree::MakeTopLevel(Node* n) {
  auto* dialog = static_cast<CDialog*>(n->wnd);
  const DialogTemplate* t = dialog->DialogTemplateData();
  const DWORD ds = t != nullptr ? t->style : kDlgPopup | kDlgSysMenu;
  long style = wxCAPTION;
  if (ds & kDlgSysMenu) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
  if (ds & kDlgMinimizeBox) style |= wxMINIMIZE_BOX;
  if (ds & kDlgMaximizeBox) style |= wxMAXIMIZE_BOX;
  // No resize border: the layout is fixed by the template.
  const CRect r = n->wnd->Rect();
  wxWindow* owner = nullptr;
  if (CWnd* o = n->wnd->GetOwner()) owner = TopLevelOf(o);
  const wxString title = ToWx(n->wnd->GetWindowText());
  const wxFont font = DialogFont(n->point_size);

  if (n->shape == Node::Shape::Frame) {
    auto* frame = new wxFrame(owner, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);
    frame->SetFont(font);
    int bar_height = 0;
    wxNativeWindow* holder = nullptr;
    if (const MenuTemplate* menu = ui::LookupMenuTemplate(t->menu_id)) {
      GtkWidget* bar = BuildGtkMenuItems(gtk_menu_bar_new(), menu->items, this, n->wnd);
      g_signal_connect(bar, "button-release-event", G_CALLBACK(OnMenuBarRelease), nullptr);
      gtk_widget_show_all(bar);
      n->menu_bar = bar;
      holder = new wxNativeWindow(frame, wxID_ANY, bar);
      int natural = 0;
      gtk_widget_get_preferred_height(bar, nullptr, &natural);
      bar_height = std::max(natural, kMenuBarHeight);
    }
    // The account status line under the pages.
    frame->CreateStatusBar(1);
    frame->GetStatusBar()->SetFont(font);
    frame->GetStatusBar()->SetMinHeight(kStatusBarHeight);
    frame->SetStatusText(ToWx(ui::GetStatusText()));
    // The pages scroll where the window would not fit the work area even
    // with the least dialog units (fonts.h).
    const wxRect area = WorkArea();
    const wxSize frame_room = FrameDecorations();
    const int room_x = area.width - frame_room.x;
    const int room_y = area.height - frame_room.y - bar_height - kStatusBarHeight;
    // A scroll bar takes room of its own beside the pages.
    const bool scroll_y = r.Height() > room_y, scroll_x = r.Width() > room_x;
    const int need_x = r.Width() + (scroll_y ? wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, frame) : 0);
    const int need_y = r.Height() + (scroll_x ? wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, frame) : 0);
    const wxSize shown(std::min(need_x, room_x), std::min(need_y, room_y));
    wxPanel* client = nullptr;
    if (shown == Size(r)) {
      client = new wxPanel(frame, wxID_ANY, wxPoint(0, bar_height), Size(r),
                           wxTAB_TRAVERSAL | wxBORDER_NONE);
    } else {
      auto* view = new wxScrolled<wxPanel>(frame, wxID_ANY, wxPoint(0, bar_height), shown,
                                           wxTAB_TRAVERSAL | wxBORDER_NONE | wxVSCROLL | wxHSCROLL);
      client = new wxPanel(view, wxID_ANY, wxPoint(0, 0), Size(r), wxTAB_TRAVERSAL | wxBORDER_NONE);
      view->SetVirtualSize(Size(r));
      view->SetScrollRate(16, 16);
    }
    client->SetFont(font);
    if (holder != nullptr) holder->SetSize(0, 0, shown.x, bar_height);
    frame->SetClientSize(shown.x, shown.y + bar_height);
    // Fixed size, whatever the window manager offers: maximising leaves
    // the children where they are.
    frame->SetSizeHints(frame->GetSize(), frame->GetSize());
    n->top = frame;
    n->widget = client;
  } else {
    auto* box = new wxDialog(owner, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);
    box->SetFont(font);
    box->SetClientSize(Size(r));
    n->top = box;
    n->widget = box;
  }
  CWnd* w = n->wnd;
  n->top->Bind(wxEVT_CLOSE_WINDOW, [this, w](wxCloseEvent& e) {
    if (e.CanVeto()) e.Veto();
    // The title bar's close button is the dialog's Cancel.
    Command(w, IDCANCEL);
  });
  n->top->Bind(wxEVT_CHAR_HOOK, [this, w](wxKeyEvent& e) {
    if (Node* top = Find(w)) OnDialogKey(top, e);
    else e.Skip();
  });
  OpenOverParent(n->top);
}

namespace {

std::optional<ui::DialogKey> DialogKeyOf(const wxKeyEvent& e) {
  const int mods = e.GetModifiers();
  switch (e.GetKeyCode()) {
    case WXK_TAB:
      if (mods == wxMOD_NONE) return ui::DialogKey::Tab;
      if (mods == wxMOD_SHIFT) return ui::DialogKey::BackTab;
      break;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      if (mods == wxMOD_NONE) return ui::DialogKey::Enter;
      break;
    case WXK_ESCAPE:
      if (mods == wxMOD_NONE) return ui::DialogKey::Escape;
      break;
    case WXK_MENU:
    case WXK_WINDOWS_MENU:
      if (mods == wxMOD_NONE) return ui::DialogKey::ContextMenu;
      break;
    case WXK_F10:
      if (mods == wxMOD_SHIFT) return ui::DialogKey::ContextMenu;
      break;
    default:
      break;
  }
  return std::nullopt;
}

// The embedded browser keeps every key but Escape for its page: Tab moves
// between the fields of the sign-in form, Enter sends it.
bool WantsKey(const Node& n, ui::DialogKey key) {
  return n.kind == ControlKind::Browser && n.shape == Node::Shape::Control &&
         key != ui::DialogKey::Escape;
}

}  // namespace

Node* WindowTree::NodeHolding(wxWindow* w) const {
  for (; w != nullptr; w = w->GetParent()) {
    for (const auto& [wnd, node] : nodes_)
      if (node->widget == w || node->top == w) return node.get();
  }
  return nullptr;
}

void WindowTree::OnDialogKey(Node* top, wxKeyEvent& e) {
  const std::optional<ui::DialogKey> key = DialogKeyOf(e);
  wxWindow* focus = wxWindow::FindFocus();
  // A control's own pop-up (a date picker's calendar) keeps its keys, and
  // so does the menu bar while F10 has it open.
  if (!key || (focus != nullptr && wxGetTopLevelParent(focus) != top->top) ||
      (top->menu_bar != nullptr &&
       gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(top->menu_bar)) != nullptr)) {
    e.Skip();
    return;
  }
  Node* n = NodeHolding(focus);
  if (n == nullptr) n = top;
  if (WantsKey(*n, *key)) {
    e.Skip();
    return;
  }
  CWnd* focused = n->wnd;
  // A button beside a browser may act on its session, as for a click. The
  // wait runs the event loop: look the node up again after it.
  if (*key == ui::DialogKey::Enter && browser::AnyBrowser()) {
    browser::FlushCookies();
    if ((n = Find(focused)) == nullptr) return;
  }
  if (*key == ui::DialogKey::ContextMenu) {
    if (n->list != nullptr) {
      key_menu_point_ = n->list->SelectedRowPoint();
    } else if (n->tree != nullptr) {
      wxRect r;
      const wxTreeItemId item = n->tree->GetSelection();
      if (!item.IsOk() || !n->tree->GetBoundingRect(item, r, true)) r = wxRect();
      key_menu_point_ = n->tree->ClientToScreen(wxPoint(r.x, r.y + r.height / 2));
    }
  }
  bool taken = false;
  CWnd* next = nullptr;
  ui::detail::CallReporting([&] { taken = ui::HandleDialogKey(focused, *key, &next); });
  key_menu_point_.reset();
  if (!taken) {
    e.Skip();
    return;
  }
  // The handler may have ended windows: look the next control up again.
  if (Node* target = next != nullptr ? Find(next) : nullptr; target != nullptr && target->widget)
    target->widget->SetFocus();
}

void WindowTree::ShowStatus(const CString& text) {
  for (const auto& [wnd, node] : nodes_) {
    if (node->shape != Node::Shape::Frame) continue;
    if (auto* frame = dynamic_cast<wxFrame*>(node->top)) frame->SetStatusText(ToWx(text));
  }
}

void WindowTree::Command(CWnd* dialog, int id) {
  if (Find(dialog) == nullptr) return;
  LRESULT result = 0;
  ui::detail::CallReporting([&] {
    dialog->Dispatch(WM_COMMAND, MAKEWPARAM_(static_cast<UINT>(id), 0), 0, &result);
  });
}

wxWindow* WindowTree::MakeControl(Node* n, wxWindow* parent, const wxPoint& pos,
                                  const wxSize& size) {
  CWnd* w = n->wnd;
  const DWORD style = w->GetStyle();
  const wxString text = ToWx(w->GetWindowText());
  switch (n->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* b = new wxButton(parent, wxID_ANY, text, pos, size);
      if (n->kind == ControlKind::DefPushButton) b->SetDefault();
      return b;
    }
    case ControlKind::CheckBox:
      return new wxCheckBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::RadioButton:
      n->radio = new RadioBox(parent, w, pos, size);
      return n->radio;
    case ControlKind::GroupBox:
      return new wxStaticBox(parent, wxID_ANY, text, pos, size);
    case ControlKind::Static:
      n->label = new Label(parent, w, pos, size);
      return n->label;
    case ControlKind::Edit: {
      long s = 0;
      if (style & kStyleMultiline) s |= wxTE_MULTILINE;
      if (style & kStyleReadOnly) s |= wxTE_READONLY;
      if (style & kStyleCenter) s |= wxTE_CENTRE;
      if (!(style & kStyleBorder)) s |= wxBORDER_NONE;
      auto* e = new wxTextCtrl(parent, wxID_ANY, text, pos, size, s);
      if (style & kStyleNumber) e->SetValidator(wxTextValidator(wxFILTER_DIGITS));
      return e;
    }
    case ControlKind::ComboBox:
    case ControlKind::ComboList: {
      // The template's height includes the drop-down list; the closed box
      // takes the height it needs.
      wxControl* c = nullptr;
      if (n->kind == ControlKind::ComboBox)
        c = new wxComboBox(parent, wxID_ANY, wxEmptyString, pos, wxSize(size.x, -1), 0, nullptr,
                           wxCB_DROPDOWN);
      else
        c = new wxChoice(parent, wxID_ANY, pos, wxSize(size.x, -1));
      c->SetFont(DialogFont(n->point_size));
      c->SetSize(pos.x, pos.y, size.x, ClosedComboHeight(c, size.y, n->point_size));
      return c;
    }
    case ControlKind::ListView: {
      long s = 0;
      if (style & kStyleSingleSel) s |= wxLC_SINGLE_SEL;
      if (!(style & kStyleBorder)) s |= wxBORDER_NONE;
      // Column widths are pixels for the 8-point font of the templates,
      // whose base unit is 6 pixels wide: they grow with ours.
      int base_x = 0, base_y = 0;
      BaseUnitsFor(n->point_size, &base_x, &base_y);
      n->list = new VirtualList(parent, static_cast<CListCtrl*>(w), pos, size, s, base_x / 6.0);
      return n->list;
    }
    case ControlKind::TreeView: {
      long s = wxTR_HIDE_ROOT | wxTR_SINGLE;
      s |= (style & kStyleHasButtons) ? wxTR_HAS_BUTTONS : wxTR_NO_BUTTONS;
      if (style & kStyleLines) s |= wxTR_LINES_AT_ROOT;
      else s |= wxTR_NO_LINES;
      if (!(style & kStyleBorder)) s |= wxBORDER_NONE;
      n->tree = new wxTreeCtrl(parent, wxID_ANY, pos, size, s);
      return n->tree;
    }
    case ControlKind::DateTime:
      return new wxDatePickerCtrl(parent, wxID_ANY, wxDefaultDateTime, pos, size,
                                  wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    case ControlKind::Spin:
      return new SpinArrows(parent, pos, size);
    case ControlKind::Tab:
      n->tab = new TabStrip(parent, static_cast<CTabCtrl*>(w), pos, size);
      return n->tab;
    case ControlKind::Browser:
      return browser::CreateBrowser(parent, dynamic_cast<CWebBrowserCtrl*>(w), pos, size);
  }
  return nullptr;
}

void WindowTree::BindControlEvents(Node* n) {
  if (n->widget == nullptr) return;
  CWnd* w = n->wnd;
  // Each handler finds its node again: the window may be gone by now.
  auto live = [this, w]() -> Node* {
    Node* node = Find(w);
    return node != nullptr && !node->updating ? node : nullptr;
  };
  switch (n->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      n->widget->Bind(wxEVT_BUTTON, [live, w](wxCommandEvent&) {
        if (!live()) return;
        // A button beside a browser may act on its session ("确定" of the
        // sign-in): the cookie store must hold every cookie first.
        if (browser::AnyBrowser()) browser::FlushCookies();
        if (!live()) return;
        ui::detail::CallReporting([&] { ui::detail::PressButton(w); });
      });
      break;
    case ControlKind::CheckBox: {
      auto clicked = [this, live, w](wxCommandEvent&) {
        if (!live()) return;
        ui::detail::CallReporting([&] { ui::detail::PressButton(w); });
        // The object decides the check (a disabled one ignores the click).
        if (Node* node = Find(w)) Apply(node, kChangeSelection);
      };
      n->widget->Bind(wxEVT_CHECKBOX, clicked);
      break;
    }
    case ControlKind::Edit:
      n->widget->Bind(wxEVT_TEXT, [this, live, w](wxCommandEvent& e) {
        if (!live()) return;
        const CString typed = FromWx(e.GetString());
        ui::detail::CallReporting([&] {
          if (auto* edit = dynamic_cast<CEdit*>(w)) {
            edit->UserSetText(typed);
          } else {
            w->SetWindowText(typed);
            w->NotifyParentCommand(EN_CHANGE);
          }
        });
        // A digits-only edit may have dropped characters.
        if (Node* node = Find(w)) Apply(node, kChangeText);
      });
      break;
    case ControlKind::ComboBox:
    case ControlKind::ComboList: {
      auto selected = [live, w](wxCommandEvent& e) {
        if (!live()) return;
        const int index = e.GetSelection();
        ui::detail::CallReporting([&] {
          if (auto* c = dynamic_cast<CComboBox*>(w)) c->UserSelect(index);
          else w->NotifyParentCommand(CBN_SELCHANGE);
        });
      };
      if (n->kind == ControlKind::ComboBox) {
        n->widget->Bind(wxEVT_COMBOBOX, selected);
        n->widget->Bind(wxEVT_TEXT, [live, w](wxCommandEvent& e) {
          if (!live()) return;
          const CString typed = FromWx(e.GetString());
          if (typed != w->GetWindowText()) w->SetWindowText(typed);
        });
      } else {
        n->widget->Bind(wxEVT_CHOICE, selected);
      }
      break;
    }
    case ControlKind::TreeView:
      n->widget->Bind(wxEVT_TREE_SEL_CHANGED, [live, w](wxTreeEvent& e) {
        Node* node = live();
        if (node == nullptr || node->tree == nullptr) return;
        const wxTreeItemId id = e.GetItem();
        if (!id.IsOk()) return;
        auto* data = static_cast<ItemRef*>(node->tree->GetItemData(id));
        if (data == nullptr) return;
        const HTREEITEM item = data->Item();
        ui::detail::CallReporting([&] {
          if (auto* t = dynamic_cast<CTreeCtrl*>(w)) t->UserSelect(item);
        });
      });
      n->widget->Bind(wxEVT_RIGHT_DOWN, [live, w](wxMouseEvent& e) {
        if (!live()) return;
        const POINT pt{e.GetPosition().x, e.GetPosition().y};
        ui::detail::CallReporting([&] {
          if (auto* t = dynamic_cast<CTreeCtrl*>(w)) t->UserRightClick(pt);
        });
      });
      break;
    case ControlKind::DateTime:
      n->widget->Bind(wxEVT_DATE_CHANGED, [live, w](wxDateEvent& e) {
        if (!live() || !e.GetDate().IsValid()) return;
        if (auto* d = dynamic_cast<CDateTimeCtrl*>(w))
          d->SetTime(CTime(static_cast<std::time_t>(e.GetDate().GetTicks())));
      });
      break;
    default:
      break;
  }
}

void WindowTree::Apply(Node* n, unsigned bits) {
  if (n == nullptr || n->widget == nullptr) return;
  CWnd* w = n->wnd;
  n->updating = true;
  const bool top = n->top != nullptr;
  if (bits & kChangeText) {
    if (top) {
      n->top->SetTitle(ToWx(w->GetWindowText()));
    } else {
      switch (n->kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::CheckBox:
        case ControlKind::GroupBox:
          if (n->shape == Node::Shape::Control) n->widget->SetLabel(ToWx(w->GetWindowText()));
          break;
        case ControlKind::Edit: {
          auto* e = static_cast<wxTextCtrl*>(n->widget);
          const wxString want = ToWx(w->GetWindowText());
          if (e->GetValue() != want) e->ChangeValue(want);
          break;
        }
        default:
          break;
      }
    }
  }
  if (bits & kChangeEnabled) {
    const bool on = w->IsWindowEnabled() != FALSE;
    if (top) n->top->Enable(on);
    else n->widget->Enable(on);
  }
  if (bits & kChangeVisible) {
    const bool on = w->IsWindowVisible() != FALSE;
    if (!top) n->widget->Show(on);
    else if (on) n->top->Show();
    else if (!n->modal) n->top->Hide();  // a modal window hides when its loop ends
  }
  if ((bits & kChangeRect) && !top && n->shape != Node::Shape::Control) {
    const CRect r = w->Rect();
    n->widget->SetSize(r.left, r.top, r.Width(), r.Height());
  } else if ((bits & kChangeRect) && !top) {
    const CRect r = w->Rect();
    int h = r.Height();
    if (n->kind == ControlKind::ComboBox || n->kind == ControlKind::ComboList)
      h = ClosedComboHeight(n->widget, h, n->point_size);
    if (n->label != nullptr)
      n->label->Place(wxRect(r.left, r.top, r.Width(), h));
    else
      n->widget->SetSize(r.left, r.top, r.Width(), h);
  }
  if (n->shape == Node::Shape::Control) ApplyKind(n, bits);
  n->updating = false;
}

void WindowTree::ApplyKind(Node* n, unsigned bits) {
  CWnd* w = n->wnd;
  switch (n->kind) {
    case ControlKind::CheckBox:
      if (bits & kChangeSelection) {
        auto* b = dynamic_cast<CButton*>(w);
        static_cast<wxCheckBox*>(n->widget)->SetValue(b != nullptr && b->GetCheck() == BST_CHECKED);
      }
      break;
    case ControlKind::RadioButton:
      if (bits & (kChangeSelection | kChangeText | kChangeEnabled)) n->radio->Sync();
      break;
    case ControlKind::Edit:
      if (bits & kChangeStyle)
        static_cast<wxTextCtrl*>(n->widget)->SetEditable(!(w->GetStyle() & kStyleReadOnly));
      break;
    case ControlKind::Static:
      if (bits & (kChangeText | kChangeStyle | kChangeEnabled)) n->label->Sync();
      break;
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
      SyncCombo(n, bits);
      break;
    case ControlKind::ListView:
      n->list->Sync(bits);
      break;
    case ControlKind::TreeView:
      SyncTree(n, bits);
      break;
    case ControlKind::DateTime:
      if (bits & kChangeSelection) {
        if (auto* d = dynamic_cast<CDateTimeCtrl*>(w)) {
          CTime t;
          d->GetTime(t);
          static_cast<wxDatePickerCtrl*>(n->widget)->SetValue(wxDateTime(static_cast<time_t>(t.GetTime())));
        }
      }
      break;
    case ControlKind::Tab:
      n->tab->Sync();
      break;
    case ControlKind::Browser:
      break;
    default:
      break;
  }
}

void WindowTree::SyncCombo(Node* n, unsigned bits) {
  auto* c = dynamic_cast<CComboBox*>(n->wnd);
  if (c == nullptr) return;
  auto* items = dynamic_cast<wxItemContainer*>(n->widget);
  if (bits & kChangeItems) {
    wxArrayString want;
    const int count = c->GetCount();
    for (int i = 0; i < count; ++i) {
      CString s;
      c->GetLBText(i, s);
      want.Add(ToWx(s));
    }
    if (want != items->GetStrings()) {
      items->Clear();
      if (!want.empty()) items->Append(want);
    }
  }
  if (bits & (kChangeItems | kChangeSelection | kChangeText)) {
    const int cur = c->GetCurSel();
    if (n->kind == ControlKind::ComboBox) {
      auto* box = static_cast<wxComboBox*>(n->widget);
      if (cur >= 0 && cur < static_cast<int>(box->GetCount())) {
        if (box->GetSelection() != cur) box->SetSelection(cur);
      } else {
        const wxString text = ToWx(c->GetWindowText());
        if (box->GetValue() != text) box->ChangeValue(text);
      }
    } else {
      auto* choice = static_cast<wxChoice*>(n->widget);
      const int want = cur < static_cast<int>(choice->GetCount()) ? cur : -1;
      if (choice->GetSelection() != want) choice->SetSelection(want);
    }
  }
}

void WindowTree::SyncTree(Node* n, unsigned bits) {
  auto* model = dynamic_cast<CTreeCtrl*>(n->wnd);
  wxTreeCtrl* tree = n->tree;
  if (model == nullptr || tree == nullptr) return;
  const std::uint64_t generation = model->Generation();
  if (generation != n->tree_generation) {
    n->tree_generation = generation;
    // Items that stay keep their place in memory: keep them open.
    std::vector<const TreeItem*> expanded;
    for (const auto& [item, id] : n->tree_ids)
      if (id.IsOk() && tree->IsExpanded(id)) expanded.push_back(item);
    std::vector<const TreeItem*> open_in_model;
    n->tree_ids.clear();
    tree->Freeze();
    tree->DeleteAllItems();
    const wxTreeItemId root = tree->AddRoot(wxEmptyString);
    std::vector<wxTreeItemId> path{root};
    model->VisitItems([&](const TreeItem& item, int depth) {
      // Depth 0 is a root item; a depth deeper than the path so far would
      // be a gap in the walk: hang the item on the deepest item there is.
      path.resize(std::min(static_cast<size_t>(std::max(0, depth)), path.size() - 1) + 1);
      const wxTreeItemId id = tree->AppendItem(path.back(), ToWx(item.text), -1, -1, new ItemRef(&item));
      n->tree_ids[&item] = id;
      if (item.expanded) open_in_model.push_back(&item);
      path.push_back(id);
    });
    expanded.insert(expanded.end(), open_in_model.begin(), open_in_model.end());
    for (const TreeItem* item : expanded) {
      auto it = n->tree_ids.find(item);
      if (it != n->tree_ids.end() && tree->ItemHasChildren(it->second)) tree->Expand(it->second);
    }
    tree->Thaw();
    bits |= kChangeSelection;
  }
  if (bits & kChangeSelection) {
    const HTREEITEM selected = model->GetSelectedItem();
    auto it = n->tree_ids.find(selected);
    if (it != n->tree_ids.end()) {
      if (tree->GetSelection() != it->second) tree->SelectItem(it->second);
    } else if (tree->GetSelection().IsOk()) {
      tree->UnselectAll();
    }
  }
}

void WindowTree::Collect(Node* n, std::vector<Node*>& out) {
  out.push_back(n);
  for (Node* c : n->children) Collect(c, out);
}

void WindowTree::Unrealize(CWnd* w) {
  Node* n = Find(w);
  if (n == nullptr) return;
  std::vector<Node*> doomed;
  Collect(n, doomed);
  for (Node* d : doomed) {
    if (d->list) d->list->Detach();
    if (d->tab) d->tab->Detach();
    if (d->label) d->label->Detach();
    if (d->radio) d->radio->Detach();
    d->wnd->native = nullptr;
  }
  if (n->parent != nullptr) {
    auto& siblings = n->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), n), siblings.end());
  }
  wxWindow* root = n->top != nullptr ? static_cast<wxWindow*>(n->top) : n->widget;
  bool in_modal_loop = n->modal;
  if (in_modal_loop) {
    // Its modal loop still runs further up the stack: end it. RunModal
    // destroys the window once the loop has returned.
    if (n->loop != nullptr) n->loop->ScheduleExit();
    else if (auto* d = dynamic_cast<wxDialog*>(n->top); d != nullptr && d->IsModal()) d->EndModal(wxID_CANCEL);
  }
  if (n->top != nullptr) n->top->Hide();
  // From here on no event finds these objects.
  for (Node* d : doomed) nodes_.erase(d->wnd);
  if (root != nullptr && !in_modal_loop) root->Destroy();
}

}  // namespace wxui
