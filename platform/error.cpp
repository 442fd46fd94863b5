#include "platform/error.h"

namespace platform {

const char* ErrorTemplate(ErrorCode code) {
    switch (code) {
    case ErrorCode::None: return "";
    case ErrorCode::FileNotOpen: return "File is not open";
    case ErrorCode::PositionOutOfRange: return "File position out of range";
    case ErrorCode::CannotOpen: return "Cannot open {file}: {detail}";
    case ErrorCode::CannotGetLength: return "Cannot get the file length: {detail}";
    case ErrorCode::CannotRead: return "Cannot read the file: {detail}";
    case ErrorCode::ReadPastEnd: return "Read past the end of the file";
    case ErrorCode::CannotWrite: return "Cannot write to the file: {detail}";
    case ErrorCode::NothingWritten: return "Cannot write to the file: no space written";
    case ErrorCode::CannotCopyData: return "Cannot copy file data: {detail}";
    case ErrorCode::CannotFlush: return "Cannot flush the file: {detail}";
    case ErrorCode::CannotMove: return "Cannot move {file} to {other}: {detail}";
    case ErrorCode::CannotCopy: return "Cannot copy {file} to {other}: {detail}";
    case ErrorCode::CannotDelete: return "Cannot delete {file}";
    case ErrorCode::CannotReadFolder: return "Cannot read folder {file}: {detail}";
    case ErrorCode::CannotCreateFolder: return "Cannot create the folder {file}.";
    case ErrorCode::CannotWriteSettings: return "Cannot write the settings file {file}";
    case ErrorCode::AllNamesTaken: return "Every name for the merged file in {file} is taken.";

    case ErrorCode::UnsupportedVersion: return "Jnx Version Error";
    case ErrorCode::LevelCountOutOfRange: return "Level count out of range: {value}";
    case ErrorCode::TileCountOutOfRange: return "Tile count out of range in level {level}: {value}";
    case ErrorCode::ArithmeticOverflow: return "Arithmetic overflow";
    case ErrorCode::TextTooLong: return "Text field longer than 32767 bytes";
    case ErrorCode::MapBlockTooLong: return "Map block too long: its padding would be negative";
    case ErrorCode::NoTiles: return "The file holds no tiles";
    case ErrorCode::BadSignature: return "Error seccion Signature.";
    case ErrorCode::TileWithoutData: return "Tile {level} has no image data";
    case ErrorCode::TileOutsideFile: return "Tile {level} lies outside the file";
    case ErrorCode::TileInsideTables: return "Tile {level} lies before the end of the tile tables";
    case ErrorCode::BadTrailer: return "End <> BirdsEye - BlockVersion<>9. ";
    case ErrorCode::TablesMisplaced: return "CheckPointsTiles.Offset <> TileOffset";

    case ErrorCode::BadProductId: return "Product ID \"{other}\" is not a whole number from -32768 to 32767";
    case ErrorCode::GroupTooLong: return "Group name too long";
    case ErrorCode::ScaleOutOfRange: return "Scale out of range";
    case ErrorCode::BadZoomNumber:
        return "Zoom of level {level} (\"{other}\") is not a whole number from -32768 to 32767";
    case ErrorCode::BadDrawOrder: return "The draw order \"{other}\" is not a whole number.";
    case ErrorCode::BadTargetVersion: return "Target version must be 3 or 4";
    case ErrorCode::BadBlockSize: return "BlockSize must be a positive number of bytes";
    case ErrorCode::MapBlockOverflow: return "Map description block of {value} bytes does not fit in 1024 bytes";
    case ErrorCode::MapBlockNotTerminated: return "Map description block texts are not zero-terminated";

    case ErrorCode::NotReadWithTables: return "The file was not read with its tile tables";
    case ErrorCode::NoTilesToCopy: return "The file holds no tiles to copy";
    case ErrorCode::TableOffsetsOverflow: return "Tile table offsets would not fit the file format";
    case ErrorCode::DataOffsetsOverflow: return "Tile data offsets would not fit the file format";
    case ErrorCode::FileChanged: return "The file has changed since it was read";
    case ErrorCode::RegeneratedLength: return "Filelen";
    case ErrorCode::RegeneratedTables: return "OffsetCheck";
    case ErrorCode::RegeneratedImages: return "OffsetCheck2";
    case ErrorCode::CannotPatch: return "The file cannot be updated in place";
    case ErrorCode::LevelTableOverrun: return "Level table runs past the map block";
    case ErrorCode::LevelTableEnd: return "Level table does not end where the map block begins";
    case ErrorCode::MapBlockMoved: return "Map description block not where it was read";
    case ErrorCode::FileShorter: return "File is shorter than when it was read";
    case ErrorCode::LengthChangedByUpdate: return "File length changed by the update";
    case ErrorCode::PatchedTables: return "ModifJNX::CheckPointsTiles error.";
    case ErrorCode::PatchedImages: return "ModifJNX::CheckPointsImages error.";
    case ErrorCode::NoSuchLevel: return "Level {level} does not exist in the file";
    case ErrorCode::LevelWithoutTiles: return "Level {level} has no tiles";
    case ErrorCode::LevelTileWithoutData: return "A tile of level {level} has no image data";
    case ErrorCode::LevelTooLarge: return "The level is too large for one file";
    case ErrorCode::WrittenTablesDiffer: return "Verification of the tile table failed";
    case ErrorCode::WrittenImagesDiffer: return "Verification of the tile images failed";

    case ErrorCode::MergeVersion: return "Version {value} cannot be written.";
    case ErrorCode::MergeIncomplete: return "The merge plan is incomplete.";
    case ErrorCode::MergeNothing: return "The files chosen hold no tiles to merge.";
    case ErrorCode::MergeBlockOverflow:
        return "The map description block of the merged file would take {value} bytes; at most 1023 fit.";
    case ErrorCode::MergeMismatch: return "The merge plan does not match its sources.";
    case ErrorCode::MergeTooManyTiles: return "The merged file would hold too many tiles.";
    case ErrorCode::MergeTooLarge: return "The merged file would exceed the 2 GB that its offsets can address.";
    case ErrorCode::MergeSourceChanged: return "{file} has changed since the merge was planned; nothing was written.";
    case ErrorCode::MergeReadBack: return "The merged file does not read back as it was written.";
    case ErrorCode::MergeReadBackFailed: return "The merged file does not read back: {cause}";
    case ErrorCode::MergeTileOutside: return "{file}: the data of tile {level} does not lie within the file.";
    case ErrorCode::MergeBadProductId: return "The product ID \"{other}\" is not a whole number.";
    case ErrorCode::MergeBadDrawOrder: return "The draw order \"{other}\" is not a whole number.";
    case ErrorCode::MergeRowChanged: return "{file} has changed since the folder was read; load the folder again.";
    case ErrorCode::MergeNegativeTiles: return "{file} gives level {level} a negative tile count.";
    case ErrorCode::MergeLoading: return "Loading {file}";
    case ErrorCode::MergeLoadingFull: return "Loading {file}\r\n{cause}";
    case ErrorCode::MergeCheckpoint: return "Checkpoint";

    case ErrorCode::RefuseNoFolder: return "You must load a directory.";
    case ErrorCode::RefuseErroneousChecked: return "All erroneous files must be unchecked.";
    case ErrorCode::RefuseInvalidFilename: return "All selected files need valid filename.";
    case ErrorCode::RefuseBadDrawOrder: return "Draw order must be a whole number.";
    case ErrorCode::RefuseNoneChecked: return "You must select at least one valid JNX file.";
    case ErrorCode::RefuseNothingToDelete: return "You must select at least one file to delete.";
    case ErrorCode::RefuseSingleLevelSplit: return "Any file has only one level, no need to split it.";
    case ErrorCode::RefuseNothingToSplit: return "Nothing to split, you need to check levels to split.";
    case ErrorCode::RefuseMergeVersions:
        return "You must select a valid jnx version in combo, because original jnx have different jnx versions.";
    case ErrorCode::RefuseMergeTooFew: return "You must select at least two valid JNX file to join.";
    case ErrorCode::RefuseMergeTooManyLevels:
        return "NumLevels result [{value}] should be less than or equal to 5 (Garmin Limit).";
    case ErrorCode::RefuseMergeDifferentArea: return "Only can join maps of the same area but different zoom levels.";

    case ErrorCode::RowCannotRead: return "Cannot read {file}: {cause}";
    case ErrorCode::RowCannotRegenerate: return "Cannot regenerate {file}: {cause}";
    case ErrorCode::RowCannotReplace: return "Cannot replace {file}: {cause}";
    case ErrorCode::RowCannotUpdate: return "Cannot update {file}: {cause}";
    case ErrorCode::RowUpdatedNotRenamed: return "Updated, but cannot rename: {cause}";
    case ErrorCode::RowNameHasSeparator: return "The new name {other} holds a folder separator";
    case ErrorCode::RowNameTaken: return "A file named {other} exists already";
    case ErrorCode::RowChanged: return "{file} has changed since the folder was loaded";
    case ErrorCode::RowCannotExtract: return "Cannot extract level {level}: {cause}";
    case ErrorCode::RowCannotDelete: return "Cannot delete {file}";
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
