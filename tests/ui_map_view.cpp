// The editor's map view offscreen: the decoded-tile cache's bound, the level drawn at each
// zoom row under the scales the level lists hold, and tiles decoded off the window's thread.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <fstream>

#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "settings/level_ranges.h"
#include "settings/scale_model.h"
#include "ui/common/tile_cache.h"
#include "ui_support/editor_fixture.h"
#include "ui/editor/editor_window.h"
#include "ui/editor/map_canvas.h"
#include "ui/editor/map_view.h"

namespace {

using State = ui::MapCanvas::TileState;
constexpr double kUnits = 2147483648.0 / 180.0;

// Rows "50 m" (75), "200 m" (298), "800 m" (1194), "3 km" (4777), "12 km" (19109).
const char* kIni =
    "[Preferences]\nLang=ENG\n"
    "[ZoomLevels]\nLevel1=60/75/50 m\nLevel2=237/298/200 m\nLevel3=966/1194/800 m\nLevel4=3864/4777/3 km\n"
    "Level5=15456/19109/12 km\n";

fixture::Bytes Jpeg(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) image.setPixel(x, y, qRgb(x * 7, y * 5, (x ^ y) & 255));
    return fixture::StoredJpegOf(image);
}

// A level of side × side tiles over one degree square; tile `broken` holds bytes that
// do not decode.
fixture::LevelRecipe GridLevel(std::int32_t scale, int side, const fixture::Bytes& picture, int broken = -1) {
    fixture::LevelRecipe level;
    level.scale = scale;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const auto at = [&](double degrees) { return static_cast<std::int32_t>(degrees * kUnits); };
            const double step = 1.0 / side;
            const bool bad = r * side + c == broken;
            level.tiles.push_back({bad ? fixture::MakeTileData(r + 1) : picture,
                                   {at(46 - r * step), at(7 + (c + 1) * step), at(46 - (r + 1) * step), at(7 + c * step)},
                                   {0, 1, 0, 1}});
        }
    return level;
}

class MapViewTest : public fixture::EditorWindowTest {
protected:
    void SetUp() override {
        MakeEditor(kIni);
        ASSERT_TRUE(window->Start());
        window->resize(1000, 700);
        window->show();
    }
    std::string Build(const std::string& name, std::vector<fixture::LevelRecipe> levels) {
        fixture::JnxRecipe recipe;
        recipe.bounds = {static_cast<std::int32_t>(46 * 2147483648.0 / 180), static_cast<std::int32_t>(8 * 2147483648.0 / 180),
                         static_cast<std::int32_t>(45 * 2147483648.0 / 180), static_cast<std::int32_t>(7 * 2147483648.0 / 180)};
        recipe.levels = std::move(levels);
        fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
        return dir.file(name);
    }
    template <typename T>
    T* get(const char* name) const {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    ui::MapCanvas& canvas() const { return get<ui::MapView>("mapView")->Canvas(); }
    std::vector<State> States(int level) const {
        std::vector<State> states;
        for (std::size_t i = 0; i < canvas().Levels()[std::size_t(level)].sources.size(); ++i)
            states.push_back(canvas().StateOf(level, int(i)));
        return states;
    }
};

// The least recently used picture goes first, a look counts as a use, and the bytes kept
// never pass the bound; a tile that does not decode is remembered too.
TEST(TileCacheTest, EvictsLeastRecentlyUsedWithinBound) {
    const QImage picture(100, 100, QImage::Format_RGB32);  // 40,000 bytes
    ui::TileCache cache(3 * 40000 + 100);
    for (std::uint64_t key = 1; key <= 3; ++key) cache.Put(key, picture);
    ASSERT_NE(cache.Find(1), nullptr);
    cache.Put(4, picture);
    EXPECT_TRUE(cache.Contains(1) && !cache.Contains(2) && cache.Contains(3) && cache.Contains(4));
    cache.Put(5, QImage());
    ASSERT_NE(cache.Find(5), nullptr);
    EXPECT_TRUE(cache.Find(5)->isNull());
    cache.Put(6, QImage(400, 400, QImage::Format_RGB32));  // larger than the whole bound
    EXPECT_FALSE(cache.Contains(6));
    for (std::uint64_t key = 7; key < 40; ++key) {
        cache.Put(key, key % 3 ? picture : QImage(50, 50, QImage::Format_RGB32));
        EXPECT_LE(cache.Bytes(), cache.Bound());
    }
    EXPECT_TRUE(cache.Contains(39) && !cache.Contains(1));
}

// As the device shows it, the slider's row picks the finest level whose scale reaches it,
// under the scales the level lists hold now: a changed choice changes the drawing before
// any save, and a row no level reaches shows nothing.
TEST_F(MapViewTest, DeviceLevelFollowsRowsAndChoices) {
    const fixture::Bytes picture = Jpeg(16);
    window->LoadFile(QString::fromStdString(
        Build("three.jnx", {GridLevel(298, 2, picture), GridLevel(1194, 2, picture), GridLevel(4777, 2, picture)})));
    auto* slider = get<QSlider>("mapZoom");
    auto* firstLevel = get<QComboBox>("cboNivel_0");
    struct Case {
        int firstLevelRow;  // -1 keeps the list as it is
        int row;
        int drawn;
        const char* zoomName;
    };
    const Case cases[] = {{-1, 0, 0, "50 m"}, {-1, 2, 1, "800 m"}, {-1, 3, 2, "3 km"}, {-1, 4, -1, "12 km"},
                          {4, 4, 0, "12 km"},  {4, 0, 1, "50 m"},   {1, 1, 0, "200 m"}};
    for (const Case& c : cases) {
        if (c.firstLevelRow >= 0) firstLevel->setCurrentIndex(c.firstLevelRow);
        slider->setValue(c.row);
        EXPECT_EQ(canvas().DrawnLevel(), c.drawn) << c.row;
        EXPECT_EQ(get<QLabel>("mapZoomName")->text(), QString::fromLatin1(c.zoomName));
        EXPECT_EQ(canvas().Note(), c.drawn < 0 ? QStringLiteral("nothing shown at this zoom\nzoom in to 3 km to see the map")
                                               : QString());
    }
    // Nothing drawn over the map's background: the labels' fill once washed the whole view.
    slider->setValue(4);
    EXPECT_EQ(canvas().grab().toImage().pixelColor(5, canvas().height() - 5), QColor(245, 245, 240));
    // A level picked by hand is drawn whatever the row; the pointer names the tile under it,
    // here the last of the level, right of and below the map's middle in the view's.
    get<QComboBox>("mapLevel")->setCurrentIndex(3);
    EXPECT_EQ(canvas().DrawnLevel(), 2);
    EXPECT_TRUE(canvas().Note().isEmpty());
    const QPointF below = QPointF(canvas().width() / 2.0, canvas().height() / 2.0) + QPointF(3, 3);
    QMouseEvent move(QEvent::MouseMove, below, canvas().mapToGlobal(below), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&canvas(), &move);
    EXPECT_EQ(get<QLabel>("mapTileFacts")->text(),
              QStringLiteral("Level 3 - tile 4 of 4 - 256 × 256 px - %1 bytes").arg(picture.size() + 2));
}

// Tiles decode off the window's thread: its timers keep firing while they come in one by
// one, a broken tile ends as a crossed box, and a new load drops the old map's pictures.
TEST_F(MapViewTest, TilesDecodeWhileTheWindowRuns) {
    const fixture::Bytes picture = Jpeg(384);
    constexpr int kSide = 14, kBroken = 17;
    window->LoadFile(QString::fromStdString(Build("many.jnx", {GridLevel(4777, kSide, picture, kBroken)})));
    get<QComboBox>("mapLevel")->setCurrentIndex(1);
    get<QPushButton>("mapFit")->click();  // the map opened zoomed in to where the device shows it
    int ticks = 0, ticksWhileDecoding = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (!canvas().Loader().Idle()) ++ticksWhileDecoding;
    });
    timer.start(2);
    canvas().repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().Loader().Idle() && ticks > 0; }, 60000));
    const std::vector<State> states = States(0);
    for (int i = 0; i < kSide * kSide; ++i) EXPECT_EQ(states[std::size_t(i)], i == kBroken ? State::Broken : State::Shown) << i;
    EXPECT_GT(ticksWhileDecoding, 0);
    // Decoded at about the size drawn, not at their own 384 pixels.
    EXPECT_LT(canvas().Cache().Bytes(), kSide * kSide * 384 * 384 * 4 / 8);
    // On the screen, not drawn afresh: pictures that come in after the whole view was drawn
    // are drawn where they lie.
    canvas().Cache().Clear();
    canvas().repaint();
    const QRectF last = canvas().ToView(canvas().Levels()[0].grid.Box(kSide * kSide - 1));
    const QPoint at = canvas().mapTo(window.get(), last.center().toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window->screen()->grabWindow(window->winId()).toImage().pixelColor(at) != QColor(225, 225, 225);
    }));

    // Pictures still in work when the next map comes in must never land in it, here in
    // its first level, which is not drawn. The window shows the map before its event loop
    // runs again, so none of them can have been delivered before.
    const fixture::Bytes junk{1, 2, 3, 4};
    jnx::JnxDocument next = fixture::ReadFull(Build("next.jnx", {GridLevel(4777, kSide, junk), GridLevel(4777, 2, junk)}));
    next.FileName = dir.file("next.jnx");
    canvas().Cache().Clear();
    canvas().repaint();
    ASSERT_FALSE(canvas().Loader().Idle());
    get<ui::MapView>("mapView")->ShowMap(next);
    get<QComboBox>("mapLevel")->setCurrentIndex(2);
    canvas().repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().Loader().Idle(); }, 60000));
    EXPECT_EQ(States(0), std::vector<State>(kSide * kSide, State::Unknown));
    EXPECT_EQ(States(1), std::vector<State>(4, State::Broken));
}

// At the first row where a level of its native scale is drawn, one of its pixels spans one
// to two screen pixels, at any latitude and under any profile (a profile moves the row, not
// what a row shows); a map no fitted row shows opens at the coarsest row that shows it.
TEST_F(MapViewTest, LevelPixelsAtTheirFirstRow) {
    const fixture::Bytes picture = Jpeg(16);
    auto* view = get<ui::MapView>("mapView");
    auto* slider = get<QSlider>("mapZoom");
    settings::SettingsTables shipped;
    ASSERT_TRUE(settings::CargarCombos(settings::Settings(TESSALY_INI_PATH), shipped));
    view->SetZoomTable(shipped.ZoomTable);
    for (const char* name : {"classic", "gpsmap67", "garmin"}) {
        const settings::DeviceProfile& profile = *settings::FindDeviceProfile(name);
        view->SetDeviceProfile(profile);
        for (int degrees : {0, 46, 65}) {
            // One level of 2 x 2 tiles, each 1/2 degree over 256 pixels.
            fixture::LevelRecipe level = GridLevel(1, 2, picture);
            for (auto& tile : level.tiles)
                tile.bounds[0] -= kUnits * (46 - degrees), tile.bounds[2] -= kUnits * (46 - degrees);
            const double metres = settings::GroundMetresPerPixel(0.5 / 256, degrees - 0.5);
            level.scale = settings::NativeScale(metres, profile.factor);
            jnx::JnxDocument doc = fixture::ReadFull(Build("fit.jnx", {level}));
            doc.FileName = dir.file("fit.jnx");
            view->ShowMap(doc);
            const int row = settings::CoarsestQualifyingRow(shipped.ZoomTable, level.scale, profile.factor);
            slider->setValue(row == 0 ? 1 : 0);
            slider->setValue(row);
            EXPECT_EQ(canvas().DrawnLevel(), 0) << name << " " << degrees;
            const double ratio = canvas().ToView(canvas().Levels()[0].grid.Box(0)).width() / 256;
            EXPECT_TRUE(ratio >= 1 && ratio < 2.01) << name << " " << degrees << ": " << ratio;
        }
    }
    EXPECT_TRUE(get<QLabel>("mapProfile")->text().contains(QStringLiteral("garmin")));
    // Fitted, this map shows at a row no level reaches; it opens where its level shows.
    view->SetZoomTable(window->Tables().ZoomTable);
    jnx::JnxDocument fine = fixture::ReadFull(Build("fine.jnx", {GridLevel(298 * 8, 2, picture)}));
    fine.FileName = dir.file("fine.jnx");
    view->ShowMap(fine);
    EXPECT_EQ(get<QLabel>("mapZoomName")->text(), QStringLiteral("200 m"));
    EXPECT_TRUE(canvas().Note().isEmpty());
}

}  // namespace
