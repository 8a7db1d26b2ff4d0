#pragma once
// Numbers as the pricing texts hold them. Both helpers work in the C locale
// whatever locale the toolkit has set, so "39.80" reads 39.8 everywhere.
#include "platform/text/CString.h"

// The decimal number at the start of `text`: leading white space skipped,
// the conversion stops at the first character that does not fit, 0 when
// nothing fits. Only decimal notation counts ("inf", "nan" and hexadecimal
// read as 0), and so does a number too large for a double.
double ParseDecimal(const CString& text);

// `text` without the commas that group the digits of its leading number by
// threes ("1,234.50" gives "1234.50"), as the bookstores write prices of a
// thousand and more; any other comma stays ("1,5" is no grouping).
CString WithoutDigitGrouping(const CString& text);

// Whether `text` is a decimal number as a user types one: ASCII digits with
// at most one decimal point, at least one digit, an optional leading minus,
// nothing else (no blanks, exponent, grouping or full-width digits).
bool IsPlainDecimal(const CString& text);

// `value` as "%.2f" gives it; "0.00" for a value that is not finite, so that
// no such text ever reaches a shop price.
CString FormatTwoDecimals(double value);
