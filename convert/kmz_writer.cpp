#include "convert/kmz_writer.h"

#include <algorithm>
#include <cstdio>

#include "convert/kml_reader.h"
#include "convert/kmz_names.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

zip_int64_t ServeArchive(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* archive = static_cast<ArchiveFile*>(user);
    const auto failed = [&](int code) {
        zip_error_set(&archive->zerror, code, 0);
        return zip_int64_t(-1);
    };
    switch (command) {
        case ZIP_SOURCE_OPEN:
            archive->readAt = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const auto n = std::size_t(std::min<std::int64_t>(std::int64_t(length), archive->size - archive->readAt));
            if (n > 0 && !archive->file->ReadAt(archive->readAt, data, n, archive->error)) {
                archive->failed = true;
                return failed(ZIP_ER_READ);
            }
            archive->readAt += std::int64_t(n);
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_COMMIT_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:  // the publish step drops the temporary
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(archive->size);
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_SEEK_WRITE: {
            std::int64_t& at = command == ZIP_SOURCE_SEEK ? archive->readAt : archive->writeAt;
            const zip_int64_t to = zip_source_seek_compute_offset(zip_uint64_t(at), zip_uint64_t(archive->size), data,
                                                                  length, &archive->zerror);
            if (to < 0) return -1;
            at = to;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return archive->readAt;
        case ZIP_SOURCE_TELL_WRITE:
            return archive->writeAt;
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_REMOVE:
            archive->writeAt = archive->size = 0;
            return 0;
        case ZIP_SOURCE_WRITE:
            if (!archive->file->WriteAt(archive->writeAt, data, std::size_t(length), archive->error)) {
                archive->failed = true;
                return failed(ZIP_ER_WRITE);
            }
            archive->writeAt += std::int64_t(length);
            archive->size = std::max(archive->size, archive->writeAt);
            return zip_int64_t(length);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&archive->zerror, data, length);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return failed(ZIP_ER_OPNOTSUPP);
    }
}

// Enough digits that the import rounds back to the very JNX unit.
std::string Deg(std::int32_t units) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10f", Degrees(units));
    return text;
}

}  // namespace

// A map's texts may hold what XML 1.0 cannot: control bytes, and the non-characters
// U+FFFE and U+FFFF. They are left out; tab and line breaks are written as references,
// so that they come back as they were.
std::string KmlText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\xEF' && text.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < text.size() &&
            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            i += 2;
            continue;
        }
        switch (c) {
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
    return out;
}

std::string KmlBox(const char* element, const JnxBounds& b) {
    return "<" + std::string(element) + "><north>" + Deg(b[0]) + "</north><south>" + Deg(b[2]) + "</south><east>" +
           Deg(b[1]) + "</east><west>" + Deg(b[3]) + "</west></" + element + ">";
}

zip_t* CreateArchive(ArchiveFile& target, const std::string& shownAs, Error& error) {
    zip_error_init(&target.zerror);
    zip_error_t zerror;
    zip_error_init(&zerror);
    zip_source_t* into = zip_source_function_create(ServeArchive, &target, &zerror);
    zip_t* archive = into ? zip_open_from_source(into, ZIP_CREATE | ZIP_TRUNCATE, &zerror) : nullptr;
    if (!archive) {
        if (into) zip_source_free(into);
        error = Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail(zip_error_strerror(&zerror));
        zip_error_fini(&target.zerror);
    }
    zip_error_fini(&zerror);
    return archive;
}

Error ArchiveCannotWrite(const std::string& shownAs, zip_t* archive) {
    return Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail(zip_strerror(archive));
}

bool AddMember(zip_t* archive, const std::string& name, zip_source_t* source, bool compress, const std::string& shownAs,
               Error& error) {
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return Fail(error, ArchiveCannotWrite(shownAs, archive));
    }
    if (!compress && zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)
        return Fail(error, ArchiveCannotWrite(shownAs, archive));
    return true;
}

void DiscardArchive(zip_t* archive, ArchiveFile& target) {
    zip_discard(archive);
    zip_error_fini(&target.zerror);
}

bool CloseArchive(zip_t* archive, ArchiveFile& target, const std::string& shownAs, const bool& memberFailed,
                  const Error& memberError, Error& error) {
    if (zip_close(archive) != 0) {
        error = memberFailed ? memberError : target.failed ? target.error : ArchiveCannotWrite(shownAs, archive);
        DiscardArchive(archive, target);
        return false;
    }
    zip_error_fini(&target.zerror);
    return true;
}

bool ArchiveReadsBack(const std::string& path, const std::string& shownAs, std::int64_t overlays, Error& error) {
    const Error differs = Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail("it does not read back as written");
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) return Fail(error, differs);
    zip_file_t* file =
        zip_get_num_entries(archive, 0) == overlays + 1 ? zip_fopen(archive, kmz::kDocument, 0) : nullptr;
    KmlDocument kml;
    Error why;
    const ReadKmlChunk read = [&](char* buffer, std::size_t n, std::size_t& got, Error& e) {
        const zip_int64_t count = zip_fread(file, buffer, n);
        got = std::size_t(std::max<zip_int64_t>(count, 0));
        return count >= 0 || Fail(e, differs);
    };
    bool ok = file && ReadKml(shownAs, read, kml, why);
    if (file) zip_fclose(file);
    zip_discard(archive);
    std::int64_t found = 0;
    for (const KmlFolder& folder : kml.folders) found += std::int64_t(folder.overlays.size());
    ok = ok && found == overlays;
    return ok || Fail(error, why ? Error(differs).Detail("it does not read back as written: " + why.detail) : differs);
}

}  // namespace convert
