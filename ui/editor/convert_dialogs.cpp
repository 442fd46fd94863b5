#include "ui/editor/convert_dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "convert/export_custom_maps.h"
#include "convert/import_jnx.h"
#include "convert/raster_source.h"
#include "jnx/device_limits.h"
#include "platform/fs.h"
#include "settings/level_ranges.h"
#include "settings/scale_model.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"

namespace ui {

namespace {

QString Tr(const char* text, int n = -1) { return QCoreApplication::translate("ui::ConvertDialogs", text, nullptr, n); }

QString Extension(ExportFormat format) {
    return format == ExportFormat::Mbtiles ? QStringLiteral("mbtiles") : QStringLiteral("kmz");
}

// The window confirms a replacement itself, so the chooser must not ask as well.
QString ChooseSaveFile(QWidget* parent, const QString& current, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), current, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

// A path box with its browse buttons after it.
QHBoxLayout* PathRow(QLineEdit* edit, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    edit->setMinimumWidth(360);
    row->addWidget(edit, 1);
    for (QPushButton* button : buttons) row->addWidget(button);
    return row;
}

QDialogButtonBox* OkCancel(QDialog& dialog) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return box;
}

// A level the import will make, as its preview shows it.
struct PreviewRow {
    int zoom = 0;
    QString tiles;
    QString tileSize;
    double metresPerPixel = 0;  // on the ground; 0: unknown
    std::int32_t scale = 0;
    QString tip;
};

// One row per level, coarsest first, with the rows of the zoom table each is shown at.
void ShowRows(QTableWidget* table, const std::vector<PreviewRow>& rows, const ImportScales& scales) {
    std::vector<std::int32_t> levelScales;
    for (const PreviewRow& row : rows) levelScales.push_back(row.scale);
    const std::vector<settings::LevelRange> ranges =
        settings::LevelRanges(scales.zoomTable, levelScales, scales.profile.factor);
    const QLocale locale;
    const auto rowName = [&](int row) { return QString::fromStdString(scales.zoomTable[std::size_t(row)].Name); };
    table->setRowCount(int(rows.size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const PreviewRow& row = rows[k];
        QString shown;
        if (k < ranges.size() && ranges[k].Shown())
            shown = ranges[k].coarsestRow == ranges[k].finestRow
                        ? rowName(ranges[k].coarsestRow)
                        : Tr("%1 to %2").arg(rowName(ranges[k].coarsestRow), rowName(ranges[k].finestRow));
        else if (k < ranges.size() && ranges[k].coveredBy >= 0)
            shown = Tr("never: level %1 is drawn instead").arg(ranges[k].coveredBy + 1);
        else if (!scales.zoomTable.empty())
            shown = Tr("never");
        const double m = row.metresPerPixel;
        const QString cells[] = {
            QString::number(row.zoom),
            row.tiles,
            row.tileSize,
            m > 0 ? Tr("%1 m").arg(locale.toString(m, 'f',
                                                   m < 10    ? 2
                                                   : m < 100 ? 1
                                                             : 0))
                  : QString(),
            shown,
        };
        for (int c = 0; c < int(std::size(cells)); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(row.tip);
            table->setItem(int(k), c, item);
        }
    }
}

// A raster's levels; the note says why there are none, or that the map will be cut into
// volumes.
void ShowPlan(QTableWidget* table, QLabel* note, const convert::RasterPlan* plan, const platform::Error& error,
              const ImportScales& scales) {
    table->setRowCount(0);
    if (!plan) {
        note->setText(error ? ErrorMessage(error) : QString());
        return;
    }
    note->setText(plan->volumes ? Tr("A level holds more tiles than one map takes: the map is written as volumes.")
                                : QString());
    const QLocale locale;
    std::vector<PreviewRow> rows;
    for (const convert::RasterLevel& level : plan->levels)
        rows.push_back(
            {level.zoom,
             Tr("%1 (%2 × %3)")
                 .arg(locale.toString(level.Tiles()), locale.toString(level.columns), locale.toString(level.rows)),
             Tr("%1 px").arg(plan->tileSize), level.metresPerPixel, level.scale,
             Tr("%1 × %2 pixels, scale %3")
                 .arg(locale.toString(level.width), locale.toString(level.height), locale.toString(level.scale))});
    ShowRows(table, rows, scales);
}

// A tile source's levels, as the import would copy or join its tiles.
void ShowJoin(QTableWidget* table, QLabel* note, const convert::ImportPreview* preview, const platform::Error& error,
              const ImportScales& scales) {
    table->setRowCount(0);
    if (!preview) {
        note->setText(ErrorMessage(error));
        return;
    }
    QStringList notes;
    if (preview->factor > 1)
        notes << Tr("Tiles are joined %1 × %1 into larger ones without re-encoding.").arg(preview->factor);
    if (preview->files > 1) notes << Tr("A level holds more tiles than one map takes: the map is written as volumes.");
    note->setText(notes.join(QLatin1Char(' ')));
    const QLocale locale;
    const QString size = preview->tileWidth == preview->tileHeight
                             ? Tr("%1 px").arg(preview->tileWidth)
                             : Tr("%1 × %2 px").arg(preview->tileWidth).arg(preview->tileHeight);
    std::vector<PreviewRow> rows;
    for (std::size_t k = 0; k < preview->zooms.size(); ++k) {
        const QString tiles = locale.toString(preview->tiles[k]);
        rows.push_back({preview->zooms[k],
                        preview->factor > 1
                            ? Tr("%1, joined from %2").arg(tiles, locale.toString(preview->sourceTiles[k]))
                            : tiles,
                        size, k < preview->metresPerPixel.size() ? preview->metresPerPixel[k] : 0,
                        k < preview->scales.size() ? preview->scales[k] : 0,
                        Tr("scale %1").arg(locale.toString(k < preview->scales.size() ? preview->scales[k] : 0))});
    }
    ShowRows(table, rows, scales);
}

}  // namespace

QString DefaultImportOutput(const QString& source) {
    const QFileInfo info(QDir::cleanPath(source));
    const QString stem = info.isDir() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(stem + QStringLiteral(".jnx"));
}

QString DefaultExportOutput(const QString& mapPath, ExportFormat format) {
    const QFileInfo info(mapPath);
    return info.dir().filePath(info.completeBaseName() + QLatin1Char('.') + Extension(format));
}

std::optional<ImportChoice> AskImport(QWidget* parent, const QString& startFolder, const ImportChoice& earlier,
                                      const ImportScales& scales) {
    QDialog dialog(parent);
    dialog.setWindowTitle(Tr("Import tiles"));
    auto* source = new QLineEdit(earlier.source, &dialog);
    source->setObjectName(QStringLiteral("source"));
    auto* file = new QPushButton(Tr("File…"), &dialog);
    auto* folder = new QPushButton(Tr("Folder…"), &dialog);
    auto* output = new QLineEdit(earlier.output, &dialog);
    output->setObjectName(QStringLiteral("output"));
    auto* browse = new QPushButton(Tr("Browse…"), &dialog);
    auto* version = new QComboBox(&dialog);
    version->addItem(QStringLiteral("4"), 4);
    version->addItem(QStringLiteral("3"), 3);
    version->setCurrentIndex(std::max(0, version->findData(earlier.version)));
    source->setToolTip(Tr("An MBTiles, KMZ or KML file, a folder of tiles laid out Z/X/Y, or a georeferenced raster"));
    // A raster's tiles are encoded, not copied: how is asked only of a raster; the size and the
    // fill serve a tile source's joined tiles too.
    auto* quality = new QSpinBox(&dialog);
    quality->setRange(1, 100);
    quality->setValue(earlier.quality);
    quality->setToolTip(Tr("The JPEG quality of a raster's tiles"));
    auto* tileSize = new QComboBox(&dialog);
    tileSize->setObjectName(QStringLiteral("tileSize"));
    tileSize->addItem(Tr("Automatic"), 0);
    for (int size : {256, 512, 1024}) tileSize->addItem(Number(size), size);
    tileSize->setCurrentIndex(std::max(0, tileSize->findData(earlier.tileSize)));
    tileSize->setToolTip(Tr("A raster's tiles are made this size; a tile source's 256-pixel tiles are joined 2 × 2 or "
                            "4 × 4 into it without re-encoding. Automatic takes the least size that keeps each level "
                            "within %1 tiles")
                             .arg(ui::Number(jnx::device::kMaxTilesPerLevel)));
    auto* levels = new QSpinBox(&dialog);
    levels->setObjectName(QStringLiteral("levels"));
    levels->setRange(1, convert::kDefaultZoomCount);
    levels->setValue(earlier.levels);
    levels->setToolTip(Tr("Levels from the raster's own resolution down, each half the resolution of the next"));
    auto* overviews = new QCheckBox(Tr("Take the raster's own overviews for the coarser levels"), &dialog);
    overviews->setObjectName(QStringLiteral("overviews"));
    overviews->setChecked(earlier.overviews);
    auto* fill = new QLineEdit(earlier.fill, &dialog);
    fill->setObjectName(QStringLiteral("fill"));
    fill->setToolTip(
        Tr("What tiles show where the raster has no data, or a joined tile where a neighbour is "
           "missing: white, black or #RRGGBB"));
    auto* pickFill = new QPushButton(Tr("Colour…"), &dialog);
    auto* preview = new QTableWidget(0, 5, &dialog);
    preview->setObjectName(QStringLiteral("levelPreview"));
    preview->setHorizontalHeaderLabels({Tr("Zoom"), Tr("Tiles"), Tr("Tile size"), Tr("Pixel size"), Tr("Shown at")});
    preview->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    preview->horizontalHeader()->setStretchLastSection(true);
    preview->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview->setSelectionMode(QAbstractItemView::NoSelection);
    preview->setMinimumHeight(170);
    auto* previewNote = new QLabel(&dialog);
    previewNote->setObjectName(QStringLiteral("previewNote"));
    previewNote->setWordWrap(true);
    auto* previewBox =
        new QGroupBox(Tr("Levels it will make, as on %1 units").arg(QString::fromUtf8(scales.profile.name)), &dialog);
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->addWidget(preview);
    previewLayout->addWidget(previewNote);

    auto* form = new QFormLayout;
    form->addRow(Tr("Tiles from"), PathRow(source, {file, folder}));
    form->addRow(Tr("Map to write"), PathRow(output, {browse}));
    form->addRow(Tr("JNX version"), version);
    form->addRow(Tr("JPEG quality"), quality);
    form->addRow(Tr("Tile size"), tileSize);
    form->addRow(Tr("Levels"), levels);
    form->addRow(QString(), overviews);
    form->addRow(Tr("Where there is no data"), PathRow(fill, {pickFill}));
    fill->setMinimumWidth(120);
    auto* buttons = OkCancel(dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(previewBox);
    layout->addWidget(buttons);

    // A tile source is read through to be previewed, which a large one makes slow: that
    // runs on a thread of its own a moment after the last change, and only the latest
    // answer is shown. The dialog waits for the threads, told to stop, when it closes.
    std::atomic<std::uint64_t> latest{0};
    std::vector<std::thread> surveys;
    const auto joinSurveys = qScopeGuard([&] {
        ++latest;
        for (std::thread& survey : surveys) survey.join();
    });
    QTimer later;
    later.setSingleShot(true);
    later.setInterval(300);
    QObject::connect(&later, &QTimer::timeout, &dialog, [&] {
        const std::string path = QDir::cleanPath(source->text().trimmed()).toStdString();
        convert::ImportOptions options;
        options.join = convert::JoinForTileSize(tileSize->currentData().toInt()).value_or(convert::TileJoin::Auto);
        options.scaleFactor = scales.profile.factor;
        const std::uint64_t id = ++latest;
        previewNote->setText(Tr("Reading the source…"));
        surveys.emplace_back([&latest, &dialog, &scales, id, path, options, preview, previewNote] {
            convert::ImportPreview result;
            platform::Error error;
            const bool read =
                convert::PreviewImport(path, options, result, error,
                                       [&latest, id](const char*, std::int64_t, std::int64_t) { return latest == id; });
            QMetaObject::invokeMethod(
                &dialog,
                [&latest, &scales, id, read, result, error, preview, previewNote] {
                    if (latest == id) ShowJoin(preview, previewNote, read ? &result : nullptr, error, scales);
                },
                Qt::QueuedConnection);
        });
    });
    // The preview comes from the plan the import itself follows, so the two cannot differ.
    const auto replan = [&] {
        const std::string path = QDir::cleanPath(source->text().trimmed()).toStdString();
        const bool raster = convert::IsRasterFile(path);
        const bool tiles = !raster && !path.empty() && (platform::FileExists(path) || platform::FolderExists(path));
        previewBox->setVisible(raster || tiles);
        ++latest;  // an answer on its way is for what the boxes said before
        later.stop();
        if (tiles) {
            preview->setRowCount(0);
            later.start();
        }
        if (!raster) return;
        convert::ImportOptions options;
        options.raster.levels = levels->value();
        options.raster.tileSize = tileSize->currentData().toInt();
        options.raster.overviews = overviews->isChecked();
        options.scaleFactor = scales.profile.factor;
        convert::RasterPlan plan;
        platform::Error error;
        const bool planned = convert::PlanRaster(path, options, plan, error);
        ShowPlan(preview, previewNote, planned ? &plan : nullptr, error, scales);
    };
    const auto refresh = [&] {
        const bool raster = convert::IsRasterFile(QDir::cleanPath(source->text().trimmed()).toStdString());
        const bool fillOk = convert::ParseFillColour(fill->text().trimmed().toStdString()).has_value();
        buttons->button(QDialogButtonBox::Ok)
            ->setEnabled(!source->text().trimmed().isEmpty() && !output->text().trimmed().isEmpty() && fillOk);
        for (QWidget* w : std::initializer_list<QWidget*>{quality, levels, overviews}) w->setEnabled(raster);
    };
    // The output follows the source while it is the name proposed for it (or empty); a
    // name the user gave stays.
    QString proposed = earlier.source.trimmed().isEmpty()
                           ? QString()
                           : QDir::toNativeSeparators(DefaultImportOutput(earlier.source.trimmed()));
    const auto propose = [&](const QString& path) {
        const QString now = output->text().trimmed();
        if (!now.isEmpty() && now != proposed.trimmed()) return;
        proposed = path.trimmed().isEmpty() ? QString() : QDir::toNativeSeparators(DefaultImportOutput(path.trimmed()));
        output->setText(proposed);
    };
    const auto picked = [&](const QString& path) {
        if (path.isEmpty()) return;
        proposed = output->text();  // a browsed source always proposes its name
        source->setText(QDir::toNativeSeparators(path));
        propose(path);
    };
    const auto here = [&] { return source->text().isEmpty() ? startFolder : QFileInfo(source->text()).absolutePath(); };
    QObject::connect(file, &QPushButton::clicked, &dialog, [&] {
        picked(QFileDialog::getOpenFileName(&dialog, QString(), here(),
                                            Tr("Tile files (*.mbtiles *.sqlitedb *.kmz *.kml);;Rasters (*.tif *.tiff *.vrt "
                                               "*.jp2 *.png *.jpg *.jpeg);;All files (*)")));
    });
    QObject::connect(folder, &QPushButton::clicked, &dialog,
                     [&] { picked(QFileDialog::getExistingDirectory(&dialog, QString(), here())); });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        const QString path = ChooseSaveFile(&dialog, output->text(), Tr("JNX file (*.jnx)"));
        if (!path.isEmpty()) output->setText(QDir::toNativeSeparators(path));
    });
    QObject::connect(pickFill, &QPushButton::clicked, &dialog, [&] {
        const auto now = convert::ParseFillColour(fill->text().trimmed().toStdString()).value_or(convert::FillColour{});
        const QColor colour = QColorDialog::getColor(QColor(now.r, now.g, now.b), &dialog);
        if (colour.isValid()) fill->setText(colour.name());
    });
    QObject::connect(source, &QLineEdit::textEdited, &dialog, propose);
    QObject::connect(source, &QLineEdit::textChanged, &dialog, refresh);
    QObject::connect(source, &QLineEdit::textChanged, &dialog, replan);
    QObject::connect(levels, &QSpinBox::valueChanged, &dialog, replan);
    QObject::connect(tileSize, &QComboBox::currentIndexChanged, &dialog, replan);
    QObject::connect(overviews, &QCheckBox::toggled, &dialog, replan);
    QObject::connect(output, &QLineEdit::textChanged, &dialog, refresh);
    QObject::connect(fill, &QLineEdit::textChanged, &dialog, refresh);
    refresh();
    replan();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ImportChoice{source->text().trimmed(), output->text().trimmed(),        version->currentData().toInt(),
                        quality->value(),         tileSize->currentData().toInt(), levels->value(),
                        overviews->isChecked(),   fill->text().trimmed()};
}

std::optional<ExportChoice> AskExport(QWidget* parent, const ExportOffer& offer) {
    QDialog dialog(parent);
    dialog.setWindowTitle(Tr("Export map"));
    auto* format = new QComboBox(&dialog);
    format->setObjectName(QStringLiteral("format"));
    format->addItem(Tr("KMZ ground overlays (any map)"), int(ExportFormat::Kmz));
    format->addItem(Tr("MBTiles (web-map tiles only)"), int(ExportFormat::Mbtiles));
    format->addItem(Tr("Custom Maps (for units without BirdsEye)"), int(ExportFormat::CustomMaps));
    auto* levelBox = new QGroupBox(Tr("Levels"), &dialog);
    auto* levelList = new QVBoxLayout(levelBox);
    std::vector<QCheckBox*> ticks;
    for (const QString& caption : offer.levels) {
        ticks.push_back(new QCheckBox(caption, levelBox));
        ticks.back()->setChecked(true);
        levelList->addWidget(ticks.back());
    }
    // Custom Maps: one level, within a unit's image budget.
    auto* customBox = new QGroupBox(Tr("Custom Maps"), &dialog);
    auto* device = new QComboBox(customBox);
    device->setObjectName(QStringLiteral("device"));
    for (const settings::DeviceProfile& profile : settings::DeviceProfiles())
        device->addItem(Tr("%1 (%2 images)").arg(QString::fromLatin1(profile.name)).arg(profile.maxImages),
                        profile.maxImages);
    device->setCurrentIndex(std::max(0, device->findText(offer.profile, Qt::MatchStartsWith)));
    auto* budget = new QSpinBox(customBox);
    budget->setObjectName(QStringLiteral("maxImages"));
    budget->setRange(1, 100000);
    budget->setValue(device->currentData().toInt());
    budget->setToolTip(
        Tr("A KMZ file holds at most this many images; a level that needs more is written as several files"));
    auto* customLevel = new QComboBox(customBox);
    customLevel->setObjectName(QStringLiteral("customLevel"));
    customLevel->addItem(Tr("The finest within the budget"), 0);
    for (std::size_t k = 0; k < offer.customImages.size(); ++k) {
        if (offer.customImages[k] > 0)
            customLevel->addItem(Tr("Level %1: %Ln image(s)", int(offer.customImages[k])).arg(k + 1), int(k) + 1);
    }
    auto* drawOrder = new QSpinBox(customBox);
    drawOrder->setObjectName(QStringLiteral("drawOrder"));
    drawOrder->setRange(0, 100);
    drawOrder->setValue(convert::kCustomMapsDefaultDrawOrder);
    drawOrder->setToolTip(Tr("A map of a higher draw order is drawn over one of a lower"));
    auto* customForm = new QFormLayout(customBox);
    customForm->addRow(Tr("Device"), device);
    customForm->addRow(Tr("Images per file"), budget);
    customForm->addRow(Tr("Level"), customLevel);
    customForm->addRow(Tr("Draw order"), drawOrder);
    QObject::connect(device, &QComboBox::currentIndexChanged, &dialog,
                     [&] { budget->setValue(device->currentData().toInt()); });
    auto* output = new QLineEdit(DefaultExportOutput(offer.mapPath, ExportFormat::Kmz), &dialog);
    auto* browse = new QPushButton(Tr("Browse…"), &dialog);

    auto* form = new QFormLayout;
    form->addRow(Tr("Format"), format);
    form->addRow(levelBox);
    form->addRow(customBox);
    form->addRow(Tr("File to write"), PathRow(output, {browse}));
    auto* buttons = OkCancel(dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const auto chosenFormat = [&] { return ExportFormat(format->currentData().toInt()); };
    const auto refresh = [&] {
        const bool custom = chosenFormat() == ExportFormat::CustomMaps;
        levelBox->setVisible(!custom);
        customBox->setVisible(custom);
        const bool anyLevel =
            custom || std::any_of(ticks.begin(), ticks.end(), [](QCheckBox* t) { return t->isChecked(); });
        buttons->button(QDialogButtonBox::Ok)->setEnabled(anyLevel && !output->text().trimmed().isEmpty());
    };
    // The file's extension follows the format, whatever name the user gave it.
    const auto withExtension = [&](const QString& path) {
        const QFileInfo info(path.trimmed());
        const QString suffix = info.suffix().toLower();
        const bool formatSuffix = suffix == Extension(ExportFormat::Kmz) || suffix == Extension(ExportFormat::Mbtiles);
        const QString stem = formatSuffix ? info.completeBaseName() : info.fileName();
        return QDir::toNativeSeparators(info.dir().filePath(stem + QLatin1Char('.') + Extension(chosenFormat())));
    };
    QObject::connect(format, &QComboBox::currentIndexChanged, &dialog, [&] {
        if (!output->text().trimmed().isEmpty()) output->setText(withExtension(output->text()));
        refresh();
        dialog.adjustSize();
    });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        const QString filter =
            chosenFormat() == ExportFormat::Mbtiles ? Tr("MBTiles file (*.mbtiles)") : Tr("KMZ file (*.kmz)");
        const QString path = ChooseSaveFile(&dialog, output->text(), filter);
        if (!path.isEmpty()) output->setText(withExtension(path));
    });
    for (QCheckBox* tick : ticks) QObject::connect(tick, &QCheckBox::toggled, &dialog, refresh);
    QObject::connect(output, &QLineEdit::textChanged, &dialog, refresh);
    refresh();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    ExportChoice choice{chosenFormat(), withExtension(output->text()), {}};
    for (std::size_t k = 0; k < ticks.size(); ++k)
        if (ticks[k]->isChecked()) choice.levels.push_back(int(k) + 1);
    choice.maxImages = budget->value();
    choice.level = customLevel->currentData().toInt();
    choice.drawOrder = drawOrder->value();
    return choice;
}

}  // namespace ui
