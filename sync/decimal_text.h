#pragma once
// Numbers as the pricing texts hold them. Both helpers work in the C locale
// whatever locale the toolkit has set, so "39.80" reads 39.8 everywhere.
#include "platform/text/CString.h"

// The decimal number at the start of `text`: leading white space skipped,
// the conversion stops at the first character that does not fit, 0 when
// nothing fits. Only decimal notation counts ("inf", "nan" and hexadecimal
// read as 0), and so does a number too large for a double.
double ParseDecimal(const CString& text);

// `value` as "%.2f" gives it; "0.00" for a value that is not finite, so that
// no such text ever reaches a shop price.
CString FormatTwoDecimals(double value);
