#pragma once
// Makes Arabic (Egypt) Qt's default locale for the lifetime of the object,
// without the system locale being generated: its digits are the
// Arabic-Indic ones and its percent sign is U+066A, so a number that Qt
// formats with the locale shows in them. A widget takes the default locale
// when it is made: make the windows under test inside the object's life.
#include <QLocale>

class ArabicDigitsLocale {
public:
    ArabicDigitsLocale() { QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt)); }
    ~ArabicDigitsLocale() { QLocale::setDefault(before_); }
    ArabicDigitsLocale(const ArabicDigitsLocale&) = delete;
    ArabicDigitsLocale& operator=(const ArabicDigitsLocale&) = delete;

    // True when the default locale really writes other digits than ASCII.
    static bool InForce() { return QLocale().toString(78) != QStringLiteral("78"); }

private:
    const QLocale before_;
};
