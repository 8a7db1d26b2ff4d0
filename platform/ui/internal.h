#pragma once
// Helpers shared by the window layer's own sources; not for pages.
#include <chrono>
#include <exception>
#include <future>
#include <type_traits>
#include <vector>

#include "platform/ui/app.h"
#include "platform/ui/backend.h"

namespace ui::detail {

void ReportUnknownException();

// Runs `f` on the UI thread and returns its result: at once when called
// there, else queued and waited for (the UI thread must be pumping).
template <typename F>
auto RunOnUiThread(F&& f) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if (IsUiThread()) return f();
  std::promise<R> done;
  std::future<R> result = done.get_future();
  Post([&f, &done] {
    try {
      if constexpr (std::is_void_v<R>) {
        f();
        done.set_value();
      } else {
        done.set_value(f());
      }
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  return result.get();
}

// Runs `f`, reporting any exception that escapes it in an error box, as the
// dispatcher does for handlers. Returns false when one escaped.
template <typename F>
bool CallReporting(F&& f) {
  try {
    f();
    return true;
  } catch (CException* e) {
    ReportException(e);
    e->Delete();
  } catch (const std::exception& e) {
    ReportException(e);
  } catch (...) {
    ReportUnknownException();
  }
  return false;
}

// The program's end (UI thread): raises the workers' stop signal and
// delivers the queue until every worker has ended, since a worker may wait
// for this thread on its way out; then runs what they left in the queue and
// lowers the signal. False when `limit` passed first; milliseconds::max()
// waits for as long as it takes.
bool StopWorkers(std::chrono::milliseconds limit);

// A message box through the backend, on the UI thread (marshalled there and
// waited for when called elsewhere). `owner` may be null.
int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT type);

// A press of a button as the user makes it: CButton::UserClick, or for a
// button bound to a plain window, its BN_CLICKED while it is enabled.
void PressButton(CWnd* button);

// The radio buttons of `button`'s group, in template order. A group runs
// from a control with the group style up to the next one among the siblings;
// with `starts_group` it is taken to start at `button` itself (UI thread).
std::vector<CButton*> RadioGroup(CWnd* button, bool starts_group);

// Case-insensitive comparison of two GBK texts, byte order: ASCII letters
// fold, the two bytes of a double-byte character compare as they are.
int CompareNoCase(const char* a, const char* b);

}  // namespace ui::detail
