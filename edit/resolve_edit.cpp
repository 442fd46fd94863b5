#include "edit/resolve_edit.h"

#include <limits>

#include "jnx/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace edit {

using platform::ParseInt16;
using platform::ParseInt32;
using platform::Trim;
namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

// The request was validated: a draw order typed is a whole number.
std::int32_t ResolveDrawOrder(const EditorValues& request, const jnx::JnxDocument& doc, Purpose purpose,
                              const ResolvedEdit& out) {
    std::int32_t drawOrder = doc.Header.DrawOrder;
    const std::string text = Trim(request.txtDrawOrder);
    if (!text.empty()) {
        drawOrder = *ParseInt32(text);
    } else if (purpose == Purpose::Merge || (out.changeVersion && out.version == 4)) {
        // A version 3 file has no draw order of its own; a merged file starts afresh.
        drawOrder = jnx::kDefaultDrawOrder;
    }
    return drawOrder;
}

// Decoding and encoding again would change a stored name that is not valid UTF-8, so a
// name left as it was keeps its bytes.
bool ResolveGroup(const EditorValues& request, const jnx::JnxDocument& doc, jnx::Bytes& group, Error& error) {
    const std::string text = Trim(request.txtFamiliGroup);
    if (text.empty() || text == jnx::DecodeText(doc.MapInfo.GroupName, true)) {
        group = doc.MapInfo.GroupName;
        return true;
    }
    group = jnx::EncodeText(text, true);
    if (group.size() > std::size_t(jnx::kMaxZstring)) return Fail(error, Error(ErrorCode::GroupTooLong));
    return true;
}

bool ResolveLevels(const EditorValues& request, const jnx::JnxDocument& doc, const jnx::WriterSettings& settings,
                   Purpose purpose, jnx::WriteValues& values, Error& error) {
    const bool zoomFromRequest = request.editorRules && settings.userLevel == 2;
    values.scales.clear();
    values.zooms.clear();
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        const auto scale = RequestedScale(request, doc, i, purpose);
        if (!scale) return Fail(error, Error(ErrorCode::ScaleOutOfRange));
        std::int32_t zoom = i < doc.LevelInfos.size() ? doc.LevelInfos[i].Zoom : 0;
        if (i < std::size_t(jnx::device::kMaxLevels)) {
            if (zoomFromRequest) {
                const auto parsed = ParseInt16(request.txtNivel[i]);
                if (!parsed)
                    return Fail(error, Error(ErrorCode::BadZoomNumber).Level(std::int64_t(i) + 1).Other(
                                           Trim(request.txtNivel[i])));
                zoom = *parsed;
            }
        }
        values.scales.push_back(*scale);
        values.zooms.push_back(zoom);
    }
    return true;
}

}  // namespace

std::optional<std::int32_t> RequestedScale(const EditorValues& request, const jnx::JnxDocument& doc,
                                           std::size_t level, Purpose purpose) {
    const auto choice = level < std::size_t(jnx::device::kMaxLevels) ? request.cboNivel[level] : std::nullopt;
    if (!choice) return doc.Levels[level].Scale;
    // A prioritised level is drawn just before the row's own scale takes over.
    if (purpose == Purpose::Split || !request.chkSplitOPriority[level]) return *choice;
    if (*choice == std::numeric_limits<std::int32_t>::min()) return std::nullopt;
    return *choice - 1;
}

std::string NewFilePath(const std::string& sourcePath) {
    return platform::JoinPath(platform::ParentFolder(sourcePath), platform::BaseNameOf(sourcePath) + "_new.jnx");
}

bool ValidateRequest(const EditorValues& request, Error& error) {
    if (!Trim(request.txtProductID).empty() && !ParseInt16(request.txtProductID))
        return Fail(error, Error(ErrorCode::BadProductId).Other(Trim(request.txtProductID)));
    // One range on every road, as wide as a product ID: a value the unit does not take
    // (it draws 0 to 100) is written, and the device check warns of it.
    if (!Trim(request.txtDrawOrder).empty() && !ParseInt16(request.txtDrawOrder))
        return Fail(error, Error(ErrorCode::BadDrawOrder).Other(Trim(request.txtDrawOrder)));
    if (request.cboActualizar && *request.cboActualizar != 3 && *request.cboActualizar != 4)
        return Fail(error, Error(ErrorCode::BadTargetVersion));
    return true;
}

bool ResolveEdit(const EditorValues& request, const jnx::JnxDocument& doc, const std::string& sourcePath,
                 const jnx::WriterSettings& settings, Purpose purpose, ResolvedEdit& out, Error& error) {
    if (!ValidateRequest(request, error)) return false;
    if (settings.blockSize <= 0) return Fail(error, Error(ErrorCode::BadBlockSize));
    out = ResolvedEdit{};
    out.version = request.cboActualizar ? *request.cboActualizar : doc.Header.Version;
    if (out.version != 3 && out.version != 4) return Fail(error, Error(ErrorCode::BadTargetVersion));
    out.changeVersion = out.version != doc.Header.Version;

    jnx::WriteValues& values = out.values;
    const std::string productText = Trim(request.txtProductID);
    // An empty box keeps the stored value as it is, even one beyond 16 bits.
    values.productId = productText.empty() ? doc.Header.ProductId : *ParseInt16(productText);
    values.drawOrder = ResolveDrawOrder(request, doc, purpose, out);
    if (!ResolveGroup(request, doc, values.groupName, error) ||
        !ResolveLevels(request, doc, settings, purpose, values, error))
        return false;

    // Only a save can patch: and only a file whose version stays and whose front part
    // already has the layout this program writes.
    const bool patch = purpose == Purpose::Save && !out.changeVersion && !doc.NeedsRegeneration;
    out.road = patch ? Road::Patch : Road::Rewrite;
    if (purpose == Purpose::Save)
        out.outputPath = patch || request.chkRemoveOld ? sourcePath : NewFilePath(sourcePath);
    return true;
}

}  // namespace edit
