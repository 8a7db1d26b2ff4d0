#pragma once
// For tests of the request functions: which internet error a call raises.
#include "platform/net/internet.h"

namespace support {

// The error number of the internet exception that `call` throws; 0 when it
// throws none.
template <typename Call>
DWORD InternetErrorOf(Call&& call) {
  try {
    call();
  } catch (CInternetException* error) {
    const DWORD number = error->m_dwError;
    error->Delete();
    return number;
  }
  return 0;
}

}  // namespace support
