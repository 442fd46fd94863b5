#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/error.h"

namespace {

using platform::Error;
using platform::ErrorCode;

// Every code is worded, and has a name of its own for scripts.
TEST(Error, EveryCodeHasAWordingAndADistinctName) {
    std::set<std::string> names;
    for (int c = int(ErrorCode::None) + 1; c <= int(platform::kLastErrorCode); ++c) {
        EXPECT_STRNE(platform::ErrorTemplate(ErrorCode(c)), "") << "code " << c;
        EXPECT_TRUE(names.insert(platform::ErrorCodeName(ErrorCode(c))).second) << "code " << c;
    }
}

TEST(Error, DetailsFillTheWordingAndCausesNest) {
    const Error inner = Error(ErrorCode::CannotOpen).File("/maps/a.jnx").Detail("No such file or directory");
    const Error outer = Error(ErrorCode::RowCannotExtract).Level(3).Cause(inner);
    EXPECT_EQ(platform::ErrorText(outer), "Cannot extract level 3: Cannot open /maps/a.jnx: No such file or directory");
    EXPECT_EQ(platform::ErrorText(Error(ErrorCode::BadZoomNumber).Level(2).Other("x")),
              "Zoom of level 2 (\"x\") is not a whole number from -32768 to 32767");

    // A translation words the cause too, and a brace that names nothing stays as it is.
    const auto translate = [](ErrorCode code, const char* english) -> std::string {
        if (code == ErrorCode::RowCannotExtract) return "Nivel {level} {unknown}: {cause}";
        if (code == ErrorCode::CannotOpen) return "No se puede abrir {file}";
        return english;
    };
    EXPECT_EQ(platform::FormatError(outer, translate), "Nivel 3 {unknown}: No se puede abrir /maps/a.jnx");
}

}  // namespace
