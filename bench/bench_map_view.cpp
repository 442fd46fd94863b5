// Times the editor's map view over one level of 50 000 real 256-pixel JPEG tiles, offscreen:
// the view is zoomed out wheel step by wheel step from a few tiles in view to over 1 000,
// then moved to tiles not drawn yet and zoomed back in, and each step is timed from the
// wheel event until every tile in view is drawn as its picture. Every event the window's thread handles is timed too,
// and the longest is printed: that is the longest the window stood still.
//
// Usage: bench_map_view [work-folder]   (default: a new folder under the temp folder,
// removed at the end; a given folder is kept).
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_grid_map.h"
#include "bench/bench_support.h"
#include "jnx/codec.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/reader.h"
#include "platform/binary_file.h"
#include "support/jpeg_pictures.h"
#include "ui/editor/map_canvas.h"

namespace {

using jnx::Bytes;

constexpr int kColumns = 250, kRows = 200;  // 50 000 tiles, the most a level holds
constexpr std::int32_t kSpan = 1 << 16;     // about 0.0055 degrees
constexpr double kStepGoal = 0.200, kFrameGoal = 0.016;
constexpr int kLookMs = 4;

void Die(const std::string& what) { bench::Die("bench_map_view", what); }

// Every event the window's thread handles, timed; nested ones count in the outer one.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const double cpu = ThreadSeconds();
        const bool handled = QApplication::notify(receiver, event);
        longest = std::max(longest, double(timer.nsecsElapsed()) / 1e9);
        longestCpu = std::max(longestCpu, ThreadSeconds() - cpu);
        --depth_;
        return handled;
    }
    static double ThreadSeconds() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    double longest = 0, longestCpu = 0;  // wall and processor seconds

private:
    int depth_ = 0;
};

// Sixteen pictures with the grain of aerial imagery, laid out in turn.
std::int64_t WriteMap(const std::string& path) {
    std::vector<Bytes> pictures;
    for (int seed = 0; seed < 16; ++seed) {
        const Bytes jpeg = fixture::Encode(256, 256, seed, {3, 2, 2, 80, false});
        pictures.emplace_back(jpeg.begin() + 2, jpeg.end());
    }
    return bench::WriteGridMap("bench_map_view", path, pictures, {kColumns * kRows, kColumns, kSpan, 1 << 26, 1 << 26});
}

std::vector<int> TilesInView(const ui::MapCanvas& canvas) {
    std::vector<int> tiles;
    const ui::TileGrid& grid = canvas.Levels()[0].grid;
    const QRectF view = canvas.rect();
    for (std::uint32_t t = 0; t < grid.Size(); ++t)
        if (canvas.ToView(grid.Box(t)).intersects(view)) tiles.push_back(int(t));
    return tiles;
}

struct Step {
    std::size_t tiles = 0;
    double tilePixels = 0;
    double seconds = 0;
    double cpuSeconds = 0;  // of every thread of the process
    double windowCpuSeconds = 0;  // of the window's thread
    bool pictures = false;  // false: the view drew the tiles as boxes
};

// From the wheel event until every tile in view is drawn as its picture, or the view has
// settled on boxes.
Step WheelStep(TimedApplication& app, ui::MapCanvas& canvas, int notches) {
    const QPointF middle(canvas.width() / 2.0, canvas.height() / 2.0);
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    const double windowCpu = TimedApplication::ThreadSeconds();
    QWheelEvent wheel(middle, canvas.mapToGlobal(middle), {}, {0, 120 * notches}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas, &wheel);
    Step step;
    const std::vector<int> tiles = TilesInView(canvas);
    step.tiles = tiles.size();
    step.tilePixels = canvas.ToView(canvas.Levels()[0].grid.Box(std::uint32_t(tiles.front()))).width();
    bool painted = false;
    // The window's thread waits for events, as it would for the user, and the tiles are
    // looked at every few milliseconds: polling without pause would take a core from the
    // decoders.
    QTimer pulse;
    pulse.start(kLookMs);
    qint64 looked = -kLookMs;
    std::size_t shown = 0;
    const auto done = [&](int t) {
        const auto state = canvas.StateOf(0, t);
        return state == ui::MapCanvas::TileState::Shown || state == ui::MapCanvas::TileState::Broken;
    };
    while (timer.elapsed() < 20000) {
        app.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        painted = true;
        if (timer.elapsed() - looked < kLookMs) continue;
        looked = timer.elapsed();
        // A tile drawn stays drawn: each look goes on from the first one not drawn yet.
        while (shown < tiles.size() && done(tiles[shown])) ++shown;
        const bool drawn = shown == tiles.size();
        if (drawn || (painted && canvas.Loader().Idle())) {
            canvas.repaint();  // the frame that shows the last of them
            step.pictures = drawn;
            for (int t : tiles)
                if (canvas.StateOf(0, t) == ui::MapCanvas::TileState::Broken)
                    Die("tile " + std::to_string(t) + " did not decode");
            break;
        }
    }
    step.seconds = double(timer.nsecsElapsed()) / 1e9;
    step.cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    step.windowCpuSeconds = TimedApplication::ThreadSeconds() - windowCpu;
    return step;
}

double LoadAverage() {
    double load = 0;
    return getloadavg(&load, 1) == 1 ? load : 0;
}

void Drag(ui::MapCanvas& canvas, QPointF from, QPointF to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, canvas.mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, canvas.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, canvas.mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    for (QMouseEvent* event : {&press, &move, &release}) QApplication::sendEvent(&canvas, event);
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const bench::Arguments args = bench::ParseArguments(argc, argv);
    TimedApplication app(argc, argv);
    const std::string path = (args.work / "level.jnx").string();
    std::printf("building the map in %s ...\n", args.work.string().c_str());
    std::fflush(stdout);
    const std::int64_t bytes = WriteMap(path);
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    platform::Error error;
    if (!jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Tables)) Die(platform::ErrorText(error));
    doc.FileName = path;  // as the editor sets it once the map is read
    std::printf("one level of %d tiles of 256 x 256, %.1f kB each on average\n", total, double(bytes) / total / 1e3);

    ui::MapCanvas canvas;
    canvas.resize(1200, 800);
    canvas.show();
    canvas.ShowMap(doc);
    canvas.SetDrawnLevel(0, {});
    app.processEvents();
    // Out from tiles of about 300 pixels to about 28, in the middle of the map, so that each
    // step brings tiles never drawn before; then, dragged to where nothing was drawn yet,
    // back in.
    const double tileDegrees = double(kSpan) * 180.0 / 2147483648.0;
    canvas.SetPixelsPerDegreeOfLongitude(300 / tileDegrees);
    app.processEvents();
    app.longest = app.longestCpu = 0;
    std::vector<Step> steps;
    constexpr int kSteps = 11;
    for (int i = 0; i < kSteps; ++i) steps.push_back(WheelStep(app, canvas, -1));
    const double across = canvas.height() / 2.0;
    Drag(canvas, {canvas.width() - 20.0, across}, {20.0, across});
    for (int i = 0; i < kSteps; ++i) steps.push_back(WheelStep(app, canvas, 1));

    std::printf("view of %d x %d pixels, %zu wheel steps in and out:\n", canvas.width(), canvas.height(), steps.size());
    // On a machine shared with other work the wall time grows with the load; the processor
    // time of all threads, over the cores the decoders have, is what an idle machine takes.
    std::printf("  step  tiles in view  tile px  drawn as   wall ms  cpu ms  of which window's thread\n");
    double worst = 0, worstCpu = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        std::printf("  %4zu  %13zu  %7.0f  %-8s %8.1f %7.1f  %7.1f\n", i + 1, s.tiles, s.tilePixels,
                    s.pictures ? "pictures" : "boxes", s.seconds * 1e3, s.cpuSeconds * 1e3, s.windowCpuSeconds * 1e3);
        if (s.tiles <= 1000) worst = std::max(worst, s.seconds), worstCpu = std::max(worstCpu, s.cpuSeconds);
    }
    std::printf("longest step with up to 1 000 tiles in view: %.1f ms wall, %.1f ms of processor time (goal %.0f ms)\n",
                worst * 1e3, worstCpu * 1e3, kStepGoal * 1e3);
    std::printf("longest frame on the window's thread: %.1f ms wall, %.1f ms of processor time (goal %.0f ms)\n",
                app.longest * 1e3, app.longestCpu * 1e3, kFrameGoal * 1e3);
    std::printf("load average when done: %.1f on %d cores\n", LoadAverage(), QThread::idealThreadCount());
    if (!args.keep) {
        std::error_code ec;
        fs::remove_all(args.work, ec);
    }
    return 0;
}
