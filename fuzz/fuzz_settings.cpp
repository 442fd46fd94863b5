// The INI parser, the single-key writer and the table builder on arbitrary settings text.
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "platform/ini.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"Lang", "Level1", "Group1", "GroupZooms1"}) {
        // The limit counts characters; a Windows-1252 file's characters may take 3 bytes each.
        std::size_t characters = 0;
        for (unsigned char c : platform::IniReadFromText(text, "ZoomLevels", key)) characters += (c & 0xC0) != 0x80;
        if (characters > platform::kIniValueLimit) std::abort();
    }
    // A written key must read back as written, whatever surrounded it.
    const std::string written = platform::IniWriteToText(text, "Preferences", "BatchDefaultDir", "/maps/x");
    if (platform::IniReadFromText(written, "Preferences", "BatchDefaultDir") != "/maps/x") std::abort();

    fuzzing::InputFile input(data, size);
    if (input.path().empty()) return 0;
    settings::Settings settingsFile(input.path());
    settings::SettingsTables tables;
    (void)settings::CargarCombos(settingsFile, tables);
    (void)settingsFile.UserLevel();
    (void)settingsFile.BlockSize();
    for (const auto& row : tables.ZoomTable) (void)settings::RowForScale(tables.ZoomTable, row.MinScale);
    return 0;
}
