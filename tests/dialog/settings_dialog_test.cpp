// The settings dialog of the genuine DLL in a real window. The test loads the
// .wfx64 into this process as the file manager does, calls
// FsExecuteFileW("\", "properties") on its own thread (which runs the modal
// dialog), and a second thread plays the user: it reads the dialog, ticks and
// clears boxes, types into the language field and presses the buttons. Runs
// under Wine on an X display (Xvfb, started by tools/wine/wine.sh); would run
// on Windows unchanged. Each test copies the DLL into a plugin folder of its
// own, so the settings file the dialog writes is that test's alone.
//
// The OK test leaves a screenshot of the dialog as it looked before OK was
// pressed: C:\scratch\dialog\settings-dialog.bmp (ctest turns it into
// test-output/settings-dialog.png of the build tree).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "plugin/host_interface.h"
#include "resources/dialog_ids.h"
#include "tests/dialog/user.h"
#include "tests/e2e/host_runner.h"

namespace {

using namespace dialogtest;
using e2e::ReadBytes;
using e2e::Utf8;
using e2e::WriteBytes;

constexpr wchar_t kStaged[] = L"C:\\tarnwick\\";
constexpr wchar_t kScratch[] = L"C:\\scratch\\dialog";
constexpr DWORD kShowTimeoutMs = 15000;
constexpr DWORD kActTimeoutMs = 5000;
constexpr int kTypeField = 4;

constexpr wchar_t kCaption[] = L"NTFS Tarnwick properties";
constexpr wchar_t kNotFound[] = L"Specified language file was not found.";
constexpr wchar_t kInvalid[] = L"Specified language file for plugin is invalid.";

struct Box {
    int id;
    int bit;
    const char* name;
};
constexpr Box kBoxes[] = {
    {IDC_SHOW_STANDART, 1, "Standart"},
    {IDC_ALTERNATE, 4, "Alternate"},
    {IDC_SECURITY, 3, "Security"},
    {IDC_EXTENDED_ATTRIBUTE, 2, "Extended attribute"},
    {IDC_HARD_LINK, 5, "Hard link"},
    {IDC_PROPERTY, 6, "Property"},
    {IDC_OBJECT_IDENTIFIER, 7, "Object identifier"},
    {IDC_REPARSE_POINTS, 8, "Reparse points"},
    {IDC_SPARSE_FILE, 9, "Sparse file"},
    {IDC_INVALID, 0, "Invalid"},
};

BOOL WINAPI NoRequest(int, int, WCHAR*, WCHAR*, WCHAR*, int)
{
    return FALSE;
}
int WINAPI NoProgress(int, WCHAR*, WCHAR*, int)
{
    return 0;
}
void WINAPI NoLog(int, int, WCHAR*) {}

// The file name field of the system's file-open dialog: a combo box (cmb13)
// on Windows, an edit field (edt1) in some versions and in Wine.
HWND FileNameControl(HWND open)
{
    for (int id : {0x47C, 0x480})
        if (HWND control = GetDlgItem(open, id))
            if (IsWindowVisible(control))
                return control;
    return nullptr;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        CreateDirectoryW(L"C:\\scratch", nullptr);
        CreateDirectoryW(kScratch, nullptr);
        std::wstring name;
        for (char c : std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))
            name += static_cast<wchar_t>(c == '/' ? '_' : c);
        for (;;) {
            folder_ = std::wstring(kScratch) + L"\\" + name + L"." + std::to_wstring(++counter);
            if (CreateDirectoryW(folder_.c_str(), nullptr))
                break;
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        }
        pluginFolder_ = folder_ + L"\\plugin";
        directory_ = folder_ + L"\\dir";
        ASSERT_TRUE(CreateDirectoryW(pluginFolder_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(directory_.c_str(), nullptr));
        for (const wchar_t* file : {e2e::GenuineDllName(), L"German.lng", L"Russian.lng"})
            ASSERT_TRUE(CopyFileW((kStaged + std::wstring(file)).c_str(), (pluginFolder_ + L"\\" + file).c_str(), TRUE))
                << Utf8(file) << " is staged at C:\\tarnwick by the test set-up: error " << GetLastError();
        settings_ = pluginFolder_ + L"\\TC_wfx_NTFSTarnwick.ini";
        german_ = pluginFolder_ + L"\\German.lng";
    }

    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }

    // Loads the plugin and initialises it, reading what lies beside it now.
    void Start()
    {
        module_ = LoadLibraryW((pluginFolder_ + L"\\" + e2e::GenuineDllName()).c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibraryW: error " << GetLastError();
        auto init = reinterpret_cast<int(WINAPI*)(int, tProgressProcW, tLogProcW, tRequestProcW)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "FsInitW")));
        execute_ = reinterpret_cast<int(WINAPI*)(HWND, WCHAR*, WCHAR*)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "FsExecuteFileW")));
        value_ = reinterpret_cast<int(WINAPI*)(WCHAR*, int, int, void*, int, int)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "FsContentGetValueW")));
        ASSERT_TRUE(init && execute_ && value_) << "an export is missing";
        ASSERT_EQ(init(1, NoProgress, NoLog, NoRequest), 0);
    }

    // FsExecuteFileW("\", "properties") on this thread; user acts on the dialog
    // on a thread of its own. Whatever the user leaves open is cancelled (and
    // the test fails), so this thread always comes back.
    int Properties(const std::function<void(HWND dialog)>& user)
    {
        const DWORD self = GetCurrentThreadId();
        std::atomic<bool> returned{false};
        std::thread person([&] {
            if (HWND dialog = WaitForDialog(self, nullptr, kShowTimeoutMs))
                user(dialog);
            else
                ADD_FAILURE() << "no dialog showed within " << kShowTimeoutMs << " ms";
            DWORD start = GetTickCount();
            bool reported = false;
            while (!returned) {
                if (GetTickCount() - start > kActTimeoutMs) {
                    if (!reported)
                        ADD_FAILURE() << "a window was still open when the user was done";
                    reported = true;
                    for (HWND w : ThreadWindows(self, IsVisibleDialog))
                        PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                }
                Sleep(50);
            }
        });
        WCHAR root[] = L"\\";
        WCHAR verb[] = L"properties";
        int result = execute_(nullptr, root, verb);
        returned = true;
        person.join();
        return result;
    }

    // The "Type" column of a local path, asked by its plugin path ("\C:\...").
    std::wstring TypeColumn(const std::wstring& path)
    {
        std::wstring name = L"\\" + path;
        wchar_t value[512] = {};
        int type = value_(name.data(), kTypeField, 0, value, sizeof value, 0);
        return type == ft_stringw ? std::wstring(value) : L"(field type " + std::to_wstring(type) + L")";
    }

    FILETIME WriteTime(const std::wstring& path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        return data.ftLastWriteTime;
    }

    std::wstring folder_, pluginFolder_, directory_, settings_, german_;
    HMODULE module_ = nullptr;
    int(WINAPI* execute_)(HWND, WCHAR*, WCHAR*) = nullptr;
    int(WINAPI* value_)(WCHAR*, int, int, void*, int, int) = nullptr;
};

// The shipped Russian texts on a Western system: the shell dialog font links
// fonts for Cyrillic, where a raster font showed garbage. A screenshot of it
// is kept (settings-dialog-russian.bmp).
TEST_F(SettingsDialog, TheRussianTextsAreShownInTheShellDialogFont)
{
    WriteBytes(settings_, "[wfx_NTFSTarnwick]\r\nLanguage=Russian.lng\r\n");
    ASSERT_NO_FATAL_FAILURE(Start());
    int result = Properties([&](HWND dialog) {
        // Line 6 of the Russian file: "Свойства NTFS Tarnwick".
        EXPECT_EQ(Text(dialog), L"\u0421\u0432\u043e\u0439\u0441\u0442\u0432\u0430 NTFS Tarnwick");
        for (int label : {IDC_LANG_HEADER, IDC_STREAMS_HEADER})
            EXPECT_TRUE(TextFitsOneLine(dialog, label)) << Utf8(ItemText(dialog, label)) << " is cut";
        LOGFONTW font{};
        HFONT used = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_STREAMS_HEADER, WM_GETFONT, 0, 0));
        ASSERT_NE(used, nullptr);
        ASSERT_NE(GetObjectW(used, sizeof font, &font), 0);
        EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Shell Dlg 2");
        Sleep(500);
        int colours = 0;
        EXPECT_EQ(SaveScreenshot(dialog, std::wstring(kScratch) + L"\\settings-dialog-russian.bmp", &colours), "");
        EXPECT_GT(colours, 2) << "the capture is blank";
        PostClick(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs));
    });
    EXPECT_EQ(result, FS_EXEC_OK);
}

TEST_F(SettingsDialog, OkWritesTheTickedKindsAndTheLanguageAndReloadsTheTexts)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(TypeColumn(directory_), L"<Dir>");
    // Cleared: Security, Extended attribute, Property, Sparse file; Invalid
    // cleared and ticked again.
    const int clicks[] = {IDC_SECURITY, IDC_EXTENDED_ATTRIBUTE, IDC_PROPERTY, IDC_INVALID, IDC_SPARSE_FILE,
                          IDC_INVALID};
    const int cleared = (1 << 3) | (1 << 2) | (1 << 6) | (1 << 9);
    const int expectedMask = 0x3FF & ~cleared;

    int result = Properties([&](HWND dialog) {
        EXPECT_EQ(Text(dialog), kCaption);
        EXPECT_EQ(ItemText(dialog, IDC_LANG), L"") << "no settings file: no language";
        for (int label : {IDC_LANG_HEADER, IDC_STREAMS_HEADER})
            EXPECT_TRUE(TextFitsOneLine(dialog, label)) << Utf8(ItemText(dialog, label)) << " is cut";
        for (const Box& box : kBoxes)
            EXPECT_TRUE(Checked(dialog, box.id)) << box.name << ": every kind is listed without a settings file";
        for (int id : clicks)
            Click(dialog, id);
        for (const Box& box : kBoxes)
            EXPECT_EQ(Checked(dialog, box.id), ((expectedMask >> box.bit) & 1) != 0) << box.name << " after the clicks";
        Type(dialog, IDC_LANG, german_);
        EXPECT_EQ(ItemText(dialog, IDC_LANG), german_);

        // The screen catches up with the last keystrokes before the picture.
        Sleep(500);
        int colours = 0;
        std::string failure = SaveScreenshot(dialog, std::wstring(kScratch) + L"\\settings-dialog.bmp", &colours);
        EXPECT_EQ(failure, "");
        EXPECT_GT(colours, 2) << "the capture is blank: the dialog was not drawn on the display";

        PostClick(dialog, IDOK);
        EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs)) << "OK with a valid language file closes the dialog";
    });
    EXPECT_EQ(result, FS_EXEC_OK);
    EXPECT_EQ(ReadBytes(settings_).value_or("(no file)"),
              "[wfx_NTFSTarnwick]\r\nLanguage=German.lng\r\nStreamTypes=" + std::to_string(expectedMask) + "\r\n\r\n")
        << "the language is written relative to the plugin's folder, a blank line after the section";
    EXPECT_EQ(TypeColumn(directory_), L"<Verz>") << "the texts of the new language file are in force";

    // Shown again: the new language's captions, the saved state.
    result = Properties([&](HWND dialog) {
        EXPECT_EQ(Text(dialog), L"Eigenschaften von NTFS Tarnwick");
        EXPECT_EQ(ItemText(dialog, IDOK), L"OK");
        EXPECT_EQ(ItemText(dialog, IDCANCEL), L"Abbrechen");
        EXPECT_EQ(ItemText(dialog, IDC_STREAMS_HEADER), L"Anzuzeigende Stream-Typen:");
        EXPECT_TRUE(TextFitsOneLine(dialog, IDC_STREAMS_HEADER)) << "the translated label is cut";
        EXPECT_EQ(ItemText(dialog, IDC_LANG), german_);
        for (const Box& box : kBoxes)
            EXPECT_EQ(Checked(dialog, box.id), ((expectedMask >> box.bit) & 1) != 0) << box.name << " as saved";
        PostClick(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs));
    });
    EXPECT_EQ(result, FS_EXEC_OK);
}

TEST_F(SettingsDialog, AMissingOrInvalidLanguageFileIsRefusedAndTheDialogStaysOpen)
{
    ASSERT_NO_THROW(WriteBytes(folder_ + L"\\header.lng", "\xEF\xBB\xBFnot a language file\r\nEnglish\r\n"));
    ASSERT_NO_THROW(WriteBytes(folder_ + L"\\empty.lng", ""));
    ASSERT_NO_FATAL_FAILURE(Start());
    struct Row {
        const char* name;
        std::wstring typed;
        const wchar_t* message;
    };
    const Row rows[] = {
        {"a missing file", folder_ + L"\\missing.lng", kNotFound},
        {"a folder", directory_, kNotFound},
        {"a file with another first line", folder_ + L"\\header.lng", kInvalid},
        {"an empty file", folder_ + L"\\empty.lng", kInvalid},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int result = Properties([&](HWND dialog) {
            Click(dialog, IDC_ALTERNATE);
            Type(dialog, IDC_LANG, row.typed);
            PostClick(dialog, IDOK);
            HWND box = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), dialog, kActTimeoutMs);
            ASSERT_NE(box, nullptr) << "no message box";
            EXPECT_EQ(MessageBoxText(box), row.message);
            EXPECT_EQ(Text(box), kCaption) << "the box has the dialog's caption";
            PostClick(box, IDOK);
            EXPECT_TRUE(WaitUntilGone(box, kActTimeoutMs));
            EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
            EXPECT_EQ(ItemText(dialog, IDC_LANG), row.typed) << "the field keeps what was typed";
            EXPECT_FALSE(Checked(dialog, IDC_ALTERNATE)) << "the boxes keep their state";
            PostClick(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs));
        });
        EXPECT_EQ(result, FS_EXEC_OK);
        EXPECT_EQ(GetFileAttributesW(settings_.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was written";
        EXPECT_EQ(TypeColumn(directory_), L"<Dir>") << "the texts stay";
    }
}

// The "..." button: the system's file-open dialog, owned by the settings
// dialog, opening in the plugin's folder; what is chosen there lands in the
// field, a cancelled choice changes nothing, and the process keeps its
// current folder.
TEST_F(SettingsDialog, BrowseChoosesALanguageFileFromThePluginsFolder)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    struct Row {
        const char* name;
        bool choose;
        std::wstring field;
    };
    const Row rows[] = {
        {"a file chosen by its name in the folder shown", true, german_},
        {"the file dialog cancelled", false, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int result = Properties([&](HWND dialog) {
            PostClick(dialog, IDC_BROWSE_LANG);
            HWND open = WaitForDialog(GetWindowThreadProcessId(dialog, nullptr), dialog, kShowTimeoutMs);
            ASSERT_NE(open, nullptr) << "no file dialog";
            EXPECT_EQ(Text(open), L"Select a new language file:");
            HWND name = FileNameControl(open);
            ASSERT_NE(name, nullptr) << "the file dialog has no file name field";
            if (row.choose) {
                SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"German.lng"));
                PostClick(open, IDOK);
            } else {
                PostClick(open, IDCANCEL);
            }
            EXPECT_TRUE(WaitUntilGone(open, kActTimeoutMs)) << "the file dialog closes";
            EXPECT_TRUE(IsWindowVisible(dialog));
            EXPECT_EQ(ItemText(dialog, IDC_LANG), row.field);
            PostClick(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs));
        });
        EXPECT_EQ(result, FS_EXEC_OK);
        wchar_t after[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, after);
        EXPECT_EQ(std::wstring(after), std::wstring(before)) << "the file dialog left the process in another folder";
    }
}

TEST_F(SettingsDialog, CancelEscAndTheCloseBoxWriteNothing)
{
    // The user's own file: a comment, another section, the kinds as hex.
    const std::string original =
        "; kept as it is\r\n[wfx_NTFSTarnwick]\r\nStreamTypes=0x12\r\nLanguage=German.lng\r\n[other]\r\nkey=value\r\n";
    ASSERT_NO_THROW(WriteBytes(settings_, original));
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(TypeColumn(directory_), L"<Verz>");
    const FILETIME written = WriteTime(settings_);
    struct Row {
        const char* name;
        std::function<void(HWND)> close;
    };
    const Row rows[] = {
        {"the Cancel button", [](HWND dialog) { PostClick(dialog, IDCANCEL); }},
        {"the Esc key", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
        {"the close box", [](HWND dialog) { CloseBox(dialog); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int result = Properties([&](HWND dialog) {
            EXPECT_EQ(Text(dialog), L"Eigenschaften von NTFS Tarnwick") << "the captions of the language in force";
            EXPECT_EQ(ItemText(dialog, IDC_LANG), german_) << "the field shows the file's language, resolved";
            for (const Box& box : kBoxes)
                EXPECT_EQ(Checked(dialog, box.id), box.bit == 1 || box.bit == 4) << box.name << " from 0x12";
            Click(dialog, IDC_SHOW_STANDART);
            Click(dialog, IDC_INVALID);
            Type(dialog, IDC_LANG, L"C:\\nowhere.lng");
            row.close(dialog);
            EXPECT_TRUE(WaitUntilGone(dialog, kActTimeoutMs)) << "the dialog closes without a message";
        });
        EXPECT_EQ(result, FS_EXEC_OK);
        EXPECT_EQ(ReadBytes(settings_).value_or("(no file)"), original);
        const FILETIME now = WriteTime(settings_);
        EXPECT_TRUE(now.dwLowDateTime == written.dwLowDateTime && now.dwHighDateTime == written.dwHighDateTime)
            << "the settings file was not rewritten";
        EXPECT_EQ(TypeColumn(directory_), L"<Verz>");
    }
}

}  // namespace
