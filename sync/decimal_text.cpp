#include "sync/decimal_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

locale_t CLocale() {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c_locale;
}

}  // namespace

double ParseDecimal(const CString& text) {
  const char* s = text.GetString();
  while (IsSpace(*s)) ++s;
  // The longest prefix in decimal notation: sign, digits, point, digits,
  // exponent. strtod alone would also take "inf", "nan" and "0x..".
  const char* end = s;
  if (*end == '+' || *end == '-') ++end;
  bool digits = false;
  while (IsDigit(*end)) ++end, digits = true;
  if (*end == '.') {
    ++end;
    while (IsDigit(*end)) ++end, digits = true;
  }
  if (!digits) return 0.0;
  if (*end == 'e' || *end == 'E') {
    const char* exponent = end + 1;
    if (*exponent == '+' || *exponent == '-') ++exponent;
    if (IsDigit(*exponent)) {
      while (IsDigit(*exponent)) ++exponent;
      end = exponent;
    }
  }
  const std::string number(s, end);
  const double value = strtod_l(number.c_str(), nullptr, CLocale());
  return std::isfinite(value) ? value : 0.0;
}

CString FormatTwoDecimals(double value) {
  if (!std::isfinite(value)) return CString("0.00");
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2);
  return CString(buffer, static_cast<int>(result.ptr - buffer));
}
