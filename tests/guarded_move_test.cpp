// The moving instruction and its recovery: a fault on it resumes the thread
// right after it, whose answer is the count left unmoved; any other fault is
// left to the handlers after the plugin's.
#include <gtest/gtest.h>
#include <winsim/winsim.h>

#include <cstring>
#include <string>

#include "transfer/move_bytes.h"

namespace {

TEST(MoveBytes, MovesEveryByteAndAnswersNothingLeft)
{
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{655360}}) {
        std::string source(n, '\0'), target(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            source[i] = static_cast<char>(i * 7 + 1);
        EXPECT_EQ(MoveBytesOrFault(target.data(), source.data(), n), 0u) << n;
        EXPECT_TRUE(target == source) << n;
    }
}

TEST(MoveBytes, OnlyAFaultOnTheMovingInstructionIsResumed)
{
    // The routine's own addresses: its first byte is not the moving
    // instruction, so a context standing there is not the plugin's business.
    CONTEXT elsewhere{};
    elsewhere.Rip = reinterpret_cast<DWORD64>(&MoveBytesOrFault);
    CONTEXT before = elsewhere;
    EXPECT_FALSE(ResumeAfterMoveFault(elsewhere));
    EXPECT_EQ(elsewhere.Rip, before.Rip) << "a context that is not the move's is left alone";

    CONTEXT zero{};
    EXPECT_FALSE(ResumeAfterMoveFault(zero));
    EXPECT_EQ(zero.Rip, 0u);
}

// A view whose pages are gone (winsim takes the whole view away), moved from:
// the handler's resume makes the routine answer that nothing moved, and the
// thread goes on after it.
LONG WINAPI Resume(EXCEPTION_POINTERS* info)
{
    return ResumeAfterMoveFault(*info->ContextRecord) ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

TEST(MoveBytes, AFaultingPageEndsTheMoveWithTheCountLeft)
{
    winsim::Reset();
    winsim::AddVolume(u'C');
    winsim::AddPatternFile(u"C:\\src.bin", 3 * 65536, 4);
    winsim::FaultViews(u"C:\\src.bin", EXCEPTION_IN_PAGE_ERROR, 65536);
    HANDLE file = CreateFileW(u"\\\\?\\C:\\src.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    ASSERT_NE(mapping, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 3 * 65536);
    ASSERT_NE(view, nullptr);
    PVOID handler = AddVectoredExceptionHandler(1, Resume);
    std::string target(3 * 65536, '\0');
    std::size_t left = MoveBytesOrFault(target.data(), view, target.size());
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(left, target.size());
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    EXPECT_TRUE(winsim::Leaks().empty());
}

}  // namespace
