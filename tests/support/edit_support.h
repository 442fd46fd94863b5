// Reading a fixture in full and resolving an edit request against it, for the tests of
// the writers.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "edit/resolve_edit.h"
#include "jnx/reader.h"

namespace fixture {

inline jnx::JnxDocument ReadFull(const std::string& path) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    platform::Error error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, total, error, jnx::ReadDepth::Full)) << platform::ErrorText(error);
    doc.FileName = path;
    return doc;
}

inline edit::ResolvedEdit Resolve(const edit::EditRequest& request, const jnx::JnxDocument& doc,
                                  edit::Purpose purpose = edit::Purpose::Save, jnx::WriterSettings settings = {}) {
    edit::ResolvedEdit resolved;
    platform::Error error;
    EXPECT_TRUE(edit::ResolveEdit(request, doc, doc.FileName, settings, purpose, resolved, error))
        << platform::ErrorText(error);
    return resolved;
}

}  // namespace fixture
