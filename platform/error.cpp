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
    {ErrorCode::RefuseMergeDifferentArea, "{file} and {other} do not cover the same area ({detail}). Only maps of the same area with different zoom levels can be joined."},
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
    {ErrorCode::ConvertRasterUnreadable, "{file} cannot be read as a raster: {detail}"},
    {ErrorCode::ConvertRasterNotGeoreferenced, "{file} is not georeferenced ({detail}), so where it lies is unknown; nothing was written"},
    {ErrorCode::ConvertRasterRotated, "{file} is rotated or sheared ({detail}); only north-up rasters are imported, so nothing was written"},
    {ErrorCode::ConvertRasterUnsupported, "{file} cannot be made into map tiles: {detail}; nothing was written"},
    {ErrorCode::JpegUnreadable, "Tile {value} of level {level} cannot be read as a JPEG: {detail}"},
    {ErrorCode::JpegCannotJoin, "The tiles of level {level} cannot be joined without re-encoding: {detail}"},
    {ErrorCode::JpegJoinMismatch, "Tiles {other} and {value} of level {level} cannot be joined without re-encoding: their {detail} differ"},
    {ErrorCode::FitCheckFailed, "{file} would still not be ready for the device ({detail}); nothing was written"},
    {ErrorCode::CustomMapsOverBudget, "{file}: even its coarsest level, {level}, needs {value} images of at most 1024 x 1024 pixels, more than the {other} a device shows; nothing was written"},
    {ErrorCode::CustomMapsTileTooLarge, "{file}: the tiles of level {level} are {value} pixels wide or high, more than the 1024 a Custom Maps image may have; nothing was written"},
    {ErrorCode::CustomMapsImageTooLarge, "{file}: image {other} of level {level} takes {value} bytes, not under the 3 MB a Custom Maps image must stay within; nothing was written"},
};
// clang-format on

// Stable names for scripts (JSON output): never change one once published.
struct Name {
    ErrorCode code;
    const char* name;
};

// clang-format off
constexpr Name kNames[] = {
    {ErrorCode::FileNotOpen, "file_not_open"},
    {ErrorCode::PositionOutOfRange, "position_out_of_range"},
    {ErrorCode::CannotOpen, "cannot_open"},
    {ErrorCode::CannotGetLength, "cannot_get_length"},
    {ErrorCode::CannotRead, "cannot_read"},
    {ErrorCode::ReadPastEnd, "read_past_end"},
    {ErrorCode::FileChangedWhileRead, "file_changed_while_read"},
    {ErrorCode::CannotWrite, "cannot_write"},
    {ErrorCode::NothingWritten, "nothing_written"},
    {ErrorCode::CannotCopyData, "cannot_copy_data"},
    {ErrorCode::CannotFlush, "cannot_flush"},
    {ErrorCode::CannotMove, "cannot_move"},
    {ErrorCode::CannotCopy, "cannot_copy"},
    {ErrorCode::CannotDelete, "cannot_delete"},
    {ErrorCode::CannotReadFolder, "cannot_read_folder"},
    {ErrorCode::CannotCreateFolder, "cannot_create_folder"},
    {ErrorCode::CannotWriteSettings, "cannot_write_settings"},
    {ErrorCode::SettingsMissing, "settings_missing"},
    {ErrorCode::SettingsIsFolder, "settings_is_folder"},
    {ErrorCode::SettingsNotRegular, "settings_not_regular"},
    {ErrorCode::SettingsTooLarge, "settings_too_large"},
    {ErrorCode::SettingsNotText, "settings_not_text"},
    {ErrorCode::AllNamesTaken, "all_names_taken"},
    {ErrorCode::NotRegularFile, "not_regular_file"},
    {ErrorCode::OutputExists, "output_exists"},
    {ErrorCode::OutputIsSource, "output_is_source"},
    {ErrorCode::FolderNotWritable, "folder_not_writable"},
    {ErrorCode::CannotLock, "cannot_lock"},
    {ErrorCode::FileInUse, "file_in_use"},
    {ErrorCode::Cancelled, "cancelled"},
    {ErrorCode::UnsupportedVersion, "unsupported_version"},
    {ErrorCode::LevelCountOutOfRange, "level_count_out_of_range"},
    {ErrorCode::TileCountOutOfRange, "tile_count_out_of_range"},
    {ErrorCode::ArithmeticOverflow, "arithmetic_overflow"},
    {ErrorCode::TextTooLong, "text_too_long"},
    {ErrorCode::MapBlockTooLong, "map_block_too_long"},
    {ErrorCode::NoTiles, "no_tiles"},
    {ErrorCode::BadSignature, "bad_signature"},
    {ErrorCode::TileWithoutData, "tile_without_data"},
    {ErrorCode::TileOutsideFile, "tile_outside_file"},
    {ErrorCode::TileInsideTables, "tile_inside_tables"},
    {ErrorCode::BadTrailer, "bad_trailer"},
    {ErrorCode::TablesMisplaced, "tables_misplaced"},
    {ErrorCode::BadProductId, "bad_product_id"},
    {ErrorCode::GroupTooLong, "group_too_long"},
    {ErrorCode::ScaleOutOfRange, "scale_out_of_range"},
    {ErrorCode::BadZoomNumber, "bad_zoom_number"},
    {ErrorCode::BadDrawOrder, "bad_draw_order"},
    {ErrorCode::BadTargetVersion, "bad_target_version"},
    {ErrorCode::BadBlockSize, "bad_block_size"},
    {ErrorCode::MapBlockOverflow, "map_block_overflow"},
    {ErrorCode::MapBlockNotTerminated, "map_block_not_terminated"},
    {ErrorCode::TextHoldsZero, "text_holds_zero"},
    {ErrorCode::NotReadWithTables, "not_read_with_tables"},
    {ErrorCode::NoTilesToCopy, "no_tiles_to_copy"},
    {ErrorCode::TableOffsetsOverflow, "table_offsets_overflow"},
    {ErrorCode::DataOffsetsOverflow, "data_offsets_overflow"},
    {ErrorCode::FileTooLarge, "file_too_large"},
    {ErrorCode::FileChanged, "file_changed"},
    {ErrorCode::RegeneratedLength, "regenerated_length"},
    {ErrorCode::RegeneratedTables, "regenerated_tables"},
    {ErrorCode::RegeneratedImages, "regenerated_images"},
    {ErrorCode::CannotPatch, "cannot_patch"},
    {ErrorCode::LevelTableOverrun, "level_table_overrun"},
    {ErrorCode::LevelTableEnd, "level_table_end"},
    {ErrorCode::MapBlockMoved, "map_block_moved"},
    {ErrorCode::FileShorter, "file_shorter"},
    {ErrorCode::LengthChangedByUpdate, "length_changed_by_update"},
    {ErrorCode::PatchedTables, "patched_tables"},
    {ErrorCode::PatchedImages, "patched_images"},
    {ErrorCode::NoSuchLevel, "no_such_level"},
    {ErrorCode::LevelWithoutTiles, "level_without_tiles"},
    {ErrorCode::LevelTileWithoutData, "level_tile_without_data"},
    {ErrorCode::WrittenTablesDiffer, "written_tables_differ"},
    {ErrorCode::WrittenImagesDiffer, "written_images_differ"},
    {ErrorCode::MergeVersion, "merge_version"},
    {ErrorCode::MergeIncomplete, "merge_incomplete"},
    {ErrorCode::MergeNothing, "merge_nothing"},
    {ErrorCode::MergeBlockOverflow, "merge_block_overflow"},
    {ErrorCode::MergeMismatch, "merge_mismatch"},
    {ErrorCode::MergeSourceChanged, "merge_source_changed"},
    {ErrorCode::MergeReadBack, "merge_read_back"},
    {ErrorCode::MergeReadBackFailed, "merge_read_back_failed"},
    {ErrorCode::MergeTileOutside, "merge_tile_outside"},
    {ErrorCode::MergeRowChanged, "merge_row_changed"},
    {ErrorCode::MergeNegativeTiles, "merge_negative_tiles"},
    {ErrorCode::MergeLoading, "merge_loading"},
    {ErrorCode::MergeLoadingFull, "merge_loading_full"},
    {ErrorCode::MergeCheckpoint, "merge_checkpoint"},
    {ErrorCode::RefuseNoFolder, "refuse_no_folder"},
    {ErrorCode::RefuseErroneousChecked, "refuse_erroneous_checked"},
    {ErrorCode::RefuseInvalidFilename, "refuse_invalid_filename"},
    {ErrorCode::RefuseNoneChecked, "refuse_none_checked"},
    {ErrorCode::RefuseNothingToDelete, "refuse_nothing_to_delete"},
    {ErrorCode::RefuseSingleLevelSplit, "refuse_single_level_split"},
    {ErrorCode::RefuseNothingToSplit, "refuse_nothing_to_split"},
    {ErrorCode::RefuseMergeVersions, "refuse_merge_versions"},
    {ErrorCode::RefuseMergeTooFew, "refuse_merge_too_few"},
    {ErrorCode::RefuseMergeTooManyLevels, "refuse_merge_too_many_levels"},
    {ErrorCode::RefuseMergeDifferentArea, "refuse_merge_different_area"},
    {ErrorCode::RowCannotRead, "row_cannot_read"},
    {ErrorCode::RowCannotRegenerate, "row_cannot_regenerate"},
    {ErrorCode::RowCannotReplace, "row_cannot_replace"},
    {ErrorCode::RowCannotUpdate, "row_cannot_update"},
    {ErrorCode::RowUpdatedNotRenamed, "row_updated_not_renamed"},
    {ErrorCode::RowNameHasSeparator, "row_name_has_separator"},
    {ErrorCode::RowNameTaken, "row_name_taken"},
    {ErrorCode::RowChanged, "row_changed"},
    {ErrorCode::RowCannotExtract, "row_cannot_extract"},
    {ErrorCode::RowCannotDelete, "row_cannot_delete"},
    {ErrorCode::ConvertBadSource, "convert_bad_source"},
    {ErrorCode::ConvertNoTiles, "convert_no_tiles"},
    {ErrorCode::ConvertNoSuchZoom, "convert_no_such_zoom"},
    {ErrorCode::ConvertEmptyTile, "convert_empty_tile"},
    {ErrorCode::ConvertNotJpeg, "convert_not_jpeg"},
    {ErrorCode::ConvertBeyondDevice, "convert_beyond_device"},
    {ErrorCode::ConvertOffGrid, "convert_off_grid"},
    {ErrorCode::ConvertCannotWrite, "convert_cannot_write"},
    {ErrorCode::ConvertSourceLimit, "convert_source_limit"},
    {ErrorCode::ConvertRasterUnreadable, "convert_raster_unreadable"},
    {ErrorCode::ConvertRasterNotGeoreferenced, "convert_raster_not_georeferenced"},
    {ErrorCode::ConvertRasterRotated, "convert_raster_rotated"},
    {ErrorCode::ConvertRasterUnsupported, "convert_raster_unsupported"},
    {ErrorCode::JpegUnreadable, "jpeg_unreadable"},
    {ErrorCode::JpegCannotJoin, "jpeg_cannot_join"},
    {ErrorCode::JpegJoinMismatch, "jpeg_join_mismatch"},
    {ErrorCode::FitCheckFailed, "fit_check_failed"},
    {ErrorCode::CustomMapsOverBudget, "custom_maps_over_budget"},
    {ErrorCode::CustomMapsTileTooLarge, "custom_maps_tile_too_large"},
    {ErrorCode::CustomMapsImageTooLarge, "custom_maps_image_too_large"},
};
// clang-format on

}  // namespace

const char* ErrorCodeName(ErrorCode code) {
    for (const Name& name : kNames)
        if (name.code == code) return name.name;
    return "none";
}

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
