#pragma once
// Qt's own texts (the file dialog, the buttons and labels Qt supplies) in Japanese, like the rest of the
// wizard: the whole interface is Japanese, so they are Japanese under any locale.

class QCoreApplication;

namespace corvane {

// Makes Japanese the default locale and installs Qt's Japanese translation (qtbase_ja.qm from Qt's
// translations folder) into the application. False when the translation is not installed; Qt's texts then
// stay English.
bool InstallQtTranslation(QCoreApplication& application);

}  // namespace corvane
