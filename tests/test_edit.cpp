// The one resolution of an edit request: every rule that decides what a writer puts in a
// file, for every front end.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "edit/resolve_edit.h"
#include "edit/user_input.h"
#include "jnx/codec.h"

namespace {

using edit::EditRequest;
using edit::Purpose;
using platform::ErrorCode;

// A document as a read leaves it: three levels, version given.
jnx::JnxDocument Doc(int version, bool needsRegeneration = false) {
    jnx::JnxDocument doc;
    doc.Header.Version = version;
    doc.Header.ProductId = 100000;  // beyond 16 bits, as other producers write
    doc.Header.DrawOrder = version == 4 ? 60 : jnx::kDefaultDrawOrder;
    doc.NeedsRegeneration = needsRegeneration;
    doc.MapInfo.GroupName = {'C', 'a', 'f', 0xE9, 0};  // Windows-1252, not valid UTF-8
    for (int i = 0; i < 6; ++i) {
        doc.Levels.push_back({1, 0, 5000 - i});
        doc.LevelInfos.push_back({{0}, {0}, {0}, i + 1});
    }
    return doc;
}

struct Outcome {
    bool ok = false;
    platform::Error error;
    edit::ResolvedEdit resolved;
};

Outcome Resolve(const EditRequest& request, const jnx::JnxDocument& doc, Purpose purpose = Purpose::Save) {
    Outcome out;
    out.ok = edit::ResolveEdit(request, doc, "/maps/MAP.jnx", {}, purpose, out.resolved, out.error);
    return out;
}

TEST(ResolveEdit, VersionDrawOrderAndRoad) {
    struct Case {
        const char* what;
        int fileVersion; bool needsRegeneration; std::optional<int> target;
        std::optional<std::int16_t> drawOrder; bool removeOld;
        Purpose purpose;
        int version; std::int32_t expectedDrawOrder; edit::Road road; const char* output;
    };
    const std::vector<Case> cases = {
        {"v4 kept", 4, false, {}, {}, false, Purpose::Save, 4, 60, edit::Road::Patch, "/maps/MAP.jnx"},
        {"v4 same target", 4, false, 4, 70, false, Purpose::Save, 4, 70, edit::Road::Patch, "/maps/MAP.jnx"},
        {"v3 to v4 takes 25", 3, false, 4, {}, false, Purpose::Save, 4, 25, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"v4 to v3", 4, false, 3, {}, false, Purpose::Save, 3, 60, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"needs rewrite", 4, true, {}, {}, false, Purpose::Save, 4, 60, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"replaces source", 3, false, 4, {}, true, Purpose::Save, 4, 25, edit::Road::Rewrite, "/maps/MAP.jnx"},
        {"split never patches", 4, false, {}, {}, false, Purpose::Split, 4, 60, edit::Road::Rewrite, ""},
        {"merge starts at 25", 4, false, {}, {}, false, Purpose::Merge, 4, 25, edit::Road::Rewrite, ""},
    };
    for (const Case& c : cases) {
        EditRequest request;
        request.targetVersion = c.target, request.drawOrder = c.drawOrder, request.replaceSource = c.removeOld;
        const Outcome out = Resolve(request, Doc(c.fileVersion, c.needsRegeneration), c.purpose);
        ASSERT_TRUE(out.ok) << c.what;
        const edit::ResolvedEdit& r = out.resolved;
        EXPECT_EQ(std::tuple(r.version, r.changeVersion, r.values.drawOrder, r.road, r.outputPath),
                  std::tuple(c.version, c.version != c.fileVersion, c.expectedDrawOrder, c.road, c.output))
            << c.what;
    }
}

TEST(ResolveEdit, ProductIdAndGroup) {
    const jnx::JnxDocument doc = Doc(4);
    EditRequest request;
    edit::ParseGroupName("   ", request);  // a blank name is none
    Outcome out = Resolve(request, doc);
    ASSERT_TRUE(out.ok);
    // Nothing asked keeps the product ID, whatever its size.
    EXPECT_EQ(std::tuple(out.resolved.values.productId, out.resolved.values.groupName),
              std::tuple(100000, doc.MapInfo.GroupName));

    // The stored name typed back unchanged keeps its bytes; a new one is written as UTF-8.
    request.groupName = jnx::DecodeText(doc.MapInfo.GroupName, true);
    request.productId = -123;
    out = Resolve(request, doc);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(std::tuple(out.resolved.values.productId, out.resolved.values.groupName),
              std::tuple(-123, doc.MapInfo.GroupName));
    request.groupName = "Gruppe \xC3\xA9";
    EXPECT_EQ(jnx::DecodeText(Resolve(request, doc).resolved.values.groupName, true), "Gruppe \xC3\xA9");
}

TEST(ResolveEdit, LevelScalesPrioritiesAndZoomNumbers) {
    const jnx::JnxDocument doc = Doc(4);
    EditRequest request;
    request.levels[0] = {9000, true, {}};   // priority lowers the chosen scale by one
    request.levels[1] = {{}, true, 40};     // no choice: the stored scale stays
    request.levels[2].scale = 500, request.levels[4].zoom = 24;
    const Outcome out = Resolve(request, doc);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.resolved.values.scales, (std::vector<std::int32_t>{8999, 4999, 500, 4997, 4996, 4995}));
    // Levels without a zoom number asked keep theirs; the sixth has no controls at all.
    EXPECT_EQ(out.resolved.values.zooms, (std::vector<std::int32_t>{1, 40, 3, 4, 24, 6}));
}

TEST(ResolveEdit, BadValuesAreRefusedWithTheirCode) {
    struct Case { const char* what; void (*set)(EditRequest&); ErrorCode code; };
    const std::vector<Case> cases = {
        {"version 5", [](EditRequest& r) { r.targetVersion = 5; }, ErrorCode::BadTargetVersion},
        {"group too long", [](EditRequest& r) { r.groupName = std::string(40000, 'g'); }, ErrorCode::GroupTooLong},
        {"scale below the lowest", [](EditRequest& r) {
             r.levels[1] = {std::numeric_limits<std::int32_t>::min(), true, {}};
         }, ErrorCode::ScaleOutOfRange},
    };
    for (const Case& c : cases) {
        EditRequest request;
        c.set(request);
        const Outcome out = Resolve(request, Doc(4));
        EXPECT_EQ(out.ok ? ErrorCode::None : out.error.code, c.code) << c.what;
    }
    EditRequest request;
    platform::Error error;
    EXPECT_FALSE(edit::ParseZoomNumber("32768", 4, request, error));
    EXPECT_EQ(std::pair(error.code, error.level), std::pair(ErrorCode::BadZoomNumber, std::int64_t(5)));
}

TEST(UserInput, ZoomRowsByNameOrNumber) {
    const std::vector<settings::ZoomLevelEntry> table = {{"5 m", 1, 19}, {"8 m", 23, 28}, {"2", 30, 37}};
    std::vector<std::optional<std::size_t>> rows;  // "2": a name wins over a row number
    for (const char* text : {" 8 m", "2", "1", "4", "9 m"}) rows.push_back(edit::ZoomRowOf(text, table));
    EXPECT_EQ(rows, (std::vector<std::optional<std::size_t>>{1, 2, 0, std::nullopt, std::nullopt}));
}

}  // namespace
