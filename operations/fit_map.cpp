#include "operations/fit_map.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <set>

#include "check/device_check.h"
#include "check/jpeg_header.h"
#include "convert/tile_groups.h"
#include "jnx/document.h"
#include "jnx/front_part.h"
#include "jnx/product_id_copy.h"
#include "jnx/reader.h"
#include "jnx/write_values.h"
#include "platform/binary_file.h"
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
};

bool JoinPlan(const jnx::JnxDocument& doc, std::size_t level, int factor, std::vector<PlannedTile>& groups,
              Error& why) {
    std::vector<convert::TileGroup> found;
    if (!convert::GroupTiles(doc, level, factor, found, why)) return false;
    groups.clear();
    for (convert::TileGroup& group : found) {
        PlannedTile& tile = groups.emplace_back();
        static_cast<convert::TileGroup&>(tile) = std::move(group);
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
            if (factor > 1 && std::int64_t(tiles.size()) > request.tilesPerLevel) {
                why = NotOnGrid(level, "joined " + std::to_string(factor) + " x " + std::to_string(factor) +
                                           " they are still " + std::to_string(tiles.size()) + " tiles");
                factor = 1;
            }
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

// Tile bodies are gathered into large writes; one write per tile costs more in
// system calls than the joining itself.
struct Output {
    platform::NewFile& file;
    std::int64_t position = 0;
    jnx::Bytes buffer;

    bool Flush(Error& error) {
        if (!buffer.empty() && !file.File().WriteAt(position, buffer.data(), buffer.size(), error)) return false;
        position += std::int64_t(buffer.size());
        buffer.clear();
        return true;
    }
    bool Append(const std::uint8_t* data, std::size_t size, Error& error) {
        if (buffer.size() + size > (std::size_t(4) << 20) && !Flush(error)) return false;
        buffer.insert(buffer.end(), data, data + size);
        return true;
    }
    std::int64_t End() const { return position + std::int64_t(buffer.size()); }
};

bool ReadTile(const platform::BinaryFile& source, const jnx::JnxTile& tile, jnx::Bytes& bytes, Error& error) {
    bytes.resize(std::size_t(std::max(tile.DataSize, 0)));
    return source.ReadAt(tile.DataOffset, bytes.data(), bytes.size(), error);
}

bool HasSoi(const jnx::Bytes& bytes) { return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

// Writes every planned tile after the front part's place, each one's bytes made
// as the plan says. A group that cannot be joined stops the run with joinFailed
// set: the level is then planned again as it is.
bool WriteTiles(const jnx::JnxDocument& doc, const platform::BinaryFile& source, const FitRequest& request, Plan& plan,
                Output& out, std::vector<jnx::ExpectedHead>& heads, Mending& mending, bool& joinFailed,
                jnx::BusyObserver* observer, Error& error) {
    std::vector<jnx::Bytes> parts;
    jnx::Bytes made;
    std::size_t t = 0;
    std::int64_t done = 0, total = 0;
    for (const auto& level : plan.levels) total += std::int64_t(level.size());
    std::set<FindingCode> stays;
    std::int64_t rewritten = 0;
    for (std::size_t level = 0; level < plan.levels.size(); ++level) {
        for (PlannedTile& tile : plan.levels[level]) {
            if (++done % 256 == 0) {
                if (jnx::Cancelled(observer)) return Fail(error, Error(ErrorCode::Cancelled));
                if (observer) observer->Progress(done, total);
            }
            parts.resize(tile.pieces.size());
            std::vector<convert::JpegPiece> pieces(tile.pieces.size());
            for (std::size_t k = 0; k < tile.pieces.size(); ++k) {
                if (tile.pieces[k] == kNoTile) continue;
                const auto index = std::size_t(tile.pieces[k]);
                if (!ReadTile(source, doc.Tiles[index], parts[k], error)) return false;
                pieces[k] = {parts[k].data(), parts[k].size(), std::int64_t(index - doc.FirstTileOf(level)) + 1};
            }
            const jnx::Bytes* body = &parts[0];
            std::size_t skip = 0;
            if (plan.factors[level] > 1) {
                if (!convert::JoinJpegTiles(pieces, tile.cols, tile.rows, request.fill, made, error)) {
                    error.Level(std::int64_t(level) + 1);
                    joinFailed = true;
                    return false;
                }
                body = &made, skip = 2;
                // The size the image has, whatever the parts' entries claimed.
                const check::JpegFrame frame = check::WalkToFrame(made.data() + 2, made.size() - 2);
                tile.entry.TileAux = {std::uint8_t(frame.width), std::uint8_t(frame.width >> 8),
                                      std::uint8_t(frame.height), std::uint8_t(frame.height >> 8)};
            } else if (tile.rewrite) {
                Error why;
                if (convert::RewriteAsBaseline(pieces[0], made, why)) {
                    body = &made, skip = 2;
                    ++rewritten;
                } else {
                    // The device check says so again; the other tiles are still mended.
                    mending.notes.push_back(why.Level(std::int64_t(level) + 1));
                    stays.insert(FindingCode::TileProgressive);
                    skip = tile.strip && HasSoi(parts[0]) ? 2 : 0;
                }
            } else if (tile.strip && HasSoi(parts[0])) {
                skip = 2;
            }
            const std::size_t size = body->size() - std::min(skip, body->size());
            if (out.End() + std::int64_t(size) + std::int64_t(sizeof jnx::kTrailer) > jnx::kMaxFileLength)
                return Fail(error, Error(ErrorCode::FileTooLarge).Value(out.End() + std::int64_t(size)));
            std::int32_t head = 0;
            std::uint8_t first4[4] = {};
            std::copy_n(body->data() + skip, std::min<std::size_t>(size, 4), first4);
            head = platform::LoadI32(first4);
            heads.push_back({out.End(), std::int32_t(size), head});
            tile.entry.DataOffset = std::uint32_t(out.End());
            tile.entry.DataSize = std::int32_t(size);
            plan.front.tiles[t++] = tile.entry;
            if (!out.Append(body->data() + skip, size, error)) return false;
        }
    }
    if (stays.count(FindingCode::TileProgressive) == 0) mending.mended.insert(FindingCode::TileProgressive);
    for (FitRepair& repair : mending.repairs) {
        if (repair.kind == FitRepair::Kind::Baseline) repair.after = rewritten;
    }
    std::erase_if(mending.repairs,
                  [](const FitRepair& r) { return r.kind == FitRepair::Kind::Baseline && r.after == 0; });
    return out.Flush(error);
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

std::vector<Finding> CheckFile(const std::string& path, const platform::BinaryFile& file, std::int32_t budget,
                               bool& read, Error& error) {
    std::vector<Finding> findings;
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    read = jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Tables);
    if (read) {
        findings = check::CheckStructure(doc);
        JudgeBudget(doc, budget, findings);
        read = check::CheckTileHeads(doc, file, true, findings, error);
    }
    return findings;
}

// The new map must read back, each image where it was written, and the device
// check must find nothing that was mended nor anything the source did not have.
bool VerifyFitted(const std::string& tempPath, const std::string& shownAs, std::int32_t budget,
                  const std::vector<jnx::ExpectedHead>& heads, const std::set<FindingCode>& allowed,
                  platform::BinaryFile& file, std::vector<Finding>& left, Error& error) {
    bool read = false;
    left = CheckFile(tempPath, file, budget, read, error);
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
        findings = check::CheckStructure(doc);
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
        const auto target = !request.output.empty() ? platform::NewFile::Target::MayReplace
                            : request.overwrite     ? platform::NewFile::Target::ChosenNameOverwrite
                                                    : platform::NewFile::Target::ChosenName;
        platform::NewFile file(output, target);
        Output out{file, jnx::DataStart(plan.front), {}};
        std::vector<jnx::ExpectedHead> heads;
        bool joinFailed = false;
        Error error;
        if (!file.Create(error) ||
            !WriteTiles(doc, source, request, plan, out, heads, mending, joinFailed, observer, error)) {
            if (!joinFailed) {
                if (error.file.empty()) error.file = output;
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
        jnx::Bytes front;
        if (!jnx::BuildFrontPart(plan.front, front, error) ||
            !file.File().WriteAt(0, front.data(), front.size(), error) ||
            !file.File().WriteAt(out.position, jnx::kTrailer, sizeof jnx::kTrailer, error)) {
            outcome.error = error.file.empty() ? error.File(output) : error;
            return outcome;
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
        const auto verify = [&](platform::BinaryFile& written, Error& e) {
            return VerifyFitted(file.TemporaryPath(), output, request.tilesPerLevel, heads, allowed, written, left, e);
        };
        if (!file.Publish(error, verify)) {
            outcome.error = error;
            return outcome;
        }
        outcome.result = FitOutcome::Result::Written;
        outcome.output = output;
        outcome.repairs = mending.repairs;
        outcome.notes = mending.notes;
        outcome.left = left;
        return outcome;
    }
}

}  // namespace operations
