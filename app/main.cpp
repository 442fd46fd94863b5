// The desktop program: the editor window, optionally with a file to open.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include "settings/settings.h"
#include "ui/app/program.h"
#include "ui/common/language.h"
#include "ui/common/message_presenter.h"
#include "ui/editor/editor_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));

    const settings::Settings settings = settings::ProgramSettings();
    // Before the windows word their captions.
    ui::InstallLanguage(QString::fromStdString(settings.Lang()));
    ui::QtMessagePresenter presenter;
    ui::EditorWindow window(settings, presenter);
    ui::LinkBatchWindow(window, settings, presenter);
    if (!window.Start()) return 1;
    window.show();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.LoadFile(QFileInfo(args.at(1)).absoluteFilePath());
    return QApplication::exec();
}
