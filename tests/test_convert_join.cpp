// The lossless joins and baseline rewrites, judged by decoding: what comes out
// must show the very pixels its sources show.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "check/jpeg_header.h"
#include "convert/import_jnx.h"
#include "convert/jpeg_join.h"
#include "convert/jpeg_splice.h"
#include "convert/web_tiles.h"
#include "support/jpeg_pictures.h"
#include "support/web_tiles_builder.h"
#include "support/writer_support.h"

namespace {

using convert::JpegPiece;
using fixture::Decode;
using fixture::Differences;
using fixture::Encode;
using fixture::Look;
using fixture::Picture;
using platform::ErrorCode;
using Bytes = std::vector<std::uint8_t>;

std::uint8_t FrameMarker(const Bytes& jpeg) { return check::WalkToFrame(jpeg.data() + 2, jpeg.size() - 2).marker; }

JpegPiece Piece(const Bytes& bytes, std::int64_t number) { return {bytes.data(), bytes.size(), number}; }

struct JoinCase {
    const char* name;
    Look look;
    int cols, rows;
    bool spliced;  // coded alike: spliced rather than joined through libjpeg
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class JoinLooks : public ::testing::TestWithParam<JoinCase> {};

// Tiles as a map stores them (no FF D8, one without its FF D9 as some producers
// leave them), a missing neighbour at the group's last corner. Spliced or not,
// the image holds the libjpeg path's coefficients: written again with optimised
// tables it is that path's image byte for byte.
TEST_P(JoinLooks, JoinedTilesDecodeToTheirSourcesAndAHoleToWhite) {
    const JoinCase& c = GetParam();
    constexpr int kSide = 64;
    const std::size_t count = std::size_t(c.cols * c.rows);
    std::vector<Bytes> tiles, stored;
    for (std::size_t i = 0; i < count; ++i) {
        tiles.push_back(Encode(kSide, kSide, int(i), c.look));
        stored.emplace_back(tiles[i].begin() + 2, tiles[i].end());
    }
    stored[1].resize(stored[1].size() - 2);
    const Bytes stuffed = {0xFF, 0x00};
    EXPECT_NE(std::search(stored[0].begin(), stored[0].end(), stuffed.begin(), stuffed.end()), stored[0].end());
    std::vector<JpegPiece> pieces;
    for (std::size_t i = 0; i < count; ++i) pieces.push_back(Piece(stored[i], std::int64_t(i) + 1));
    pieces.back() = {};

    Bytes joined, spliced, viaLibjpeg, rewritten;
    platform::Error error;
    ASSERT_TRUE(convert::JoinJpegTiles(pieces, c.cols, c.rows, {}, joined, error)) << platform::ErrorText(error);
    EXPECT_EQ(convert::SpliceJpegTiles(pieces, c.cols, c.rows, {}, spliced), c.spliced);
    ASSERT_TRUE(convert::JoinJpegTilesWithLibjpeg(pieces, c.cols, c.rows, {}, viaLibjpeg, error));
    ASSERT_TRUE(convert::RewriteAsBaseline(Piece(joined, 0), rewritten, error));
    EXPECT_EQ(rewritten, viaLibjpeg);
    EXPECT_EQ(FrameMarker(joined), 0xC0);
    const Picture picture = Decode(joined);
    ASSERT_EQ(std::pair(picture.width, picture.height), std::pair(kSide * c.cols, kSide * c.rows));
    for (std::size_t i = 0; i + 1 < count; ++i)
        EXPECT_EQ(Differences(picture, Decode(tiles[i]), int(i) % c.cols * kSide, int(i) / c.cols * kSide), 0)
            << "tile " << i + 1;
    for (int y = (c.rows - 1) * kSide; y < c.rows * kSide; ++y)
        for (int x = (c.cols - 1) * kSide; x < c.cols * kSide; ++x)
            for (int k = 0; k < picture.components; ++k) ASSERT_GE(picture.At(x, y, k), 253) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Sampling, JoinLooks,
                         ::testing::Values(JoinCase{"Colour420", {3, 2, 2, 75}, 3, 2, true},
                                           JoinCase{"Colour444", {3, 1, 1, 90}, 3, 2, true},
                                           JoinCase{"Colour422Progressive", {3, 2, 1, 50, true}, 3, 2, false},
                                           JoinCase{"Grey", {1, 1, 1, 75}, 3, 2, true},
                                           JoinCase{"OwnHuffmanTables", {3, 2, 2, 75, false, true}, 2, 2, false},
                                           JoinCase{"Colour420FourByFour", {3, 2, 2, 30}, 4, 4, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(JpegJoin, RefusesTilesThatCannotShareOneImage) {
    const Bytes a = Encode(32, 32, 1, {});
    const Bytes otherQuality = Encode(32, 32, 2, {3, 2, 2, 60, false});
    const Bytes otherSampling = Encode(32, 32, 2, {3, 1, 1, 75, false});
    const Bytes otherSize = Encode(48, 32, 2, {});
    const Bytes partMcu = Encode(40, 40, 2, {});
    const Bytes garbage = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x01};
    struct Case {
        const char* name;
        const Bytes& first;
        const Bytes& second;
        ErrorCode code;
    };
    const Case cases[] = {
        {"quantisation", a, otherQuality, ErrorCode::JpegJoinMismatch},
        {"sampling", a, otherSampling, ErrorCode::JpegJoinMismatch},
        {"size", a, otherSize, ErrorCode::JpegJoinMismatch},
        {"part of an MCU", partMcu, partMcu, ErrorCode::JpegCannotJoin},
        {"not a JPEG", a, garbage, ErrorCode::JpegUnreadable},
    };
    for (const Case& c : cases) {
        Bytes joined;
        platform::Error error;
        EXPECT_FALSE(convert::JoinJpegTiles({Piece(c.first, 7), Piece(c.second, 9)}, 2, 1, {}, joined, error))
            << c.name;
        EXPECT_EQ(error.code, c.code) << c.name;
        EXPECT_TRUE(c.code == ErrorCode::JpegCannotJoin || error.value == 9) << c.name << ": names the tile";
    }
}

TEST(JpegJoin, ProgressiveBecomesBaselineWithTheSamePixels) {
    const Bytes progressive = Encode(100, 60, 3, {3, 2, 2, 80, true});
    ASSERT_EQ(FrameMarker(progressive), 0xC2);
    const Bytes stored(progressive.begin() + 2, progressive.end());
    Bytes baseline;
    platform::Error error;
    ASSERT_TRUE(convert::RewriteAsBaseline(Piece(stored, 1), baseline, error)) << platform::ErrorText(error);
    EXPECT_EQ(FrameMarker(baseline), 0xC0);
    const Picture before = Decode(progressive);
    const Picture after = Decode(baseline);
    ASSERT_EQ(std::pair(after.width, after.height), std::pair(before.width, before.height));
    EXPECT_EQ(Differences(after, before, 0, 0), 0);
}

// Cut short and bitten anywhere: an error value or an image, never a crash or
// an exit.
// What is spliced from damaged tiles holds the coefficients libjpeg reads.
TEST(JpegJoin, DamagedTilesGiveErrorsNotCrashes) {
    for (const bool progressive : {true, false}) {
        const Bytes sound = Encode(32, 32, 4, {3, 2, 2, 75, progressive});
        int refused = 0;
        for (std::size_t cut = 0; cut < sound.size(); cut += 7) {
            Bytes damaged(sound.begin(), sound.begin() + std::ptrdiff_t(cut));
            if (cut < sound.size() / 2 && cut > 2) damaged[cut / 2] ^= 0x5A;
            const std::vector<JpegPiece> pieces = {Piece(sound, 1), Piece(damaged, 2)};
            Bytes out, viaLibjpeg, rewritten;
            platform::Error error;
            if (!convert::RewriteAsBaseline(Piece(damaged, 1), out, error)) {
                ++refused;
                EXPECT_EQ(error.code, ErrorCode::JpegUnreadable);
            }
            EXPECT_TRUE(convert::JoinJpegTiles(pieces, 1, 2, {}, out, error) || error.code != ErrorCode::None);
            if (convert::SpliceJpegTiles(pieces, 1, 2, {}, out)) {
                ASSERT_TRUE(convert::JoinJpegTilesWithLibjpeg(pieces, 1, 2, {}, viaLibjpeg, error)) << cut;
                ASSERT_TRUE(convert::RewriteAsBaseline(Piece(out, 0), rewritten, error)) << cut;
                EXPECT_EQ(rewritten, viaLibjpeg) << cut;
            }
        }
        EXPECT_GT(refused, 0);
    }
}

// An import joins zoom 3's tiles x 1-4, y 2-3 (one missing) and zoom 2's x 0-2, y 1 on the
// web grid: the 2 x 2 group shows its tiles' very pixels and white for the missing one;
// Auto joins only a level over the limit; other tables refuse unless re-encoded, or, under
// Auto, are copied as they are; a refusal or a cancel leaves the folder empty, the spool gone.
TEST(JpegJoin, ImportJoinsWebTilesOnTheirGrid) {
    using convert::TileJoin;
    fixture::TempDir dir;
    std::map<std::pair<int, int>, Bytes> zoom3;
    std::vector<fixture::MbtilesRow> rows;
    for (int x = 0; x <= 4; ++x)
        for (int y = 1; y <= 3; ++y) {
            const Bytes tile = Encode(32, 32, x * 4 + y, {});
            if (y > 1 && x > 0 && !(x == 3 && y == 3))
                rows.push_back({3, x, int(convert::FlipRow(3, y)), zoom3[{x, y}] = tile});
            if (y == 1 && x < 3) rows.push_back({2, x, int(convert::FlipRow(2, y)), tile});
        }
    fixture::WriteMbtiles(dir.file("in.mbtiles"), rows);
    rows[0].data = Encode(32, 32, 0, {3, 2, 2, 60, false});  // zoom 2, x 0, y 1: other tables
    fixture::WriteMbtiles(dir.file("mixed.mbtiles"), rows);
    struct Case {
        const char* source;
        TileJoin join;
        std::int32_t limit;
        int reencode;
        ErrorCode code;
        std::vector<std::int32_t> tiles;  // per level, when written
        bool cancel = false;
    };
    const Case cases[] = {
        {"in", TileJoin::TwoByTwo, 50000, 0, ErrorCode::None, {2, 3}},
        {"in", TileJoin::Auto, 7, 0, ErrorCode::None, {3, 7}},
        {"in", TileJoin::Auto, 6, 0, ErrorCode::None, {2, 3}},
        {"in", TileJoin::FourByFour, 50000, 0, ErrorCode::None, {1, 2}},
        {"mixed", TileJoin::TwoByTwo, 50000, 0, ErrorCode::JpegJoinMismatch, {}},
        {"mixed", TileJoin::TwoByTwo, 50000, 80, ErrorCode::None, {2, 3}},
        {"mixed", TileJoin::Auto, 6, 0, ErrorCode::None, {}},
        {"in", TileJoin::TwoByTwo, 50000, 0, ErrorCode::Cancelled, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source << " " << int(c.join) << " within " << c.limit);
        fixture::TempDir out;
        convert::ImportOptions options;
        options.join = c.join, options.limits.tilesPerLevel = c.limit, options.reencodeQuality = c.reencode;
        convert::ImportResult result;
        platform::Error error;
        const bool ok =
            convert::ImportTiles(dir.file(std::string(c.source) + ".mbtiles"), out.file("map.jnx"), options, result,
                                 error, [&](const char*, std::int64_t, std::int64_t) { return !c.cancel; });
        ASSERT_EQ(ok ? ErrorCode::None : error.code, c.code) << platform::ErrorText(error);
        if (ok && c.tiles.empty()) {  // Auto's join refused: the tiles copied as they are, in volumes
            EXPECT_EQ(std::tuple(result.factor, result.volumes, result.notJoined.code),
                      std::tuple(1, true, ErrorCode::JpegJoinMismatch));
            continue;
        }
        EXPECT_EQ(out.list(), ok ? std::vector<std::string>{"map.jnx"} : std::vector<std::string>{});
        if (!ok) continue;
        EXPECT_EQ(result.reencoded > 0, c.reencode > 0);
        const jnx::JnxDocument doc = fixture::ReadFull(out.file("map.jnx"));
        EXPECT_EQ((std::vector<std::int32_t>{doc.Levels[0].TileCount, doc.Levels[1].TileCount}), c.tiles);
        if (c.join != TileJoin::TwoByTwo || c.reencode > 0) continue;
        const convert::JnxBounds nw = convert::BoundsOf({3, 2, 2}), se = convert::BoundsOf({3, 3, 3});
        const convert::JnxBounds box = {nw[0], se[1], se[2], nw[3]};
        const auto at =
            std::find_if(doc.Tiles.begin(), doc.Tiles.end(), [&](const auto& t) { return t.TileBounds == box; });
        ASSERT_NE(at, doc.Tiles.end());
        Bytes joined = fixture::StoredImage(doc, std::size_t(at - doc.Tiles.begin()));
        joined.insert(joined.begin(), {0xFF, 0xD8});
        const Picture picture = Decode(joined);
        ASSERT_EQ(std::pair(picture.width, picture.height), std::pair(64, 64));
        for (const auto& [x, y] : {std::pair(2, 2), std::pair(3, 2), std::pair(2, 3)})
            EXPECT_EQ(Differences(picture, Decode(zoom3[{x, y}]), (x - 2) * 32, (y - 2) * 32), 0) << x << "," << y;
        EXPECT_GE(picture.At(40, 40, 0) + picture.At(63, 63, 2), 506);
    }
}

}  // namespace

TEST(FillColour, NamesAndHexParseAndNothingElse) {
    EXPECT_EQ(convert::ParseFillColour("white"), (convert::FillColour{255, 255, 255}));
    EXPECT_EQ(convert::ParseFillColour("#00fF80"), (convert::FillColour{0, 255, 128}));
    EXPECT_EQ(convert::ParseFillColour("102030"), (convert::FillColour{16, 32, 48}));
    for (const char* bad : {"", "#", "grey", "#12345", "#1234567", "12345g"})
        EXPECT_FALSE(convert::ParseFillColour(bad)) << bad;
}
