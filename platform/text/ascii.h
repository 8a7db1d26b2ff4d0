#pragma once
// ASCII case folding for protocol text (host names, cookie domains, URL
// schemes, header names): only A-Z change, every other byte stays, so GBK
// bytes pass untouched and no locale is consulted. Pure; any thread.
#include <string>

inline std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}
