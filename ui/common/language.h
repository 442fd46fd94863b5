// The language of the windows. Preferences/Lang names it; the translation of a code is
// the file tessaly_<code>.qm, so a new language needs nothing but its .ts file. The
// English texts are the source texts; tessaly_ENG holds only the English plural forms,
// so a code without a file (one mistyped) leaves the windows in English with them.
// Numbers in the windows follow the language (QLocale's default is set to it); files and
// the command line keep theirs.
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

// A whole number in the windows' language, grouped from 1 000 on ("8,404", "8.404").
QString Number(qint64 value);
// A number with a fixed count of decimals in the windows' language ("1.50", "1,50").
QString Number(double value, int decimals);

}  // namespace ui
