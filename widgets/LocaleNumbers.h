#pragma once
// The number-field rule and fixed-point formatting with the decimal separator
// of the user's locale (QLocale()).

#include <QString>

double LocaleTextToNumber(const QString& text);
float LocaleTextToSingle(const QString& text);

// Fixed notation with the given number of decimals and the locale's separator,
// without digit grouping: FormatFixed(0.5, 2) is "0.50" or "0,50".
QString FormatFixed(double value, int decimals);

// Fixed notation after rounding to the given number of significant digits, as
// the classic "precision and digits" float formatting does: 1234.56 with
// precision 5 and 1 decimal is "1234.6", 0.123456 is "0.1". A value with more
// integer digits than the precision is written in scientific notation.
QString FormatFixedPrecision(double value, int precision, int decimals);
