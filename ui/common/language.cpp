#include "ui/common/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>
#include <vector>

namespace ui {

namespace {

// The translators belong to the application object, so none outlives it.
std::vector<QPointer<QTranslator>>& Installed() {
    static std::vector<QPointer<QTranslator>> installed;
    return installed;
}

void Install(std::unique_ptr<QTranslator> translator) {
    translator->setParent(QCoreApplication::instance());
    QCoreApplication::installTranslator(translator.get());
    Installed().emplace_back(translator.release());
}

}  // namespace

QStringList TranslationFolders() {
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(program + QStringLiteral("/../share/tessaly/translations"))};
}

bool InstallLanguage(const QString& code) {
    for (const QPointer<QTranslator>& translator : Installed()) {
        if (!translator) continue;
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    Installed().clear();

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

    const QString language = own->language();
    auto qt = std::make_unique<QTranslator>();
    if (!language.isEmpty() &&
        qt->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        Install(std::move(qt));
    }
    Install(std::move(own));
    return true;
}

}  // namespace ui
