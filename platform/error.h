// The one error vocabulary of the core: a code plus the details a message needs (file,
// level, numbers, the system's own words). The core never shows an error; a front end
// turns it into text at its edge, the command line in English through ErrorText, the
// windows in the user's language by translating ErrorTemplate(code) and filling it with
// FormatError.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class ErrorCode {
    None,

    // Files and folders; detail is the system's description where there is one.
    FileNotOpen,
    PositionOutOfRange,
    CannotOpen,
    CannotGetLength,
    CannotRead,
    ReadPastEnd,
    FileChangedWhileRead,
    CannotWrite,
    NothingWritten,
    CannotCopyData,
    CannotFlush,
    CannotMove,
    CannotCopy,
    CannotDelete,
    CannotReadFolder,
    CannotCreateFolder,
    CannotWriteSettings,
    SettingsMissing,
    SettingsIsFolder,
    SettingsNotRegular,
    SettingsTooLarge,
    SettingsNotText,
    AllNamesTaken,
    NotRegularFile,
    OutputExists,
    OutputIsSource,
    FolderNotWritable,
    CannotLock,
    FileInUse,
    Cancelled,

    // Reading a map.
    UnsupportedVersion,
    LevelCountOutOfRange,
    TileCountOutOfRange,
    ArithmeticOverflow,
    TextTooLong,
    MapBlockTooLong,
    NoTiles,
    BadSignature,
    TileWithoutData,
    TileOutsideFile,
    TileInsideTables,
    BadTrailer,
    TablesMisplaced,

    // The edit values.
    BadProductId,
    GroupTooLong,
    ScaleOutOfRange,
    BadZoomNumber,
    BadDrawOrder,
    BadTargetVersion,
    BadBlockSize,
    MapBlockOverflow,
    MapBlockNotTerminated,
    TextHoldsZero,

    // Writing a map.
    NotReadWithTables,
    NoTilesToCopy,
    TableOffsetsOverflow,
    DataOffsetsOverflow,
    FileTooLarge,
    FileChanged,
    RegeneratedLength,
    RegeneratedTables,
    RegeneratedImages,
    CannotPatch,
    LevelTableOverrun,
    LevelTableEnd,
    MapBlockMoved,
    FileShorter,
    LengthChangedByUpdate,
    PatchedTables,
    PatchedImages,
    NoSuchLevel,
    LevelWithoutTiles,
    LevelTileWithoutData,
    WrittenTablesDiffer,
    WrittenImagesDiffer,

    // Merging.
    MergeVersion,
    MergeIncomplete,
    MergeNothing,
    MergeBlockOverflow,
    MergeMismatch,
    MergeSourceChanged,
    MergeReadBack,
    MergeReadBackFailed,
    MergeTileOutside,
    MergeRowChanged,
    MergeNegativeTiles,
    MergeLoading,
    MergeLoadingFull,
    MergeCheckpoint,

    // Refusals: a command checked its input and touched no file.
    RefuseNoFolder,
    RefuseErroneousChecked,
    RefuseInvalidFilename,
    RefuseNoneChecked,
    RefuseNothingToDelete,
    RefuseSingleLevelSplit,
    RefuseNothingToSplit,
    RefuseMergeVersions,
    RefuseMergeTooFew,
    RefuseMergeTooManyLevels,
    RefuseMergeDifferentArea,

    // Batch rows: what failed, with the reason as the cause.
    RowCannotRead,
    RowCannotRegenerate,
    RowCannotReplace,
    RowCannotUpdate,
    RowUpdatedNotRenamed,
    RowNameHasSeparator,
    RowNameTaken,
    RowChanged,
    RowCannotExtract,
    RowCannotDelete,

    // Import and export of other tile containers.
    ConvertBadSource,
    ConvertNoTiles,
    ConvertNoSuchZoom,
    ConvertEmptyTile,
    ConvertNotJpeg,
    ConvertBeyondDevice,
    ConvertOffGrid,
    ConvertCannotWrite,
    ConvertSourceLimit,
    ConvertRasterUnreadable,
    ConvertRasterNotGeoreferenced,
    ConvertRasterRotated,
    ConvertRasterUnsupported,

    // Lossless work on JPEG tiles, and fitting a map to the device.
    JpegUnreadable,
    JpegCannotJoin,
    JpegJoinMismatch,
    FitCheckFailed,

    // Custom Maps for units without BirdsEye.
    CustomMapsOverBudget,
    CustomMapsTileTooLarge,
    CustomMapsImageTooLarge,
};

// The last code, for code that walks them all (translations are checked that way).
inline constexpr ErrorCode kLastErrorCode = ErrorCode::CustomMapsImageTooLarge;

struct Error {
    ErrorCode code = ErrorCode::None;
    std::string file;        // the file or folder concerned
    std::string other;       // a second path, or a text the user typed
    std::string detail;      // the system's description
    std::int64_t level = 0;  // 1-based level or tile number
    std::int64_t value = 0;  // a number the message names
    std::shared_ptr<const Error> cause;  // why a step of a larger task failed

    Error() = default;
    explicit Error(ErrorCode c) : code(c) {}

    explicit operator bool() const { return code != ErrorCode::None; }

    Error& File(std::string path) { file = std::move(path); return *this; }
    Error& Other(std::string text) { other = std::move(text); return *this; }
    Error& Detail(std::string text) { detail = std::move(text); return *this; }
    Error& Level(std::int64_t n) { level = n; return *this; }
    Error& Value(std::int64_t n) { value = n; return *this; }
    Error& Cause(Error inner) { cause = std::make_shared<const Error>(std::move(inner)); return *this; }
};

// Sets error and returns false: `return Fail(error, Error(ErrorCode::NoTiles));`.
inline bool Fail(Error& error, Error value) {
    error = std::move(value);
    return false;
}

// The code's stable name for scripts: "file_not_open", "tile_outside_file", ...
const char* ErrorCodeName(ErrorCode code);

// The English wording of a code, with the placeholders {file}, {other}, {detail},
// {level}, {value} and {cause}.
const char* ErrorTemplate(ErrorCode code);

// Fills a (possibly translated) template with the error's details; the cause is worded
// by the same translation.
using TemplateTranslator = std::function<std::string(ErrorCode, const char* english)>;
std::string FormatError(const Error& error, const TemplateTranslator& translate);

// The English text of an error.
std::string ErrorText(const Error& error);

}  // namespace platform
