#include "platform/error.h"

namespace platform {

namespace {

struct Wording {
    ErrorCode code;
    const char* english;
};

// clang-format off
constexpr Wording kWordings[] = {
    {ErrorCode::FileNotOpen, "File is not open"},
    {ErrorCode::PositionOutOfRange, "File position out of range"},
    {ErrorCode::CannotOpen, "Cannot open {file}: {detail}"},
    {ErrorCode::CannotGetLength, "Cannot get the file length: {detail}"},
    {ErrorCode::CannotRead, "Cannot read the file: {detail}"},
    {ErrorCode::ReadPastEnd, "Read past the end of the file"},
    {ErrorCode::FileChangedWhileRead, "{file} changed or could not be read while it was read"},
    {ErrorCode::CannotWrite, "Cannot write to the file: {detail}"},
    {ErrorCode::NothingWritten, "Cannot write to the file: no space written"},
    {ErrorCode::CannotCopyData, "Cannot copy file data: {detail}"},
    {ErrorCode::CannotFlush, "Cannot flush the file: {detail}"},
    {ErrorCode::CannotMove, "Cannot move {file} to {other}: {detail}"},
    {ErrorCode::CannotCopy, "Cannot copy {file} to {other}: {detail}"},
    {ErrorCode::CannotDelete, "Cannot delete {file}"},
    {ErrorCode::CannotReadFolder, "Cannot read folder {file}: {detail}"},
    {ErrorCode::CannotCreateFolder, "Cannot create the folder {file}."},
    {ErrorCode::CannotWriteSettings, "Cannot write the settings file {file}"},
    {ErrorCode::SettingsMissing, "The settings file {file} does not exist"},
    {ErrorCode::SettingsIsFolder, "The settings file {file} is a folder"},
    {ErrorCode::SettingsNotRegular, "The settings file {file} is not a regular file"},
    {ErrorCode::SettingsTooLarge, "The settings file {file} is larger than 1 MB"},
    {ErrorCode::SettingsNotText, "The settings file {file} is not text: it holds a NUL byte"},
    {ErrorCode::AllNamesTaken, "Every name for the merged file in {file} is taken."},
    {ErrorCode::NotRegularFile, "{file} is not a regular file"},
    {ErrorCode::OutputExists, "{file} exists already and was left as it is; nothing was written"},
    {ErrorCode::OutputIsSource, "{file} is the file being read; the output must be another file"},
    {ErrorCode::FolderNotWritable, "Cannot write into the folder {file}: {detail}"},
    {ErrorCode::CannotLock, "Cannot lock {file} against other writers: {detail}"},
    {ErrorCode::FileInUse, "{file} is in use by another writer; nothing was written"},
    {ErrorCode::Cancelled, "Cancelled: the file being written was removed"},
    {ErrorCode::UnsupportedVersion, "Jnx Version Error"},
    {ErrorCode::LevelCountOutOfRange, "Level count out of range: {value}"},
    {ErrorCode::TileCountOutOfRange, "Tile count out of range in level {level}: {value}"},
    {ErrorCode::ArithmeticOverflow, "Arithmetic overflow"},
    {ErrorCode::TextTooLong, "Text field longer than 32767 bytes"},
    {ErrorCode::MapBlockTooLong, "Map block too long: its padding would be negative"},
    {ErrorCode::NoTiles, "The file holds no tiles"},
    {ErrorCode::BadSignature, "Error seccion Signature."},
    {ErrorCode::TileWithoutData, "Tile {level} has no image data"},
    {ErrorCode::TileOutsideFile, "Tile {level} lies outside the file"},
    {ErrorCode::TileInsideTables, "Tile {level} lies before the end of the tile tables"},
    {ErrorCode::BadTrailer, "End <> BirdsEye - BlockVersion<>9. "},
    {ErrorCode::TablesMisplaced, "CheckPointsTiles.Offset <> TileOffset"},
    {ErrorCode::BadProductId, "Product ID \"{other}\" is not a whole number from -32768 to 32767"},
    {ErrorCode::GroupTooLong, "Group name too long"},
    {ErrorCode::ScaleOutOfRange, "Scale out of range"},
    {ErrorCode::BadZoomNumber, "Zoom of level {level} (\"{other}\") is not a whole number from -32768 to 32767"},
    {ErrorCode::BadDrawOrder, "The draw order \"{other}\" is not a whole number from -32768 to 32767"},
    {ErrorCode::BadTargetVersion, "Target version must be 3 or 4"},
    {ErrorCode::BadBlockSize, "BlockSize must be a positive number of bytes"},
    {ErrorCode::MapBlockOverflow, "Map description block of {value} bytes does not fit in 1024 bytes"},
    {ErrorCode::MapBlockNotTerminated, "Map description block texts are not zero-terminated"},
    {ErrorCode::TextHoldsZero, "A text of the map holds a zero byte, which would end it early; nothing was written"},
    {ErrorCode::NotReadWithTables, "The file was not read with its tile tables"},
    {ErrorCode::NoTilesToCopy, "The file holds no tiles to copy"},
    {ErrorCode::TableOffsetsOverflow, "Tile table offsets would not fit the file format"},
    {ErrorCode::DataOffsetsOverflow, "Tile data offsets would not fit the file format"},
    {ErrorCode::FileTooLarge, "The map written would be {value} bytes, beyond the 4 GiB − 1 (4294967295 bytes) that a JNX map can hold"},
    {ErrorCode::FileChanged, "The file has changed since it was read"},
    {ErrorCode::RegeneratedLength, "Filelen"},
    {ErrorCode::RegeneratedTables, "OffsetCheck"},
    {ErrorCode::RegeneratedImages, "OffsetCheck2"},
    {ErrorCode::CannotPatch, "The file cannot be updated in place"},
    {ErrorCode::LevelTableOverrun, "Level table runs past the map block"},
    {ErrorCode::LevelTableEnd, "Level table does not end where the map block begins"},
    {ErrorCode::MapBlockMoved, "Map description block not where it was read"},
    {ErrorCode::FileShorter, "File is shorter than when it was read"},
    {ErrorCode::LengthChangedByUpdate, "File length changed by the update"},
    {ErrorCode::PatchedTables, "ModifJNX::CheckPointsTiles error."},
    {ErrorCode::PatchedImages, "ModifJNX::CheckPointsImages error."},
    {ErrorCode::NoSuchLevel, "Level {level} does not exist in the file"},
    {ErrorCode::LevelWithoutTiles, "Level {level} has no tiles"},
    {ErrorCode::LevelTileWithoutData, "A tile of level {level} has no image data"},
    {ErrorCode::WrittenTablesDiffer, "Verification of the tile table failed"},
    {ErrorCode::WrittenImagesDiffer, "Verification of the tile images failed"},
    {ErrorCode::MergeVersion, "Version {value} cannot be written."},
    {ErrorCode::MergeIncomplete, "The merge plan is incomplete."},
    {ErrorCode::MergeNothing, "The files chosen hold no tiles to merge."},
    {ErrorCode::MergeBlockOverflow, "The map description block of the merged file would take {value} bytes; at most 1023 fit."},
    {ErrorCode::MergeMismatch, "The merge plan does not match its sources."},
    {ErrorCode::MergeSourceChanged, "{file} has changed since the merge was planned; nothing was written."},
    {ErrorCode::MergeReadBack, "The merged file does not read back as it was written."},
    {ErrorCode::MergeReadBackFailed, "The merged file does not read back: {cause}"},
    {ErrorCode::MergeTileOutside, "{file}: the data of tile {level} does not lie within the file."},
    {ErrorCode::MergeRowChanged, "{file} has changed since the folder was read; load the folder again."},
    {ErrorCode::MergeNegativeTiles, "{file} gives level {level} a negative tile count."},
    {ErrorCode::MergeLoading, "Loading {file}"},
    {ErrorCode::MergeLoadingFull, "Loading {file}\n{cause}"},
    {ErrorCode::MergeCheckpoint, "Checkpoint"},
    {ErrorCode::RefuseNoFolder, "You must load a directory."},
    {ErrorCode::RefuseErroneousChecked, "All erroneous files must be unchecked."},
    {ErrorCode::RefuseInvalidFilename, "All selected files need valid filename."},
    {ErrorCode::RefuseNoneChecked, "You must select at least one valid JNX file."},
    {ErrorCode::RefuseNothingToDelete, "You must select at least one file to delete."},
    {ErrorCode::RefuseSingleLevelSplit, "Any file has only one level, no need to split it."},
    {ErrorCode::RefuseNothingToSplit, "Nothing to split, you need to check levels to split."},
    {ErrorCode::RefuseMergeVersions, "You must select a valid jnx version in combo, because original jnx have different jnx versions."},
    {ErrorCode::RefuseMergeTooFew, "You must select at least two valid JNX file to join."},
    {ErrorCode::RefuseMergeTooManyLevels, "NumLevels result [{value}] should be less than or equal to 5 (Garmin Limit)."},
    {ErrorCode::RefuseMergeDifferentArea, "Only can join maps of the same area but different zoom levels."},
    {ErrorCode::RowCannotRead, "Cannot read {file}: {cause}"},
    {ErrorCode::RowCannotRegenerate, "Cannot regenerate {file}: {cause}"},
    {ErrorCode::RowCannotReplace, "Cannot replace {file}: {cause}"},
    {ErrorCode::RowCannotUpdate, "Cannot update {file}: {cause}"},
    {ErrorCode::RowUpdatedNotRenamed, "Updated, but cannot rename: {cause}"},
    {ErrorCode::RowNameHasSeparator, "The new name {other} holds a folder separator"},
    {ErrorCode::RowNameTaken, "A file named {other} exists already"},
    {ErrorCode::RowChanged, "{file} has changed since the folder was loaded"},
    {ErrorCode::RowCannotExtract, "Cannot extract level {level}: {cause}"},
    {ErrorCode::RowCannotDelete, "Cannot delete {file}"},
    {ErrorCode::ConvertBadSource, "{file} cannot be read as a tile source: {detail}"},
    {ErrorCode::ConvertNoTiles, "{file} holds no web-map tiles"},
    {ErrorCode::ConvertNoSuchZoom, "{file} holds no tiles of zoom {value}"},
    {ErrorCode::ConvertEmptyTile, "{file}: the tile {detail} has no image data; nothing was written"},
    {ErrorCode::ConvertNotJpeg, "{value} tiles are not JPEG ({detail}); tiles are copied as they are, never re-encoded, so nothing was written"},
    {ErrorCode::ConvertBeyondDevice, "The map would exceed the device limit: {detail}; nothing was written"},
    {ErrorCode::ConvertOffGrid, "Level {level} is not on the web-map grid ({detail}), so MBTiles cannot hold it; KMZ keeps such tiles as they are. Nothing was written"},
    {ErrorCode::ConvertCannotWrite, "Cannot write {file}: {detail}"},
    {ErrorCode::ConvertSourceLimit, "{file} goes beyond what an import reads: {detail}; nothing was written"},
};
// clang-format on

}  // namespace

const char* ErrorTemplate(ErrorCode code) {
    for (const Wording& wording : kWordings) {
        if (wording.code == code) return wording.english;
    }
    return "";
}

std::string FormatError(const Error& error, const TemplateTranslator& translate) {
    const std::string pattern = translate ? translate(error.code, ErrorTemplate(error.code))
                                          : std::string(ErrorTemplate(error.code));
    std::string out;
    out.reserve(pattern.size() + error.file.size() + error.detail.size());
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t close = pattern[i] == '{' ? pattern.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            out += pattern[i++];
            continue;
        }
        const std::string name = pattern.substr(i + 1, close - i - 1);
        if (name == "file") out += error.file;
        else if (name == "other") out += error.other;
        else if (name == "detail") out += error.detail;
        else if (name == "level") out += std::to_string(error.level);
        else if (name == "value") out += std::to_string(error.value);
        else if (name == "cause") out += error.cause ? FormatError(*error.cause, translate) : std::string();
        else out += pattern.substr(i, close - i + 1);
        i = close + 1;
    }
    return out;
}

std::string ErrorText(const Error& error) { return FormatError(error, nullptr); }

}  // namespace platform
