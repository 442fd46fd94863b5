// tessaly-cli save FILE... : the editor's save, one file after another.
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/edit_args.h"
#include "cli/options.h"
#include "jnx/modif.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "platform/fs.h"
#include "settings/settings.h"

namespace cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaly-cli save FILE... [--product-id N] [--group TEXT] [--draw-order N]\n"
    "                        [--to-version 3|4] [--level K=ZOOM] [--priority K] [--zoom K=N]\n"
    "                        [--settings PATH]\n"
    "A file that keeps its version and can be patched is updated in place; any other is\n"
    "written anew as NAME_new.jnx beside it. ZOOM is a zoom row's name or 1-based number.\n";

const std::vector<OptionSpec> kOptions = {
    {"--product-id", true}, {"--group", true},    {"--draw-order", true}, {"--to-version", true},
    {"--level", true},      {"--priority", true}, {"--zoom", true},       {"--settings", true},
};

std::string NewFilePath(const std::string& path) {
    return platform::JoinPath(platform::ParentFolder(path), platform::BaseNameOf(path) + "_new.jnx");
}

}  // namespace

int RunSave(const Args& args) {
    ParsedArgs parsed;
    const std::string error = ParseArgs(args, kOptions, parsed);
    if (parsed.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!error.empty()) return UsageError(error, kUsage);
    if (parsed.positional.empty()) return UsageError("no files given", kUsage);

    const settings::Settings config = LoadSettings(parsed);
    settings::SettingsTables tables;
    const bool haveTables = settings::CargarCombos(config, tables);
    if (!haveTables && parsed.Has("--level")) {
        std::cerr << "tessaly-cli: the settings file " << config.Path() << " has a malformed value\n";
        return 1;
    }
    EditArgs edit;
    if (const std::string bad = ParseEditArgs(parsed, haveTables ? &tables : nullptr, edit); !bad.empty()) {
        return UsageError(bad, kUsage);
    }

    int exitCode = 0;
    for (const std::string& file : parsed.positional) {
        jnx::JnxDocument doc;
        doc.FileName = file;
        std::int32_t totalTiles = 0;
        std::string failure;
        if (!jnx::ReadJnx(doc, file, totalTiles, failure, true)) {
            std::cout << file << ": " << failure << "\n";
            exitCode = 1;
            continue;
        }
        const Target target = TargetFor(edit, doc);
        jnx::FixedEditorValues values;
        jnx::WriterSettings writer;
        if (failure = PrepareFile(edit, doc, target, values, writer, config); !failure.empty()) {
            std::cout << file << ": " << failure << "\n";
            exitCode = 1;
            continue;
        }
        if (target.version == doc.Header.Version && !doc.NeedsRegeneration) {
            if (jnx::ModifJNX(doc, values, file, writer, failure)) {
                std::cout << "updated " << file << "\n";
                continue;
            }
        } else {
            const std::string out = NewFilePath(file);
            if (jnx::RegenerateJnx(doc, values, file, out, target.changed, target.version, writer, failure)) {
                std::cout << "created " << out << "\n";
                continue;
            }
        }
        std::cout << file << ": Errors in JNX generation. " << failure << "\n";
        exitCode = 1;
    }
    return exitCode;
}

}  // namespace cli
