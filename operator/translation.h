#pragma once
// The screen's language: the shipped translation (German) or the texts as written (English).

#include <QString>

namespace btoperator {

// Installs the translation of `language` ("de", "en"; empty: the system locale's) in the
// application. False for a language the program does not ship.
bool UseLanguage(const QString& language);

} // namespace btoperator
