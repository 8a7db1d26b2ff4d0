#include <mutex>

#include "platform/ui/backend.h"

namespace ui {
namespace {
std::mutex g_status_lock;
CString& StatusStore() {
  static CString text;
  return text;
}
}  // namespace

void SetStatusText(const CString& text) {
  {
    std::lock_guard<std::mutex> lock(g_status_lock);
    StatusStore() = text;
  }
  GetBackend().SetStatusText(text);
}

CString GetStatusText() {
  std::lock_guard<std::mutex> lock(g_status_lock);
  return StatusStore();
}

}  // namespace ui
