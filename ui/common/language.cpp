#include "ui/common/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>
#include <vector>

namespace ui {

namespace {

struct Installed {
    std::vector<std::unique_ptr<QTranslator>> translators;
    QString language;
};

Installed& Current() {
    static Installed installed;
    return installed;
}

void Install(std::unique_ptr<QTranslator> translator) {
    QCoreApplication::installTranslator(translator.get());
    Current().translators.push_back(std::move(translator));
}

}  // namespace

QStringList TranslationFolders() {
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(program + QStringLiteral("/../share/tessaly/translations"))};
}

bool InstallLanguage(const QString& code) {
    Installed& current = Current();
    for (const auto& translator : current.translators) QCoreApplication::removeTranslator(translator.get());
    current.translators.clear();
    current.language.clear();

    // The code becomes part of a file name: only letters, digits, '_' and '-' may reach it.
    static const QRegularExpression plainCode(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!plainCode.match(code).hasMatch()) return false;
    auto own = std::make_unique<QTranslator>();
    bool found = false;
    for (const QString& folder : TranslationFolders()) {
        if (own->load(QStringLiteral("tessaly_") + code, folder)) {
            found = true;
            break;
        }
    }
    if (!found) return false;

    current.language = own->language();
    auto qt = std::make_unique<QTranslator>();
    if (!current.language.isEmpty() &&
        qt->load(QLocale(current.language), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        Install(std::move(qt));
    }
    Install(std::move(own));
    return true;
}

QString InstalledLanguage() { return Current().language; }

}  // namespace ui
