#include <gtest/gtest.h>

#include <string>

#include "core/diag.h"
#include "support/path_fixture.h"
#include "y32Comm.h"

namespace {

using testing_support::DebugCapture;

TEST(DebugPrint, FormatsAndCutsAtItsBuffers) {
    DebugCapture capture;
    DebugPrint("count=%d name=%s\n", 42, "abc");
    std::string long_text(300, 'f');
    DebugPrint("%s", long_text.c_str());  // longer than the format's buffer, which only the format goes through
    std::string overlong_format = std::string(200, 'g') + "%s";
    DebugPrint(overlong_format.c_str(), "never reached");

    ASSERT_EQ(capture.lines().size(), 3u);
    EXPECT_EQ(capture.lines()[0], "count=42 name=abc\n");
    EXPECT_EQ(capture.lines()[1], long_text);
    EXPECT_EQ(capture.lines()[2], std::string(127, 'g')) << "the format is cut to 127 bytes";

    std::string huge(2000, 'h');
    DebugPrint("%s%s", huge.c_str(), huge.c_str());
    EXPECT_EQ(capture.lines().back().size(), 511u) << "the expansion is cut to 511 bytes";
}

TEST(ErrorReports, CarryModuleUnitAndLine) {
    c32ClearDLLErrInfo();
    Y32ErrInfo info{};
    int line = __LINE__ + 1;
    Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitPixelBuffers);
    Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitSubdivide);
    EXPECT_EQ(c32GetDLLErrInfo(&info), 2);
    EXPECT_EQ(info.code, 3200);
    EXPECT_EQ(info.module, 2600);
    EXPECT_EQ(info.unit, 40);
    EXPECT_EQ(info.line, line + 1);
    EXPECT_EQ(info.aux, 0);
    c32ClearDLLErrInfo();
    EXPECT_EQ(c32GetDLLErrInfo(&info), 0);
}

TEST(EscapeHook, AnswersWhatTheHostSays) {
    EXPECT_EQ(y32IsEscPressed(), 0) << "no hook: never pressed";
    int calls = 0;
    y32SetEscPressedHook([](void *user) -> int32_t { return ++*static_cast<int *>(user) >= 2 ? 7 : 0; }, &calls);
    EXPECT_EQ(y32IsEscPressed(), 0);
    EXPECT_EQ(y32IsEscPressed(), 1) << "any nonzero answer reads as 1";
    y32SetEscPressedHook(nullptr, nullptr);
    EXPECT_EQ(y32IsEscPressed(), 0);
}

}  // namespace
