// The one publish step for every new file the program writes: the file is written
// under a temporary name in its target folder, checked, and only then renamed to its
// final name; dropped without publishing (any failure on the way), it is removed. So a
// final name only ever shows a complete, verified file, and a file it replaces stays whole
// until the very rename.
//
// A file replaced keeps what the user gave it: the new one takes its mode, and its owner
// and group where the system allows; a symbolic link stays, and the file it names is
// replaced; and a file the user may not write is refused, as an update in place refuses it.
//
// Only a name the user gave is followed through a link. A name the program made up
// (NAME_new.jnx, NAME_Level2.jnx, OUT_Part03.jnx) may be held by anything anybody put
// there, a link planted to make a privileged run write over another file among them: such
// a name must be free, or, once the user agreed to overwrite, the entry itself is replaced.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/binary_file.h"
#include "platform/error.h"

namespace platform {

class NewFile {
public:
    // Who named the final path, and so what may stand there.
    enum class Target {
        MayReplace,           // the user: a file there (or the file a link there names) is replaced
        ChosenName,           // the program: anything there refuses the write (OutputExists)
        ChosenNameOverwrite,  // the program, and the user agreed: what is there is replaced, never followed
        FreeNameOnly,         // see PublishUnderFreeName
    };

    // finalPath: where the file appears; the temporary file goes into its folder (with
    // FreeNameOnly, finalPath only names that folder and the temporary's stem).
    explicit NewFile(std::string finalPath, Target target = Target::MayReplace)
        : finalPath_(std::move(finalPath)), target_(target) {}
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Refuses a final path that is not a regular file or that the user may not write.
    bool Create(Error& error);
    BinaryFile& File() { return file_; }
    const std::string& TemporaryPath() const { return tempPath_; }
    const std::string& FinalPath() const { return finalPath_; }

    // A check of the complete file, run before it is published.
    using Verify = std::function<bool(BinaryFile& file, Error& error)>;

    // Checks the file and renames it over the final path. A file already there is
    // replaced, after the new data is flushed, so that a crash leaves one of them whole.
    bool Publish(Error& error, const Verify& verify = {});
    // The same, but under the first name nameFor(1), nameFor(2), ... (in the final path's
    // folder) that no file holds; never replaces a file. published is the name taken.
    bool PublishUnderFreeName(const std::function<std::string(int attempt)>& nameFor, int attempts,
                              std::string& published, Error& error, const Verify& verify = {});

private:
    bool MayReplaceTarget(Error& error);
    bool TakeOverPermissions(Error& error);
    bool Check(Error& error, const Verify& verify, bool flush);
    bool Published();
    // Failures speak of the user's file, never of the temporary standing in for it.
    bool Failed(Error& error) const;

    std::string finalPath_;
    Target target_;
    std::string targetPath_;  // the file to replace: finalPath_, or the file a link there names
    std::string folder_;      // where the temporary and the published file live
    std::string tempPath_;
    bool replacing_ = false;
    BinaryFile file_;
    bool published_ = false;
};

// The parts of one output written as several files (OUT_Part01.jnx, ..., OUT_1.kmz, ...),
// each checked already or by verify (given the part's number from 0), published as a
// whole under one lock on their folder, so that two writers to one name never leave a mix
// of their parts. earlier lists the parts standing there, whatever their number: without
// overwrite any of them refuses the set (OutputExists); with it, those at the new set's
// names are replaced and those beyond it removed, as they would read as parts of this set.
// Should a rename fail, the parts already published go too. stop: as the lock's, while
// another writer holds it.
using VerifyPart = std::function<bool(std::size_t part, BinaryFile& file, Error& error)>;
bool PublishParts(const std::vector<NewFile*>& parts, const std::function<std::vector<std::string>()>& earlier,
                  bool overwrite, Error& error, const std::function<bool()>& stop = {}, const VerifyPart& verify = {});

// Writes bytes as a new file through the publish step (settings, small files).
bool WriteNewFile(const std::string& path, const std::string& bytes, Error& error);

}  // namespace platform
