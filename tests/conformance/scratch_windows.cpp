// The conformance suite against a real Win32 (Wine's, under test.sh): each test
// gets a new folder under C:\scratch. Nothing outside C:\scratch is created,
// changed or removed; the folders are left for the prefix to take with it.
#include <gtest/gtest.h>

#include "tests/conformance/scratch.h"

namespace conformance {

WString FreshScratchFolder()
{
    static int counter = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test ? test->test_suite_name() : "suite") + "." + (test ? test->name() : "test");
    for (char& c : name)
        if (c == '/')
            c = '_';
    WString parent = L"C:\\scratch";
    CreateDirectoryW(parent.c_str(), nullptr);  // made by the prefix set-up; may exist
    parent += L"\\conformance\\";
    CreateDirectoryW(parent.c_str(), nullptr);
    // A name no earlier run took (process ids repeat from one Wine run to the next).
    for (;;) {
        std::string unique = name + "." + std::to_string(++counter);
        WString folder = parent + WString(unique.begin(), unique.end());
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot make the scratch folder: error " << GetLastError();
            return folder;
        }
    }
}

bool OnWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string PlatformName()
{
    if (!OnWine())
        return "Windows";
    using Version = const char*(__cdecl*)();
    auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return std::string("Wine ") + (version ? version() : "?");
}

}  // namespace conformance
