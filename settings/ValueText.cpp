#include "settings/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

QString ValueText(float value, const QLocale& locale) {
  const double v = value;  // exact: every single is a double
  if (v == 0 || !std::isfinite(v))
    return v == 0 ? QStringLiteral("0") : QString::number(v);

  // 15 significant digits, correctly rounded: d.dddddddddddddde±x
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(v));
  std::string digits;
  digits += buffer[0];
  digits.append(buffer + 2, 14);
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  const QString point = locale.decimalPoint();
  QString text = v < 0 ? QStringLiteral("-") : QString();
  if (exponent + 1 <= 15 && std::fabs(v) >= 0.00001) {
    if (exponent < 0) {
      text += QStringLiteral("0") + point + QString(-exponent - 1, u'0') +
              QString::fromStdString(digits);
    } else {
      const auto whole = static_cast<std::size_t>(exponent) + 1;
      std::string integer = digits.substr(0, std::min(whole, digits.size()));
      integer.append(whole > digits.size() ? whole - digits.size() : 0, '0');
      text += QString::fromStdString(integer);
      if (digits.size() > whole)
        text += point + QString::fromStdString(digits.substr(whole));
    }
    return text;
  }
  text += QChar::fromLatin1(digits[0]);
  if (digits.size() > 1)
    text += point + QString::fromStdString(digits.substr(1));
  return text + QStringLiteral("E") + QString::number(exponent);
}
