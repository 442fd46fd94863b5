#include "ui/common/replace_question.h"

#include <QCoreApplication>
#include <QStringList>

#include "platform/fs.h"

namespace ui {

namespace {

QString Tr(const char* text, int n = -1) { return QCoreApplication::translate("ui::ReplaceQuestion", text, "", n); }

}  // namespace

bool MayReplaceFiles(MessagePresenter& presenter, const std::vector<std::string>& paths) {
    QStringList listed;
    std::vector<std::pair<QString, QString>> files;
    int taken = 0;
    for (const std::string& path : paths) {
        const QString name = QString::fromStdString(path);
        if (listed.contains(name)) continue;
        listed << name;
        const bool there = platform::NameTaken(path);
        taken += there ? 1 : 0;
        files.emplace_back(name, there ? Tr("exists: will be replaced") : Tr("new"));
    }
    if (taken == 0) return true;
    if (files.size() == 1)
        return presenter.Question(Tr("%1 already exists. Replace it?").arg(files.front().first), MessageAnswer::No);
    // The whole list, so that the user sees where the new files go beside what they replace.
    Message question{MessageIcon::Question, MessageButtons::YesNo,
                     Tr("%n of the files to write already exist(s). Replace?", taken), MessageAnswer::No,
                     std::move(files)};
    question.resultsHeader = {Tr("File"), Tr("Now")};
    return presenter.Show(question) == MessageAnswer::Yes;
}

}  // namespace ui
