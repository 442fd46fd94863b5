// The editor's import of tile containers into a map, which it then shows, and its export of
// the loaded map to KMZ or MBTiles. Both run on the worker thread like save and split.
#include <QDir>
#include <QFileInfo>

#include "convert/fill_colour.h"
#include "operations/convert_map.h"
#include "platform/fs.h"
#include "settings/scale_model.h"
#include "ui/common/device_profile_box.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/common/replace_question.h"
#include "ui/common/worker_run.h"
#include "ui/editor/editor_window.h"

namespace ui {

namespace {

// The converters count tiles, not bytes; the bar does not mind which.
convert::ImportProgress Watched(WorkerReport& report) {
    return [&report](const char*, std::int64_t done, std::int64_t total) {
        report.Progress(done, total);
        return !report.CancelRequested();
    };
}

QString Zooms(const std::vector<int>& zooms) {
    QStringList shown;
    for (int zoom : zooms) shown << Number(zoom);
    return shown.join(QStringLiteral(", "));
}

bool SameFile(const QString& a, const QString& b) {
    const QString first = QFileInfo(a).canonicalFilePath();
    return !first.isEmpty() && first == QFileInfo(b).canonicalFilePath();
}

}  // namespace

void EditorWindow::ShowConvertFailure(const QString& what, const platform::Error& error) {
    if (error.code == platform::ErrorCode::Cancelled)
        presenter_.Information(tr("Cancelled: nothing was written."));
    else
        presenter_.Error(what + QLatin1Char('\n') + ErrorMessage(error));
}

void EditorWindow::OnImport() {
    if (running_) return;
    const QString start = QString::fromStdString(settings_.BatchDefaultDir(platform::ProgramFolder()));
    const std::optional<ImportChoice> choice = chooseImport ? chooseImport(start) : std::nullopt;
    if (!choice) return;
    lastImport_ = *choice;
    const QString source = QDir::cleanPath(choice->source.trimmed()), output = choice->output.trimmed();
    if (source.isEmpty() || output.isEmpty()) {
        Refuse(tr("Choose the tiles to import and the map to write."));
        return;
    }
    if (SameFile(source, output)) {
        Refuse(ErrorMessage(platform::Error(platform::ErrorCode::OutputIsSource).File(output.toStdString())));
        return;
    }
    // Volumes are named after the output; those of an earlier, larger import would be
    // replaced or, beyond the new set, removed.
    const std::vector<std::string> olderVolumes = convert::ExistingVolumes(output.toStdString());
    std::vector<std::string> inTheWay{output.toStdString()};
    inTheWay.insert(inTheWay.end(), olderVolumes.begin(), olderVolumes.end());
    if (!MayReplaceFiles(presenter_, inTheWay) || !MayDiscardEdits()) return;
    settings_.WriteSetting("Preferences", "BatchDefaultDir", QFileInfo(source).absolutePath().toStdString());

    convert::ImportOptions options;
    options.version = choice->version;
    options.raster.quality = choice->quality;
    options.raster.tileSize = choice->tileSize;
    options.join = convert::JoinForTileSize(choice->tileSize).value_or(options.join);
    options.raster.levels = choice->levels;
    options.raster.overviews = choice->overviews;
    options.fill = convert::ParseFillColour(choice->fill.trimmed().toStdString()).value_or(options.fill);
    // The scales are made for the profile in use, as the dialog's preview showed them.
    options.scaleFactor = deviceProfile_->Profile().factor;
    options.overwrite = !olderVolumes.empty();
    const std::string from = source.toStdString(), to = output.toStdString();
    convert::ImportResult result;
    platform::Error error;
    bool ok = false;
    SetRunning(true);
    WorkerReport report;
    RunWithProgress(this, tr("Importing %1").arg(QFileInfo(source).fileName()), report,
                    [&] { ok = operations::ImportMap(from, to, options, result, error, Watched(report)); });
    SetRunning(false);
    if (!ok) {
        ShowConvertFailure(tr("%1 could not be imported:").arg(source), error);
        return;
    }
    lastImport_ = {};
    // A map cut into volumes is shown by its first part, the coarsest levels over its north.
    if (LoadFile(QString::fromStdString(result.files.front().path))) ShowImported(result);
}

void EditorWindow::ShowImported(const convert::ImportResult& result) {
    const QString first = QString::fromStdString(result.files.front().path);
    QString text = result.volumes ? tr("The map was written as %Ln volume(s) in %1; the first one is loaded.", "",
                                       static_cast<int>(result.files.size()))
                                        .arg(QFileInfo(first).absolutePath())
                                  : tr("Map written: %1").arg(first);
    text +=
        QLatin1Char('\n') + tr("%Ln tile(s), zooms %1.", "", static_cast<int>(result.tiles)).arg(Zooms(result.zooms));
    if (result.leftOut > 0)
        text += QLatin1Char('\n') + tr("%Ln tile(s) of coarser zooms lie over no volume and were left out.", "",
                                       static_cast<int>(result.leftOut));
    if (result.notJoined)
        text += QLatin1Char('\n') +
                tr("The tiles were copied as they are, not joined: %1").arg(ErrorMessage(result.notJoined));
    presenter_.Information(text);
}

void EditorWindow::OnExport() {
    if (running_) return;
    if (doc_.FileName.empty()) {
        Refuse(tr("Need to load a JNX file."));
        return;
    }
    const QString map = QString::fromStdString(doc_.FileName);
    ExportOffer offer{map, {}, {}, QString::fromLatin1(settings::DeviceProfileOrDefault(settings_).name)};
    for (const convert::CustomMapsLevel& level : convert::CustomMapsLevels(doc_))
        offer.customImages.push_back(level.images);
    for (std::size_t k = 0; k < doc_.Levels.size(); ++k) {
        const std::int32_t zoom = k < doc_.LevelInfos.size() ? doc_.LevelInfos[k].Zoom : 255;
        const std::int32_t tiles = doc_.Levels[k].TileCount;
        QString caption = tr("Level %1: %Ln tile(s)", "", tiles).arg(k + 1);
        if (zoom != 255) caption += QStringLiteral(", ") + tr("zoom %1").arg(Number(zoom));
        offer.levels << caption;
    }
    const std::optional<ExportChoice> choice = chooseExport ? chooseExport(offer) : std::nullopt;
    if (!choice) return;
    const QString output = choice->output.trimmed();
    const bool custom = choice->format == ExportFormat::CustomMaps;
    if (output.isEmpty() || (choice->levels.empty() && !custom)) {
        Refuse(tr("Choose the levels to export and the file to write."));
        return;
    }
    if (SameFile(output, map)) {
        Refuse(ErrorMessage(platform::Error(platform::ErrorCode::OutputIsSource).File(output.toStdString())));
        return;
    }
    // The export copies the file as it is on disk; edits still in the controls would be
    // silently missing from it.
    if (HasUnsavedEdits() &&
        !presenter_.Question(tr("The export writes %1 as saved, without the changes not yet saved. Go on?")
                                 .arg(QFileInfo(map).fileName())))
        return;
    if (custom) {
        ExportCustomMaps(*choice, offer);
        return;
    }
    if (!MayReplaceFiles(presenter_, {output.toStdString()})) return;

    const std::string from = doc_.FileName, to = output.toStdString();
    const std::vector<int> levels = choice->levels;
    const bool kmz = choice->format == ExportFormat::Kmz;
    convert::ExportResult result;
    platform::Error error;
    bool ok = false;
    SetRunning(true);
    WorkerReport report;
    RunWithProgress(this, tr("Writing %1").arg(QFileInfo(output).fileName()), report, [&] {
        ok = operations::ExportMap(from, to, kmz ? operations::ExportFormat::Kmz : operations::ExportFormat::Mbtiles,
                                   levels, result, error, Watched(report));
    });
    SetRunning(false);
    if (!ok) {
        ShowConvertFailure(tr("%1 could not be exported:").arg(map), error);
        return;
    }
    OfferFolder(tr("Exported %Ln tile(s), zooms %1, to %2.", "", static_cast<int>(result.tiles))
                    .arg(Zooms(result.zooms), output),
                QFileInfo(output).absolutePath());
}

void EditorWindow::ExportCustomMaps(const ExportChoice& choice, const ExportOffer& offer) {
    convert::CustomMapsOptions options;
    options.maxImages = choice.maxImages;
    options.level = choice.level;
    options.drawOrder = choice.drawOrder;
    const QString output = choice.output.trimmed();
    const std::string from = doc_.FileName, to = output.toStdString();
    // A level named that needs more than the budget is written as OUT_1.kmz, OUT_2.kmz...
    const std::int64_t images = choice.level > 0 && std::size_t(choice.level) <= offer.customImages.size()
                                    ? offer.customImages[std::size_t(choice.level) - 1]
                                    : 0;
    const std::int64_t files = (images + options.maxImages - 1) / std::max(options.maxImages, 1);
    std::vector<std::string> inTheWay;
    if (files <= 1) inTheWay.push_back(to);
    for (std::int64_t f = 1; files > 1 && f <= files; ++f)
        inTheWay.push_back(convert::CustomMapsPartPath(to, std::size_t(f)));
    // Parts of an earlier, larger export would be replaced or, beyond the new set, removed.
    if (files > 1) {
        const std::vector<std::string> olderParts = convert::ExistingCustomMapsParts(to);
        inTheWay.insert(inTheWay.end(), olderParts.begin(), olderParts.end());
    }
    if (!MayReplaceFiles(presenter_, inTheWay)) return;
    options.overwrite = true;

    convert::CustomMapsResult result;
    platform::Error error;
    bool ok = false;
    SetRunning(true);
    WorkerReport report;
    RunWithProgress(this, tr("Writing %1").arg(QFileInfo(output).fileName()), report,
                    [&] { ok = operations::ExportCustomMaps(from, to, options, result, error, Watched(report)); });
    SetRunning(false);
    if (!ok) {
        ShowConvertFailure(tr("%1 could not be exported:").arg(QString::fromStdString(from)), error);
        return;
    }
    QString text = tr("Level %1 exported as %Ln Custom Maps image(s), at most %2 per file:", "", int(result.images))
                       .arg(result.level)
                       .arg(options.maxImages);
    for (const convert::CustomMapsFile& file : result.files)
        text +=
            QLatin1Char('\n') + tr("%1 (%Ln image(s))", "", int(file.images)).arg(QString::fromStdString(file.path));
    OfferFolder(text, QFileInfo(output).absolutePath());
}

}  // namespace ui
