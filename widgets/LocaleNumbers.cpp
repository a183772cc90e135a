#include "LocaleNumbers.h"

#include <QByteArray>
#include <QLocale>

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
