#include "edit/resolve_edit.h"

#include <algorithm>
#include <limits>
#include <set>

#include "jnx/codec.h"
#include "platform/fs.h"

namespace edit {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

std::int32_t ResolveDrawOrder(const EditRequest& request, const jnx::JnxDocument& doc, Purpose purpose,
                              const ResolvedEdit& out) {
    if (request.drawOrder) return *request.drawOrder;
    // A version 3 file has no draw order of its own; a merged file starts afresh.
    if (purpose == Purpose::Merge || (out.changeVersion && out.version == 4)) return jnx::kDefaultDrawOrder;
    return doc.Header.DrawOrder;
}

// Decoding and encoding again would change a stored name that is not valid UTF-8, so a
// name left as it was keeps its bytes.
jnx::Bytes ResolveGroup(const EditRequest& request, const jnx::JnxDocument& doc) {
    if (!request.groupName || *request.groupName == jnx::DecodeText(doc.MapInfo.GroupName, true))
        return doc.MapInfo.GroupName;
    return jnx::EncodeText(*request.groupName, true);
}

bool ResolveLevels(const EditRequest& request, const jnx::JnxDocument& doc, jnx::WriteValues& values, Error& error) {
    values.scales.clear();
    values.zooms.clear();
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        const auto scale = RequestedScale(request, doc, i);
        if (!scale) return Fail(error, Error(ErrorCode::ScaleOutOfRange));
        std::int32_t zoom = i < doc.LevelInfos.size() ? doc.LevelInfos[i].Zoom : 0;
        if (i < request.levels.size() && request.levels[i].zoom) zoom = *request.levels[i].zoom;
        values.scales.push_back(*scale);
        values.zooms.push_back(zoom);
    }
    return true;
}

}  // namespace

std::optional<std::int32_t> RequestedScale(const EditRequest& request, const jnx::JnxDocument& doc, std::size_t level) {
    if (level >= request.levels.size() || !request.levels[level].scale) return doc.Levels[level].Scale;
    const LevelRequest& chosen = request.levels[level];
    if (!chosen.priority) return *chosen.scale;
    if (*chosen.scale == std::numeric_limits<std::int32_t>::min()) return std::nullopt;
    return *chosen.scale - 1;
}

EditRequest WithFittedScales(const EditRequest& request, const jnx::JnxDocument& doc,
                             const std::vector<std::int32_t>& native) {
    EditRequest fitted = request;
    if (!request.fitScalesFactor) return fitted;
    const std::size_t count = std::min({doc.Levels.size(), native.size(), fitted.levels.size()});
    // A level that keeps its scale holds it; the fitted ones, taken from the largest scale
    // down (the earlier level first on a tie), each step below any scale already held, so
    // the order of the levels' coarseness survives the nudge.
    std::set<std::int32_t> held;
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < count; ++k) {
        if (native[k] > 0)
            order.push_back(k);
        else
            held.insert(RequestedScale(request, doc, k).value_or(doc.Levels[k].Scale));
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return native[a] > native[b]; });
    for (const std::size_t k : order) {
        std::int32_t scale = native[k];
        while (held.count(scale) != 0 && scale > 1) --scale;
        held.insert(scale);
        fitted.levels[k].scale = scale;
        fitted.levels[k].priority = false;
    }
    return fitted;
}

std::string NewFilePath(const std::string& sourcePath) {
    return platform::JoinPath(platform::ParentFolder(sourcePath), platform::BaseNameOf(sourcePath) + "_new.jnx");
}

bool ResolveEdit(const EditRequest& request, const jnx::JnxDocument& doc, const std::string& sourcePath,
                 const jnx::WriterSettings& settings, Purpose purpose, ResolvedEdit& out, Error& error) {
    if (!ValidateRequest(request, error)) return false;
    if (settings.blockSize <= 0) return Fail(error, Error(ErrorCode::BadBlockSize));
    out = ResolvedEdit{};
    out.version = request.targetVersion ? *request.targetVersion : doc.Header.Version;
    if (out.version != 3 && out.version != 4) return Fail(error, Error(ErrorCode::BadTargetVersion));
    out.changeVersion = out.version != doc.Header.Version;

    jnx::WriteValues& values = out.values;
    // Nothing asked keeps the stored product ID as it is, even one beyond 16 bits.
    values.productId = request.productId ? *request.productId : doc.Header.ProductId;
    values.drawOrder = ResolveDrawOrder(request, doc, purpose, out);
    values.groupName = ResolveGroup(request, doc);
    if (!ResolveLevels(request, doc, values, error)) return false;

    // Only a save can patch: and only a file whose version stays and whose front part
    // already has the layout this program writes.
    const bool patch = purpose == Purpose::Save && !out.changeVersion && !doc.NeedsRegeneration;
    out.road = patch ? Road::Patch : Road::Rewrite;
    if (purpose == Purpose::Save)
        out.outputPath = patch || request.replaceSource ? sourcePath : NewFilePath(sourcePath);
    return true;
}

}  // namespace edit
