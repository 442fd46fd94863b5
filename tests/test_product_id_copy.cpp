// The map block's copy of the product ID, through every writer that sets it (a batch save
// goes through the first two): it follows a new product ID when it was in step with the old
// one, is made in step in a block the program adds, and is left alone when it held
// something else.
#include <gtest/gtest.h>

#include <functional>

#include "compose/extract.h"
#include "compose/merge_write.h"
#include "jnx/modif.h"
#include "jnx/product_id_copy.h"
#include "jnx/regenerate.h"
#include "support/writer_support.h"

namespace {

using jnx::ReservedField;

// Writes MAP.jnx of dir with product ID 4242 and gives the written file's path; "" when
// the writer does not take such a file.
using Writer = std::function<std::string(const fixture::TempDir&, const std::string&)>;

edit::EditRequest NewId() {
    edit::EditRequest request;
    request.productId = 4242;
    return request;
}

std::string Failed(const platform::Error& error) {
    ADD_FAILURE() << platform::ErrorText(error);
    return "";
}

const std::vector<std::pair<const char*, Writer>> kWriters = {
    {"update in place", [](const fixture::TempDir&, const std::string& path) {
         jnx::JnxDocument doc = fixture::ReadFull(path);
         if (doc.NeedsRegeneration) return std::string();
         platform::Error error;
         return jnx::ModifJNX(doc, fixture::Resolve(NewId(), doc).values, path, error) ? path : Failed(error);
     }},
    {"regeneration", [](const fixture::TempDir& dir, const std::string& path) {
         jnx::JnxDocument doc = fixture::ReadFull(path);
         edit::EditRequest request = NewId();
         request.targetVersion = 3;
         const auto resolved = fixture::Resolve(request, doc);
         platform::Error error;
         const std::string out = dir.file("OUT.jnx");
         return jnx::RegenerateJnx(doc, resolved.values, 3, path, out, {}, error) ? out : Failed(error);
     }},
    {"extraction", [](const fixture::TempDir& dir, const std::string& path) {
         jnx::JnxDocument doc = fixture::ReadFull(path);
         const auto resolved = fixture::Resolve(NewId(), doc, edit::Purpose::Split);
         platform::Error error;
         const std::string out = dir.file("L2.jnx");
         // The second level, after the document already took the first's values.
         return compose::ExtractLevel(doc, resolved.values, 4, path, dir.file("L1.jnx"), 1, {}, error) &&
                        compose::ExtractLevel(doc, resolved.values, 4, path, out, 2, {}, error)
                    ? out
                    : Failed(error);
     }},
    {"merge", [](const fixture::TempDir& dir, const std::string& path) {
         fixture::WriteBytes(dir.file("OTHER.jnx"), fixture::ReadBytes(path));
         const auto planning = compose::PlanMerge(fixture::MergeSourcesOf({path, dir.file("OTHER.jnx")}), NewId(),
                                                  compose::MergeFolderRule{"", dir.path()});
         if (planning.outcome != compose::MergePlanning::Outcome::Planned) return Failed(planning.error);
         jnx::JnxDocument doc;
         std::string out;
         platform::Error error;
         return compose::WriteMerge(planning.plan, doc, out, error) ? out : Failed(error);
     }},
};

TEST(ProductIdCopy, FollowsTheProductIdThroughEveryWriter) {
    struct Source { const char* name; ReservedField reserved; bool withBlock; ReservedField expected; };
    const std::vector<Source> sources = {
        {"copy in step", {0x00, 0x07, 0x00}, true, {0x00, 0x92, 0x10}},
        {"bytes meaning something else", {0x01, 0x02, 0x03}, true, {0x01, 0x02, 0x03}},
        {"copy of another ID", {0x00, 0x08, 0x00}, true, {0x00, 0x08, 0x00}},
        {"no block: the program's own", {0x00, 0x00, 0x00}, false, {0x00, 0x92, 0x10}},
    };
    for (const auto& [writer, write] : kWriters)
        for (const auto& source : sources) {
            fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 2, 2);
            recipe.productId = 7, recipe.reserved = source.reserved, recipe.withMapBlock = source.withBlock;
            if (!source.withBlock) recipe.gap = 1024;
            fixture::TempDir dir;
            const std::string path = dir.file("MAP.jnx");
            fixture::WriteBytes(path, fixture::BuildJnx(recipe).bytes);
            const std::string out = write(dir, path);
            if (out.empty()) continue;
            const jnx::JnxDocument written = fixture::ReadFull(out);
            EXPECT_EQ(std::tuple(written.Header.ProductId, written.MapInfo.ReservedBytes),
                      std::tuple(4242, source.expected))
                << writer << ", " << source.name;
        }
    // An ID the copy cannot hold leaves it, for the check to report.
    EXPECT_EQ(jnx::ReservedBytesFor({0, 7, 0}, 7, 70000), (ReservedField{0, 7, 0}));
    EXPECT_EQ(jnx::ReservedBytesFor({0, 0xFF, 0xFF}, -1, -32768), (ReservedField{0, 0x00, 0x80}));
}

}  // namespace
