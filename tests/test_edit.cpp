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

using edit::EditorValues;
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

Outcome Resolve(const EditorValues& request, const jnx::JnxDocument& doc, Purpose purpose = Purpose::Save,
            int userLevel = 1) {
    Outcome out;
    out.ok = edit::ResolveEdit(request, doc, "/maps/MAP.jnx", {userLevel, platform::kDefaultBlockSize}, purpose,
                               out.resolved, out.error);
    return out;
}

TEST(ResolveEdit, VersionDrawOrderAndRoad) {
    struct Case {
        const char* what;
        int fileVersion; bool needsRegeneration; std::optional<int> target; const char* drawOrder; bool removeOld;
        Purpose purpose;
        int version; std::int32_t expectedDrawOrder; edit::Road road; const char* output;
    };
    const std::vector<Case> cases = {
        {"v4 kept", 4, false, {}, "", false, Purpose::Save, 4, 60, edit::Road::Patch, "/maps/MAP.jnx"},
        {"v4 same target", 4, false, 4, " 70 ", false, Purpose::Save, 4, 70, edit::Road::Patch, "/maps/MAP.jnx"},
        {"v3 to v4 takes 25", 3, false, 4, "", false, Purpose::Save, 4, 25, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"v4 to v3", 4, false, 3, "", false, Purpose::Save, 3, 60, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"needs rewrite", 4, true, {}, "", false, Purpose::Save, 4, 60, edit::Road::Rewrite, "/maps/MAP_new.jnx"},
        {"replaces source", 3, false, 4, "", true, Purpose::Save, 4, 25, edit::Road::Rewrite, "/maps/MAP.jnx"},
        {"split never patches", 4, false, {}, "", false, Purpose::Split, 4, 60, edit::Road::Rewrite, ""},
        {"merge starts at 25", 4, false, {}, "", false, Purpose::Merge, 4, 25, edit::Road::Rewrite, ""},
    };
    for (const Case& c : cases) {
        EditorValues request;
        request.cboActualizar = c.target;
        request.txtDrawOrder = c.drawOrder;
        request.chkRemoveOld = c.removeOld;
        const Outcome out = Resolve(request, Doc(c.fileVersion, c.needsRegeneration), c.purpose);
        ASSERT_TRUE(out.ok) << c.what;
        EXPECT_EQ(out.resolved.version, c.version) << c.what;
        EXPECT_EQ(out.resolved.changeVersion, c.version != c.fileVersion) << c.what;
        EXPECT_EQ(out.resolved.values.drawOrder, c.expectedDrawOrder) << c.what;
        EXPECT_EQ(out.resolved.road, c.road) << c.what;
        EXPECT_EQ(out.resolved.outputPath, c.output) << c.what;
    }
}

TEST(ResolveEdit, ProductIdAndGroup) {
    const jnx::JnxDocument doc = Doc(4);
    EditorValues request;
    request.txtFamiliGroup = "   ";
    Outcome out = Resolve(request, doc);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.resolved.values.productId, 100000);  // an empty box keeps it, whatever its size
    EXPECT_EQ(out.resolved.values.groupName, doc.MapInfo.GroupName);

    // The stored name typed back unchanged keeps its bytes; a new one is written as UTF-8.
    request.txtFamiliGroup = jnx::DecodeText(doc.MapInfo.GroupName, true);
    request.txtProductID = " -123 ";
    out = Resolve(request, doc);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.resolved.values.groupName, doc.MapInfo.GroupName);
    EXPECT_EQ(out.resolved.values.productId, -123);
    request.txtFamiliGroup = "Gruppe \xC3\xA9";
    EXPECT_EQ(jnx::DecodeText(Resolve(request, doc).resolved.values.groupName, true), "Gruppe \xC3\xA9");
}

TEST(ResolveEdit, LevelScalesPrioritiesAndZoomNumbers) {
    const jnx::JnxDocument doc = Doc(4);
    EditorValues request;
    request.cboNivel[0] = 9000;
    request.chkSplitOPriority[0] = true;  // lowers the chosen scale by one
    request.chkSplitOPriority[1] = true;  // no choice: the stored scale stays
    request.cboNivel[2] = 500;
    for (int k = 0; k < jnx::device::kMaxLevels; ++k) request.txtNivel[std::size_t(k)] = std::to_string(20 + k);

    struct Case {
        const char* what; Purpose purpose; bool editorRules; int userLevel;
        std::vector<std::int32_t> scales; bool zoomsFromRequest;
    };
    const std::vector<Case> cases = {
        {"save", Purpose::Save, false, 2, {8999, 4999, 500, 4997, 4996, 4995}, false},
        {"split ignores priority", Purpose::Split, false, 1, {9000, 4999, 500, 4997, 4996, 4995}, false},
        {"editor, plain mode", Purpose::Save, true, 1, {8999, 4999, 500, 4997, 4996, 4995}, false},
        {"editor, preset mode", Purpose::Save, true, 2, {8999, 4999, 500, 4997, 4996, 4995}, true},
    };
    for (const Case& c : cases) {
        request.editorRules = c.editorRules;
        const Outcome out = Resolve(request, doc, c.purpose, c.userLevel);
        ASSERT_TRUE(out.ok) << c.what;
        EXPECT_EQ(out.resolved.values.scales, c.scales) << c.what;
        for (int i = 0; i < 6; ++i) {
            // The sixth level has no controls: its zoom number stays.
            const int expected = c.zoomsFromRequest && i < 5 ? 20 + i : i + 1;
            EXPECT_EQ(out.resolved.values.zooms[std::size_t(i)], expected) << c.what << " level " << i + 1;
        }
    }
}

TEST(ResolveEdit, BadValuesAreRefusedWithTheirCode) {
    struct Case { const char* what; void (*set)(EditorValues&); ErrorCode code; };
    const std::vector<Case> cases = {
        {"product 40000", [](EditorValues& r) { r.txtProductID = "40000"; }, ErrorCode::BadProductId},
        {"draw order text", [](EditorValues& r) { r.txtDrawOrder = "x"; }, ErrorCode::BadDrawOrder},
        {"version 5", [](EditorValues& r) { r.cboActualizar = 5; }, ErrorCode::BadTargetVersion},
        {"group too long", [](EditorValues& r) { r.txtFamiliGroup = std::string(40000, 'g'); },
         ErrorCode::GroupTooLong},
        {"scale below the lowest", [](EditorValues& r) {
             r.cboNivel[1] = std::numeric_limits<std::int32_t>::min();
             r.chkSplitOPriority[1] = true;
         }, ErrorCode::ScaleOutOfRange},
        {"zoom 32768", [](EditorValues& r) {
             r.editorRules = true;
             r.txtNivel = {"1", "2", "3", "4", "32768"};
         }, ErrorCode::BadZoomNumber},
    };
    for (const Case& c : cases) {
        EditorValues request;
        c.set(request);
        const Outcome out = Resolve(request, Doc(4), Purpose::Save, 2);
        EXPECT_FALSE(out.ok) << c.what;
        EXPECT_EQ(out.error.code, c.code) << c.what;
    }
}

TEST(UserInput, ZoomRowsByNameOrNumber) {
    const std::vector<settings::ZoomLevelEntry> table = {{"5 m", 1, 19}, {"8 m", 23, 28}, {"2", 30, 37}};
    EXPECT_EQ(edit::ZoomRowOf(" 8 m", table), 1u);
    EXPECT_EQ(edit::ZoomRowOf("2", table), 2u);  // a name wins over a row number
    EXPECT_EQ(edit::ZoomRowOf("1", table), 0u);
    EXPECT_FALSE(edit::ZoomRowOf("4", table));
    EXPECT_FALSE(edit::ZoomRowOf("9 m", table));
}

}  // namespace
