// Two writers of one map: a writer given a document read before another writer's edit
// refuses and leaves that edit in place, also when it had to wait for the other's lock.
#include <gtest/gtest.h>

#include "jnx/modif.h"
#include "jnx/regenerate.h"
#include "support/other_writer.h"
#include "support/writer_support.h"

namespace {

using platform::ErrorCode;

// The three ways a save writes: in place, anew over the map, anew beside it.
enum class Road { Patch, Replace, Beside };

bool Save(jnx::JnxDocument& doc, Road road, std::int16_t productId, platform::Error& error,
          const platform::FileLock* held = nullptr) {
    edit::EditRequest request;
    request.productId = productId;
    if (road != Road::Patch) request.targetVersion = 7 - doc.Header.Version;
    request.replaceSource = road == Road::Replace;
    const edit::ResolvedEdit resolved = fixture::Resolve(request, doc);
    if (resolved.road == edit::Road::Patch)
        return jnx::ModifJNX(doc, resolved.values, doc.FileName, error, nullptr, held);
    return jnx::RegenerateJnx(doc, resolved.values, resolved.version, doc.FileName, resolved.outputPath, {}, error,
                              nullptr, held);
}

// Every road, over a map that another save changed (in place or by replacing it) since
// the document was read.
TEST(TwoWriters, DocumentReadBeforeAnotherEditIsRefused) {
    for (const Road first : {Road::Patch, Road::Replace})
        for (const Road second : {Road::Patch, Road::Replace, Road::Beside}) {
            fixture::Loaded l(fixture::SimpleRecipe(4, 2, 3));
            jnx::JnxDocument other = l.doc;
            platform::Error error;
            ASSERT_TRUE(Save(other, first, 111, error)) << platform::ErrorText(error);
            const fixture::Snapshot edited = fixture::TakeSnapshot(l.dir.path());

            const std::string where = "second save " + std::to_string(int(second)) + " after " +
                                      std::to_string(int(first));
            EXPECT_FALSE(Save(l.doc, second, 222, error)) << where;
            EXPECT_EQ(error.code, ErrorCode::FileChanged) << where;
            EXPECT_EQ(fixture::TakeSnapshot(l.dir.path()), edited) << where;
        }
}

// A writer that meets the lock of another, which read the map and has yet to write (in
// place, or a new file renamed over the map), waits for it, then refuses its own older
// document.
TEST(TwoWriters, ASecondWriterWaitsForTheLockThenRefuses) {
    for (const Road first : {Road::Patch, Road::Replace}) {
        fixture::Loaded l(fixture::SimpleRecipe(4, 2, 3));
        const auto write = [first](jnx::JnxDocument& doc, const platform::FileLock& lock) {
            platform::Error error;
            return Save(doc, first, 111, error, &lock);
        };
        fixture::OtherWriter other(l.path, write, std::chrono::milliseconds(150));
        ASSERT_TRUE(other.Started());
        platform::Error error;
        EXPECT_FALSE(Save(l.doc, Road::Patch, 222, error));
        EXPECT_EQ(error.code, ErrorCode::FileChanged);
        EXPECT_TRUE(other.Finish()) << "the other writer's edit was lost";
        EXPECT_EQ(fixture::ReadFull(l.path).Header.ProductId, 111);
    }
}

}  // namespace
