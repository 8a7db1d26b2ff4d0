// The tree control: items owned by the control, handed out as HTREEITEM.
#include <algorithm>

#include "platform/ui/controls.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}  // namespace

bool CTreeCtrl::Owns(HTREEITEM item) const { return item != nullptr && live_.count(item) != 0; }

void CTreeCtrl::Forget(const TreeItem* item) {
  for (const auto& child : item->children) Forget(child.get());
  live_.erase(item);
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, HTREEITEM parent, HTREEITEM after) {
  HTREEITEM made;
  {
    Lock lock(lock_);
    TreeItem* under = (parent == TVI_ROOT || parent == nullptr) ? &root_ : parent;
    if (under != &root_ && !Owns(under)) return nullptr;
    auto item = std::make_unique<TreeItem>();
    item->text = text;
    item->parent = under;
    made = item.get();
    auto& siblings = under->children;
    auto at = siblings.end();
    if (after == TVI_FIRST) {
      at = siblings.begin();
    } else if (after != TVI_LAST && after != nullptr) {
      auto it = std::find_if(siblings.begin(), siblings.end(),
                             [&](const std::unique_ptr<TreeItem>& p) { return p.get() == after; });
      if (it != siblings.end()) at = std::next(it);
    }
    siblings.insert(at, std::move(item));
    live_.insert(made);
    ++generation_;
  }
  Changed(kChangeItems);
  return made;
}

BOOL CTreeCtrl::DeleteAllItems() {
  {
    Lock lock(lock_);
    root_.children.clear();
    live_.clear();
    selected_ = nullptr;
    ++generation_;
  }
  Changed(kChangeItems | kChangeSelection);
  return TRUE;
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM item) {
  if (item == TVI_ROOT) return DeleteAllItems();
  {
    Lock lock(lock_);
    if (!Owns(item)) return FALSE;
    // The selection goes with a deleted subtree.
    for (TreeItem* s = selected_; s != nullptr; s = s->parent) {
      if (s == item) {
        selected_ = nullptr;
        break;
      }
    }
    Forget(item);
    auto& siblings = item->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                                [&](const std::unique_ptr<TreeItem>& p) { return p.get() == item; }));
    ++generation_;
  }
  Changed(kChangeItems | kChangeSelection);
  return TRUE;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  Lock lock(lock_);
  return Owns(item) ? item->text : CString();
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, std::uintptr_t data) {
  Lock lock(lock_);
  if (!Owns(item)) return FALSE;
  item->data = data;
  return TRUE;
}

std::uintptr_t CTreeCtrl::GetItemData(HTREEITEM item) const {
  Lock lock(lock_);
  return Owns(item) ? item->data : 0;
}

void CTreeCtrl::SetItemDataText(HTREEITEM item, const CString& text) {
  Lock lock(lock_);
  if (Owns(item)) item->data_text = text;
}

CString CTreeCtrl::GetItemDataText(HTREEITEM item) const {
  Lock lock(lock_);
  return Owns(item) ? item->data_text : CString();
}

HTREEITEM CTreeCtrl::GetSelectedItem() const {
  Lock lock(lock_);
  return selected_;
}

BOOL CTreeCtrl::SelectItem(HTREEITEM item) {
  {
    Lock lock(lock_);
    if (item != nullptr && !Owns(item)) return FALSE;
    selected_ = item;
  }
  Changed(kChangeSelection);
  return TRUE;
}

HTREEITEM CTreeCtrl::GetRootItem() const {
  Lock lock(lock_);
  return root_.children.empty() ? nullptr : root_.children.front().get();
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const {
  Lock lock(lock_);
  const TreeItem* of = (item == TVI_ROOT || item == nullptr) ? &root_ : item;
  if (of != &root_ && !Owns(item)) return nullptr;
  return of->children.empty() ? nullptr : of->children.front().get();
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
  Lock lock(lock_);
  if (!Owns(item)) return nullptr;
  const auto& siblings = item->parent->children;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [&](const std::unique_ptr<TreeItem>& p) { return p.get() == item; });
  if (it == siblings.end() || std::next(it) == siblings.end()) return nullptr;
  return std::next(it)->get();
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
  Lock lock(lock_);
  if (!Owns(item) || item->parent == &root_) return nullptr;
  return item->parent;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
  Lock lock(lock_);
  return Owns(item) && !item->children.empty() ? TRUE : FALSE;
}

int CTreeCtrl::GetCount() const {
  Lock lock(lock_);
  return static_cast<int>(live_.size());
}

BOOL CTreeCtrl::Expand(HTREEITEM item, UINT code) {
  {
    Lock lock(lock_);
    if (!Owns(item)) return FALSE;
    if (code == TVE_EXPAND) {
      item->expanded = true;
    } else if (code == TVE_COLLAPSE) {
      item->expanded = false;
    } else if (code == TVE_TOGGLE) {
      item->expanded = !item->expanded;
    }
    ++generation_;
  }
  Changed(kChangeItems);
  return TRUE;
}

void CTreeCtrl::UserSelect(HTREEITEM item) {
  if (!IsWindowEnabled()) return;
  NMTREEVIEW n;
  {
    Lock lock(lock_);
    if (!Owns(item) || item == selected_) return;
    n.itemOld = selected_;
    n.itemNew = item;
    selected_ = item;
  }
  Changed(kChangeSelection);
  n.hdr.code = TVN_SELCHANGED;
  n.action = TVC_BYMOUSE;
  NotifyParent(n.hdr);
}

void CTreeCtrl::UserRightClick(POINT) {
  if (!IsWindowEnabled()) return;
  NMHDR header;
  header.code = NM_RCLICK;
  NotifyParent(header);
}

void CTreeCtrl::VisitItems(const std::function<void(const TreeItem&, int depth)>& fn) const {
  Lock lock(lock_);
  struct Walk {
    static void Items(const TreeItem& parent, int depth,
                      const std::function<void(const TreeItem&, int)>& fn) {
      for (const auto& child : parent.children) {
        fn(*child, depth);
        Items(*child, depth + 1, fn);
      }
    }
  };
  Walk::Items(root_, 0, fn);
}

std::uint64_t CTreeCtrl::Generation() const {
  Lock lock(lock_);
  return generation_;
}

void CTreeCtrl::TakeStateFrom(CWnd& generic) {
  auto* g = dynamic_cast<CTreeCtrl*>(&generic);
  if (g == nullptr) return;
  // A tree made from a template is empty; its items move all the same.
  Lock lock(g->lock_);
  root_.children = std::move(g->root_.children);
  for (auto& child : root_.children) child->parent = &root_;
  live_ = std::move(g->live_);
  selected_ = g->selected_;
  g->selected_ = nullptr;
  generation_ = g->generation_ + 1;
}
