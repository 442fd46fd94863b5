// File-system services: paths, listings, existence, delete, move, copy and folder
// creation. All paths are UTF-8 text.
#pragma once
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Removes a file even when it is read-only; false when it could not be removed.
bool DeleteFile(const std::string& path);
// Atomic rename that refuses to replace an existing target.
bool MoveFileNoReplace(const std::string& from, const std::string& to, Error& error);
bool CopyFile(const std::string& from, const std::string& to, Error& error);

std::string ParentFolder(const std::string& path);   // "" for a root
std::string FileNameOf(const std::string& path);     // "MAP.jnx"
std::string BaseNameOf(const std::string& path);     // "MAP"
std::string ExtensionOf(const std::string& path);    // "jnx", without dot
std::string JoinPath(const std::string& folder, const std::string& name);
// Turns "\" into "/", so settings written on other platforms still name folders.
std::string NormalizeSeparators(const std::string& path);

// Whether anything at all stands at path: a file, a folder, a link (dangling too).
bool NameTaken(const std::string& path);
// The entries of stem's folder named stem + a number of at least minDigits digits + suffix,
// by path, sorted by name: the parts an output written as several files has left there.
std::vector<std::string> NumberedFiles(const std::string& stem, const std::string& suffix, std::size_t minDigits);
// Whether two paths name one file: the same name, a link to it, or another hard link.
bool SameFile(const std::string& a, const std::string& b);

// Whether new files can be made and renamed in folder, as far as the system tells
// beforehand; error (FolderNotWritable) says why not.
bool CanWriteInto(const std::string& folder, Error& error);
// Creates the folder and every missing parent; true when the folder exists afterwards.
// created, where given, gets the folders made, outermost first.
bool CreateFolderPath(const std::string& path, Error& error, std::vector<std::string>* created = nullptr);
// Removes those of the folders (as CreateFolderPath lists them) that are still empty,
// innermost first: a run that failed leaves no folder it made for its output.
void RemoveEmptyFolders(const std::vector<std::string>& folders);

struct FolderEntry {
    std::string path;
    bool isFolder = false;
    bool isSymlink = false;
};
// Entries of one folder, sorted by name; false when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, Error& error);

// Folder of the running executable.
std::string ProgramFolder();

}  // namespace platform
