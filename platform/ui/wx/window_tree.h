#pragma once
// The wx widgets of our window objects: one node per realized CWnd, created
// from the object's template kind at its pixel rectangle inside its parent's
// widget, and brought in line with the object's state on refresh. The nodes
// live in a map keyed by the object; an event or a refresh always looks its
// object up there first, so a window that went away is never touched.
// UI thread only.
#include <wx/event.h>
#include <wx/toplevel.h>
#include <wx/treebase.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/ui/dialog.h"

class wxGUIEventLoop;
class wxTreeCtrl;

namespace wxui {

class VirtualList;
class TabStrip;
class Label;
class RadioBox;

struct Node {
  enum class Shape { Control, Page, Dialog, Frame };

  CWnd* wnd = nullptr;
  Node* parent = nullptr;
  std::vector<Node*> children;
  Shape shape = Shape::Control;
  ControlKind kind = ControlKind::Static;
  int point_size = 8;  // of the dialog the window belongs to

  wxWindow* widget = nullptr;        // the control, or the client area of a dialog
  wxTopLevelWindow* top = nullptr;   // a top-level dialog's window
  struct _GtkWidget* menu_bar = nullptr;  // a main frame's menu bar
  VirtualList* list = nullptr;
  TabStrip* tab = nullptr;
  Label* label = nullptr;
  RadioBox* radio = nullptr;
  wxTreeCtrl* tree = nullptr;
  std::uint64_t tree_generation = ~std::uint64_t{0};
  std::unordered_map<const TreeItem*, wxTreeItemId> tree_ids;

  bool updating = false;  // our own change is being applied: ignore its events

  // Modal state of a top-level dialog.
  bool modal = false;
  bool end_requested = false;
  wxGUIEventLoop* loop = nullptr;
};

class WindowTree {
 public:
  WindowTree();
  ~WindowTree();
  // The tree of the backend in use, or null (UI thread).
  static WindowTree* Current();

  Node* Find(CWnd* w) const;
  // Creates the widgets of `w` and of every child not yet realized. A
  // window whose parent has no widget yet waits for it.
  void Realize(CWnd* w);
  void Unrealize(CWnd* w);
  // Applies `bits` of `w`'s state to its widget.
  void Apply(Node* n, unsigned bits);
  // Sends a command to a dialog as its menu or title bar does.
  void Command(CWnd* dialog, int id);
  // Shows `text` on the status bar of every main frame.
  void ShowStatus(const CString& text);
  // The top-level wx window `w` belongs to, or null.
  wxTopLevelWindow* TopLevelOf(CWnd* w) const;
  // While the context-menu key's handler runs: the screen point where the
  // menu opens, at the control's selected row. Empty otherwise.
  const std::optional<wxPoint>& KeyMenuPoint() const { return key_menu_point_; }

 private:
  Node* Create(CWnd* w, Node* parent, wxWindow* parent_widget, int point_size);
  void CreateChildren(Node* n);
  wxWindow* MakeControl(Node* n, wxWindow* parent, const wxPoint& pos, const wxSize& size);
  void MakeTopLevel(Node* n);
  void BindControlEvents(Node* n);
  void ApplyKind(Node* n, unsigned bits);
  void SyncCombo(Node* n, unsigned bits);
  void SyncTree(Node* n, unsigned bits);
  void Collect(Node* n, std::vector<Node*>& out);
  // The keys a dialog takes from its controls (Tab, Enter, Esc, the
  // context-menu key), caught before the focused widget sees them.
  void OnDialogKey(Node* top, wxKeyEvent& e);
  // The node whose widget is `w` or holds it.
  Node* NodeHolding(wxWindow* w) const;

  std::optional<wxPoint> key_menu_point_;

  std::unordered_map<CWnd*, std::unique_ptr<Node>> nodes_;
};

}  // namespace wxui
