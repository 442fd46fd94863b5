// What the editor window tests share: a folder with the settings file, the messages the
// window shows, the window over them, and real JPEG pictures made through Qt.
#pragma once
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <fstream>
#include <memory>
#include <string>

#include "settings/settings.h"
#include "support/jnx_builder.h"
#include "ui/common/language.h"
#include "ui/common/message_presenter.h"
#include "ui/editor/editor_window.h"

namespace fixture {

// The picture as a whole JPEG file, its FF D8 start marker included.
inline Bytes JpegOf(const QImage& image) {
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    image.save(&jpeg, "JPG");
    return {jpeg.data().begin(), jpeg.data().end()};
}

// The bytes a map stores for the picture: its JPEG without the start marker.
inline Bytes StoredJpegOf(const QImage& image) {
    const Bytes whole = JpegOf(image);
    return {whole.begin() + 2, whole.end()};
}

class EditorWindowTest : public ::testing::Test {
protected:
    TempDir dir;
    ui::RecordingMessagePresenter messages;
    std::unique_ptr<settings::Settings> ini;
    std::unique_ptr<ui::EditorWindow> window;

    // As the program starts: the settings file, its language, then the window (not yet
    // started, so the caller can set its hooks first).
    void MakeEditor(const std::string& iniText) {
        std::ofstream(dir.file("Tessaly.ini")) << iniText;
        ini = std::make_unique<settings::Settings>(dir.file("Tessaly.ini"));
        ui::InstallLanguage(QString::fromStdString(ini->Lang()));
        window = std::make_unique<ui::EditorWindow>(*ini, messages);
    }
};

}  // namespace fixture
