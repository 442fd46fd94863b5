// The editor's import and export driven offscreen through their dialog hooks: what an
// import writes is what the window then shows, an export reads back as the map, and a
// cancel leaves the folder as it was.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>

#include "convert/import_jnx.h"
#include "jnx/device_limits.h"
#include "platform/fs.h"
#include "support/jnx_builder.h"
#include "support/web_tiles_builder.h"
#include "ui_support/editor_fixture.h"
#include "ui/common/language.h"
#include "ui/editor/convert_dialogs.h"
#include "ui/editor/editor_window.h"

namespace {

using fixture::MbtilesRow;
using ui::EditorWindow;

const char* kIniTables =
    "[ZoomLevels]\nLevel1=60/75/50 m\nLevel2=237/298/200 m\nLevel3=966/1194/800 m\nLevel4=3864/4777/3 km\n"
    "Level5=15456/19109/12 km\n[Groups]\nGroup1=5/Alpha Group\n";

std::vector<std::uint8_t> RealJpeg(Qt::GlobalColor color) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(color);
    return fixture::JpegOf(image);
}

// One tile of zoom 3 and the four of zoom 4 under it; rows counted from the south.
std::vector<MbtilesRow> FiveTiles() {
    return {{3, 4, 4, RealJpeg(Qt::green)},
            {4, 8, 8, RealJpeg(Qt::red)},
            {4, 8, 9, RealJpeg(Qt::blue)},
            {4, 9, 8, RealJpeg(Qt::yellow)},
            {4, 9, 9, RealJpeg(Qt::gray)}};
}

std::vector<MbtilesRow> ManyTiles(int count, int zoom) {
    std::vector<MbtilesRow> rows;
    for (int i = 0; i < count; ++i) rows.push_back({zoom, i % 256, i / 256, fixture::MakeJpeg(i, 256, 256, 0)});
    return rows;
}

class ConvertWindowTest : public fixture::EditorWindowTest {
protected:
    std::optional<ui::ImportChoice> importChoice;
    std::optional<ui::ExportChoice> exportChoice;
    ui::ExportOffer offered;

    void SetUp() override {
        MakeEditor(std::string("[Preferences]\nLang=ENG\n") + kIniTables);
        window->chooseImport = [this](const QString&) { return importChoice; };
        window->chooseExport = [this](const ui::ExportOffer& offer) {
            offered = offer;
            return exportChoice;
        };
        ASSERT_TRUE(window->Start());
    }
    static QString Q(const std::string& path) { return QString::fromStdString(path); }
    std::string LastText() const { return messages.last() ? messages.last()->text.toStdString() : ""; }
    bool Says(const std::string& part) const { return LastText().find(part) != std::string::npos; }
    std::string Imported(const std::string& source, const std::string& name) {
        convert::ImportResult result;
        platform::Error error;
        EXPECT_TRUE(convert::ImportTiles(source, dir.file(name), {}, result, error)) << platform::ErrorText(error);
        return dir.file(name);
    }
    // Runs the command and presses Cancel as soon as its progress dialog is there.
    void Cancelling(void (EditorWindow::*command)()) {
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("workProgress"))) {
                progress->findChild<QPushButton*>()->click();
                timer.stop();
            }
        });
        timer.start();
        (window.get()->*command)();
        timer.stop();
    }
};

// A map and a source too large for one map: each import is loaded, its first volume
// where it was cut, after a replaced map was confirmed.
TEST_F(ConvertWindowTest, ImportLoadsWhatItWrote) {
    fixture::WriteMbtiles(dir.file("in.mbtiles"), FiveTiles(), {{"name", "Peaks"}});
    fixture::WriteMbtiles(dir.file("many.mbtiles"), ManyTiles(jnx::device::kMaxTilesPerLevel + 1, 8));
    fixture::WriteBytes(dir.file("in.jnx"), {'o', 'l', 'd'});
    std::filesystem::create_directory(dir.file("tiles.v2"));  // a folder's name is its stem
    EXPECT_EQ(ui::DefaultImportOutput(Q(dir.file("tiles.v2/"))), Q(dir.file("tiles.v2.jnx")));
    struct Case {
        std::string source, output, loaded, said;
        int version, levels;
    };
    const Case cases[] = {
        {"in.mbtiles", "in.jnx", "in.jnx", "Map written: " + dir.file("in.jnx") + "\n5 tiles, zooms 3, 4.", 3, 2},
        {"many.mbtiles", "many.jnx", "many_Part01.jnx", "as 2 volumes in " + dir.path(), 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const QString source = Q(dir.file(c.source));
        EXPECT_EQ(ui::DefaultImportOutput(source), Q(dir.file(c.output)));
        importChoice = ui::ImportChoice{source, ui::DefaultImportOutput(source), c.version};
        messages.clear();
        if (c.loaded == "in.jnx") {  // the old file stays when the user keeps it
            messages.answers.push_back(ui::MessageAnswer::No);
            window->OnImport();
            EXPECT_EQ(fixture::ReadBytes(dir.file("in.jnx")), (fixture::Bytes{'o', 'l', 'd'}));
            EXPECT_EQ(messages.shown.size(), 1u);
            messages.answers.push_back(ui::MessageAnswer::Yes);
        }
        window->OnImport();
        ASSERT_NE(messages.last(), nullptr);
        EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Information);
        EXPECT_TRUE(Says(c.said)) << LastText();
        const jnx::JnxDocument& shown = window->Document();
        EXPECT_EQ(shown.FileName, dir.file(c.loaded));
        EXPECT_EQ(shown.Header.Version, c.version);
        EXPECT_EQ(shown.Header.LevelCount, c.levels);
        EXPECT_TRUE(window->findChild<QPushButton*>(QStringLiteral("cmdExport"))->isEnabled());
    }
    // Volumes already there are the user's too: a second import asks once, naming every one.
    const fixture::Bytes firstVolume = fixture::ReadBytes(dir.file("many_Part01.jnx"));
    messages.clear();
    messages.answers.push_back(ui::MessageAnswer::No);
    window->OnImport();
    ASSERT_EQ(messages.shown.size(), 1u);
    const auto& listed = messages.last()->results;
    ASSERT_EQ(listed.size(), 3u) << LastText();  // the map named, then its volumes
    EXPECT_TRUE(listed[1].first.endsWith("many_Part01.jnx") && listed[2].first.endsWith("many_Part02.jnx"));
    EXPECT_EQ(fixture::ReadBytes(dir.file("many_Part01.jnx")), firstVolume);
}

// The levels picked reach the export; a map off the web-map grid is refused as MBTiles
// with the reason, and nothing is written.
TEST_F(ConvertWindowTest, ExportReadsBackAsTheMap) {
    fixture::WriteMbtiles(dir.file("in.mbtiles"), FiveTiles());
    ASSERT_TRUE(window->LoadFile(Q(Imported(dir.file("in.mbtiles"), "map.jnx"))));
    const QString map = Q(dir.file("map.jnx"));

    exportChoice = ui::ExportChoice{ui::ExportFormat::Kmz, ui::DefaultExportOutput(map, ui::ExportFormat::Kmz), {1, 2}};
    window->OnExport();
    EXPECT_EQ(offered.mapPath, map);
    EXPECT_EQ(offered.levels.size(), 2);
    EXPECT_TRUE(Says("Exported 5 tiles, zooms 3, 4, to " + dir.file("map.kmz"))) << LastText();

    exportChoice = ui::ExportChoice{ui::ExportFormat::Mbtiles, Q(dir.file("fine.mbtiles")), {2}};
    window->OnExport();
    std::vector<MbtilesRow> fine = FiveTiles();
    fine.erase(fine.begin());
    EXPECT_EQ(fixture::ReadMbtiles(dir.file("fine.mbtiles")), fine);

    fixture::WriteBytes(dir.file("plain.jnx"), fixture::BuildJnx(fixture::SimpleRecipe(4, 2, 3)).bytes);
    ASSERT_TRUE(window->LoadFile(Q(dir.file("plain.jnx"))));
    exportChoice->output = Q(dir.file("plain.mbtiles"));
    exportChoice->levels = {1, 2};
    messages.clear();
    window->OnExport();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.last()->icon, ui::MessageIcon::Critical);
    EXPECT_TRUE(Says(dir.file("plain.jnx")) && Says("KMZ keeps")) << LastText();
    EXPECT_FALSE(platform::FileExists(dir.file("plain.mbtiles")));
}

// Cancel stops an import and both exports with no file left, and the map shown stays.
TEST_F(ConvertWindowTest, CancelLeavesNoFile) {
    fixture::WriteMbtiles(dir.file("big.mbtiles"), ManyTiles(3000, 12));
    const std::string map = Imported(dir.file("big.mbtiles"), "big.jnx");
    ASSERT_TRUE(window->LoadFile(Q(map)));
    const std::vector<std::string> before = dir.list();
    importChoice = ui::ImportChoice{Q(dir.file("big.mbtiles")), Q(dir.file("again.jnx")), 4};
    for (const auto format : {std::optional<ui::ExportFormat>(), std::optional(ui::ExportFormat::Kmz),
                              std::optional(ui::ExportFormat::Mbtiles)}) {
        const int run = format ? int(*format) + 1 : 0;
        messages.clear();
        if (format) exportChoice = ui::ExportChoice{*format, Q(dir.file("out.any")), {1}};
        Cancelling(format ? &EditorWindow::OnExport : &EditorWindow::OnImport);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(Says("Cancelled")) << run << ": " << LastText();
        EXPECT_EQ(dir.list(), before);
        EXPECT_EQ(window->Document().FileName, map);
    }
}

// The import dialog reopens with a failed choice's fields; a source typed by hand proposes
// the map beside it and enables OK, while a name the user gave stays.
TEST(ImportDialog, KeepsAFailedChoiceAndProposesTheMapOfATypedSource) {
    const ui::ImportChoice earlier{QStringLiteral("/maps/old.mbtiles"), QStringLiteral("/maps/mine.jnx"), 3};
    QStringList seen;
    QTimer::singleShot(0, [&seen] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* source = dialog->findChild<QLineEdit*>(QStringLiteral("source"));
        auto* output = dialog->findChild<QLineEdit*>(QStringLiteral("output"));
        QTest::keyClicks(source, QStringLiteral("x"));
        seen << source->text() << output->text();
        output->clear(), source->clear();
        QTest::keyClicks(source, QStringLiteral("/tiles/area.kmz"));
        seen << output->text();
        const bool ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
        ok ? dialog->accept() : dialog->reject();
    });
    const std::optional<ui::ImportChoice> choice = ui::AskImport(nullptr, QStringLiteral("/"), earlier);
    EXPECT_EQ(seen, (QStringList{"/maps/old.mbtilesx", "/maps/mine.jnx", "/tiles/area.jnx"}));
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->version, 3);
}

// A raster's levels are previewed before the import, following the levels asked for, and a
// fill that names no colour holds OK back.
TEST(ImportDialog, PreviewsARastersLevelsAndTakesItsOptions) {
    fixture::TempDir dir;
    const QString png = QString::fromStdString(dir.file("area.png"));
    QImage picture(700, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(png));
    std::ofstream(dir.file("area.pgw")) << "1e-4\n0\n0\n-1e-4\n-3.5\n40\n";
    std::vector<int> rows;
    std::vector<bool> okWith;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* preview = dialog->findChild<QTableWidget*>(QStringLiteral("levelPreview"));
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        rows.push_back(preview->rowCount());
        dialog->findChild<QSpinBox*>(QStringLiteral("levels"))->setValue(2);
        rows.push_back(preview->rowCount());
        auto* fill = dialog->findChild<QLineEdit*>(QStringLiteral("fill"));
        for (const char* colour : {"pink", "#102030"}) {
            fill->setText(QString::fromLatin1(colour));
            okWith.push_back(ok->isEnabled());
        }
        dialog->accept();
    });
    const std::optional<ui::ImportChoice> choice =
        ui::AskImport(nullptr, QStringLiteral("/"), ui::ImportChoice{png, png + QStringLiteral(".jnx")});
    EXPECT_EQ(rows, (std::vector<int>{5, 2}));
    EXPECT_EQ(okWith, (std::vector<bool>{false, true}));
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->levels, 2);
    EXPECT_EQ(choice->fill, QStringLiteral("#102030"));
}

// A tile source's levels are previewed too, read on a thread of its own: copied as they are,
// then joined 2 x 2 once the tile size asks for it.
TEST(ImportDialog, PreviewsATileSourcesJoin) {
    fixture::TempDir dir;
    fixture::WriteMbtiles(dir.file("area.mbtiles"), FiveTiles());
    const QString source = QString::fromStdString(dir.file("area.mbtiles"));
    std::vector<QStringList> tiles;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        const auto closing = qScopeGuard([dialog] { dialog->reject(); });  // also when a wait fails
        auto* preview = dialog->findChild<QTableWidget*>(QStringLiteral("levelPreview"));
        const auto column = [&] {
            QStringList cells;
            for (int row = 0; row < preview->rowCount(); ++row) cells << preview->item(row, 1)->text();
            return cells;
        };
        QTRY_COMPARE_WITH_TIMEOUT(preview->rowCount(), 2, 10000);
        tiles.push_back(column());
        auto* size = dialog->findChild<QComboBox*>(QStringLiteral("tileSize"));
        size->setCurrentIndex(size->findData(512));
        QTRY_VERIFY_WITH_TIMEOUT(preview->rowCount() == 2 && column() != tiles.front(), 10000);
        tiles.push_back(column());
    });
    ui::AskImport(nullptr, QStringLiteral("/"), ui::ImportChoice{source, source + QStringLiteral(".jnx")});
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0], (QStringList{"1", "4"}));
    // The finer zoom's four tiles become one; the coarser tile stays one, joined with blanks.
    EXPECT_TRUE(tiles[1][0].startsWith(QLatin1Char('1')) && tiles[1][1].startsWith(QLatin1Char('1')))
        << tiles[1].join('|').toStdString();
    EXPECT_TRUE(tiles[1][1].contains(QLatin1Char('4'))) << tiles[1].join('|').toStdString();
}

}  // namespace
