// Drives the real editor window offscreen: start-up and the language, loading, the edit
// reactions, save, split and the refusals, with the written files read back.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>

#include "check/findings.h"
#include "check/level_resolution.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/file_lock.h"
#include "platform/fs.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "support/writer_support.h"
#include "ui_support/editor_fixture.h"
#include "ui/app/program.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_window.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/command_keys.h"
#include "ui/common/device_check_line.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/editor/preview.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using ui::EditorWindow;

const char* kIniTables =
    "[ZoomLevels]\nLevel1=60/75/50 m\nLevel2=237/298/200 m\nLevel3=966/1194/800 m\nLevel4=3864/4777/3 km\n"
    "Level5=15456/19109/12 km\n[Groups]\nGroup1=5/Alpha Group\nGroupZooms1=3,-2,-1,0,0\nGroup2=9/Beta Group\n";

// Scales 4777 ("3 km"), 4776 (the same row, prioritised) and 30000 (beyond the table);
// zooms 3, none and 12; level k holds k + 1 tiles whose bodies are real JPEGs.
fixture::JnxRecipe ThreeLevels(int version) {
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const fixture::Bytes picture = fixture::StoredJpegOf(image);
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, 3, 1);
    recipe.groupName = "Grupo ñandú";
    const std::int32_t scales[] = {4777, 4776, 30000}, zooms[] = {3, 255, 12};
    for (std::size_t i = 0; i < 3; ++i) {
        recipe.levels[i].scale = scales[i];
        recipe.levels[i].zoom = zooms[i];
        recipe.levels[i].tiles.assign(i + 1, {picture, {}, {}});
    }
    return recipe;
}

class EditorTest : public fixture::EditorWindowTest {
protected:
    QString chosen, startFolderSeen;
    std::vector<QString> openedFolders;
    bool fileBrowser = true;  // what the folder hook answers

    // As the program starts: the language first, then the window.
    bool StartWith(const std::string& preferences, const std::string& extra = "") {
        MakeEditor("[Preferences]\n" + preferences + extra + kIniTables);
        window->chooseFile = [this](const QString& start, const QString&) {
            startFolderSeen = start;
            return chosen;
        };
        window->openFolder = [this](const QString& folder) {
            openedFolders.push_back(folder);
            return fileBrowser;
        };
        messages.clear();
        return window->Start();
    }
    std::string Build(const std::string& name, const fixture::JnxRecipe& recipe) {
        fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
        return dir.file(name);
    }
    void Load(const std::string& path) {
        chosen = QString::fromStdString(path);
        window->OnLoad();
    }
    template <typename T = QLineEdit>
    T* get(const QString& name) const {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QComboBox* level(int k) const { return get<QComboBox>(QStringLiteral("cboNivel_%1").arg(k)); }
    QCheckBox* tick(int k) const { return get<QCheckBox>(QStringLiteral("chkSplitOPriority_%1").arg(k)); }
    QLineEdit* zoom(int k) const { return get(QStringLiteral("txtNivel_%1").arg(k)); }
    QLineEdit* text(const char* name) const { return get(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) const { return get<QPushButton>(QString::fromLatin1(name)); }
    QString label(const char* name) const { return get<QLabel>(QString::fromLatin1(name))->text(); }
    void PickVersion(int v) {
        QComboBox* versions = get<QComboBox>(QStringLiteral("cboActualizar"));
        versions->setCurrentIndex(versions->findData(v));
    }
    void MoveOver(const char* name) {
        QWidget* widget = get<QWidget>(QString::fromLatin1(name));
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    std::string LastText() const { return messages.last() ? messages.last()->text.toStdString() : ""; }

    // The level boxes in one line: each one's row or "-", "*" when ticked, "~" when disabled.
    QString Levels() const {
        QStringList shown;
        for (int k = 0; k < 5; ++k) {
            const int row = level(k)->currentIndex();
            shown << (row < 0 ? QStringLiteral("-") : QString::number(row)) + (tick(k)->isChecked() ? "*" : "") +
                         (level(k)->isEnabled() ? "" : "~");
        }
        return shown.join(QLatin1Char(' '));
    }
    void ExpectEmptyState() {
        EXPECT_EQ(Levels(), QStringLiteral("-~ -~ -~ -~ -~"));
        EXPECT_FALSE(button("CmdSalvar")->isEnabled() || button("SplitJNX")->isEnabled());
        EXPECT_TRUE(text("txtProductID")->text().isEmpty());
        EXPECT_TRUE(window->Document().FileName.empty());
        EXPECT_TRUE(label("lblDeviceCheck").isEmpty());
        // No tile of the map that was, and the hint back.
        EXPECT_TRUE(get<QLabel>(QStringLiteral("picPreview"))->pixmap().isNull());
        EXPECT_FALSE(label("lblPreviewLabel2").isEmpty());
    }
};

// Without a language or with a malformed table the program ends after one message; only
// "ESP" is Spanish, Qt's own buttons included, and a language is a name, never a path.
TEST_F(EditorTest, StartUpAndLanguage) {
    const char* cases[][3] = {
        {"UserLevel=1\n", "", "Error reading Preferences/Language in Tessaly.ini."},
        {"Lang=ESP\n", "[ZoomLevels]\nLevel1=1/2/3/4\n", "Error en el fichero de configuración."},
        {"Lang=ENG\n", "[Groups]\nGroup1=no slash here\n", "Error in config file."},
        {"Lang=ENG\n", "[System]\nBlockSize=12 MB\n", "Error in config file."},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(StartWith(c[0], c[1]));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(LastText(), c[2]);
    }
    ASSERT_TRUE(StartWith("Lang=esp\n"));
    EXPECT_EQ(button("cmdCargar")->text(), QStringLiteral("Load JNX"));
    ASSERT_TRUE(StartWith("Lang=ESP\n"));
    EXPECT_EQ(button("cmdCargar")->text(), QStringLiteral("Cargar JNX"));
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_es.qm"))) {
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QString::fromUtf8("Sí"));
    }
    EXPECT_FALSE(ui::InstallLanguage(QStringLiteral("../ESP")));

    // The size the user left the window at comes back on the next start.
    window->show();
    window->resize(877, 555);
    ASSERT_TRUE(window->close());
    EditorWindow again(*ini, messages);
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(again.size(), QSize(877, 555));
}

// Every error and finding the core can report reads in Spanish, naming the details its
// English names.
TEST(ErrorWording, EveryCodeHasASpanishTemplateWithTheSamePlaceholders) {
    QTranslator spanish;
    const QStringList folders = ui::TranslationFolders();
    ASSERT_TRUE(std::any_of(folders.begin(), folders.end(),
                            [&](const QString& at) { return spanish.load(QStringLiteral("tessaly_ESP"), at); }));
    auto placeholders = [](const QString& text) {
        QStringList found;
        static const QRegularExpression placeholder(QStringLiteral("\\{[a-z]+\\}"));
        for (const auto& m : placeholder.globalMatch(text)) found << m.captured();
        found.sort();
        return found;
    };
    for (int code = static_cast<int>(platform::ErrorCode::FileNotOpen);
         code <= static_cast<int>(platform::kLastErrorCode); ++code) {
        const char* english = platform::ErrorTemplate(static_cast<platform::ErrorCode>(code));
        const QString translated = spanish.translate(ui::kErrorContext, english);
        EXPECT_FALSE(translated.isEmpty()) << "no Spanish for code " << code << ": " << english;
        EXPECT_EQ(placeholders(translated), placeholders(QString::fromUtf8(english))) << english;
    }
    for (int code = 0; code <= static_cast<int>(check::kLastFindingCode); ++code) {
        for (int variant : {0, 1}) {
            const char* english = check::FindingTemplate(static_cast<check::FindingCode>(code), variant);
            const QString translated = spanish.translate("check::Finding", english);
            EXPECT_FALSE(translated.isEmpty()) << "no Spanish for finding " << code << ": " << english;
            EXPECT_EQ(placeholders(translated), placeholders(QString::fromUtf8(english))) << english;
        }
    }
    // The cause is worded in the same language.
    const auto error = platform::Error(platform::ErrorCode::RowCannotRead).File("/m/a.jnx").Cause(
        platform::Error(platform::ErrorCode::TileOutsideFile).Level(3));
    ASSERT_TRUE(ui::InstallLanguage(QStringLiteral("ESP")));
    EXPECT_EQ(ui::ErrorMessage(error),
              QString::fromUtf8("No se puede leer /m/a.jnx: La tesela 3 está fuera del fichero"));
    ui::InstallLanguage(QStringLiteral("ENG"));
}

TEST_F(EditorTest, LoadingShowsEachLevelAndItsPreview) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = ThreeLevels(3);
    recipe.bounds = {536870912, 134217728, 268435456, -134217728};  // 45, 11.25, 22.5, -11.25 degrees
    Load(Build("three.jnx", recipe));
    ASSERT_TRUE(messages.shown.empty()) << LastText();
    EXPECT_EQ(startFolderSeen, QString::fromStdString(platform::ProgramFolder()));
    EXPECT_EQ(ini->ReadSetting("Preferences", "BatchDefaultDir"), dir.path());
    EXPECT_EQ(Levels(), QStringLiteral("3 3* 4 -~ -~"));
    EXPECT_EQ(zoom(0)->text() + QLatin1Char('/') + zoom(1)->text(), QStringLiteral("3/"));  // 255: no number
    EXPECT_EQ(text("txtProductID")->text() + text("txtFamiliGroup")->text(), QStringLiteral("7Grupo ñandú"));
    EXPECT_EQ(label("lblTotalTeselas"), QStringLiteral("Total 6 TL. - JNX v.3"));
    EXPECT_EQ(label("lblMapInfo"),
              QString::fromUtf8("Title: Test map\nNorth 45.00000°, South 22.50000°, West -11.25000°, East 11.25000°"));
    // The device check, its findings on hover: this block holds no copy of the product ID.
    EXPECT_TRUE(label("lblDeviceCheck").startsWith(QStringLiteral("Device: "))) << label("lblDeviceCheck").toStdString();
    EXPECT_TRUE(get<QLabel>(QStringLiteral("lblDeviceCheck"))->toolTip().contains(QStringLiteral("product_id_copy")));
    EXPECT_TRUE(text("txtDrawOrder")->isHidden() && text("txtDrawOrder")->text() == "25");

    // Hovering a level label shows its tile fitted to the box and its facts.
    QLabel* picture = get<QLabel>(QStringLiteral("picPreview"));
    MoveOver("lblNivel_1");
    EXPECT_TRUE(!picture->isHidden() && !picture->pixmap().isNull() && picture->pixmap().width() <= picture->width());
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("2 TL. - Zoom: - JNXScale: 4,776"));
    EXPECT_TRUE(label("lblPreviewLabel2").isEmpty());
    MoveOver("FNiveles");
    EXPECT_TRUE(picture->isHidden() && !label("lblPreviewLabel2").isEmpty());

    // Version 4 shows its draw order until version 3 is picked; a drop loads too.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Build("four.jnx", ThreeLevels(4))))});
    ASSERT_TRUE(window->LoadDropped(&mime));
    EXPECT_TRUE(!text("txtDrawOrder")->isHidden() && text("txtDrawOrder")->text() == "30");
    PickVersion(3);
    EXPECT_TRUE(text("txtDrawOrder")->isHidden());

    // A cancelled dialog changes nothing; a file that does not read is named, with what is
    // wrong and no advice to rebuild it, and leaves the map and the picked version (an
    // edit) as they were.
    Load("");
    EXPECT_TRUE(messages.shown.empty());
    fixture::Bytes cut = fixture::ReadBytes(dir.file("four.jnx"));
    cut.resize(cut.size() / 2);
    fixture::WriteBytes(dir.file("bad.jnx"), cut);
    MoveOver("lblNivel_0");
    messages.answers.push_back(ui::MessageAnswer::Yes);
    Load(dir.file("bad.jnx"));
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(picture->pixmap().isNull());
    EXPECT_EQ(LastText().rfind(dir.file("bad.jnx") + " cannot be opened:\n", 0), 0u) << LastText();
    EXPECT_EQ(LastText().find("rebuild"), std::string::npos);
    EXPECT_EQ(window->Document().FileName, dir.file("four.jnx"));
    EXPECT_EQ(label("lblInfo").toStdString(), dir.file("four.jnx"));
    EXPECT_TRUE(window->HasUnsavedEdits() && text("txtDrawOrder")->isHidden());
    EXPECT_EQ(Levels(), QStringLiteral("3 3* 4 -~ -~"));
}

// The device line judges the tables a save would write now, as the ranges do, and keeps
// the tile findings of the load.
TEST_F(EditorTest, DeviceLineFollowsTheEdits) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.reserved = {0, 7, 0};  // the product ID's copy, in step
    for (auto& level : recipe.levels)
        for (auto& tile : level.tiles) tile.bounds = {90, 150, 60, 70};
    Load(Build("clean.jnx", recipe));
    const auto* line = get<ui::DeviceCheckLine>(QStringLiteral("lblDeviceCheck"));
    // Level 3 is coarser than level 2: a note beside every finding, which no edit here changes.
    const auto codes = [line] {
        std::vector<check::FindingCode> found;
        for (const check::Finding& finding : line->Findings())
            if (finding.code != check::FindingCode::LevelsNotCoarseToFine) found.push_back(finding.code);
        return found;
    };
    using Codes = std::vector<check::FindingCode>;
    EXPECT_TRUE(line->Judged() && codes().empty()) << label("lblDeviceCheck").toStdString();
    text("txtDrawOrder")->setText(QStringLiteral("150"));
    EXPECT_EQ(codes(), Codes{check::FindingCode::DrawOrderRange});
    PickVersion(3);  // a version 3 map has no draw order of its own
    EXPECT_TRUE(codes().empty());
    level(2)->setCurrentIndex(level(0)->currentIndex());  // two levels on one zoom row
    EXPECT_EQ(codes(), Codes{check::FindingCode::ScaleDuplicate});
    tick(2)->setChecked(true);
    EXPECT_EQ(codes(), Codes{check::FindingCode::ScaleDuplicate});  // prioritised like level 2
    level(2)->setCurrentIndex(4);
    EXPECT_TRUE(codes().empty());

    // A tile outside the bounds stays found whatever the edits.
    recipe.levels[2].tiles[1].bounds = {1, 2, 3, 4};
    messages.answers.push_back(ui::MessageAnswer::Yes);
    Load(Build("outside.jnx", recipe));
    text("txtDrawOrder")->setText(QStringLiteral("150"));
    EXPECT_EQ(codes(), (Codes{check::FindingCode::DrawOrderRange, check::FindingCode::TileOutsideBounds}));
    window->block_all();
    EXPECT_TRUE(!line->Judged() && label("lblDeviceCheck").isEmpty());
}

// The zooms where the device draws each level follow the lists and priority boxes before
// any save: a level equal to a coarser one, or hidden under it, is never drawn.
TEST_F(EditorTest, EachLevelSaysAtWhichZoomsTheDeviceDrawsIt) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    Load(Build("three.jnx", ThreeLevels(4)));
    const auto ranges = [this] {
        return label("lblShown_0") + " | " + label("lblShown_1") + " | " + label("lblShown_2") + " | " +
               label("lblShown_3");
    };
    // The third level's scale lies beyond the table: its list shows the last row, which a save writes.
    EXPECT_EQ(ranges(), QStringLiteral("shown at 3 km only | shown from 800 m to 50 m | shown at 12 km only | "));
    tick(1)->setChecked(false);
    EXPECT_EQ(ranges(),
              QStringLiteral("shown from 3 km to 50 m | never shown: level 1 covers it | shown at 12 km only | "));
    level(0)->setCurrentIndex(0);
    tick(0)->setChecked(true);  // one below the finest row's scale: no zoom reaches it
    level(2)->setCurrentIndex(1);
    EXPECT_EQ(ranges(), QStringLiteral("never shown: finer than 50 m | shown from 3 km to 800 m | "
                                       "shown from 200 m to 50 m | "));
    window->block_all();
    EXPECT_EQ(ranges(), QStringLiteral(" |  |  | "));
}

TEST_F(EditorTest, NoCommandStartsWhileALoadRuns) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const QString path = QString::fromStdString(Build("three.jnx", ThreeLevels(3)));
    bool loadEnabledMeanwhile = true;
    int batchShown = 0;
    window->openBatch = [&] { ++batchShown; };
    // Runs from the pending events the reader lets through.
    QMetaObject::invokeMethod(
        window.get(),
        [&] {
            loadEnabledMeanwhile = button("cmdCargar")->isEnabled();
            window->OnSave();
            window->OnSplit();
            window->OnBatch();
            EXPECT_FALSE(window->LoadFile(path));
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(window->LoadFile(path));
    EXPECT_TRUE(!loadEnabledMeanwhile && batchShown == 0 && messages.shown.empty()) << LastText();
    EXPECT_TRUE(button("CmdSalvar")->isEnabled() && QApplication::overrideCursor() == nullptr);

    // Once linked, the batch button shows the batch window modally.
    ui::LinkBatchWindow(*window, *ini, messages);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    button("cmdBatch")->click();
    EXPECT_EQ(shown, QStringLiteral("batchui::BatchWindow"));
}

// A version change or an odd layout writes NAME_new.jnx beside the source, over an old one
// once the user agrees; a source changed behind the window's back is an error and leaves
// nothing new.
TEST_F(EditorTest, SaveWritesANewFileBesideTheSourceOrReportsTheFailure) {
    enum Damage { kNone, kFlipped, kHalved };  // the update cannot verify it; the regeneration runs out of it
    const struct {
        int version, pick, gap, drawOrder;  // gap 100: the map block is not followed by 1024 bytes
        Damage damage;
    } cases[] = {{3, 4, -1, 25, kNone}, {4, 3, -1, 0, kNone}, {4, 4, 100, 7, kNone}, {3, 3, -1, 0, kFlipped},
                 {4, 3, -1, 0, kHalved}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version << " to " << c.pick << ", damage " << c.damage);
        ASSERT_TRUE(StartWith("Lang=ESP\n"));
        fixture::JnxRecipe recipe = ThreeLevels(c.version);
        recipe.gap = c.gap;
        const fixture::BuiltJnx built = fixture::BuildJnx(recipe);
        const std::string path = dir.file("map.jnx"), out = dir.file("map_new.jnx");
        fixture::WriteBytes(path, built.bytes);
        std::remove(out.c_str());
        if (c.damage == kNone) {
            fixture::WriteBytes(out, fixture::Bytes(10, 1));
            messages.answers.push_back(ui::MessageAnswer::Yes);  // replace it
        }
        Load(path);
        PickVersion(c.pick);
        if (c.drawOrder == 7) text("txtDrawOrder")->setText(QStringLiteral("7"));
        text("txtProductID")->setText(QStringLiteral("12"));
        fixture::Bytes bytes = built.bytes;
        if (c.damage == kFlipped) bytes[static_cast<std::size_t>(built.tableOffsets[0])] ^= 0xFF;
        if (c.damage == kHalved) bytes.resize(bytes.size() / 2);
        fixture::WriteBytes(path, bytes);
        window->OnSave();
        ASSERT_EQ(messages.shown.size(), c.damage == kNone ? 2u : 1u);
        if (c.damage != kNone) {
            // The map and every edit stay for another try.
            EXPECT_EQ(messages.shown[0].icon, ui::MessageIcon::Critical);
            EXPECT_FALSE(platform::FileExists(out));
            EXPECT_EQ(window->Document().FileName, path);
            EXPECT_TRUE(window->HasUnsavedEdits() && button("CmdSalvar")->isEnabled());
            EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("12"));
            EXPECT_EQ(Levels(), QStringLiteral("3 3* 4 -~ -~"));
            continue;
        }
        EXPECT_EQ(messages.last()->buttons, ui::MessageButtons::YesNo) << LastText();
        EXPECT_EQ(fixture::ReadFull(out).Header.Version, c.pick);
        EXPECT_EQ(c.pick == 4 ? fixture::ReadFull(out).Header.DrawOrder : 0, c.drawOrder);
        EXPECT_EQ(fixture::ReadFull(path).Header.Version, c.version);
    }
    EXPECT_TRUE(openedFolders.empty());  // answered No
    // Kept when the user says No, and nothing else is written.
    const std::string out = dir.file("map_new.jnx");
    fixture::WriteBytes(out, {1});
    fixture::WriteBytes(dir.file("map.jnx"), fixture::BuildJnx(ThreeLevels(4)).bytes);
    Load(dir.file("map.jnx"));
    PickVersion(3);
    messages.clear();
    window->OnSave();
    window->OnSave();  // asked again: the No left the window ready for another command
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(fixture::ReadBytes(out), fixture::Bytes{1});
}

// A regeneration runs on a worker thread: while it waits for another writer's lock the
// window's timers tick and a second command is refused. The progress dialog's Cancel
// stops it at once, without waiting for the lock, with the source as it was and no
// temporary left in the folder.
TEST_F(EditorTest, LongWorkRunsOffTheWindowThreadAndCancels) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "finished");
        ASSERT_TRUE(StartWith("Lang=ENG\n"));
        const std::string path = Build("three.jnx", ThreeLevels(3)), out = dir.file("three_new.jnx");
        std::remove(out.c_str());
        const fixture::Bytes source = fixture::ReadBytes(path);
        Load(path);
        PickVersion(4);
        const std::vector<std::string> before = dir.list();

        platform::FileLock otherWriter;
        platform::Error error;
        ASSERT_TRUE(otherWriter.Acquire(path, std::chrono::seconds(1), error));
        int ticks = 0;
        bool refusedMeanwhile = false;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 2) {
                window->OnLoad();  // refused without a question while the save runs
                refusedMeanwhile = !button("cmdCargar")->isEnabled() && messages.shown.empty();
                auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("workProgress"));
                if (cancel && progress) progress->findChild<QPushButton*>()->click();
            }
            if (ticks == 5 && !cancel) otherWriter.Release();
        });
        timer.start();
        messages.answers.push_back(ui::MessageAnswer::No);
        window->OnSave();
        timer.stop();
        otherWriter.Release();
        EXPECT_GE(ticks, cancel ? 2 : 5);
        EXPECT_LT(ticks, cancel ? 50 : 1000);  // a cancel does not wait for the lock
        EXPECT_TRUE(refusedMeanwhile);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(fixture::ReadBytes(path), source);
        if (cancel) {
            EXPECT_EQ(dir.list(), before);
            EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Information);
            EXPECT_NE(LastText().find("Cancelled"), std::string::npos) << LastText();
            EXPECT_TRUE(window->Document().FileName == path && window->HasUnsavedEdits());
        } else {
            EXPECT_EQ(fixture::ReadFull(out).Header.Version, 4);
            EXPECT_NE(LastText().find(out), std::string::npos) << LastText();  // the message names the file
            ExpectEmptyState();
        }
    }
}

// A split that fails part way names what it wrote and keeps the map and the ticks.
TEST_F(EditorTest, SplitWritesOneFilePerTickedLevel) {
    ASSERT_TRUE(StartWith("Lang=ENG\n", "[Split]\nLevelDir1=$current/fresh\nLevelDir3=$current/sub\n"));
    Load(Build("three.jnx", ThreeLevels(3)));
    tick(0)->setChecked(true);
    tick(1)->setChecked(false);
    tick(2)->setChecked(true);
    // The boxes double as priorities: each says what the next command makes of its tick.
    EXPECT_NE(tick(0)->toolTip(), tick(1)->toolTip());
    EXPECT_EQ(tick(0)->toolTip(), tick(2)->toolTip());
    // A folder where the third level's file goes: that file cannot be written.
    const std::string blocked = platform::JoinPath(platform::JoinPath(dir.path(), "sub"), "three_Level3.jnx");
    std::filesystem::create_directories(blocked);
    // The question lists every file to write, the one in the way marked; No makes nothing,
    // not even the missing folder.
    window->OnSplit();
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::string first = platform::JoinPath(dir.file("fresh"), "three_Level1.jnx");
    const auto& listed = messages.last()->results;
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].first.toStdString() == first && listed[1].first.toStdString() == blocked);
    EXPECT_NE(listed[0].second, listed[1].second);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"Tessaly.ini", "sub", "three.jnx"}));
    messages.clear();
    messages.answers.push_back(ui::MessageAnswer::Yes);
    window->OnSplit();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Critical);
    EXPECT_NE(LastText().find(first), std::string::npos) << LastText();
    EXPECT_TRUE(window->Document().FileName == dir.file("three.jnx") && button("SplitJNX")->isEnabled());
    EXPECT_EQ(Levels(), QStringLiteral("3* 3 4* -~ -~"));
    std::filesystem::remove(blocked);
    std::remove(first.c_str());
    messages.clear();
    messages.answers.push_back(ui::MessageAnswer::Yes);
    window->OnSplit();
    ASSERT_EQ(messages.shown.size(), 1u) << LastText();
    const std::string sub = platform::JoinPath(dir.path(), "sub");
    EXPECT_EQ(openedFolders, std::vector<QString>{QString::fromStdString(sub)});
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"Tessaly.ini", "fresh", "sub", "three.jnx"}));
    EXPECT_EQ(fixture::ReadFull(first).Levels[0].TileCount, 1);
    const jnx::JnxDocument third = fixture::ReadFull(platform::JoinPath(sub, "three_Level3.jnx"));
    EXPECT_EQ(third.Header.LevelCount, 1);
    EXPECT_EQ(third.Levels[0].TileCount, 3);
    ExpectEmptyState();
}

// A refusal is one warning box and writes nothing. Group-preset mode asks for every
// zoom number; with them given, the edits go into the file in place.
TEST_F(EditorTest, RefusalsWriteNothingAndSaveInPlaceWritesTheEdits) {
    ASSERT_TRUE(StartWith("Lang=ENG\nUserLevel=2\n"));
    auto refuses = [&](void (EditorWindow::*command)()) {
        messages.clear();
        (window.get()->*command)();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].icon, ui::MessageIcon::Warning) << LastText();
    };
    refuses(&EditorWindow::OnSave);  // no map
    refuses(&EditorWindow::OnSplit);
    fixture::JnxRecipe single = ThreeLevels(3);
    single.levels.resize(1);
    Load(Build("one.jnx", single));
    tick(0)->setChecked(true);
    refuses(&EditorWindow::OnSplit);  // one level only
    const std::string path = Build("three.jnx", ThreeLevels(3));
    const fixture::Bytes before = fixture::ReadBytes(path);
    messages.answers.push_back(ui::MessageAnswer::Yes);  // the tick above is given up
    Load(path);
    refuses(&EditorWindow::OnSave);  // level 2 has zoom 255: its box is empty
    refuses(&EditorWindow::OnSplit);
    // What no save takes is not judged once edited; unedited, the map is judged as read.
    const auto* line = get<ui::DeviceCheckLine>(QStringLiteral("lblDeviceCheck"));
    EXPECT_TRUE(line->Judged());
    text("txtFamiliGroup")->setText(QStringLiteral("Edited"));
    EXPECT_FALSE(line->Judged());
    zoom(1)->setText(QStringLiteral("8"));
    EXPECT_TRUE(line->Judged());
    tick(1)->setChecked(false);
    refuses(&EditorWindow::OnSplit);                        // nothing ticked
    text("txtFamiliGroup")->setText(QStringLiteral("  "));  // blank boxes keep the stored values
    text("txtProductID")->clear();
    level(2)->setCurrentIndex(-1);
    refuses(&EditorWindow::OnSplit);
    EXPECT_FALSE(window->Document().FileName.empty());
    EXPECT_EQ(fixture::ReadBytes(path), before);
    EXPECT_EQ(dir.list().size(), 3u);  // ini, one.jnx, three.jnx

    text("txtFamiliGroup")->setText(QStringLiteral("New group"));
    text("txtProductID")->setText(QStringLiteral("12"));
    level(2)->setCurrentIndex(4);
    level(0)->setCurrentIndex(1);
    tick(0)->setChecked(true);
    messages.answers.push_back(ui::MessageAnswer::Yes);
    window->OnSave();
    EXPECT_EQ(messages.last()->buttons, ui::MessageButtons::YesNo);
    EXPECT_EQ(openedFolders, std::vector<QString>{QString::fromStdString(dir.path())});
    EXPECT_EQ(dir.list().size(), 3u);
    ExpectEmptyState();
    const jnx::JnxDocument doc = fixture::ReadFull(path);
    EXPECT_EQ(doc.Header.ProductId, 12);
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.GroupName, true), "New group");
    EXPECT_EQ(doc.Levels[0].Scale, 297);  // "200 m", prioritised
    EXPECT_EQ(doc.Levels[2].Scale, 19109);
    EXPECT_EQ(doc.LevelInfos[1].Zoom, 8);
}

// A key a text box keeps for itself (Ctrl+A selects its text on every platform, Ctrl+E
// moves to its end on some) reaches a command that carries it.
TEST(CommandKeys, ATextBoxLetsAWindowsCommandKeyThrough) {
    QWidget window;
    auto* box = new QLineEdit(QStringLiteral("text"), &window);
    auto* command = new QPushButton(&window);
    command->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    int clicked = 0;
    QObject::connect(command, &QPushButton::clicked, [&] { ++clicked; });
    ui::LetCommandKeysThrough(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicked == 1; }));
    EXPECT_FALSE(box->hasSelectedText());
}

// The documented keys run the commands, from a text box too; a load or a close that would
// lose edits asks first, with No as the answer Enter gives.
TEST_F(EditorTest, KeysRunTheCommandsAndNoSlipLosesEdits) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    int batchShown = 0;
    window->openBatch = [&] { ++batchShown; };
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const char* keys[] = {"cmdCargar", "CmdSalvar", "SplitJNX", "cmdBatch"};
    // A shortcut presses its button and releases it, clicking, a moment later.
    auto press = [&](Qt::Key key) {
        QTest::keyClick(window.get(), key, Qt::ControlModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return std::none_of(std::begin(keys), std::end(keys), [&](const char* k) { return button(k)->isDown(); });
        }));
    };
    const std::string four = Build("four.jnx", ThreeLevels(4)), three = Build("three.jnx", ThreeLevels(3));
    chosen = QString::fromStdString(four);
    press(Qt::Key_O);
    EXPECT_EQ(window->Document().FileName, four);
    press(Qt::Key_B);
    EXPECT_EQ(batchShown, 1);
    // From a text box too: the box does not keep a command's key (Ctrl+E, end of line).
    int exportAsked = 0;
    window->chooseExport = [&](const ui::ExportOffer&) { return ++exportAsked, std::optional<ui::ExportChoice>(); };
    text("txtProductID")->setFocus();
    QTest::keyClick(text("txtProductID"), Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return exportAsked == 1; }));
    // Level 2 is ticked as read; with no file browser to show the result, the user is told.
    fileBrowser = false;
    messages.answers.push_back(ui::MessageAnswer::Yes);
    press(Qt::Key_D);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].icon, ui::MessageIcon::Information);
    EXPECT_TRUE(platform::FileExists(dir.file("four_Level2.jnx")));
    // Emptied as at start: no old path, no draw order box.
    EXPECT_EQ(label("lblInfo"), QStringLiteral("Press Load JNX button."));
    EXPECT_TRUE(text("txtDrawOrder")->isHidden() && get<QLabel>(QStringLiteral("lblDrawOrder"))->isHidden());
    EXPECT_FALSE(button("CmdSalvar")->isEnabled());
    press(Qt::Key_O);
    messages.clear();
    press(Qt::Key_S);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last()->buttons, ui::MessageButtons::YesNo) << LastText();  // saved, folder offered

    press(Qt::Key_O);
    messages.clear();
    EXPECT_FALSE(window->HasUnsavedEdits());
    text("txtProductID")->setText(QStringLiteral("12"));
    chosen = QString::fromStdString(three);
    press(Qt::Key_O);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last()->preferred, ui::MessageAnswer::No);
    EXPECT_EQ(window->Document().FileName, four);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible() && messages.shown.size() == 2u);
    messages.answers.push_back(ui::MessageAnswer::Yes);
    EXPECT_TRUE(window->close());
}

// The profile picked in either window is the settings' own and moves the editor's ranges
// and map at once; the custom factor scales what the editor's fit shows and writes, and a
// batch save's fit; a level of unknown resolution keeps the row it had.
TEST_F(EditorTest, DeviceProfileOfEitherWindowMovesRangesMapAndFits) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    constexpr std::int32_t kDegree = 11930465;
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.bounds = {10 * kDegree, 10 * kDegree, 0, 0};
    for (std::size_t k = 0; k < 2; ++k) {  // 256-pixel tiles at 5 degrees north
        const auto half = std::int32_t((k == 0 ? 0.04 : 0.005) * kDegree);
        for (auto& tile : recipe.levels[k].tiles)
            tile = {
                tile.data, {5 * kDegree + half, 4 * kDegree + 2 * half, 5 * kDegree - half, 4 * kDegree}, {0, 1, 0, 1}};
    }
    recipe.levels[2].tiles = {{fixture::MakeTileData(3), {}, {}}};
    const std::string path = Build("fit.jnx", recipe);
    Load(path);
    const auto native = check::MeasureLevels(fixture::ReadFull(path));
    const check::LevelResolution& measured = native[0];
    auto* profiles = get<QComboBox>(QStringLiteral("cboDevice"));
    auto* factor = get<QDoubleSpinBox>(QStringLiteral("spnFactor"));
    button("cmdFitScales")->click();  // the lists show the fitted rows before any save
    EXPECT_EQ(Levels(), QStringLiteral("3 1 4 -~ -~"));
    const QString classicRange = label("lblShown_0");
    EXPECT_EQ(std::pair(profiles->currentText(), factor->isEnabled()), std::pair(QStringLiteral("classic"), false));
    profiles->setCurrentIndex(profiles->findText(QStringLiteral("custom")));
    factor->setValue(8);
    EXPECT_TRUE(factor->isEnabled());
    EXPECT_NE(label("lblShown_0"), classicRange);
    EXPECT_EQ(label("mapProfile"), QStringLiteral("as on units of factor 8"));
    EXPECT_EQ(ini->ReadSetting("Device", "Profile") + "/" + ini->ReadSetting("Device", "Factor"), "custom/8");
    // The device line judges an edited scale against the tiles' imagery, before any save.
    const auto farFromImagery = [&] {
        for (const check::Finding& f : get<ui::DeviceCheckLine>(QStringLiteral("lblDeviceCheck"))->Findings())
            if (f.code == check::FindingCode::ScaleFarFromImagery && f.level == 1) return true;
        return false;
    };
    level(0)->setCurrentIndex(0);  // the finest row: the unit would draw its tiles far too small
    EXPECT_TRUE(farFromImagery());
    button("cmdFitScales")->click();
    EXPECT_FALSE(farFromImagery());
    window->OnSave();
    const auto saved = fixture::ReadFull(path).Levels;  // level 3 as its list's row
    EXPECT_EQ((std::vector{saved[0].Scale, saved[1].Scale, saved[2].Scale}),
              (std::vector{measured.NativeScale(8), native[1].NativeScale(8), 19109}));

    // The batch window opens on the editor's pick; its own pick is the editor's once it closes.
    window->openBatch = [&] {
        batchui::BatchWindow batch(*ini, window->Tables(), messages);
        batch.show();
        batchui::BatchPanel& panel = batch.Panel();
        EXPECT_EQ(panel.deviceProfile->Profile().factor, 8);
        panel.deviceProfile->spnFactor->setValue(2);
        panel.chkFitScales->setChecked(true);
        ASSERT_TRUE(batch.OpenFolder(dir.path()));
        batch.OnLoad();
        batch.OnSelectAll();
        batch.OnSave();
    };
    window->OnBatch();
    EXPECT_EQ(fixture::ReadFull(path).Levels[0].Scale, measured.NativeScale(2));
    EXPECT_EQ(std::pair(factor->value(), label("mapProfile")),
              std::pair(2.0, QStringLiteral("as on units of factor 2")));
}

// Make device-ready: a draw order beyond the unit's range is mended in NAME_fit.jnx and the
// result box says where; that map is ready, so a run on it writes nothing; an earlier
// output is replaced only when the user agrees.
TEST_F(EditorTest, MakeDeviceReadyMendsTheMapOrSaysItIsReady) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.drawOrder = 150;
    Load(Build("far.jnx", recipe));
    button("cmdDeviceReady")->click();
    ASSERT_NE(messages.last(), nullptr);
    EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Information) << LastText();
    EXPECT_NE(LastText().find(dir.file("far_fit.jnx")), std::string::npos) << LastText();
    EXPECT_EQ(fixture::ReadFull(dir.file("far_fit.jnx")).Header.DrawOrder, 100);

    Load(dir.file("far_fit.jnx"));
    const auto written = fixture::TakeSnapshot(dir.path());
    messages.clear();
    button("cmdDeviceReady")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Information);

    Load(dir.file("far.jnx"));
    messages.clear();
    messages.answers = {ui::MessageAnswer::No};
    button("cmdDeviceReady")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, ui::MessageIcon::Question);
    EXPECT_TRUE(fixture::TakeSnapshot(dir.path()) == written);
}

}  // namespace
