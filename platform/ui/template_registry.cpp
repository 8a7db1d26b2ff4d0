// Templates registered at run time, looked up before the program's resources.
#include <mutex>
#include <unordered_map>

#include "platform/ui/templates.h"

namespace ui {
namespace {

struct Registered {
  std::mutex mutex;
  std::unordered_map<int, const DialogTemplate*> dialogs;
  std::unordered_map<int, const MenuTemplate*> menus;
};

Registered& Table() {
  static Registered* table = new Registered;
  return *table;
}

}  // namespace

void RegisterDialogTemplate(const DialogTemplate* t) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  Table().dialogs[t->id] = t;
}

void RegisterMenuTemplate(const MenuTemplate* t) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  Table().menus[t->id] = t;
}

void UnregisterDialogTemplate(int id) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  Table().dialogs.erase(id);
}

void UnregisterMenuTemplate(int id) {
  std::lock_guard<std::mutex> lock(Table().mutex);
  Table().menus.erase(id);
}

const DialogTemplate* LookupDialogTemplate(int id) {
  {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().dialogs.find(id);
    if (it != Table().dialogs.end()) return it->second;
  }
  return FindDialogTemplate(id);
}

const MenuTemplate* LookupMenuTemplate(int id) {
  {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().menus.find(id);
    if (it != Table().menus.end()) return it->second;
  }
  return FindMenuTemplate(id);
}

}  // namespace ui
