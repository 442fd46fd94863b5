#include "compose/merge_plan.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <numeric>

#include "edit/resolve_edit.h"
#include "jnx/codec.h"
#include "jnx/product_id_copy.h"
#include "jnx/reader.h"
#include "platform/fs.h"

namespace compose {
namespace {

constexpr const char* kCurrentToken = "$CURRENT";

using platform::Error;
using platform::ErrorCode;

MergePlanning Refused(Error error) {
    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Refused;
    result.error = std::move(error);
    return result;
}

MergePlanning Failed(Error error) {
    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Failed;
    result.error = std::move(error);
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

bool ValidateMerge(const std::vector<MergeSource>& sources, const edit::EditRequest& request, Error& refusal,
                   bool tableLoaded) {
    if (!tableLoaded) return platform::Fail(refusal, Error(ErrorCode::RefuseNoFolder));
    std::int64_t levelTotal = 0;
    int resultVersion = 0;
    int selected = 0;
    for (const auto& source : sources) {
        if (source.erroneous) return platform::Fail(refusal, Error(ErrorCode::RefuseErroneousChecked));
        levelTotal += source.levelCount;
        ++selected;
        if (resultVersion == 0) {
            resultVersion = request.targetVersion ? *request.targetVersion : source.version;
        } else if (resultVersion != source.version) {
            if (!request.targetVersion) return platform::Fail(refusal, Error(ErrorCode::RefuseMergeVersions));
            resultVersion = *request.targetVersion;
        }
    }
    if (selected < 2) return platform::Fail(refusal, Error(ErrorCode::RefuseMergeTooFew));
    if (levelTotal > jnx::device::kMaxLevels) {
        const std::int64_t shown = levelTotal > 1000000 ? 1000000 : levelTotal;
        return platform::Fail(refusal, Error(ErrorCode::RefuseMergeTooManyLevels).Value(shown));
    }
    return edit::ValidateRequest(request, refusal);
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

bool LoadMergeSources(std::vector<MergeSource>& sources, jnx::JnxDocument& doc, Error& error,
                      jnx::BusyObserver* busy, MergeProgress* progress) {
    const int total = static_cast<int>(sources.size());
    int loaded = 0;
    for (auto& source : sources) {
        if (jnx::Cancelled(busy)) return platform::Fail(error, Error(ErrorCode::Cancelled));
        if (!source.content) {
            std::int32_t tiles = 0;
            Error readError;
            if (!jnx::ReadJnx(doc, source.path, tiles, readError, jnx::ReadDepth::Quick, busy))
                return platform::Fail(error, Error(ErrorCode::MergeLoading).File(source.path).Cause(readError));
            source.content = MergeContentOf(doc);
        }
        ++loaded;
        if (progress) progress->SourceLoaded(loaded, total);
    }
    return true;
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

namespace {

// North, east, south, west in degrees, to six places: enough to see which edge differs.
std::string BoundsText(const std::array<std::int32_t, 4>& bounds) {
    char text[128];
    const auto degrees = [](std::int32_t units) { return double(units) * 180.0 / 2147483648.0; };
    std::snprintf(text, sizeof text, "north %.6f, east %.6f, south %.6f, west %.6f", degrees(bounds[0]),
                  degrees(bounds[1]), degrees(bounds[2]), degrees(bounds[3]));
    return text;
}

// The merged file's header, block and levels from its sources, before the edit values.
MergePlanning Gather(const std::vector<MergeSource>& sources, MergePlan& plan) {
    bool first = true;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const MergeSource& source = sources[s];
        if (!source.content) return Failed(Error(ErrorCode::MergeLoading).File(source.path));
        const MergeSourceContent& content = *source.content;

        // The row and the file must still agree; a plan sized from a stale row would hold
        // empty or wrong entries.
        if (static_cast<std::int64_t>(content.Levels.size()) != source.levelCount ||
            content.Header.LevelCount != source.levelCount || TileSum(content.Levels) != source.totalTiles ||
            content.Header.Version != source.version || content.LevelExtras.size() != content.Levels.size() ||
            content.LevelInfos.size() != content.Levels.size())
            return Failed(Error(ErrorCode::MergeRowChanged).File(source.path));

        if (first) {
            first = false;
            plan.Header = content.Header;
            plan.Header.Version = plan.ResultVersion;
            plan.Header.LevelCount = plan.LevelTotal;
            plan.MapInfo = content.MapInfo;
            plan.MapInfo.InfoLevelCount = plan.LevelTotal;
        } else if (content.Header.Bounds != plan.Header.Bounds) {
            return Refused(Error(ErrorCode::RefuseMergeDifferentArea)
                               .File(sources.front().path)
                               .Other(source.path)
                               .Detail(BoundsText(plan.Header.Bounds) + " against " +
                                       BoundsText(content.Header.Bounds)));
        }

        MergePlanSource planned;
        planned.path = source.path;
        planned.bounds = content.Header.Bounds;
        for (std::size_t i = 0; i < content.Levels.size(); ++i) {
            if (content.Levels[i].TileCount < 0)
                return Failed(Error(ErrorCode::MergeNegativeTiles).File(source.path).Level(std::int64_t(i) + 1));
            plan.Levels.push_back(content.Levels[i]);
            if (plan.ResultVersion == 4) plan.LevelExtras.push_back(content.LevelExtras[i]);
            plan.LevelInfos.push_back(content.LevelInfos[i]);
            plan.LevelSources.push_back({s, i});
            planned.levelTileCounts.push_back(content.Levels[i].TileCount);
        }
        plan.Sources.push_back(std::move(planned));
    }
    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Planned;
    return result;
}

// The edit values go through the same resolution as a save, against the merged file.
bool ApplyRequest(const edit::EditRequest& request, MergePlan& plan, Error& error) {
    jnx::JnxDocument merged;
    merged.Header = plan.Header;
    merged.Levels = plan.Levels;
    merged.MapInfo = plan.MapInfo;
    merged.LevelInfos = plan.LevelInfos;
    edit::EditRequest forMerge = request;
    forMerge.targetVersion = plan.ResultVersion;
    edit::ResolvedEdit resolved;
    if (!edit::ResolveEdit(forMerge, merged, {}, jnx::WriterSettings{}, edit::Purpose::Merge, resolved, error))
        return false;
    plan.MapInfo.ReservedBytes =
        jnx::ReservedBytesFor(plan.MapInfo.ReservedBytes, plan.Header.ProductId, resolved.values.productId);
    plan.Header.ProductId = resolved.values.productId;
    plan.Header.DrawOrder = resolved.values.drawOrder;
    plan.MapInfo.GroupName = resolved.values.groupName;
    for (std::size_t k = 0; k < plan.Levels.size(); ++k) plan.Levels[k].Scale = resolved.values.scales[k];
    return true;
}

// Every per-level list of the plan follows the levels into their new order.
void SortCoarseToFine(MergePlan& plan) {
    std::vector<std::size_t> order(plan.Levels.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return plan.Levels[a].Scale > plan.Levels[b].Scale; });
    const auto reorder = [&order](auto& list) {
        if (list.size() != order.size()) return;  // version 3 has no level extras
        auto sorted = list;
        for (std::size_t k = 0; k < order.size(); ++k) sorted[k] = list[order[k]];
        list = std::move(sorted);
    };
    reorder(plan.Levels);
    reorder(plan.LevelExtras);
    reorder(plan.LevelInfos);
    reorder(plan.LevelSources);
}

}  // namespace

MergePlanning PlanMerge(const std::vector<MergeSource>& sources, const edit::EditRequest& request,
                        const MergeFolderRule& folder, bool tableLoaded, LevelOrder order) {
    Error refusal;
    if (!ValidateMerge(sources, request, refusal, tableLoaded)) return Refused(refusal);

    MergePlan plan;
    for (const auto& source : sources) {
        plan.SelectedCount += 1;
        plan.LevelTotal += source.levelCount;
        plan.TileTotal += source.totalTiles;
        if (plan.ResultVersion == 0)
            plan.ResultVersion = request.targetVersion ? *request.targetVersion : source.version;
        else if (plan.ResultVersion != source.version && request.targetVersion)
            plan.ResultVersion = *request.targetVersion;
    }
    if (plan.ResultVersion != 3 && plan.ResultVersion != 4)
        return Failed(Error(ErrorCode::MergeVersion).Value(plan.ResultVersion));
    plan.TargetFolder = MergeTargetFolder(folder);

    MergePlanning gathered = Gather(sources, plan);
    if (gathered.outcome != MergePlanning::Outcome::Planned) return gathered;
    Error error;
    if (!ApplyRequest(request, plan, error)) return Failed(error);
    if (order == LevelOrder::CoarseToFine) SortCoarseToFine(plan);

    if (plan.TileTotal <= 0) return Failed(Error(ErrorCode::MergeNothing));
    const std::int64_t blockSize = jnx::MapBlockLength(plan.MapInfo, plan.LevelInfos);
    if (blockSize >= jnx::kMapBlockSpan) return Failed(Error(ErrorCode::MergeBlockOverflow).Value(blockSize));

    MergePlanning result;
    result.outcome = MergePlanning::Outcome::Planned;
    result.plan = std::move(plan);
    return result;
}

}  // namespace compose
