#pragma once
// The class library's exception family: thrown as pointers, released by the
// catcher with Delete(). Worker loops catch CException* (and std::exception)
// around every pass.
#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/types.h"

class CException {
 public:
  virtual ~CException() = default;
  // Releases the exception; the catcher calls it once.
  void Delete() { delete this; }
  // Copies a readable text (GBK) into `out`; FALSE when there is none.
  virtual BOOL GetErrorMessage(char* out, UINT size, UINT* help_context = nullptr) const {
    (void)help_context;
    return CopyMessage("", out, size);
  }

 protected:
  static BOOL CopyMessage(const char* text, char* out, UINT size) {
    if (!out || size == 0) return FALSE;
    std::snprintf(out, size, "%s", text);
    return text[0] != '\0';
  }
};

// One pass of a worker loop: runs `work`, and drops an exception of the
// family above or a std::exception that escapes it, so that one bad page or
// row abandons only that pass and the loop goes on.
template <typename Work>
void RunWorkerPass(Work&& work) {
  try {
    work();
  } catch (CException* e) {
    e->Delete();
  } catch (const std::exception&) {
  }
}
