#pragma once
// Base of the layer's exceptions, thrown as pointers the way the class library
// throws them: `throw new CFileException(...)`; the catcher owns the object and
// ends with `e->Delete()`. Header-only so every platform library can derive.
#include <cstring>

#include "platform/types.h"

class CException {
 public:
  CException() = default;
  CException(const CException&) = delete;
  CException& operator=(const CException&) = delete;
  virtual ~CException() = default;

  // Frees an exception caught by pointer. Only for objects made with new.
  void Delete() { delete this; }

  // Copies a readable text of the failure into `error` (at most `max_error`
  // bytes with the closing zero, GBK). FALSE when there is no text.
  virtual BOOL GetErrorMessage(char* error, UINT max_error, UINT* help_context = nullptr) const {
    (void)help_context;
    if (error != nullptr && max_error > 0) error[0] = '\0';
    return FALSE;
  }

 protected:
  // Helper for derived classes: copies `text`, cut to fit.
  static BOOL CopyMessage(const char* text, char* error, UINT max_error) {
    if (error == nullptr || max_error == 0) return FALSE;
    std::size_t n = text ? std::strlen(text) : 0;
    if (n > max_error - 1) n = max_error - 1;
    if (n > 0) std::memcpy(error, text, n);
    error[n] = '\0';
    return TRUE;
  }
};
