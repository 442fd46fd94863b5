#include "jnx/write_values.h"

#include <algorithm>
#include <limits>

#include "jnx/codec.h"
#include "edit/user_input.h"
#include "platform/gather_read.h"
#include "platform/le.h"

namespace jnx {

void AppendI32(Bytes& out, std::int32_t value) {
    std::uint8_t raw[4];
    platform::StoreI32(raw, value);
    out.insert(out.end(), raw, raw + 4);
}

void AppendBytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

bool ResolveWriteValues(const JnxDocument& doc, const EditorValues& window, const WriterSettings& settings,
                        ScaleRule rule, WriteValues& values, std::string& error) {
    const std::string productText = Trim(window.ProductIdText());
    if (productText.empty()) {
        values.productId = doc.Header.ProductId;
    } else if (auto id = ParseInt16(productText)) {
        values.productId = *id;
    } else {
        error = "Product ID \"" + productText + "\" is not a whole number from -32768 to 32767";
        return false;
    }

    // Decoding and encoding again would change a stored name that is not valid UTF-8.
    const std::string groupText = Trim(window.FamilyGroupText());
    if (groupText.empty() || groupText == DecodeText(doc.MapInfo.GroupName, true)) {
        values.groupName = doc.MapInfo.GroupName;
    } else {
        values.groupName = EncodeText(groupText, true);
        if (values.groupName.size() > std::size_t(kMaxZstring)) {
            error = "Group name too long";
            return false;
        }
    }

    const bool zoomFromWindow = window.IsEditorWindow() && settings.userLevel == 2;
    values.scales.clear();
    values.zooms.clear();
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        const int k = static_cast<int>(i);
        std::int32_t scale = doc.Levels[i].Scale;
        std::int32_t zoom = i < doc.LevelInfos.size() ? doc.LevelInfos[i].Zoom : 0;
        if (window.HasLevelControls(k)) {
            if (auto choice = window.LevelScaleChoice(k)) {
                scale = *choice;
                if (rule == ScaleRule::WithPriority && window.LevelPriority(k)) {
                    if (scale == std::numeric_limits<std::int32_t>::min()) {
                        error = "Scale out of range";
                        return false;
                    }
                    scale -= 1;
                }
            }
            if (zoomFromWindow) {
                const std::string text = Trim(window.LevelZoomText(k));
                auto parsed = ParseInt16(text);
                if (!parsed) {
                    error = "Zoom of level " + std::to_string(i + 1) + " (\"" + text +
                            "\") is not a whole number from -32768 to 32767";
                    return false;
                }
                zoom = *parsed;
            }
        }
        values.scales.push_back(scale);
        values.zooms.push_back(zoom);
    }
    return true;
}

bool BuildMapBlock(const JnxMapInfo& info, const std::vector<JnxLevelInfo>& levels, Bytes& out,
                   std::string& error) {
    const std::int64_t length = MapBlockLength(info, levels);
    if (length >= kMapBlockSpan) {
        error = "Map description block of " + std::to_string(length) + " bytes does not fit in 1024 bytes";
        return false;
    }
    out.clear();
    out.reserve(kMapBlockSpan);
    AppendI32(out, info.BlockVersion);
    AppendBytes(out, info.MapGuid);
    AppendBytes(out, info.GroupName);
    out.insert(out.end(), info.ReservedBytes.begin(), info.ReservedBytes.end());
    AppendBytes(out, info.MapTitle);
    AppendI32(out, info.InfoLevelCount);
    for (const auto& level : levels) {
        AppendBytes(out, level.Name);
        AppendBytes(out, level.Description);
        AppendBytes(out, level.Copyright);
        AppendI32(out, level.Zoom);
    }
    if (std::int64_t(out.size()) != length) {
        error = "Map description block texts are not zero-terminated";
        return false;
    }
    out.resize(kMapBlockSpan, 0);
    return true;
}

std::uint32_t CheckMask(std::int32_t dataSize) {
    return dataSize >= 4 ? 0xFFFFFFFFu : (1u << (8 * dataSize)) - 1u;
}

std::size_t FirstBrokenCheckPoint(const platform::BinaryFile& file, const std::vector<CheckPoint>& points,
                                  std::int64_t shift, std::int64_t limit) {
    std::string error;
    std::int64_t length = 0;
    if (!file.Size(length, error)) return 0;
    // A file of many tiles has as many points: they are read through the gathering
    // reader, not by one system call each. A point outside the file is broken.
    std::size_t firstOutside = points.size();
    std::vector<std::size_t> read;
    std::vector<std::int64_t> offsets;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].Offset >= limit) continue;
        const std::int64_t pos = std::int64_t(points[i].Offset) + shift;
        if (pos < 0 || pos > length - 4) {
            firstOutside = std::min(firstOutside, i);
            continue;
        }
        read.push_back(i);
        offsets.push_back(pos);
    }
    std::vector<std::uint8_t> values(offsets.size() * 4);
    if (!platform::GatherReads(file, length, offsets, 4, values.data(), error))
        return read.empty() ? firstOutside : std::min(firstOutside, read[0]);
    for (std::size_t k = 0; k < read.size() && read[k] < firstOutside; ++k) {
        if (platform::LoadI32(values.data() + 4 * k) != points[read[k]].Value) return read[k];
    }
    return firstOutside;
}

}  // namespace jnx
