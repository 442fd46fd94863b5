#include "ui/common/replace_question.h"

#include <QCoreApplication>
#include <QStringList>

#include "platform/fs.h"

namespace ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("ui::ReplaceQuestion", text); }

}  // namespace

bool MayReplaceFiles(MessagePresenter& presenter, const std::vector<std::string>& paths) {
    QStringList taken;
    for (const std::string& path : paths)
        if (platform::NameTaken(path) && !taken.contains(QString::fromStdString(path)))
            taken << QString::fromStdString(path);
    if (taken.isEmpty()) return true;
    if (taken.size() == 1)
        return presenter.Question(Tr("%1 already exists. Replace it?").arg(taken.front()), MessageAnswer::No);
    return presenter.Question(
        Tr("These files already exist:\n%1\nReplace them all?").arg(taken.join(QLatin1Char('\n'))), MessageAnswer::No);
}

}  // namespace ui
