// Drives the real editor window offscreen: start-up, loading, the edit reactions, save,
// split and the refusals, with the written files read back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <fstream>
#include <memory>

#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/fs.h"
#include "support/jnx_builder.h"
#include "ui/app/program.h"
#include "ui/editor/editor_window.h"
#include "ui/common/message_presenter.h"
#include "ui/editor/preview.h"

// Readable failure output for Qt texts.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;

const char* kIniTables =
    "[ZoomLevels]\n"
    "Level1=60/75/50 m\n"
    "Level2=237/298/200 m\n"
    "Level3=966/1194/800 m\n"
    "Level4=3864/4777/3 km\n"
    "Level5=15456/19109/12 km\n"
    "[Groups]\n"
    "Group1=5/Alpha Group\n"
    "GroupZooms1=3,-2,-1,0,0\n"
    "Group2=9/Beta Group\n";

// A real JPEG as a tile body: the file stores it without its FF D8 start marker.
fixture::Bytes JpegTileBody(QColor color) {
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return fixture::Bytes(data.begin() + 2, data.end());
}

fixture::JnxRecipe ThreeLevels(int version) {
    fixture::JnxRecipe recipe;
    recipe.version = version;
    recipe.productId = 7;
    recipe.drawOrder = 30;
    recipe.groupName = "Grupo ñandú";
    const std::int32_t scales[] = {4777, 4776, 30000};
    const std::int32_t zooms[] = {3, 255, 12};
    for (int i = 0; i < 3; ++i) {
        fixture::LevelRecipe level;
        level.scale = scales[i];
        level.zoom = zooms[i];
        for (int t = 0; t < i + 1; ++t) level.tiles.push_back({JpegTileBody(QColor(40 * i, 100, 200)), {}, {}});
        recipe.levels.push_back(level);
    }
    return recipe;
}

void MoveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class EditorTest : public ::testing::Test {
protected:
    fixture::TempDir dir;
    ui::RecordingMessagePresenter messages;
    std::unique_ptr<settings::Settings> ini;
    std::unique_ptr<ui::EditorWindow> window;
    QString chosen;
    QString startFolderSeen;
    std::vector<QString> openedFolders;

    void WriteIni(const std::string& preferences, const std::string& extra = "") {
        std::ofstream out(dir.file("Tessaly.ini"));
        out << "[Preferences]\n" << preferences << extra << kIniTables;
    }

    bool StartWith(const std::string& preferences, const std::string& extra = "") {
        WriteIni(preferences, extra);
        ini = std::make_unique<settings::Settings>(dir.file("Tessaly.ini"));
        window = std::make_unique<ui::EditorWindow>(*ini, messages);
        window->chooseFile = [this](const QString& start, const QString&) {
            startFolderSeen = start;
            return chosen;
        };
        window->openFolder = [this](const QString& folder) { openedFolders.push_back(folder); };
        return window->Start();
    }

    std::string Build(const std::string& name, const fixture::JnxRecipe& recipe) {
        const std::string path = dir.file(name);
        fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
        return path;
    }

    void Load(const std::string& path) {
        chosen = QString::fromStdString(path);
        window->OnLoad();
    }

    template <typename T>
    T* get(const QString& name) const {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QComboBox* level(int k) const { return get<QComboBox>(QStringLiteral("cboNivel_%1").arg(k)); }
    QCheckBox* tick(int k) const { return get<QCheckBox>(QStringLiteral("chkSplitOPriority_%1").arg(k)); }
    QLineEdit* zoom(int k) const { return get<QLineEdit>(QStringLiteral("txtNivel_%1").arg(k)); }
    QLineEdit* text(const char* name) const { return get<QLineEdit>(QString::fromLatin1(name)); }
    QString label(const char* name) const { return get<QLabel>(QString::fromLatin1(name))->text(); }
    QComboBox* versions() const { return get<QComboBox>(QStringLiteral("cboActualizar")); }

    void PickVersion(int version) { versions()->setCurrentIndex(versions()->findData(version)); }

    QString LastText() const { return messages.last() ? messages.last()->text : QString(); }

    void ExpectWarning(const QString& text) {
        ASSERT_NE(messages.last(), nullptr);
        EXPECT_EQ(messages.last()->text, text);
        EXPECT_EQ(messages.last()->title, QStringLiteral("Warning"));
        EXPECT_EQ(messages.last()->icon, MessageIcon::Information);
        EXPECT_EQ(messages.last()->buttons, MessageButtons::Ok);
    }

    void ExpectEmptyState() {
        for (int k = 0; k < 5; ++k) {
            EXPECT_FALSE(level(k)->isEnabled());
            EXPECT_EQ(level(k)->currentIndex(), -1);
            EXPECT_FALSE(tick(k)->isChecked());
        }
        EXPECT_FALSE(get<QPushButton>(QStringLiteral("CmdSalvar"))->isEnabled());
        EXPECT_FALSE(get<QPushButton>(QStringLiteral("SplitJNX"))->isEnabled());
        EXPECT_TRUE(get<QPushButton>(QStringLiteral("cmdCargar"))->isEnabled());
        EXPECT_TRUE(text("txtProductID")->text().isEmpty());
        EXPECT_TRUE(window->Document().FileName.empty());
    }

    jnx::JnxDocument ReadBack(const std::string& path) {
        jnx::JnxDocument doc;
        std::int32_t total = 0;
        std::string error;
        EXPECT_TRUE(jnx::ReadJnx(doc, path, total, error, true)) << path << ": " << error;
        return doc;
    }
};

// --- start-up -------------------------------------------------------------------------

TEST_F(EditorTest, StartsInEnglishInTheEmptyState) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("cmdCargar"))->text(), QStringLiteral("Load JNX"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("CmdSalvar"))->text(), QStringLiteral("Save JNX"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("SplitJNX"))->text(), QStringLiteral("Split JNX"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("cmdBatch"))->text(), QStringLiteral("Batch"));
    EXPECT_EQ(label("lblInfo"), QStringLiteral("Press Load JNX button."));
    EXPECT_EQ(label("lblNivel_2"), QStringLiteral("Level   3"));
    EXPECT_EQ(get<QGroupBox>(QStringLiteral("FNiveles"))->title(), QStringLiteral("Levels"));
    EXPECT_EQ(tick(0)->toolTip(), QStringLiteral("Split this level / Priorize level"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessaly v.0.1.0"));
    ASSERT_EQ(level(4)->count(), 5);
    EXPECT_EQ(level(4)->itemText(3), QStringLiteral("3 km"));
    EXPECT_EQ(level(4)->itemData(3).toInt(), 4777);
    ASSERT_EQ(versions()->count(), 2);
    EXPECT_EQ(versions()->itemText(1), QStringLiteral("JNX v4"));
    EXPECT_EQ(get<QComboBox>(QStringLiteral("cboFamily"))->count(), 2);
    // Free-text group, no zoom numbers outside group-preset mode.
    EXPECT_TRUE(get<QComboBox>(QStringLiteral("cboFamily"))->isHidden());
    EXPECT_FALSE(text("txtFamiliGroup")->isHidden());
    EXPECT_TRUE(zoom(0)->isHidden());
    ExpectEmptyState();
}

TEST_F(EditorTest, StartsInSpanish) {
    ASSERT_TRUE(StartWith("Lang=ESP\n"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("cmdCargar"))->text(), QStringLiteral("Cargar JNX"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("SplitJNX"))->text(), QStringLiteral("Dividir JNX"));
    EXPECT_EQ(label("lblInfo"), QStringLiteral("Pulse Cargar JNX para cargar un fichero."));
    EXPECT_EQ(label("lblNivel_0"), QStringLiteral("Nivel   1"));
    EXPECT_EQ(label("lblPreviewLabel2"), QStringLiteral("mueva el ratón sobre la etiqueta de nivel"));
    EXPECT_EQ(label("lblActualizar"), QStringLiteral("Actualizar a ..."));
    EXPECT_EQ(tick(4)->toolTip(), QStringLiteral("Separar este nivel / Priorizar"));
}

TEST_F(EditorTest, LowerCaseEspIsEnglish) {
    ASSERT_TRUE(StartWith("Lang=esp\n"));
    EXPECT_EQ(get<QPushButton>(QStringLiteral("cmdCargar"))->text(), QStringLiteral("Load JNX"));
}

TEST_F(EditorTest, MissingLanguageEndsTheStartUp) {
    EXPECT_FALSE(StartWith("UserLevel=1\n"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Error reading Preferences/Language in Tessaly.ini."));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_TRUE(messages.shown[0].title.isEmpty());
}

TEST_F(EditorTest, MalformedTableEndsTheStartUpInEitherLanguage) {
    EXPECT_FALSE(StartWith("Lang=ESP\n", "[ZoomLevels]\nLevel1=1/2/3/4\n"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Error en el fichero de configuración."));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);

    messages.clear();
    EXPECT_FALSE(StartWith("Lang=ENG\n", "[Groups]\nGroup1=no slash here\n"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Error in config file."));
}

// --- loading --------------------------------------------------------------------------

TEST_F(EditorTest, LoadingAVersion3FileShowsEachLevel) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    Load(path);
    ASSERT_TRUE(messages.shown.empty()) << LastText().toStdString();
    EXPECT_EQ(startFolderSeen, QString::fromStdString(platform::ProgramFolder()));
    EXPECT_EQ(ini->ReadSetting("Preferences", "BatchDefaultDir"), dir.path());

    EXPECT_EQ(label("lblInfo"), QString::fromStdString(path));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("three.jnx - Tessaly v.0.1.0"));
    // 4777: row "3 km"; 4776: the same row, prioritised; beyond the table: the last row.
    EXPECT_EQ(level(0)->currentIndex(), 3);
    EXPECT_FALSE(tick(0)->isChecked());
    EXPECT_EQ(level(1)->currentIndex(), 3);
    EXPECT_TRUE(tick(1)->isChecked());
    EXPECT_EQ(level(2)->currentIndex(), 4);
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(level(k)->isEnabled());
    for (int k = 3; k < 5; ++k) {
        EXPECT_FALSE(level(k)->isEnabled());
        EXPECT_EQ(level(k)->currentIndex(), -1);
        EXPECT_FALSE(tick(k)->isEnabled());
    }
    EXPECT_EQ(zoom(0)->text(), QStringLiteral("3"));
    EXPECT_EQ(zoom(1)->text(), QString());  // 255: no zoom number
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("7"));
    EXPECT_EQ(text("txtFamiliGroup")->text(), QStringLiteral("Grupo ñandú"));
    EXPECT_EQ(label("lblTotalTeselas"), QStringLiteral("Total 6 TL. - JNX v.3"));
    EXPECT_EQ(versions()->currentData().toInt(), 3);
    EXPECT_EQ(text("txtDrawOrder")->text(), QStringLiteral("25"));
    EXPECT_TRUE(text("txtDrawOrder")->isHidden());
    EXPECT_TRUE(get<QLabel>(QStringLiteral("lblDrawOrder"))->isHidden());
}

TEST_F(EditorTest, LoadingAVersion4FileShowsItsDrawOrder) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.levels[0].scale = 70;  // below the table's first row: the first row, prioritised
    Load(Build("four.jnx", recipe));
    ASSERT_TRUE(messages.shown.empty()) << LastText().toStdString();
    EXPECT_EQ(level(0)->currentIndex(), 0);
    EXPECT_TRUE(tick(0)->isChecked());
    EXPECT_EQ(versions()->currentData().toInt(), 4);
    EXPECT_EQ(text("txtDrawOrder")->text(), QStringLiteral("30"));
    EXPECT_FALSE(text("txtDrawOrder")->isHidden());
    EXPECT_TRUE(text("txtDrawOrder")->isEnabled());
    EXPECT_EQ(label("lblTotalTeselas"), QStringLiteral("Total 6 TL. - JNX v.4"));

    PickVersion(3);
    EXPECT_TRUE(text("txtDrawOrder")->isHidden());
    EXPECT_TRUE(get<QLabel>(QStringLiteral("lblDrawOrder"))->isHidden());
    PickVersion(4);
    EXPECT_FALSE(text("txtDrawOrder")->isHidden());
    EXPECT_TRUE(text("txtDrawOrder")->isEnabled());
}

TEST_F(EditorTest, AFileThatDoesNotReadIsReportedAndLeavesTheWindowEmpty) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    Load(Build("three.jnx", ThreeLevels(3)));
    const std::string bad = dir.file("bad.jnx");
    fixture::WriteBytes(bad, fixture::Bytes(100, 0x42));
    Load(bad);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Error"));
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral(
        "JNX file version not supported, rebuild the JNX with newer versions of applications.\n")));
    ExpectEmptyState();
    EXPECT_EQ(label("lblInfo"), QStringLiteral("Press Load JNX button."));
}

TEST_F(EditorTest, AFileWithMoreThanFiveLevelsShowsTheFirstFive) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 7, 1);
    Load(Build("seven.jnx", recipe));
    ASSERT_TRUE(messages.shown.empty()) << LastText().toStdString();
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(level(k)->isEnabled());
    EXPECT_EQ(label("lblTotalTeselas"), QStringLiteral("Total 7 TL. - JNX v.4"));
    MoveOver(get<QLabel>(QStringLiteral("lblNivel_4")));
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("1 TL. - Zoom:5 - JNXScale: 298"));
}

TEST_F(EditorTest, DroppingAJnxFileLoadsIt) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(dir.file("Tessaly.ini").c_str())});
    EXPECT_FALSE(window->LoadDropped(&other));
    EXPECT_TRUE(window->Document().FileName.empty());

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    EXPECT_TRUE(window->LoadDropped(&mime));
    EXPECT_EQ(window->Document().FileName, path);
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("7"));
}

TEST_F(EditorTest, CancellingTheDialogResetsALoadedWindow) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    Load(Build("three.jnx", ThreeLevels(3)));
    Load("");
    ExpectEmptyState();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessaly v.0.1.0"));
}

TEST_F(EditorTest, NoCommandStartsWhileALoadRuns) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    bool loadEnabledMeanwhile = true;
    // Runs from the pending events the reader lets through.
    QMetaObject::invokeMethod(
        window.get(),
        [&] {
            loadEnabledMeanwhile = get<QPushButton>(QStringLiteral("cmdCargar"))->isEnabled();
            window->OnSave();
            window->OnSplit();
            EXPECT_FALSE(window->LoadFile(QString::fromStdString(path)));
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(window->LoadFile(QString::fromStdString(path)));
    EXPECT_FALSE(loadEnabledMeanwhile);
    EXPECT_TRUE(messages.shown.empty()) << LastText().toStdString();
    EXPECT_TRUE(get<QPushButton>(QStringLiteral("CmdSalvar"))->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EditorTest, TheBatchButtonShowsTheLinkedBatchWindowModally) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    get<QPushButton>(QStringLiteral("cmdBatch"))->click();  // not linked: nothing to show
    ui::LinkBatchWindow(*window, *ini, messages);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    get<QPushButton>(QStringLiteral("cmdBatch"))->click();
    EXPECT_EQ(shown, QStringLiteral("batchui::BatchWindow"));
    EXPECT_TRUE(messages.shown.empty());
}

// --- editing --------------------------------------------------------------------------

TEST_F(EditorTest, NumberBoxesTakeDigitsOnlyUpToTheirLength) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    Load(Build("four.jnx", ThreeLevels(4)));
    QLineEdit* product = text("txtProductID");
    product->clear();
    QTest::keyClicks(product, "a1x");
    EXPECT_EQ(product->text(), QStringLiteral("1"));
    QTest::keyClicks(product, "23");
    EXPECT_EQ(product->text(), QStringLiteral("12"));  // a third digit is refused
    QTest::keyClick(product, Qt::Key_Backspace);
    EXPECT_EQ(product->text(), QStringLiteral("1"));

    // Pasted text keeps its digits, up to the box's length.
    product->clear();
    QApplication::clipboard()->setText(QStringLiteral("x4-5y6"));
    product->paste();
    EXPECT_EQ(product->text(), QStringLiteral("45"));

    QLineEdit* drawOrder = text("txtDrawOrder");
    drawOrder->clear();
    QApplication::clipboard()->setText(QStringLiteral("order 1 2 3 4"));
    drawOrder->paste();
    EXPECT_EQ(drawOrder->text(), QStringLiteral("123"));
    QTest::keyClicks(zoom(0), "q95");  // the loaded "3", then one more digit fits
    EXPECT_EQ(zoom(0)->text(), QStringLiteral("39"));
}

TEST_F(EditorTest, GroupPresetModePicksGroupsAndTheirZooms) {
    ASSERT_TRUE(StartWith("Lang=ENG\nUserLevel=2\n"));
    QComboBox* family = get<QComboBox>(QStringLiteral("cboFamily"));
    EXPECT_FALSE(family->isHidden());
    EXPECT_TRUE(text("txtFamiliGroup")->isHidden());
    EXPECT_FALSE(zoom(0)->isHidden());

    Load(Build("three.jnx", ThreeLevels(3)));
    EXPECT_EQ(family->currentText(), QStringLiteral("Grupo ñandú"));
    level(1)->setCurrentIndex(1);
    // Alpha Group: zooms 3, -2, -1, 0, 0 -> row 2, keep, none; rows 4 and 5 stay empty.
    family->setCurrentIndex(0);
    emit family->activated(0);
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("5"));
    EXPECT_EQ(text("txtFamiliGroup")->text(), QStringLiteral("Alpha Group"));
    EXPECT_EQ(level(0)->currentIndex(), 2);
    EXPECT_EQ(level(1)->currentIndex(), 1);
    EXPECT_EQ(level(2)->currentIndex(), -1);
    EXPECT_EQ(level(3)->currentIndex(), -1);
    EXPECT_TRUE(tick(1)->isChecked());  // priorities are not touched

    // A group without presets keeps every choice.
    level(2)->setCurrentIndex(4);
    family->setCurrentIndex(1);
    emit family->activated(1);
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("9"));
    EXPECT_EQ(level(0)->currentIndex(), 2);
    EXPECT_EQ(level(2)->currentIndex(), 4);

    // A typed name goes to the group box; the product ID stays.
    family->setEditText(QStringLiteral("Typed name"));
    EXPECT_EQ(text("txtFamiliGroup")->text(), QStringLiteral("Typed name"));
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("9"));
}

TEST_F(EditorTest, OutsidePresetModeAGroupPickLeavesTheZooms) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    Load(Build("three.jnx", ThreeLevels(3)));
    QComboBox* family = get<QComboBox>(QStringLiteral("cboFamily"));
    emit family->activated(0);
    EXPECT_EQ(text("txtProductID")->text(), QStringLiteral("5"));
    EXPECT_EQ(level(0)->currentIndex(), 3);
    EXPECT_EQ(level(2)->currentIndex(), 4);
}

// --- preview --------------------------------------------------------------------------

TEST_F(EditorTest, HoveringALevelLabelShowsItsPreview) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.levels[2].tiles[0].data = fixture::Bytes(40, 0x11);  // not a JPEG
    Load(Build("four.jnx", recipe));
    QLabel* picture = get<QLabel>(QStringLiteral("picPreview"));

    MoveOver(get<QLabel>(QStringLiteral("lblNivel_1")));
    EXPECT_FALSE(picture->isHidden());
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_LE(picture->pixmap().width(), picture->width());
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("2 TL. - Zoom: - JNXScale: 4776"));

    MoveOver(get<QLabel>(QStringLiteral("lblNivel_0")));
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("1 TL. - Zoom:3 - JNXScale: 4777"));

    // Level 4 of a 3-level file: nothing happens.
    MoveOver(get<QLabel>(QStringLiteral("lblNivel_3")));
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("1 TL. - Zoom:3 - JNXScale: 4777"));

    // An undecodable preview shows no picture, only the facts.
    MoveOver(get<QLabel>(QStringLiteral("lblNivel_2")));
    EXPECT_TRUE(picture->pixmap().isNull());
    EXPECT_EQ(label("lblInfoLevel"), QStringLiteral("3 TL. - Zoom:12 - JNXScale: 30000"));

    MoveOver(get<QGroupBox>(QStringLiteral("FNiveles")));
    EXPECT_TRUE(picture->isHidden());
    EXPECT_TRUE(label("lblInfoLevel").isEmpty());
}

TEST(PreviewText, GroupsThousands) {
    EXPECT_EQ(ui::LevelInfoText(1234, 3, 2000), QStringLiteral("1,234 TL. - Zoom:3 - JNXScale: 2000"));
    EXPECT_EQ(ui::GroupedNumber(1000000), QStringLiteral("1,000,000"));
    EXPECT_EQ(ui::GroupedNumber(0), QStringLiteral("0"));
    EXPECT_TRUE(ui::PictureFromJpegBytes({}).isNull());
    EXPECT_TRUE(ui::PictureFromJpegBytes({0xFF, 0xD8, 0x00}).isNull());
}

// --- save -----------------------------------------------------------------------------

TEST_F(EditorTest, SaveInPlaceWritesTheEditsIntoTheFile) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    Load(path);
    ASSERT_FALSE(window->Document().NeedsRegeneration);
    text("txtProductID")->setText(QStringLiteral("12"));
    text("txtFamiliGroup")->setText(QStringLiteral("New group"));
    level(0)->setCurrentIndex(1);
    tick(0)->setChecked(true);
    tick(1)->setChecked(false);
    messages.answers.push_back(MessageAnswer::Yes);
    window->OnSave();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Information"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("JNX updated Sucesfuly.\nPress YES to go generation folder, NO otherwise."));
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNo);
    ASSERT_EQ(openedFolders.size(), 1u);
    EXPECT_EQ(openedFolders[0], QString::fromStdString(dir.path()));
    EXPECT_FALSE(platform::FileExists(dir.file("three_new.jnx")));
    ExpectEmptyState();

    const jnx::JnxDocument doc = ReadBack(path);
    EXPECT_EQ(doc.Header.Version, 3);
    EXPECT_EQ(doc.Header.ProductId, 12);
    EXPECT_EQ(jnx::DecodeText(doc.MapInfo.GroupName, true), "New group");
    EXPECT_EQ(doc.Levels[0].Scale, 297);  // "200 m", prioritised
    EXPECT_EQ(doc.Levels[1].Scale, 4777);
    EXPECT_EQ(doc.Levels[2].Scale, 19109);
}

TEST_F(EditorTest, RaisingTheVersionWritesANewFileBesideTheSource) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    fixture::WriteBytes(dir.file("three_new.jnx"), fixture::Bytes(10, 1));  // replaced without a question
    Load(path);
    PickVersion(4);
    EXPECT_EQ(text("txtDrawOrder")->text(), QStringLiteral("25"));
    window->OnSave();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("New JNX generated Sucesfuly.\nPress YES to go generation folder, NO otherwise."));
    EXPECT_TRUE(openedFolders.empty());  // answered No
    const jnx::JnxDocument out = ReadBack(dir.file("three_new.jnx"));
    EXPECT_EQ(out.Header.Version, 4);
    EXPECT_EQ(out.Header.DrawOrder, 25);
    EXPECT_EQ(out.Header.LevelCount, 3);
    EXPECT_EQ(ReadBack(path).Header.Version, 3);
}

TEST_F(EditorTest, LoweringTheVersionOrAnOddLayoutRegenerates) {
    ASSERT_TRUE(StartWith("Lang=ESP\n"));
    const std::string path = Build("four.jnx", ThreeLevels(4));
    Load(path);
    PickVersion(3);
    window->OnSave();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Informacion"));
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Nuevo JNX generado correctamente.\n")));
    EXPECT_EQ(ReadBack(dir.file("four_new.jnx")).Header.Version, 3);

    // Same version, but the map block is not followed by exactly 1024 bytes.
    fixture::JnxRecipe recipe = ThreeLevels(4);
    recipe.gap = 100;
    const std::string odd = Build("odd.jnx", recipe);
    Load(odd);
    ASSERT_TRUE(window->Document().NeedsRegeneration);
    text("txtDrawOrder")->setText(QStringLiteral("7"));
    window->OnSave();
    const jnx::JnxDocument out = ReadBack(dir.file("odd_new.jnx"));
    EXPECT_EQ(out.Header.Version, 4);
    EXPECT_EQ(out.Header.DrawOrder, 7);
}

TEST_F(EditorTest, AFailedWriteIsReportedInEitherLanguage) {
    ASSERT_TRUE(StartWith("Lang=ESP\n"));
    const std::string path = dir.file("three.jnx");
    const fixture::BuiltJnx built = fixture::BuildJnx(ThreeLevels(3));
    fixture::WriteBytes(path, built.bytes);
    Load(path);
    // The file changes behind the window's back: the in-place update cannot verify it.
    fixture::Bytes bytes = built.bytes;
    bytes[static_cast<std::size_t>(built.tableOffsets[0])] ^= 0xFF;
    fixture::WriteBytes(path, bytes);
    window->OnSave();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Errores en la actualizacion del JNX.\n")));
    EXPECT_TRUE(messages.shown[0].title.isEmpty());
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    ExpectEmptyState();

    messages.clear();
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    const std::string four = Build("four.jnx", ThreeLevels(4));
    Load(four);
    PickVersion(3);
    bytes = fixture::ReadBytes(four);
    bytes.resize(bytes.size() / 2);
    fixture::WriteBytes(four, bytes);
    window->OnSave();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Errors in JNX generation.\n")));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(platform::FileExists(dir.file("four_new.jnx")));
}

// --- split ----------------------------------------------------------------------------

TEST_F(EditorTest, SplitWritesOneFilePerTickedLevel) {
    ASSERT_TRUE(StartWith("Lang=ENG\n", "[Split]\nLevelDir3=$current/sub\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    Load(path);
    tick(0)->setChecked(true);
    tick(1)->setChecked(false);
    tick(2)->setChecked(true);
    messages.answers.push_back(MessageAnswer::Yes);
    window->OnSplit();

    ASSERT_EQ(messages.shown.size(), 1u) << LastText().toStdString();
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("New JNX generated Sucesfuly.")));
    const std::string sub = platform::JoinPath(dir.path(), "sub");
    ASSERT_EQ(openedFolders.size(), 1u);
    EXPECT_EQ(openedFolders[0], QString::fromStdString(sub));
    EXPECT_FALSE(platform::FileExists(dir.file("three_Level2.jnx")));
    const jnx::JnxDocument first = ReadBack(dir.file("three_Level1.jnx"));
    EXPECT_EQ(first.Header.LevelCount, 1);
    EXPECT_EQ(first.Levels[0].TileCount, 1);
    const jnx::JnxDocument third = ReadBack(platform::JoinPath(sub, "three_Level3.jnx"));
    EXPECT_EQ(third.Header.LevelCount, 1);
    EXPECT_EQ(third.Levels[0].TileCount, 3);
    ExpectEmptyState();
}

// --- refusals -------------------------------------------------------------------------

TEST_F(EditorTest, CommandsRefuseWhatTheyCannotDo) {
    ASSERT_TRUE(StartWith("Lang=ENG\n"));
    window->OnSave();
    ExpectWarning(QStringLiteral("Need to load a JNX file."));
    window->OnSplit();
    ExpectWarning(QStringLiteral("Need to load a JNX file."));

    Load(Build("three.jnx", ThreeLevels(3)));
    tick(1)->setChecked(false);
    window->OnSplit();
    ExpectWarning(QStringLiteral("Nothing to split, you need to check levels to split."));

    text("txtFamiliGroup")->setText(QStringLiteral("  "));
    text("txtProductID")->clear();
    window->OnSplit();
    ExpectWarning(QStringLiteral("Product description empty."));  // before the product ID
    text("txtFamiliGroup")->setText(QStringLiteral("G"));
    window->OnSplit();
    ExpectWarning(QStringLiteral("Product ID empty."));
    text("txtProductID")->setText(QStringLiteral("1"));
    level(2)->setCurrentIndex(-1);
    window->OnSplit();
    ExpectWarning(QStringLiteral("All levels need a zoom number."));

    fixture::JnxRecipe single = ThreeLevels(3);
    single.levels.resize(1);
    Load(Build("one.jnx", single));
    tick(0)->setChecked(true);
    window->OnSplit();
    ExpectWarning(QStringLiteral("The file has only one level, no need to split it."));
    EXPECT_EQ(dir.list().size(), 3u);  // ini, three.jnx, one.jnx: nothing written
    EXPECT_FALSE(window->Document().FileName.empty());  // a refusal keeps the file loaded
}

TEST_F(EditorTest, PresetModeRequiresAZoomNumberPerLevel) {
    ASSERT_TRUE(StartWith("Lang=ESP\nUserLevel=2\n"));
    const std::string path = Build("three.jnx", ThreeLevels(3));
    const fixture::Bytes before = fixture::ReadBytes(path);
    Load(path);
    // Level 2 has zoom 255, so its box is empty.
    window->OnSave();
    ASSERT_NE(messages.last(), nullptr);
    EXPECT_EQ(messages.last()->text, QStringLiteral("Todos los niveles deben tener nombre de zoom."));
    EXPECT_EQ(messages.last()->title, QStringLiteral("Aviso"));
    tick(0)->setChecked(true);
    window->OnSplit();
    EXPECT_EQ(messages.last()->text, QStringLiteral("Todos los niveles deben tener zoom definido."));
    EXPECT_EQ(fixture::ReadBytes(path), before);
    EXPECT_EQ(dir.list().size(), 2u);

    // With every zoom number given, the editor stores them.
    zoom(1)->setText(QStringLiteral("8"));
    messages.clear();
    window->OnSave();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("JNX actualizado correctamente."));
    const jnx::JnxDocument doc = ReadBack(path);
    EXPECT_EQ(doc.LevelInfos[0].Zoom, 3);
    EXPECT_EQ(doc.LevelInfos[1].Zoom, 8);
}

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
