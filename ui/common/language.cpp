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

// Qt writes the count of a plural form (%Ln) by the language's own rule, which in Spanish
// leaves four digits ungrouped ("8404 ficheros" beside "30.062 teselas"): the program's
// own translations put the count in as every other number in the windows is written.
class CountTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (n >= 0) text.replace(QLatin1String("%Ln"), Number(n));
        return text;
    }
};

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

namespace {

bool LoadOwn(QTranslator& own, const QString& code) {
    for (const QString& folder : TranslationFolders())
        if (own.load(QStringLiteral("tessaly_") + code, folder)) return true;
    return false;
}

}  // namespace

bool InstallLanguage(const QString& code) {
    for (const QPointer<QTranslator>& translator : Installed()) {
        if (!translator) continue;
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    Installed().clear();

    // The code becomes part of a file name: only letters, digits, '_' and '-' may reach it.
    static const QRegularExpression plainCode(QStringLiteral("^[A-Za-z0-9_-]+$"));
    auto own = std::make_unique<CountTranslator>();
    if (!plainCode.match(code).hasMatch() || !LoadOwn(*own, code)) {
        // Still English, with its plural forms.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        auto english = std::make_unique<CountTranslator>();
        if (LoadOwn(*english, QStringLiteral("ENG"))) Install(std::move(english));
        return false;
    }

    const QString language = own->language();
    QLocale::setDefault(language.isEmpty() ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(language));
    auto qt = std::make_unique<QTranslator>();
    if (!language.isEmpty() &&
        qt->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        Install(std::move(qt));
    }
    Install(std::move(own));
    return true;
}

// Spanish leaves four-digit numbers ungrouped, yet the windows show "8.404 bytes" beside
// "30.062": the separator is put in by hand.
QString Number(qint64 value) {
    const QLocale locale;
    QString digits = QString::number(value < 0 ? -(value + 1) + 1ULL : qulonglong(value));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, locale.groupSeparator());
    return value < 0 ? locale.negativeSign() + digits : digits;
}

QString Number(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

}  // namespace ui
