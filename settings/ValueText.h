#pragma once

// The value text form of a slider value: general decimal text with at most
// 15 significant digits of the single-precision value's exact binary value,
// no trailing zeros, no separator for whole numbers, the locale's decimal
// separator otherwise; scientific form ("1E-6", "1.5E20") only for magnitudes
// below 0.00001 or with more than 15 integer digits.

#include <QLocale>
#include <QString>

QString ValueText(float value, const QLocale& locale = QLocale());
