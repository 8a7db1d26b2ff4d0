#include "platform/ui/wx/wx_testing.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/renderer.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include "platform/browser/web_browser.h"
#include "platform/ui/wx/custom_widgets.h"
#include "platform/ui/wx/window_tree.h"

namespace wxui::testing {
namespace {

Node* NodeOf(CWnd* w) {
  WindowTree* tree = WindowTree::Current();
  return tree != nullptr ? tree->Find(w) : nullptr;
}

void TreeText(wxTreeCtrl* tree, const wxTreeItemId& parent, int depth, std::string& out) {
  wxTreeItemIdValue cookie;
  for (wxTreeItemId id = tree->GetFirstChild(parent, cookie); id.IsOk();
       id = tree->GetNextChild(parent, cookie)) {
    out += std::string(static_cast<size_t>(depth) * 2, ' ');
    out += tree->GetItemText(id).utf8_str().data();
    out += '\n';
    TreeText(tree, id, depth + 1, out);
  }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  wxGUIEventLoop loop;
  wxEventLoopActivator active(&loop);
  while (!done()) {
    if (Clock::now() >= deadline) return done();
    loop.DispatchTimeout(5);
    if (wxTheApp != nullptr) {
      wxTheApp->ProcessPendingEvents();
      wxTheApp->ProcessIdle();
    }
  }
  return true;
}

std::string ShownText(CWnd* w) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->widget == nullptr) return {};
  wxString text;
  if (n->top != nullptr) {
    text = n->top->GetTitle();
  } else if (auto* e = dynamic_cast<wxTextCtrl*>(n->widget)) {
    text = e->GetValue();
  } else if (auto* c = dynamic_cast<wxComboBox*>(n->widget)) {
    text = c->GetValue();
  } else if (auto* ch = dynamic_cast<wxChoice*>(n->widget)) {
    text = ch->GetStringSelection();
  } else if (n->label != nullptr) {
    text = n->label->ShownText();
  } else if (n->radio != nullptr) {
    text = n->radio->GetLabel();
  } else {
    text = n->widget->GetLabel();
  }
  return std::string(text.utf8_str().data());
}

bool ShownVisible(CWnd* w) {
  Node* n = NodeOf(w);
  if (n == nullptr) return false;
  wxWindow* win = n->top != nullptr ? n->top : n->widget;
  return win != nullptr && win->IsShownOnScreen();
}

RECT ScreenRect(CWnd* w) {
  Node* n = NodeOf(w);
  RECT r;
  if (n == nullptr || n->widget == nullptr) return r;
  const wxRect s = n->widget->GetScreenRect();
  r.left = s.x;
  r.top = s.y;
  r.right = s.x + s.width;
  r.bottom = s.y + s.height;
  return r;
}

bool ShownChecked(CWnd* w) {
  Node* n = NodeOf(w);
  if (n == nullptr) return false;
  if (n->radio != nullptr) return n->radio->Checked();
  if (auto* c = dynamic_cast<wxCheckBox*>(n->widget)) return c->GetValue();
  return false;
}

long ShownRowCount(CWnd* w) {
  Node* n = NodeOf(w);
  return n != nullptr && n->list != nullptr ? n->list->GetItemCount() : -1;
}

void SetListPaintObserver(std::function<void(CWnd*, long)> observer) {
  ListPaintObserver() = std::move(observer);
}

int ShownColumnWidth(CWnd* w, int column) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->list == nullptr || column < 0 || column >= n->list->GetColumnCount())
    return -1;
  return n->list->GetColumnWidth(column);
}

int ShownRowsWidth(CWnd* w) {
  Node* n = NodeOf(w);
  return n != nullptr && n->list != nullptr ? n->list->RowsWidth() : -1;
}

RECT ShownRowRect(CWnd* w, int row) {
  RECT r;
  Node* n = NodeOf(w);
  wxRect item;
  if (n == nullptr || n->list == nullptr || !n->list->GetItemRect(row, item)) return r;
  const wxPoint at = n->list->ClientToScreen(item.GetTopLeft());
  r.left = at.x;
  r.top = at.y;
  r.right = at.x + item.width;
  r.bottom = at.y + item.height;
  return r;
}

std::string ShownColumnHeading(CWnd* w, int column) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->list == nullptr || column < 0 || column >= n->list->GetColumnCount())
    return std::string();
  wxListItem item;
  item.SetMask(wxLIST_MASK_TEXT);
  n->list->GetColumn(column, item);
  return item.GetText().utf8_str().data();
}

// The generic list draws a cell's text 4 pixels in and clips it 8 pixels
// short of the column's edge; a check box takes its width and 5 pixels on
// either side from column 0. A header label has its own inset of about the
// same (GTK's header button).
constexpr int kCellMargins = 8;
constexpr int kCheckBoxMargins = 10;
constexpr int kHeaderMargins = 12;

int CellTextNeed(CWnd* w, int column, const CString& text) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->list == nullptr) return 0;
  int width = 0, height = 0;
  n->list->GetTextExtent(ToWx(text), &width, &height);
  int need = width + kCellMargins;
  if (column == 0 && n->list->HasCheckBoxes())
    need += wxRendererNative::Get().GetCheckBoxSize(n->list).x + kCheckBoxMargins;
  return need;
}

int HeaderTextNeed(CWnd* w, const CString& text) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->list == nullptr) return 0;
  int width = 0, height = 0;
  n->list->GetTextExtent(ToWx(text), &width, &height);
  return width + kHeaderMargins;
}

std::string ShownTree(CWnd* w) {
  Node* n = NodeOf(w);
  std::string out;
  if (n == nullptr || n->tree == nullptr || !n->tree->GetRootItem().IsOk()) return out;
  TreeText(n->tree, n->tree->GetRootItem(), 0, out);
  return out;
}

std::string ShownTreeSelection(CWnd* w) {
  Node* n = NodeOf(w);
  if (n == nullptr || n->tree == nullptr) return "";
  const wxTreeItemId selected = n->tree->GetSelection();
  return selected.IsOk() ? n->tree->GetItemText(selected).utf8_str().data() : "";
}

RECT TabHeaderRect(CWnd* tab, int index) {
  Node* n = NodeOf(tab);
  RECT r;
  if (n == nullptr || n->tab == nullptr) return r;
  const wxRect h = n->tab->HeaderRect(index);
  const wxPoint origin = n->tab->GetScreenPosition();
  r.left = origin.x + h.x;
  r.top = origin.y + h.y;
  r.right = r.left + h.width;
  r.bottom = r.top + h.height;
  return r;
}

namespace {
long Packed(const wxColour* c) {
  return c == nullptr ? -1 : static_cast<long>(c->Red() | (c->Green() << 8) | (c->Blue() << 16));
}
}  // namespace

long ShownBackground(CWnd* w) {
  Node* n = NodeOf(w);
  return n != nullptr && n->label != nullptr ? Packed(n->label->ShownBackground()) : -1;
}

long ShownForeground(CWnd* w) {
  Node* n = NodeOf(w);
  return n != nullptr && n->label != nullptr ? Packed(n->label->ShownForeground()) : -1;
}

void EndModalBoxes() {
  for (wxWindow* w : wxTopLevelWindows) {
    if (auto* d = dynamic_cast<wxDialog*>(w); d != nullptr && d->IsModal()) d->EndModal(wxID_CANCEL);
  }
}

void RequestClose(CWnd* w) {
  WindowTree* tree = WindowTree::Current();
  if (tree == nullptr) return;
  if (wxTopLevelWindow* top = tree->TopLevelOf(w)) top->Close();
}

int BrowserRefusedCertificates() { return browser::RefusedCertificates(); }

int BrowserPageCrashes() { return browser::PageCrashes(); }

}  // namespace wxui::testing
