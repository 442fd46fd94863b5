#include "operations/fit_map.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <numeric>
#include <set>

#include "check/device_check.h"
#include "check/jpeg_header.h"
#include "convert/import_jnx.h"
#include "convert/import_join.h"
#include "convert/import_plan.h"
#include "convert/ordered_work.h"
#include "convert/tile_groups.h"
#include "jnx/document.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"
#include "platform/buffered_write.h"
#include "platform/file_lock.h"
#include "platform/fs.h"
#include "platform/le.h"
#include "platform/new_file.h"

namespace operations {
namespace {

using check::Finding;
using check::FindingCode;
using platform::Error;
using platform::ErrorCode;
using platform::Fail;

using convert::kNoTile;
using convert::NotOnGrid;

// One tile of the new map: a source tile as it is, stripped or rewritten, or a
// group of neighbours joined.
struct PlannedTile : convert::TileGroup {
    bool rewrite = false;  // progressive: written again as baseline
    bool strip = false;    // keeps its FF D8
};

struct Plan {
    jnx::FrontPart front;
    std::vector<std::vector<PlannedTile>> levels;
    std::vector<int> factors;  // per level: 1, or the side of the joined groups
    // The files to write: the whole map, or its volumes, each holding some of front's
    // tiles.
    std::vector<convert::PlannedFile> files;
    bool volumes = false;
};

bool JoinPlan(const jnx::JnxDocument& doc, std::size_t level, int factor, std::vector<PlannedTile>& groups,
              Error& why) {
    std::vector<convert::TileGroup> found;
    if (!convert::GroupTiles(doc, level, factor, found, why)) return false;
    groups.clear();
    for (convert::TileGroup& group : found) {
        PlannedTile& tile = groups.emplace_back();
        static_cast<convert::TileGroup&>(tile) = std::move(group);
        // What the group is reckoned to take until it is joined: its parts.
        std::int64_t parts = 0;
        for (std::int64_t piece : tile.pieces)
            if (piece != convert::kNoTile) parts += std::max(doc.Tiles[std::size_t(piece)].DataSize, 0);
        tile.entry.DataSize = std::int32_t(std::min<std::int64_t>(parts, INT32_MAX));
    }
    return true;
}

// A tile's place in doc.Tiles from a finding's level and tile (both 1-based).
std::size_t TileIndex(const jnx::JnxDocument& doc, const Finding& f) {
    return doc.FirstTileOf(std::size_t(f.level - 1)) + std::size_t(f.tile - 1);
}

struct Mending {
    std::vector<FitRepair> repairs;
    std::vector<Error> notes;
    std::set<FindingCode> mended;  // codes whose every finding is mended
};

// What the source's findings ask for and the file allows, laid out as a new
// map. Levels listed in unjoinable are copied as they are.
Plan PlanFit(const jnx::JnxDocument& doc, const std::vector<Finding>& findings, const FitRequest& request,
             const std::set<std::size_t>& unjoinable, Mending& mending) {
    Plan plan;
    jnx::FrontPart& front = plan.front;
    front.header = doc.Header;
    front.mapInfo = doc.MapInfo;
    front.levelInfos = doc.LevelInfos;
    front.signature = doc.Signature;
    std::set<std::size_t> progressive, soi;
    std::set<std::size_t> overLimit;
    for (const Finding& f : findings) {
        switch (f.code) {
            case FindingCode::ProductIdCopy:
                if (const auto copy = jnx::ProductIdCopy(doc.Header.ProductId)) {
                    front.mapInfo.ReservedBytes = *copy;
                    mending.repairs.push_back({FitRepair::Kind::ProductIdCopy});
                    mending.mended.insert(f.code);
                }
                break;
            case FindingCode::DrawOrderRange:
                front.header.DrawOrder =
                    std::clamp(doc.Header.DrawOrder, jnx::device::kMinDrawOrder, jnx::device::kMaxDrawOrder);
                mending.repairs.push_back(
                    {FitRepair::Kind::DrawOrder, 0, doc.Header.DrawOrder, front.header.DrawOrder});
                mending.mended.insert(f.code);
                break;
            case FindingCode::TileProgressive:
                progressive.insert(TileIndex(doc, f));
                break;
            case FindingCode::TileHasSoi:
                soi.insert(TileIndex(doc, f));
                break;
            case FindingCode::TilesOverLimit:
                overLimit.insert(std::size_t(f.level - 1));
                break;
            default:
                break;
        }
    }
    bool allJoined = true;
    for (std::size_t level = 0; level < doc.Levels.size(); ++level) {
        const std::size_t first = doc.FirstTileOf(level);
        const auto count = std::size_t(doc.Levels[level].TileCount);
        std::vector<PlannedTile>& tiles = plan.levels.emplace_back();
        int factor = 1;
        if (overLimit.count(level) != 0 && unjoinable.count(level) == 0) {
            Error why;
            for (int f : {2, 4}) {
                std::vector<PlannedTile> groups;
                if (!JoinPlan(doc, level, f, groups, why)) break;
                factor = f;
                tiles = std::move(groups);
                if (std::int64_t(tiles.size()) <= request.tilesPerLevel) break;
            }
            // Still over the limit joined 4 x 4, the level is cut into volumes.
            if (factor == 1) {
                tiles.clear();
                mending.notes.push_back(why);
                allJoined = false;
            } else {
                mending.repairs.push_back({FitRepair::Kind::JoinedLevel, std::int64_t(level) + 1, std::int64_t(count),
                                           std::int64_t(tiles.size()), factor});
            }
        } else if (overLimit.count(level) != 0) {
            allJoined = false;
        }
        plan.factors.push_back(factor);
        if (factor == 1) {
            for (std::size_t i = first; i < first + count; ++i) {
                PlannedTile& tile = tiles.emplace_back();
                tile.pieces = {std::int64_t(i)};
                tile.rewrite = progressive.count(i) != 0;
                tile.strip = soi.count(i) != 0;
                tile.entry = doc.Tiles[i];
            }
        }
        jnx::JnxLevel entry = doc.Levels[level];
        entry.TileCount = std::int32_t(tiles.size());
        front.levels.push_back(entry);
        front.levelCopyrights.push_back(doc.LevelExtras[level].Copyright);
        for (const PlannedTile& tile : tiles) front.tiles.push_back(tile.entry);
    }
    if (!overLimit.empty() && allJoined) mending.mended.insert(FindingCode::TilesOverLimit);
    if (!soi.empty()) {
        mending.repairs.push_back({FitRepair::Kind::StrippedSoi, 0, 0, std::int64_t(soi.size())});
        mending.mended.insert(FindingCode::TileHasSoi);
    }
    if (!progressive.empty())
        mending.repairs.push_back({FitRepair::Kind::Baseline, 0, 0, std::int64_t(progressive.size())});
    return plan;
}

std::size_t SizeOf(const jnx::JnxTile& tile) { return std::size_t(std::max(tile.DataSize, 0)); }

bool HasSoi(const jnx::Bytes& bytes) { return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

// What a worker makes of one planned tile: the bytes to store, and what became
// of a tile to rewrite.
struct MadeTile {
    std::vector<jnx::Bytes> parts;  // a run of neighbours stored back to back in its first's
    std::vector<convert::JpegPiece> pieces;
    jnx::Bytes made;
    const jnx::Bytes* body = nullptr;
    std::size_t skip = 0;  // leading bytes of body not stored (FF D8)
    bool rewritten = false;
    bool reencoded = false;  // joined by decoding and encoding again
    Error notRewritten;  // a progressive tile libjpeg cannot read stays as it is
};

bool MakeTile(const jnx::JnxDocument& doc, const platform::BinaryFile& source, const FitRequest& request,
              const PlannedTile& tile, std::size_t level, int factor, MadeTile& out, Error& error) {
    out.parts.resize(tile.pieces.size());
    out.rewritten = out.reencoded = false;
    out.notRewritten = Error();
    std::vector<convert::JpegPiece>& pieces = out.pieces;
    pieces.assign(tile.pieces.size(), {});
    // Neighbours in a row of the group usually lie back to back: one read for them.
    for (std::size_t k = 0; k < tile.pieces.size();) {
        if (tile.pieces[k] == kNoTile) {
            ++k;
            continue;
        }
        const jnx::JnxTile& first = doc.Tiles[std::size_t(tile.pieces[k])];
        std::size_t end = k + 1, size = SizeOf(first);
        for (; end < tile.pieces.size() && tile.pieces[end] != kNoTile; ++end) {
            const jnx::JnxTile& next = doc.Tiles[std::size_t(tile.pieces[end])];
            if (std::int64_t(next.DataOffset) != std::int64_t(first.DataOffset) + std::int64_t(size)) break;
            size += SizeOf(next);
        }
        jnx::Bytes& bytes = out.parts[k];
        bytes.resize(size);
        if (!source.ReadAt(first.DataOffset, bytes.data(), bytes.size(), error)) return false;
        for (std::size_t at = 0; k < end; ++k) {
            const auto index = std::size_t(tile.pieces[k]);
            pieces[k] = {bytes.data() + at, SizeOf(doc.Tiles[index]), std::int64_t(index - doc.FirstTileOf(level)) + 1};
            at += pieces[k].size;
        }
    }
    out.body = &out.parts[0];
    out.skip = 0;
    if (factor > 1) {
        if (!convert::JoinJpegTiles(pieces, tile.cols, tile.rows, request.fill, out.made, error)) {
            if (error.code != ErrorCode::JpegJoinMismatch || request.reencodeQuality <= 0 ||
                !convert::ReencodeJpegTiles(pieces, tile.cols, tile.rows, request.fill, request.reencodeQuality,
                                            out.made, error)) {
                error.Level(std::int64_t(level) + 1);
                return false;
            }
            out.reencoded = true;
        }
        out.body = &out.made, out.skip = 2;
    } else if (tile.rewrite) {
        if (convert::RewriteAsBaseline(pieces[0], out.made, out.notRewritten)) {
            out.body = &out.made, out.skip = 2;
            out.rewritten = true;
        } else {
            out.notRewritten.Level(std::int64_t(level) + 1);
            out.skip = tile.strip && HasSoi(out.parts[0]) ? 2 : 0;
        }
    } else if (tile.strip && HasSoi(out.parts[0])) {
        out.skip = 2;
    }
    return true;
}

// Writes every planned tile after the front part's place, each one's bytes made
// as the plan says, on every core and stored in the plan's order. A group that
// cannot be joined stops the run with joinFailed set: the level is then planned
// again as it is.
bool WriteTiles(const jnx::JnxDocument& doc, const platform::BinaryFile& source, const FitRequest& request, Plan& plan,
                std::vector<platform::BufferedWrite>& outs, std::vector<std::vector<jnx::ExpectedHead>>& heads,
                Mending& mending, bool& joinFailed, jnx::BusyObserver* observer, Error& error) {
    // Which files each tile goes to, and where in each: a coarser tile may lie over
    // several volumes.
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> goesTo(plan.front.tiles.size());
    for (std::size_t f = 0; f < plan.files.size(); ++f)
        for (std::size_t j = 0; j < plan.files[f].tiles.size(); ++j) goesTo[plan.files[f].tiles[j]].emplace_back(f, j);
    std::vector<std::size_t> levelEnds;
    std::size_t total = 0;
    for (const auto& level : plan.levels) levelEnds.push_back(total += level.size());
    const auto place = [&](std::int64_t item) {
        const auto level =
            std::size_t(std::upper_bound(levelEnds.begin(), levelEnds.end(), std::size_t(item)) - levelEnds.begin());
        const std::size_t first = level == 0 ? 0 : levelEnds[level - 1];
        return std::pair{level, std::size_t(item) - first};
    };
    std::set<FindingCode> stays;
    std::int64_t rewritten = 0;
    std::vector<std::int64_t> reencoded(plan.levels.size(), 0);
    std::vector<MadeTile> slots(convert::SlotsFor(convert::WorkerCount()));
    convert::OrderedTasks tasks;
    tasks.count = std::int64_t(total);
    tasks.slots = slots.size();
    tasks.make = [&](std::int64_t item, std::size_t slot, Error& e) {
        const auto [level, index] = place(item);
        return MakeTile(doc, source, request, plan.levels[level][index], level, plan.factors[level], slots[slot], e);
    };
    tasks.take = [&](std::int64_t item, std::size_t slot, Error& e) {
        const auto [level, index] = place(item);
        PlannedTile& tile = plan.levels[level][index];
        const MadeTile& made = slots[slot];
        if ((item + 1) % 256 == 0) {
            if (jnx::Cancelled(observer)) return Fail(e, Error(ErrorCode::Cancelled));
            if (observer) observer->Progress(item + 1, std::int64_t(total));
        }
        if (plan.factors[level] > 1) {
            // The size the image has, whatever the parts' entries claimed.
            const check::JpegFrame frame = check::WalkToFrame(made.made.data() + 2, made.made.size() - 2);
            tile.entry.TileAux = {std::uint8_t(frame.width), std::uint8_t(frame.width >> 8), std::uint8_t(frame.height),
                                  std::uint8_t(frame.height >> 8)};
            reencoded[level] += made.reencoded ? 1 : 0;
        } else if (made.rewritten) {
            ++rewritten;
        } else if (made.notRewritten) {
            // The device check says so again; the other tiles are still mended.
            mending.notes.push_back(made.notRewritten);
            stays.insert(FindingCode::TileProgressive);
        }
        const jnx::Bytes& body = *made.body;
        const std::size_t size = body.size() - std::min(made.skip, body.size());
        std::uint8_t first4[4] = {};
        std::copy_n(body.data() + made.skip, std::min<std::size_t>(size, 4), first4);
        tile.entry.DataSize = std::int32_t(size);
        for (const auto& [f, j] : goesTo[std::size_t(item)]) {
            platform::BufferedWrite& out = outs[f];
            if (out.End() + std::int64_t(size) + std::int64_t(sizeof jnx::kTrailer) > request.fileLength)
                return Fail(e, Error(ErrorCode::FileTooLarge).Value(out.End() + std::int64_t(size)));
            heads[f].push_back({out.End(), std::int32_t(size), platform::LoadI32(first4)});
            jnx::JnxTile& entry = plan.files[f].front.tiles[j];
            entry = tile.entry;
            entry.DataOffset = std::uint32_t(out.End());
            if (!out.Append(body.data() + made.skip, size, e)) return false;
        }
        return true;
    };
    if (!convert::RunInOrder(tasks, error)) {
        joinFailed = convert::JoinRefused(error) && error.level > 0;
        return false;
    }
    if (stays.count(FindingCode::TileProgressive) == 0) mending.mended.insert(FindingCode::TileProgressive);
    for (FitRepair& repair : mending.repairs) {
        if (repair.kind == FitRepair::Kind::Baseline) repair.after = rewritten;
        if (repair.kind == FitRepair::Kind::JoinedLevel) repair.reencoded = reencoded[std::size_t(repair.level - 1)];
    }
    std::erase_if(mending.repairs,
                  [](const FitRepair& r) { return r.kind == FitRepair::Kind::Baseline && r.after == 0; });
    for (platform::BufferedWrite& out : outs) {
        if (!out.Flush(error)) return false;
    }
    return true;
}

// The map as one file, or, when a joined level is still over the limit or the map
// over a file's length, cut into volumes as the import cuts them, by where the tiles
// lie. A level that could not be joined stays as it is, and is reported.
bool LayOutFiles(Plan& plan, const FitRequest& request, Error& error) {
    plan.files.clear();
    std::int64_t tiles = 0;
    bool oneFile = true;
    for (std::size_t k = 0; k < plan.levels.size(); ++k) {
        tiles += std::int64_t(plan.levels[k].size());
        oneFile = oneFile && (plan.factors[k] == 1 || std::int64_t(plan.levels[k].size()) <= request.tilesPerLevel);
    }
    oneFile = oneFile && jnx::LengthBackToBack(plan.front) <= request.fileLength;
    plan.volumes = !oneFile;
    if (oneFile) {
        convert::PlannedFile& file = plan.files.emplace_back();
        file.front = plan.front;
        file.tiles.resize(std::size_t(tiles));
        std::iota(file.tiles.begin(), file.tiles.end(), 0u);
        return true;
    }
    convert::ImportPlan cut;
    cut.tiles.resize(std::size_t(tiles));
    for (const auto& level : plan.levels) cut.tilesPerZoom.push_back(std::int32_t(level.size()));
    if (!convert::CutIntoFiles(plan.front, {request.tilesPerLevel, request.fileLength}, convert::TileLayout::Free, cut,
                               error))
        return false;
    plan.files = std::move(cut.files);
    return true;
}

// A budget below the unit's (a caller's own) is judged as the unit's limit is.
void JudgeBudget(const jnx::JnxDocument& doc, std::int32_t budget, std::vector<Finding>& findings) {
    if (budget >= jnx::device::kMaxTilesPerLevel) return;
    for (std::size_t i = 0; i < doc.Levels.size(); ++i) {
        const std::int32_t count = doc.Levels[i].TileCount;
        if (count <= budget || count > jnx::device::kMaxTilesPerLevel) continue;
        Finding& f = findings.emplace_back();
        f.code = FindingCode::TilesOverLimit, f.level = std::int64_t(i) + 1, f.a = count, f.b = budget;
    }
}

std::vector<Finding> CheckFile(const std::string& path, const platform::BinaryFile& file, const FitRequest& request,
                               bool& read, Error& error) {
    std::vector<Finding> findings;
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    read = jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Tables);
    if (read) {
        findings = check::CheckStructure(doc, request.zoomRows, request.scaleFactor, &file);
        JudgeBudget(doc, request.tilesPerLevel, findings);
        read = check::CheckTileHeads(doc, file, true, findings, error);
    }
    return findings;
}

// The new map must read back, each image where it was written, and the device
// check must find nothing that was mended nor anything the source did not have.
bool VerifyFitted(const std::string& tempPath, const std::string& shownAs, const FitRequest& request,
                  const std::vector<jnx::ExpectedHead>& heads, const std::set<FindingCode>& allowed,
                  platform::BinaryFile& file, std::vector<Finding>& left, Error& error) {
    bool read = false;
    left = CheckFile(tempPath, file, request, read, error);
    if (!read) {
        error.file = shownAs;  // the user's name, never the temporary's
        return false;
    }
    bool match = false;
    if (!jnx::HeadsMatch(file, heads, match, error) || !match)
        return Fail(error, Error(ErrorCode::WrittenImagesDiffer).File(shownAs));
    for (const Finding& f : left) {
        if (allowed.count(f.code) == 0)
            return Fail(error, Error(ErrorCode::FitCheckFailed).File(shownAs).Detail(check::CodeName(f.code)));
    }
    return true;
}

}  // namespace

std::string FitOutputPath(const std::string& source) {
    return platform::JoinPath(platform::ParentFolder(source), platform::BaseNameOf(source) + "_fit.jnx");
}

FitOutcome FitMap(const FitRequest& request, jnx::BusyObserver* observer) {
    jnx::BusyScope busy(observer);
    FitOutcome outcome;
    const std::string output = request.output.empty() ? FitOutputPath(request.source) : request.output;
    // The source stays as it is for the whole run: other writers wait.
    platform::FileLock lock;
    if (!lock.Acquire(request.source, platform::kWriterPatience, outcome.error,
                      [&] { return jnx::Cancelled(observer); }))
        return outcome;
    jnx::JnxDocument doc;
    std::vector<Finding> findings;
    platform::BinaryFile source;
    try {
        std::int32_t total = 0;
        if (!jnx::ReadJnx(doc, request.source, total, outcome.error, jnx::ReadDepth::Full) ||
            !source.Open(request.source, platform::BinaryFile::Mode::Read, outcome.error))
            return outcome;
        findings = check::CheckStructure(doc, request.zoomRows, request.scaleFactor, &source);
        JudgeBudget(doc, request.tilesPerLevel, findings);
        if (!check::CheckTileHeads(doc, source, true, findings, outcome.error)) return outcome;
    } catch (const std::exception& e) {
        outcome.error = Error(ErrorCode::CannotRead).File(request.source).Detail(e.what());
        return outcome;
    }
    // A note is nothing to mend.
    if (check::CountOf(findings, check::Severity::Info) == findings.size()) {
        outcome.result = FitOutcome::Result::Ready;
        return outcome;
    }
    if (platform::SameFile(request.source, output)) {
        outcome.error = Error(ErrorCode::OutputIsSource).File(output);
        return outcome;
    }

    std::set<std::size_t> unjoinable;
    std::vector<Error> joinFailures;
    for (;;) {
        Mending mending;
        Plan plan = PlanFit(doc, findings, request, unjoinable, mending);
        mending.notes.insert(mending.notes.begin(), joinFailures.begin(), joinFailures.end());
        outcome.notes = mending.notes;
        if (mending.repairs.empty()) {
            outcome.result = FitOutcome::Result::Unmendable;
            outcome.left = findings;
            return outcome;
        }
        Error error;
        if (!LayOutFiles(plan, request, error)) {
            outcome.error = error.File(request.source);
            return outcome;
        }
        // Volume names are the program's, whoever named the map.
        const auto target = plan.volumes || request.output.empty()
                                ? (request.overwrite ? platform::NewFile::Target::ChosenNameOverwrite
                                                     : platform::NewFile::Target::ChosenName)
                                : platform::NewFile::Target::MayReplace;
        std::vector<std::string> paths;
        std::vector<std::unique_ptr<platform::NewFile>> files;
        std::vector<platform::BufferedWrite> outs;
        for (const convert::PlannedFile& planned : plan.files) {
            paths.push_back(plan.volumes ? convert::VolumePath(output, paths.size() + 1) : output);
            files.push_back(std::make_unique<platform::NewFile>(paths.back(), target));
            outs.emplace_back(files.back()->File(), jnx::DataStart(planned.front), platform::kWriteChunk);
        }
        std::vector<std::string> older;
        if (plan.volumes) {
            older = convert::ExistingVolumes(output);
            std::erase_if(older,
                          [&](const std::string& old) { return std::count(paths.begin(), paths.end(), old) != 0; });
            if (!older.empty() && !request.overwrite) {
                outcome.error = Error(ErrorCode::OutputExists).File(older.front());
                return outcome;
            }
        }
        std::vector<std::vector<jnx::ExpectedHead>> heads(files.size());
        bool joinFailed = false;
        bool created = true;
        for (std::size_t f = 0; created && f < files.size(); ++f) created = files[f]->Create(error);
        if (!created || !WriteTiles(doc, source, request, plan, outs, heads, mending, joinFailed, observer, error)) {
            if (!joinFailed) {
                if (error.file.empty()) error.file = paths.front();
                outcome.error = error;
                return outcome;
            }
            // That level stays as it was; the rest is mended all the same.
            unjoinable.insert(std::size_t(error.level - 1));
            joinFailures.push_back(error);
            continue;
        }
        if (mending.repairs.empty()) {  // every tile to rewrite was unreadable
            outcome.result = FitOutcome::Result::Unmendable;
            outcome.notes = mending.notes;
            outcome.left = findings;
            return outcome;
        }
        for (std::size_t f = 0; f < files.size(); ++f) {
            jnx::Bytes front;
            if (!jnx::BuildFrontPart(plan.files[f].front, front, error) ||
                !files[f]->File().WriteAt(0, front.data(), front.size(), error) ||
                !files[f]->File().WriteAt(outs[f].End(), jnx::kTrailer, sizeof jnx::kTrailer, error)) {
                outcome.error = error.file.empty() ? error.File(paths[f]) : error;
                return outcome;
            }
        }
        if (jnx::Cancelled(observer)) {
            outcome.error = Error(ErrorCode::Cancelled).File(output);
            return outcome;
        }
        std::set<FindingCode> allowed;
        for (const Finding& f : findings) {
            if (mending.mended.count(f.code) == 0) allowed.insert(f.code);
        }
        std::vector<Finding> left;
        const auto verify = [&](std::size_t f, platform::BinaryFile& written, Error& e) {
            std::vector<Finding> found;
            if (!VerifyFitted(files[f]->TemporaryPath(), paths[f], request, heads[f], allowed, written, found, e))
                return false;
            left.insert(left.end(), found.begin(), found.end());
            return true;
        };
        std::vector<platform::NewFile*> parts;
        for (const auto& file : files) parts.push_back(file.get());
        const bool published =
            plan.volumes ? platform::PublishParts(
                               parts, [&] { return convert::ExistingVolumes(output); }, request.overwrite, error,
                               [&] { return jnx::Cancelled(observer); }, verify)
                         : files.front()->Publish(
                               error, [&](platform::BinaryFile& written, Error& e) { return verify(0, written, e); });
        if (!published) {
            outcome.error = error;
            return outcome;
        }
        outcome.outputs = paths;
        outcome.result = FitOutcome::Result::Written;
        outcome.output = paths.front();
        outcome.repairs = mending.repairs;
        outcome.notes = mending.notes;
        outcome.left = left;
        return outcome;
    }
}

}  // namespace operations
