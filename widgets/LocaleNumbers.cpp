#include "LocaleNumbers.h"

#include <QByteArray>
#include <QLocale>

#include <cmath>

#include "TextToNumber.h"

namespace {

QByteArray Separator() { return QLocale().decimalPoint().toUtf8(); }

}  // namespace

double LocaleTextToNumber(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const QByteArray separator = Separator();
  return TextToNumber({utf8.constData(), static_cast<std::size_t>(utf8.size())},
                      {separator.constData(), static_cast<std::size_t>(separator.size())});
}

float LocaleTextToSingle(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const QByteArray separator = Separator();
  return TextToNumberSingle({utf8.constData(), static_cast<std::size_t>(utf8.size())},
                            {separator.constData(), static_cast<std::size_t>(separator.size())});
}

QString FormatFixed(double value, int decimals) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(value, 'f', decimals);
}

QString FormatFixedPrecision(double value, int precision, int decimals) {
  if (!std::isfinite(value) || precision < 1) return FormatFixed(value, decimals);
  // The C locale's scientific form gives both the rounded value and its exponent.
  const QByteArray scientific = QByteArray::number(value, 'e', precision - 1);
  const double rounded = scientific.toDouble();
  const int exponent = scientific.mid(scientific.indexOf('e') + 1).toInt();
  if (rounded != 0 && exponent + 1 > precision) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(rounded, 'e', precision - 1);
  }
  return FormatFixed(rounded, decimals);
}
