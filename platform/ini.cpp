#include "platform/ini.h"

#include "platform/new_file.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

// One line of the file: [begin, end) is its text, [end, next) its line break, if any.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        const auto lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
            line.next = lf + 1;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string Folded(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

bool SameName(const std::string& a, const std::string& b) { return Folded(a) == Folded(b); }

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string name;               // section or key name, trimmed
    std::size_t valueStart = 0;     // for a key: offset in the file just after '='
};

ParsedLine Parse(const std::string& text, const Line& line) {
    std::string raw = text.substr(line.begin, line.end - line.begin);
    std::size_t skipped = 0;
    if (line.begin == 0 && raw.rfind(kUtf8Bom, 0) == 0) {
        raw.erase(0, 3);
        skipped = 3;
    }
    ParsedLine parsed;
    const std::string t = TrimBlanks(raw);
    if (t.empty()) {
        parsed.kind = LineKind::Blank;
    } else if (t[0] == ';' || t[0] == '#') {
        parsed.kind = LineKind::Comment;
    } else if (t[0] == '[') {
        const auto close = t.find(']');
        if (close != std::string::npos) {
            parsed.kind = LineKind::Section;
            parsed.name = TrimBlanks(t.substr(1, close - 1));
        }
    } else if (const auto eq = raw.find('='); eq != std::string::npos) {
        parsed.kind = LineKind::Key;
        parsed.name = TrimBlanks(raw.substr(0, eq));
        parsed.valueStart = line.begin + skipped + eq + 1;
    }
    return parsed;
}

// Cuts text after limit characters without splitting a UTF-8 sequence.
std::string CutCharacters(const std::string& text, std::size_t limit) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (count == limit) return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

struct KeyLocation {
    std::optional<std::size_t> sectionLine;  // first matching section header
    std::optional<std::size_t> keyLine;      // first matching key in such a section
    std::optional<std::size_t> lastFilled;   // last non-blank line of the first matching section
};

KeyLocation Locate(const std::string& text, const std::vector<Line>& lines, const std::string& section,
                   const std::string& key) {
    KeyLocation where;
    bool inSection = false;
    bool firstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine p = Parse(text, lines[i]);
        if (p.kind == LineKind::Section) {
            inSection = SameName(p.name, section);
            firstSection = inSection && !where.sectionLine;
            if (firstSection) {
                where.sectionLine = i;
                where.lastFilled = i;
            }
            continue;
        }
        if (!inSection) continue;
        if (firstSection && p.kind != LineKind::Blank) where.lastFilled = i;
        if (p.kind == LineKind::Key && !where.keyLine && SameName(p.name, key)) where.keyLine = i;
    }
    return where;
}

}  // namespace

bool IniLoad(const std::string& path, std::string& text, Error& error) {
    text.clear();
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return Fail(error, Error(ErrorCode::SettingsMissing).File(path));
    }
    if (ec) return Fail(error, Error(ErrorCode::CannotOpen).File(path).Detail(ec.message()));
    if (std::filesystem::is_directory(status)) return Fail(error, Error(ErrorCode::SettingsIsFolder).File(path));
    // A device or a pipe may never end, or keep the reader waiting.
    if (!std::filesystem::is_regular_file(status)) {
        return Fail(error, Error(ErrorCode::SettingsNotRegular).File(path));
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kIniSizeLimit) return Fail(error, Error(ErrorCode::SettingsTooLarge).File(path));
    // One byte more than allowed tells a file that grew since it was looked at.
    if (!ReadFileStart(path, kIniSizeLimit + 1, text, error)) return false;
    if (text.size() > kIniSizeLimit) {
        text.clear();
        return Fail(error, Error(ErrorCode::SettingsTooLarge).File(path));
    }
    if (text.find('\0') != std::string::npos) {
        text.clear();
        return Fail(error, Error(ErrorCode::SettingsNotText).File(path));
    }
    return true;
}

IniKeys::IniKeys(const std::string& fileBytes) {
    const bool utf8 = IsValidUtf8(fileBytes);
    std::unordered_map<std::string, std::string>* section = nullptr;
    for (const Line& line : SplitLines(fileBytes)) {
        const ParsedLine parsed = Parse(fileBytes, line);
        if (parsed.kind == LineKind::Section) {
            section = &sections_[Folded(parsed.name)];
        } else if (parsed.kind == LineKind::Key && section != nullptr) {
            const auto [at, added] = section->try_emplace(Folded(parsed.name));
            if (!added) continue;
            std::string value = TrimBlanks(fileBytes.substr(parsed.valueStart, line.end - parsed.valueStart));
            if (!utf8) value = Windows1252ToUtf8(value);
            at->second = CutCharacters(value, kIniValueLimit);
        }
    }
}

std::string IniKeys::Read(const std::string& section, const std::string& key) const {
    const auto inSection = sections_.find(Folded(section));
    if (inSection == sections_.end()) return {};
    const auto value = inSection->second.find(Folded(key));
    return value == inSection->second.end() ? std::string() : value->second;
}

std::string IniReadFromText(const std::string& fileBytes, const std::string& section, const std::string& key) {
    return IniKeys(fileBytes).Read(section, key);
}

std::string IniRead(const std::string& path, const std::string& section, const std::string& key) {
    std::string text;
    Error error;
    return IniLoad(path, text, error) ? IniReadFromText(text, section, key) : std::string();
}

std::string IniWriteToText(const std::string& fileBytes, const std::string& section, const std::string& key,
                           const std::string& value) {
    // Names that the syntax cannot hold would write a line that reads back as something else.
    const auto breaksLine = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
    if (TrimBlanks(section).empty() || TrimBlanks(key).empty() || breaksLine(section) || breaksLine(key) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        key.find_first_of(";#[") == 0) {
        return fileBytes;
    }
    // A line break inside the value would let it add lines of its own; only the first line is kept.
    std::string newValue = SanitizeUtf8(value.substr(0, value.find_first_of("\r\n")));

    // The file keeps its own encoding. A Windows-1252 file that cannot hold the value is
    // turned into UTF-8 as a whole, since '?' in a folder name would name another folder.
    std::string text = fileBytes;
    if (!IsValidUtf8(text)) {
        const std::string ansi = Utf8ToWindows1252(newValue);
        if (Windows1252ToUtf8(ansi) == newValue) {
            newValue = ansi;
        } else {
            text = Windows1252ToUtf8(text);
        }
    }

    const std::vector<Line> lines = SplitLines(text);
    const KeyLocation where = Locate(text, lines, section, key);
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";

    if (where.keyLine) {
        const Line& line = lines[*where.keyLine];
        const std::size_t start = Parse(text, line).valueStart;
        return text.substr(0, start) + newValue + text.substr(line.end);
    }
    const std::string keyLine = TrimBlanks(key) + "=" + newValue;
    if (where.sectionLine) {
        const Line& after = lines[*where.lastFilled];
        const bool hasBreak = after.next > after.end;
        return text.substr(0, after.next) + (hasBreak ? "" : eol) + keyLine + eol + text.substr(after.next);
    }
    std::string out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    if (!out.empty()) out += eol;
    out += "[" + TrimBlanks(section) + "]" + eol + keyLine + eol;
    return out;
}

bool IniWrite(const std::string& path, const std::string& section, const std::string& key, const std::string& value,
              Error& error) {
    // The file that a symbolic link names is rewritten, not the link replaced.
    std::string target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::canonical(path, ec);
        if (ec) return Fail(error, Error(ErrorCode::CannotWriteSettings).File(path).Detail(ec.message()));
        target = resolved.string();
    }
    std::string old;
    Error unloadable;
    const bool ok = IniLoad(target, old, unloadable);
    // There but not a settings file we can read: never start it afresh.
    if (!ok && unloadable.code != ErrorCode::SettingsMissing) {
        return Fail(error, Error(ErrorCode::CannotWriteSettings).File(target));
    }
    const std::string updated = IniWriteToText(old, section, key, value);
    if (ok && updated == old) {
        // Nothing to write: either the key holds the value already or the names were refused.
        const std::string firstLine = value.substr(0, value.find_first_of("\r\n"));
        if (IniReadFromText(old, section, key) == CutCharacters(TrimBlanks(firstLine), kIniValueLimit)) return true;
        return Fail(error, Error(ErrorCode::CannotWriteSettings).File(target));
    }

    NewFile out(target);
    return out.Create(error) && out.File().WriteAt(0, updated.data(), updated.size(), error) && out.Publish(error);
}

}  // namespace platform
