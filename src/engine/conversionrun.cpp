#include "engine/conversionrun.h"

#include <QDateTime>
#include <QLocale>
#include <stdexcept>

// Placeholder until the conversion lands: the contract compiles and fails loudly.
TRunOutcome RunConversion(Tcc&, dbaccess::TOracleSource&, dbaccess::TAccessTarget&,
                          const TRunSettings&, const QStringList&, TRunLog&, bool& stoprequested,
                          const TRunHooks&, const TRunTexts&) {
    stoprequested = false;
    throw std::runtime_error("The conversion is not built yet.");
}

QString DateTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(now.date(), QLocale::ShortFormat);
    if (now.time() != QTime(0, 0)) text += QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat);
    return text;
}
