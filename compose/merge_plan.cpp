#include "compose/merge_plan.h"

#include <cctype>

#include "jnx/codec.h"
#include "edit/user_input.h"
#include "jnx/reader.h"
#include "platform/fs.h"

namespace compose {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kCurrentToken = "$CURRENT";

MergePlanning Refused(MergeMessage id, int levelTotal = 0) {
    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Refused;
    result.refusal.id = id;
    result.refusal.levelTotal = levelTotal;
    return result;
}

MergePlanning Failed(MergeFailureKind kind, std::string path, std::string detail) {
    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Failed;
    result.failure.kind = kind;
    result.failure.path = std::move(path);
    result.failure.detail = std::move(detail);
    return result;
}

std::string ReplaceAll(std::string text, const std::string& token, const std::string& by) {
    std::size_t at = 0;
    while ((at = text.find(token, at)) != std::string::npos) {
        text.replace(at, token.size(), by);
        at += by.size();
    }
    return text;
}

// "C:/..." names a drive of another platform, which never exists here.
bool NamesForeignDrive(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::int64_t TileSum(const std::vector<jnx::JnxLevel>& levels) {
    std::int64_t sum = 0;
    for (const auto& level : levels) sum += level.TileCount;
    return sum;
}

}  // namespace

std::string MergeRefusalText(const MergeRefusal& refusal, bool spanish) {
    switch (refusal.id) {
        case MergeMessage::NoDirectory:
            return spanish ? "Debe cargar un directorio." : "You must load a directory.";
        case MergeMessage::ErroneousFile:
            return spanish ? "No puede seleccionar ningún fichero erroneo para procesar."
                           : "All erroneous files must be unchecked.";
        case MergeMessage::VersionConflict:
            return spanish ? "Hay JNX de con distintas versiones, es obligatorio que indique en el desplegable una "
                             "versión de JNX para el fichero resultante."
                           : "You must select a valid jnx version in combo, because original jnx have different jnx "
                             "versions.";
        case MergeMessage::TooFewFiles:
            return spanish ? "Debe seleccionar al menos dos ficheros a unir."
                           : "You must select at least two valid JNX file to join.";
        case MergeMessage::TooManyLevels: {
            const std::string n = std::to_string(refusal.levelTotal);
            return spanish ? "El número de niveles del fichero resultante [" + n +
                                 "] no puede ser superior a 5 (limite Garmin)."
                           : "NumLevels result [" + n + "] should be less than or equal to 5 (Garmin Limit).";
        }
        case MergeMessage::DifferentArea:
            return spanish ? "Los mapas seleccionados no cubren la misma superficie, no pueden unirse."
                           : "Only can join maps of the same area but different zoom levels.";
    }
    return {};
}

std::string MergeFailureText(const MergeFailure& failure, bool spanish) {
    std::string text = spanish ? "Error uniendo ficheros." : "Error merging files.";
    text += kCrLf;
    switch (failure.kind) {
        case MergeFailureKind::Loading:
            text += (spanish ? "Cargando " : "Loading ") + failure.path;
            break;
        case MergeFailureKind::LoadingFull:
            text += (spanish ? "Cargando " : "Loading ") + failure.path + kCrLf + failure.detail;
            break;
        case MergeFailureKind::Checkpoint:
            text += spanish ? "Punto de control" : "Checkpoint";
            break;
        case MergeFailureKind::Other:
            text += failure.detail;
            break;
    }
    return text;
}

std::optional<MergeRefusal> ValidateMerge(const std::vector<MergeSource>& sources, const MergePanel& panel,
                                          bool tableHasRows) {
    if (!tableHasRows) return MergeRefusal{MergeMessage::NoDirectory, 0};
    std::int64_t levelTotal = 0;
    int resultVersion = 0;
    int selected = 0;
    for (const auto& source : sources) {
        if (source.erroneous) return MergeRefusal{MergeMessage::ErroneousFile, 0};
        levelTotal += source.levelCount;
        ++selected;
        if (resultVersion == 0) {
            resultVersion = panel.targetVersion ? *panel.targetVersion : source.version;
        } else if (resultVersion != source.version) {
            if (!panel.targetVersion) return MergeRefusal{MergeMessage::VersionConflict, 0};
            resultVersion = *panel.targetVersion;
        }
    }
    if (selected < 2) return MergeRefusal{MergeMessage::TooFewFiles, 0};
    if (levelTotal > kMaxMergeLevels) {
        const int shown = levelTotal > 1000000 ? 1000000 : static_cast<int>(levelTotal);
        return MergeRefusal{MergeMessage::TooManyLevels, shown};
    }
    return std::nullopt;
}

MergeSourceContent MergeContentOf(const jnx::JnxDocument& doc) {
    MergeSourceContent content;
    content.Header = doc.Header;
    content.Levels = doc.Levels;
    content.LevelExtras = doc.LevelExtras;
    content.MapInfo = doc.MapInfo;
    content.LevelInfos = doc.LevelInfos;
    return content;
}

std::optional<MergeFailure> LoadMergeSources(std::vector<MergeSource>& sources, jnx::JnxDocument& doc,
                                             jnx::BusyObserver* busy, MergeProgress* progress) {
    const int total = static_cast<int>(sources.size());
    int loaded = 0;
    for (auto& source : sources) {
        if (!source.content) {
            std::int32_t tiles = 0;
            std::string error;
            if (!jnx::ReadJnx(doc, source.path, tiles, error, false, busy))
                return MergeFailure{MergeFailureKind::Loading, source.path, error};
            source.content = MergeContentOf(doc);
        }
        ++loaded;
        if (progress) progress->SourceLoaded(loaded, total);
    }
    return std::nullopt;
}

std::string MergeTargetFolder(const MergeFolderRule& rule) {
    const std::string current = platform::NormalizeSeparators(rule.currentFolder);
    if (rule.mergeDir.empty()) return current;
    const std::string folder = ReplaceAll(platform::NormalizeSeparators(rule.mergeDir), kCurrentToken, current);
    if (NamesForeignDrive(folder)) return current;
    // A relative folder is taken from the folder shown, not from wherever the program was started.
    if (folder.front() != '/') return platform::JoinPath(current, folder);
    return folder;
}

std::int64_t MergeHeaderSize(int version) { return jnx::kHeaderSize + (version == 4 ? 4 : 0); }

std::int64_t MergeLevelTableSize(const MergePlan& plan) {
    std::int64_t size = 0;
    for (std::size_t i = 0; i < plan.Levels.size(); ++i) {
        size += jnx::kLevelEntrySize;
        if (plan.ResultVersion == 4) size += 4 + static_cast<std::int64_t>(plan.LevelExtras[i].Copyright.size());
    }
    return size;
}

std::int64_t MergeMapBlockSize(const MergePlan& plan) { return jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos); }

MergePlanning PlanMerge(const std::vector<MergeSource>& sources, const MergePanel& panel,
                        const MergeFolderRule& folder, bool tableHasRows) {
    if (auto refusal = ValidateMerge(sources, panel, tableHasRows)) {
        MergePlanning result;
        result.outcome = MergePlanning::Outcome::Refused;
        result.refusal = *refusal;
        return result;
    }

    MergePlan plan;
    for (const auto& source : sources) {
        plan.SelectedCount += 1;
        plan.LevelTotal += source.levelCount;
        plan.TileTotal += source.totalTiles;
        if (plan.ResultVersion == 0)
            plan.ResultVersion = panel.targetVersion ? *panel.targetVersion : source.version;
        else if (plan.ResultVersion != source.version && panel.targetVersion)
            plan.ResultVersion = *panel.targetVersion;
    }
    if (plan.ResultVersion != 3 && plan.ResultVersion != 4)
        return Failed(MergeFailureKind::Other, {},
                      "Version " + std::to_string(plan.ResultVersion) + " cannot be written.");
    plan.TargetFolder = MergeTargetFolder(folder);

    bool first = true;
    for (const auto& source : sources) {
        if (!source.content) return Failed(MergeFailureKind::Loading, source.path, {});
        const MergeSourceContent& content = *source.content;

        // The row and the file must still agree; a plan sized from a stale row would hold
        // empty or wrong entries.
        if (static_cast<std::int64_t>(content.Levels.size()) != source.levelCount ||
            content.Header.LevelCount != source.levelCount || TileSum(content.Levels) != source.totalTiles ||
            content.Header.Version != source.version || content.LevelExtras.size() != content.Levels.size() ||
            content.LevelInfos.size() != content.Levels.size())
            return Failed(MergeFailureKind::Other, source.path,
                          source.path + " has changed since the folder was read; load the folder again.");

        if (first) {
            first = false;
            plan.Header = content.Header;
            plan.Header.Version = plan.ResultVersion;
            plan.Header.LevelCount = plan.LevelTotal;
            const std::string productId = jnx::Trim(panel.productIdText);
            if (!productId.empty()) {
                const auto value = jnx::ParseInt32(productId);
                if (!value)
                    return Failed(MergeFailureKind::Other, {},
                                  "The product ID \"" + panel.productIdText + "\" is not a whole number.");
                plan.Header.ProductId = *value;
            }

            plan.MapInfo = content.MapInfo;
            plan.MapInfo.InfoLevelCount = plan.LevelTotal;
            if (!jnx::Trim(panel.groupText).empty()) plan.MapInfo.GroupName = jnx::EncodeText(panel.groupText, true);

            const std::string drawOrder = jnx::Trim(panel.drawOrderText);
            if (!drawOrder.empty()) {
                const auto value = jnx::ParseInt32(drawOrder);
                if (!value)
                    return Failed(MergeFailureKind::Other, {},
                                  "The draw order \"" + panel.drawOrderText + "\" is not a whole number.");
                plan.Header.DrawOrder = *value;
            } else {
                plan.Header.DrawOrder = jnx::kDefaultDrawOrder;
            }
        } else if (content.Header.Bounds != plan.Header.Bounds) {
            return Refused(MergeMessage::DifferentArea);
        }

        MergePlanSource planned;
        planned.path = source.path;
        planned.bounds = content.Header.Bounds;
        for (std::size_t i = 0; i < content.Levels.size(); ++i) {
            if (content.Levels[i].TileCount < 0)
                return Failed(MergeFailureKind::Other, source.path,
                              source.path + " gives level " + std::to_string(i + 1) + " a negative tile count.");
            const std::size_t k = plan.Levels.size();
            jnx::JnxLevel level = content.Levels[i];
            if (k < panel.levelScale.size() && panel.levelScale[k])
                level.Scale = *panel.levelScale[k] - (panel.levelPriority[k] ? 1 : 0);
            plan.Levels.push_back(level);
            if (plan.ResultVersion == 4) plan.LevelExtras.push_back(content.LevelExtras[i]);
            plan.LevelInfos.push_back(content.LevelInfos[i]);
            planned.levelTileCounts.push_back(content.Levels[i].TileCount);
        }
        plan.Sources.push_back(std::move(planned));
    }

    if (plan.TileTotal <= 0)
        return Failed(MergeFailureKind::Other, {}, "The files chosen hold no tiles to merge.");
    const std::int64_t blockSize = MergeMapBlockSize(plan);
    if (blockSize >= jnx::kMapBlockSpan)
        return Failed(MergeFailureKind::Other, {},
                      "The map description block of the merged file would take " + std::to_string(blockSize) +
                          " bytes; at most 1023 fit.");

    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Planned;
    result.plan = std::move(plan);
    return result;
}

}  // namespace compose
