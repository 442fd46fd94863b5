// The language of the windows. Preferences/Lang names it; the translation of a code is
// the file tessaly_<code>.qm, so a new language needs nothing but its .ts file. The
// English texts are the source texts: a code without a file (ENG, or one mistyped)
// leaves the windows in English.
#pragma once
#include <QString>
#include <QStringList>

namespace ui {

// Where the program's .qm files are looked for, first match wins: beside the executable
// (a build folder), then <prefix>/share/tessaly/translations (an installed program).
QStringList TranslationFolders();

// Installs the translation of `code` and Qt's own one (standard buttons, file dialog) for
// the language its .ts declares, when the package that holds Qt's is installed. Any
// translation installed before is removed first. False when `code` has no translation.
bool InstallLanguage(const QString& code);

}  // namespace ui
