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

CString WithoutDigitGrouping(const CString& text) {
  const std::string& s = text.str();
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  const size_t first_digit = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == first_digit || i - first_digit > 3) return text;
  std::string out = s.substr(0, i);
  // A group is a comma and exactly three digits.
  while (i + 3 < s.size() && s[i] == ',' && IsDigit(s[i + 1]) && IsDigit(s[i + 2]) &&
         IsDigit(s[i + 3]) && (i + 4 == s.size() || !IsDigit(s[i + 4]))) {
    out.append(s, i + 1, 3);
    i += 4;
  }
  if (out.size() == i) return text;
  return CString(out + s.substr(i));
}

bool IsPlainDecimal(const CString& text) {
  const std::string& s = text.str();
  size_t i = s.empty() || s[0] != '-' ? 0 : 1;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) {
      digits = true;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

CString FormatTwoDecimals(double value) {
  if (!std::isfinite(value)) return CString("0.00");
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2);
  return CString(buffer, static_cast<int>(result.ptr - buffer));
}
