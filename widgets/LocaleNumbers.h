#pragma once
// The number-field rule and fixed-point formatting with the decimal separator
// of the user's locale (QLocale()).

#include <QString>

double LocaleTextToNumber(const QString& text);
float LocaleTextToSingle(const QString& text);

// Fixed notation with the given number of decimals and the locale's separator,
// without digit grouping: FormatFixed(0.5, 2) is "0.50" or "0,50".
QString FormatFixed(double value, int decimals);
