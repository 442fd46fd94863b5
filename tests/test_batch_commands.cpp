// Batch save, delete and split over folders of fixture files, checked by reading the
// results back and by listing the folder afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "jnx/reader.h"
#include "support/jnx_builder.h"
#include "batch/batch_commands.h"
#include "batch/folder_scan.h"

namespace {

using batch::BatchTable;
using batch::Refusal;
using fixture::Bytes;
using Files = std::vector<std::string>;

const std::vector<settings::ZoomLevelEntry> kZooms = {{"Z200", 200, 300}, {"Z4000", 4000, 5000}};

fixture::JnxRecipe Recipe(int version, int levels, int seedShift = 0) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, levels, 3);
    for (int i = 0; i < levels; ++i) recipe.levels[std::size_t(i)].scale = 1000 + 111 * i + seedShift;
    return recipe;
}

void Write(const fixture::TempDir& dir, const std::string& name, const fixture::JnxRecipe& recipe) {
    fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
}

BatchTable Load(const fixture::TempDir& dir) {
    BatchTable table;
    EXPECT_TRUE(batch::LoadFolder(table, dir.path(), kZooms, false).ok);
    return table;
}

batch::BatchRow& Row(BatchTable& table, const std::string& name) {
    for (auto& row : table.rows) {
        if (row.FileName() == name) return row;
    }
    throw std::runtime_error("no row " + name);
}

jnx::JnxDocument ReadFull(const std::string& path) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, total, error, true)) << path << ": " << error;
    return doc;
}

// The stored images of one level (0-based), or of every level.
std::vector<Bytes> Images(const std::string& path, int level = -1) {
    const jnx::JnxDocument doc = ReadFull(path);
    const Bytes file = fixture::ReadBytes(path);
    std::vector<Bytes> images;
    for (std::size_t k = 0; k < doc.Levels.size(); ++k) {
        if (level >= 0 && int(k) != level) continue;
        const std::size_t first = doc.FirstTileOf(k);
        for (std::size_t t = first; t < first + std::size_t(doc.Levels[k].TileCount); ++t) {
            const auto& tile = doc.Tiles[t];
            images.emplace_back(file.begin() + tile.DataOffset, file.begin() + tile.DataOffset + tile.DataSize);
        }
    }
    return images;
}

std::map<std::string, Bytes> Snapshot(const fixture::TempDir& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& name : dir.list()) files[name] = fixture::ReadBytes(dir.file(name));
    return files;
}

class Progress : public batch::BatchObserver {
public:
    void Started(int count) override { total = count; }
    void FileDone(int done) override { steps.push_back(done); }
    int total = -1;
    std::vector<int> steps;
};

// File operations that fail at a chosen step.
class FailingOps : public batch::FileOps {
public:
    bool failReplace = false, failRename = false, failDelete = false;
    bool Replace(const std::string& from, const std::string& to, std::string& error) override {
        if (failReplace) {
            error = "injected";
            return false;
        }
        return FileOps::Replace(from, to, error);
    }
    bool Rename(const std::string& from, const std::string& to, std::string& error) override {
        if (failRename) {
            error = "injected";
            return false;
        }
        return FileOps::Rename(from, to, error);
    }
    bool Delete(const std::string& path) override { return !failDelete && FileOps::Delete(path); }
};

// A version 3 file that must be regenerated for version 4, and a clean version 4 file of
// seven levels that is patched in place.
struct MixedFolder {
    fixture::TempDir dir;
    BatchTable table;
    jnx::FixedEditorValues window;
    batch::PanelValues panel;
    std::vector<Bytes> v3Images, v4Images;

    MixedFolder() {
        Write(dir, "a.jnx", Recipe(3, 2));
        Write(dir, "b.jnx", Recipe(4, 7));
        v3Images = Images(dir.file("a.jnx"));
        v4Images = Images(dir.file("b.jnx"));
        table = Load(dir);
        batch::SelectAll(table);
        window.productId = "42";
        window.scaleChoice[0] = 5000;
        window.priority[0] = true;
        panel.targetVersion = 4;
    }
};

TEST(BatchSave, PatchesInPlaceAndRegeneratesInOneRun) {
    MixedFolder f;
    const Bytes v3Before = fixture::ReadBytes(f.dir.file("a.jnx"));
    Progress progress;
    const auto summary = batch::BatchSave(f.table, f.window, f.panel, {}, &progress);
    ASSERT_FALSE(summary.Refused());
    EXPECT_EQ(summary.updated, 1);
    EXPECT_EQ(summary.created, 1);
    EXPECT_EQ(summary.errors, 0);
    EXPECT_EQ(summary.Text(true), "Actualizados OK: 1\r\nCreados OK: 1\r\nErrores: 0\r\n");
    EXPECT_EQ(summary.Text(false), "Updated OK: 1\r\nCreated OK: 1\r\nErrors: 0\r\n");
    EXPECT_EQ(progress.total, 2);
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(f.dir.list(), (Files{"a.jnx", "a_new.jnx", "b.jnx"}));

    EXPECT_EQ(fixture::ReadBytes(f.dir.file("a.jnx")), v3Before);
    const auto created = ReadFull(f.dir.file("a_new.jnx"));
    EXPECT_EQ(created.Header.Version, 4);
    EXPECT_EQ(created.Header.DrawOrder, 25);
    EXPECT_EQ(created.Header.ProductId, 42);
    EXPECT_EQ(created.Levels[0].Scale, 4999);
    EXPECT_TRUE(Images(f.dir.file("a_new.jnx")) == f.v3Images);

    const auto patched = ReadFull(f.dir.file("b.jnx"));
    EXPECT_EQ(patched.Header.ProductId, 42);
    EXPECT_EQ(patched.Header.DrawOrder, 30);
    EXPECT_EQ(patched.Levels[0].Scale, 4999);
    EXPECT_EQ(patched.Levels[1].Scale, 1111);
    // Levels beyond the fifth have no controls and keep their own scale.
    EXPECT_EQ(patched.Levels[5].Scale, 1555);
    EXPECT_EQ(patched.Levels[6].Scale, 1666);
    EXPECT_TRUE(Images(f.dir.file("b.jnx")) == f.v4Images);
}

TEST(BatchSave, DrawOrderFromThePanel) {
    MixedFolder f;
    f.panel.drawOrderText = " 17 ";
    ASSERT_EQ(batch::BatchSave(f.table, f.window, f.panel, {}).errors, 0);
    EXPECT_EQ(ReadFull(f.dir.file("a_new.jnx")).Header.DrawOrder, 17);
    EXPECT_EQ(ReadFull(f.dir.file("b.jnx")).Header.DrawOrder, 17);
}

TEST(BatchSave, ReplaceSourceLeavesOneCompleteFileUnderTheName) {
    {
        MixedFolder f;
        f.panel.replaceSource = true;
        const auto summary = batch::BatchSave(f.table, f.window, f.panel, {});
        EXPECT_EQ(summary.created, 1);
        EXPECT_EQ(summary.updated, 1);
        EXPECT_EQ(f.dir.list(), (Files{"a.jnx", "b.jnx"}));
        EXPECT_EQ(ReadFull(f.dir.file("a.jnx")).Header.Version, 4);
        EXPECT_TRUE(Images(f.dir.file("a.jnx")) == f.v3Images);
    }
    {
        // The final rename fails: the source stays as it was and the new file goes.
        MixedFolder f;
        f.panel.replaceSource = true;
        Row(f.table, "b.jnx").SetChecked(false);
        const auto before = Snapshot(f.dir);
        FailingOps ops;
        ops.failReplace = true;
        const auto summary = batch::BatchSave(f.table, f.window, f.panel, {}, nullptr, nullptr, &ops);
        EXPECT_EQ(summary.created, 0);
        EXPECT_EQ(summary.errors, 1);
        ASSERT_EQ(summary.rows.size(), 1u);
        EXPECT_NE(summary.rows[0].error.find("injected"), std::string::npos);
        EXPECT_EQ(Snapshot(f.dir), before);
    }
    {
        // The regeneration fails (a bad trailer passes the quick read of the scan but
        // not the full read): the source stays and nothing is left beside it.
        fixture::TempDir dir;
        auto recipe = Recipe(3, 2);
        recipe.trailer = {'N', 'o', 'p', 'e'};
        Write(dir, "bad.jnx", recipe);
        BatchTable table = Load(dir);
        ASSERT_FALSE(table.rows[0].Erroneous());
        batch::SelectAll(table);
        jnx::FixedEditorValues window;
        batch::PanelValues panel;
        panel.targetVersion = 4;
        panel.replaceSource = true;
        const auto before = Snapshot(dir);
        const auto summary = batch::BatchSave(table, window, panel, {});
        EXPECT_EQ(summary.errors, 1);
        EXPECT_EQ(Snapshot(dir), before);
    }
}

TEST(BatchSave, EditedFilenames) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "c.jnx", Recipe(3, 1));
    Write(dir, "d.jnx", Recipe(4, 1));
    Write(dir, "e.jnx", Recipe(4, 1));
    Write(dir, "f.jnx", Recipe(4, 1, 5));
    Write(dir, "g.jnx", Recipe(4, 1));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    Row(table, "f.jnx").SetChecked(false);
    Row(table, "a.jnx")[batch::kFilename] = "renamed.JNX";
    Row(table, "c.jnx")[batch::kFilename] = "ignored.jnx";  // regenerated: the name stays
    Row(table, "d.jnx")[batch::kFilename] = "sub/x.jnx";
    Row(table, "e.jnx")[batch::kFilename] = "f.jnx";        // exists already
    Row(table, "g.jnx")[batch::kFilename] = "G.JNX";        // letter case only: no rename
    const auto before = Snapshot(dir);
    jnx::FixedEditorValues window;
    window.productId = "9";
    batch::PanelValues panel;
    panel.targetVersion = 4;

    const auto summary = batch::BatchSave(table, window, panel, {});
    EXPECT_EQ(summary.updated, 2);
    EXPECT_EQ(summary.created, 1);
    EXPECT_EQ(summary.errors, 2);
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "c_new.jnx", "d.jnx", "e.jnx", "f.jnx", "g.jnx", "renamed.JNX"}));
    EXPECT_EQ(ReadFull(dir.file("renamed.JNX")).Header.ProductId, 9);
    EXPECT_EQ(ReadFull(dir.file("g.jnx")).Header.ProductId, 9);
    for (const char* untouched : {"c.jnx", "d.jnx", "e.jnx", "f.jnx"}) {
        EXPECT_EQ(fixture::ReadBytes(dir.file(untouched)), before.at(untouched)) << untouched;
    }
}

TEST(BatchSave, FailedRenameAfterUpdateIsAnErrorOfTheRow) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    table.rows[0][batch::kFilename] = "b.jnx";
    jnx::FixedEditorValues window;
    window.productId = "9";
    FailingOps ops;
    ops.failRename = true;
    const auto summary = batch::BatchSave(table, window, {}, {}, nullptr, nullptr, &ops);
    EXPECT_EQ(summary.updated, 0);
    EXPECT_EQ(summary.errors, 1);
    EXPECT_EQ(dir.list(), (Files{"a.jnx"}));
    EXPECT_EQ(ReadFull(dir.file("a.jnx")).Header.ProductId, 9);
}

TEST(BatchSave, FilesChangedSinceTheLoadAreRowErrors) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "b.jnx", Recipe(4, 1));
    Write(dir, "c.jnx", Recipe(4, 1));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    // a.jnx now lacks its map block, so it can no longer be patched; b.jnx is gone.
    auto noBlock = Recipe(4, 1);
    noBlock.withMapBlock = false;
    noBlock.gap = 1024;
    Write(dir, "a.jnx", noBlock);
    const Bytes changed = fixture::ReadBytes(dir.file("a.jnx"));
    std::filesystem::remove(dir.file("b.jnx"));
    jnx::FixedEditorValues window;
    window.productId = "3";
    batch::PanelValues panel;
    panel.replaceSource = true;

    const auto summary = batch::BatchSave(table, window, panel, {});
    EXPECT_EQ(summary.errors, 2);
    EXPECT_EQ(summary.updated, 1);
    EXPECT_EQ(fixture::ReadBytes(dir.file("a.jnx")), changed);
    EXPECT_EQ(dir.list(), (Files{"a.jnx", "c.jnx"}));
}

TEST(BatchSave, ValidationRefusalsTouchNoFile) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(3, 2));
    Write(dir, "b.jnx", Recipe(4, 2));
    fixture::WriteBytes(dir.file("broken.jnx"), {3, 0, 0});
    const BatchTable loaded = Load(dir);
    const auto before = Snapshot(dir);
    jnx::FixedEditorValues window;
    window.productId = "5";
    batch::PanelValues panel;
    panel.targetVersion = 4;

    auto refusal = [&](BatchTable table, const batch::PanelValues& values) {
        const auto summary = batch::BatchSave(table, window, values, {});
        EXPECT_EQ(summary.updated + summary.created + summary.errors, 0);
        EXPECT_EQ(Snapshot(dir), before);
        return summary.refusal;
    };
    EXPECT_EQ(refusal(BatchTable{}, panel), Refusal::NoRows);
    EXPECT_EQ(refusal(loaded, panel), Refusal::NoneChecked);

    BatchTable all = loaded;
    batch::SelectAll(all);
    EXPECT_EQ(refusal(all, panel), Refusal::ErroneousChecked);

    BatchTable good = loaded;
    Row(good, "a.jnx").SetChecked(true);
    Row(good, "b.jnx").SetChecked(true);
    for (const char* name : {"  ", "b.txt", "b.jnx.bak", "b"}) {
        BatchTable named = good;
        Row(named, "b.jnx")[batch::kFilename] = name;
        EXPECT_EQ(refusal(named, panel), Refusal::InvalidFilename) << name;
    }
    for (const char* order : {"12a", "x", "99999999999"}) {
        batch::PanelValues bad = panel;
        bad.drawOrderText = order;
        EXPECT_EQ(refusal(good, bad), Refusal::BadDrawOrder) << order;
    }
}

TEST(BatchSave, HeadlessRunOverPaths) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "c.jnx", Recipe(3, 1));
    jnx::FixedEditorValues window;
    batch::PanelValues panel;
    auto summary = batch::SaveFilesAsBatch({dir.file("a.jnx")}, "moved.jnx", window, panel, {});
    EXPECT_EQ(summary.updated, 1);
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "moved.jnx"}));

    summary = batch::SaveFilesAsBatch({dir.file("c.jnx"), dir.file("moved.jnx")}, "x.jnx", window, panel, {});
    EXPECT_EQ(summary.refusal, Refusal::InvalidFilename);

    panel.targetVersion = 4;
    panel.replaceSource = true;
    summary = batch::SaveFilesAsBatch({dir.file("c.jnx")}, "ignored.jnx", window, panel, {});
    EXPECT_EQ(summary.created, 1);
    EXPECT_EQ(dir.list(), (Files{"c.jnx", "moved.jnx"}));
    EXPECT_EQ(ReadFull(dir.file("c.jnx")).Header.Version, 4);

    summary = batch::SaveFilesAsBatch({dir.file("missing.jnx")}, "", window, panel, {});
    EXPECT_EQ(summary.refusal, Refusal::ErroneousChecked);
}

TEST(BatchDelete, RemovesCheckedFilesAndRows) {
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, 1));
    Write(dir, "b.jnx", Recipe(4, 1));
    fixture::WriteBytes(dir.file("c.jnx"), {9});
    BatchTable table = Load(dir);
    EXPECT_EQ(batch::BatchDelete(table).refusal, Refusal::NothingToDelete);
    EXPECT_EQ(dir.list().size(), 3u);

    Row(table, "a.jnx").SetChecked(true);
    table.rows[2].SetChecked(true);  // the erroneous row may be deleted
    EXPECT_EQ(batch::DeleteConfirmText(table.CheckedCount(), true), "Va a borrar 2 ficheros, ¿está seguro?.");
    const auto summary = batch::BatchDelete(table);
    EXPECT_EQ(summary.deleted, 2);
    EXPECT_EQ(summary.Text(false), "Deleted OK.");
    EXPECT_EQ(dir.list(), (Files{"b.jnx"}));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.rows[0].FileName(), "b.jnx");

    table.rows[0].SetChecked(true);
    FailingOps ops;
    ops.failDelete = true;
    const auto failed = batch::BatchDelete(table, &ops);
    EXPECT_EQ(failed.errors, 1);
    EXPECT_EQ(failed.Text(true), "Errores en el borrado.");
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(dir.list(), (Files{"b.jnx"}));
}

TEST(BatchSplit, TickedLevelsOfEveryCheckedFile) {
    fixture::TempDir dir;
    Write(dir, "MAP.jnx", Recipe(4, 3));
    Write(dir, "B.jnx", Recipe(3, 2));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    jnx::FixedEditorValues window;
    window.priority[0] = window.priority[2] = true;
    const auto before = Snapshot(dir);
    Progress progress;

    const auto summary = batch::BatchSplit(table, window, {}, {}, {}, &progress);
    ASSERT_FALSE(summary.Refused());
    EXPECT_EQ(summary.extracted, 3);
    EXPECT_EQ(summary.errors, 0);
    EXPECT_EQ(summary.Text(true), "Extraidos OK: 3\r\nErrores: 0\r\n");
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(dir.list(), (Files{"B.jnx", "B_Level1.jnx", "MAP.jnx", "MAP_Level1.jnx", "MAP_Level3.jnx"}));
    for (const auto& [name, bytes] : before) EXPECT_EQ(fixture::ReadBytes(dir.file(name)), bytes) << name;

    EXPECT_EQ(ReadFull(dir.file("MAP_Level3.jnx")).Header.LevelCount, 1);
    EXPECT_TRUE(Images(dir.file("MAP_Level1.jnx")) == Images(dir.file("MAP.jnx"), 0));
    EXPECT_TRUE(Images(dir.file("MAP_Level3.jnx")) == Images(dir.file("MAP.jnx"), 2));
    EXPECT_TRUE(Images(dir.file("B_Level1.jnx")) == Images(dir.file("B.jnx"), 0));
}

TEST(BatchSplit, LevelsBeyondTheFifthArePassedOver) {
    fixture::TempDir dir;
    Write(dir, "S.jnx", Recipe(4, 7));
    BatchTable table = Load(dir);
    batch::SelectAll(table);
    jnx::FixedEditorValues window;
    for (bool& tick : window.priority) tick = true;
    const auto summary = batch::BatchSplit(table, window, {}, {}, {});
    EXPECT_EQ(summary.extracted, 5);
    EXPECT_EQ(summary.errors, 0);
    EXPECT_EQ(dir.list().size(), 6u);
    EXPECT_TRUE(Images(dir.file("S_Level5.jnx")) == Images(dir.file("S.jnx"), 4));
}

TEST(BatchSplit, Refusals) {
    fixture::TempDir dir;
    Write(dir, "one.jnx", Recipe(4, 1));
    Write(dir, "two.jnx", Recipe(4, 2));
    fixture::WriteBytes(dir.file("zz.jnx"), {1});
    BatchTable table = Load(dir);
    jnx::FixedEditorValues window;
    window.priority[0] = true;
    EXPECT_EQ(batch::BatchSplit(table, window, {}, {}, {}).refusal, Refusal::NoneChecked);
    table.rows[2].SetChecked(true);
    EXPECT_EQ(batch::BatchSplit(table, window, {}, {}, {}).refusal, Refusal::ErroneousChecked);
    table.rows[2].SetChecked(false);
    Row(table, "one.jnx").SetChecked(true);
    Row(table, "two.jnx").SetChecked(true);
    EXPECT_EQ(batch::BatchSplit(table, window, {}, {}, {}).refusal, Refusal::SingleLevelSplit);
    window.priority[0] = false;
    EXPECT_EQ(batch::BatchSplit(table, window, {}, {}, {}).refusal, Refusal::NothingToSplit);
    EXPECT_EQ(dir.list().size(), 3u);

    // With two boxes ticked the one-level file passes and gives its level 1.
    window.priority[0] = window.priority[1] = true;
    const auto summary = batch::BatchSplit(table, window, {}, {}, {});
    EXPECT_EQ(summary.extracted, 3);
    EXPECT_EQ(dir.list(), (Files{"one.jnx", "one_Level1.jnx", "two.jnx", "two_Level1.jnx", "two_Level2.jnx", "zz.jnx"}));
}

}  // namespace
