#include "operator/translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace btoperator {

bool UseLanguage(const QString& language) {
    // Lives as long as the application that uses it.
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    const QString chosen = language.isEmpty() ? QLocale::system().name().left(2) : language;
    if (!language.isEmpty() && language != "de" && language != "en") return false;
    // Any other system language reads English.
    return translator.load(chosen == "de" ? ":/i18n/btoperator_de.qm"
                                          : ":/i18n/btoperator_en.qm") &&
           QCoreApplication::installTranslator(&translator);
}

} // namespace btoperator
