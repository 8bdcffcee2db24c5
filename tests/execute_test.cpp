// FsExecuteFileW as the host calls it: opening entries, their properties, the
// settings dialog at the root, and the command lines typed at the plugin.
#include "config/settings_dialog.h"
#include "dialog_resource.h"
#include "fileops/execute.h"
#include "host_fixture.h"
#include "transfer/system_error.h"

namespace {

int Execute(std::u16string remoteName, std::u16string verb)
{
    return FsExecuteFileW(winsim::MainWindow(), remoteName.data(), verb.data());
}

std::u16string WithSystemText(const char16_t* message, DWORD error)
{
    return std::u16string(message) + u": " + SystemErrorText(error);
}

class ExecuteFile : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
        InstallSettingsDialogTemplate();
        winsim::AddFile(u"C:\\d\\f.txt", "x");
        winsim::AddStream(u"C:\\d\\f.txt", u"s", "y");
    }

    std::vector<std::u16string> Messages() const { return Host().messages; }
};

TEST_F(ExecuteFile, DoesNothingBeforeInitialisation)
{
    OnProcessDetach();
    OnProcessAttach(winsim::PluginModule());
    for (const char16_t* verb : {u"open", u"properties", u"quote mkdir C:\\new", u"chmod 777"})
        EXPECT_EQ(Execute(u"\\C:\\d\\f.txt", verb), FS_EXEC_OK) << U8(verb);
    EXPECT_EQ(Execute(u"\\", u"properties"), FS_EXEC_OK);
    EXPECT_TRUE(winsim::ShellCalls().empty());
    EXPECT_TRUE(winsim::Dialogs().empty());
    EXPECT_FALSE(winsim::Exists(u"C:\\new"));
}

TEST_F(ExecuteFile, PropertiesOfTheRootOpenTheSettingsDialogAndReloadAfterOk)
{
    // The user clears every kind but the named streams and presses OK.
    winsim::SetDialogScript([](HWND d) {
        for (const auto& box : kStreamCheckBoxes)
            winsim::TickDialogItem(d, box.ControlId, box.ControlId == IDC_ALTERNATE);
        winsim::ClickDialogButton(d, IDOK);
    });
    EXPECT_EQ(Execute(u"\\", u"PROPERTIES"), FS_EXEC_OK);
    ASSERT_EQ(winsim::Dialogs().size(), 1u);
    EXPECT_EQ(winsim::Dialogs()[0].owner, winsim::MainWindow());
    TStreamIds expected;
    expected.Add(TStreamId::siAlternate);
    EXPECT_EQ(StreamFilterInForce(), expected) << "the settings are reloaded after OK";

    // Cancel: the file changed meanwhile, but nothing is reloaded.
    winsim::SetDialogScript([](HWND d) {
        winsim::AddFile(u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini", "[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
        winsim::ClickDialogButton(d, IDCANCEL);
    });
    EXPECT_EQ(Execute(u"\\", u"properties"), FS_EXEC_OK);
    EXPECT_EQ(StreamFilterInForce(), expected);
}

TEST_F(ExecuteFile, EveryOtherVerbAtTheRootDoesNothing)
{
    for (const char16_t* verb : {u"open", u"quote notepad.exe", u"quote mkdir C:\\x", u"chmod 777", u"", u"x"}) {
        EXPECT_EQ(Execute(u"\\", verb), FS_EXEC_OK) << U8(verb);
    }
    EXPECT_TRUE(winsim::ShellCalls().empty());
    EXPECT_TRUE(winsim::Dialogs().empty());
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(winsim::Exists(u"C:\\x"));
}

TEST_F(ExecuteFile, OpenHandsTheLocalPathToTheShell)
{
    winsim::AddDirectory(u"C:\\d\\sub");
    struct Case {
        const char16_t* remote;
        const char16_t* verb;
        const char* file;
        const char* directory;
    };
    const Case cases[] = {
        {u"\\C:\\d\\f.txt\\::$DATA", u"open", "C:\\d\\f.txt", "C:\\d\\"},
        {u"\\C:\\d\\f.txt", u"Open", "C:\\d\\f.txt", "C:\\d\\"},
        {u"\\C:\\d\\sub", u"OPEN", "C:\\d\\sub", "C:\\d\\"},
        {u"\\C:", u"open", "C:", "C:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.remote));
        EXPECT_EQ(Execute(c.remote, c.verb), FS_EXEC_OK);
        ASSERT_FALSE(winsim::ShellCalls().empty());
        const winsim::ShellCall call = winsim::ShellCalls().back();
        EXPECT_EQ(call.function, "ShellExecuteW");
        EXPECT_EQ(U8(call.verb), "open");
        EXPECT_EQ(U8(call.file), c.file);
        EXPECT_EQ(U8(call.directory), c.directory);
        EXPECT_EQ(U8(call.parameters), "");
        EXPECT_EQ(call.show, SW_SHOWNORMAL);
        EXPECT_EQ(call.owner, winsim::MainWindow());
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ExecuteFile, OpenRefusesStreamsAndReportsAFailedLaunch)
{
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt\\:s:$DATA", u"open"), FS_EXEC_ERROR);
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt\\::$EA_DATA", u"open"), FS_EXEC_ERROR);
    EXPECT_TRUE(winsim::ShellCalls().empty());
    EXPECT_EQ(Execute(u"\\C:\\d\\gone.txt", u"open"), FS_EXEC_ERROR);
    EXPECT_EQ(Execute(u"x", u"open"), FS_EXEC_ERROR) << "a name shorter than two characters";
    EXPECT_EQ(Execute(u"", u"open"), FS_EXEC_ERROR);
    const std::vector<std::u16string> expected = {u"You cann't execute file streams.",
                                                  u"You cann't execute file streams.", u"Cann't run program."};
    EXPECT_EQ(Messages(), expected);
}

TEST_F(ExecuteFile, PropertiesShowTheShellsSheet)
{
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt\\::$DATA", u"properties"), FS_EXEC_OK);
    ASSERT_EQ(winsim::ShellCalls().size(), 1u);
    const winsim::ShellCall call = winsim::ShellCalls()[0];
    EXPECT_EQ(call.function, "ShellExecuteExW");
    EXPECT_EQ(call.structSize, static_cast<DWORD>(sizeof(SHELLEXECUTEINFOW)));
    EXPECT_EQ(call.mask, static_cast<ULONG>(SEE_MASK_INVOKEIDLIST));
    EXPECT_EQ(U8(call.verb), "properties");
    EXPECT_EQ(U8(call.file), "C:\\d\\f.txt");
    EXPECT_EQ(U8(call.parameters), "");
    EXPECT_EQ(U8(call.directory), "");
    EXPECT_EQ(call.show, SW_SHOW);
    EXPECT_EQ(call.owner, winsim::MainWindow());
    EXPECT_TRUE(call.zeroElsewhere);

    // A stream: not implemented, and yet no failure.
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt\\:s:$DATA", u"Properties"), FS_EXEC_OK);
    // A failed sheet: the message with the system's text.
    winsim::FailShellExecute(ERROR_ACCESS_DENIED);
    EXPECT_EQ(Execute(u"\\C:\\d", u"properties"), FS_EXEC_ERROR);
    const std::vector<std::u16string> expected = {u"Not implemented yet.",
                                                  WithSystemText(u"Cann't run program.", ERROR_ACCESS_DENIED)};
    EXPECT_EQ(Messages(), expected);
}

TEST_F(ExecuteFile, ChmodAndUnknownVerbs)
{
    struct Case {
        const char16_t* verb;
        bool message;
    };
    const Case cases[] = {
        {u"chmod 777", true}, {u"CHMOD 0644", true}, {u"chmod", false}, {u"quote", false},
        {u"quotex y", false}, {u"delete", false},    {u"", false},
    };
    for (const auto& c : cases) {
        Host().messages.clear();
        EXPECT_EQ(Execute(u"\\C:\\d\\f.txt", c.verb), FS_EXEC_ERROR) << U8(c.verb);
        EXPECT_EQ(Messages().size(), c.message ? 1u : 0u) << U8(c.verb);
        if (c.message)
            EXPECT_EQ(U8(Messages()[0]), "Not implemented yet.");
    }
    EXPECT_TRUE(winsim::ShellCalls().empty());
}

TEST_F(ExecuteFile, QuoteDelAndRmdirDeleteFilesAndEmptyDirectories)
{
    winsim::AddFile(u"C:\\d\\old.txt", "o");
    winsim::AddFile(u"C:\\d\\ro.txt", "r", FILE_ATTRIBUTE_READONLY);
    winsim::AddDirectory(u"C:\\d\\empty");
    winsim::AddFile(u"C:\\d\\full\\inside.txt", "i");
    winsim::AddFile(u"C:\\d\\byrmdir.txt", "b");
    struct Case {
        const char16_t* verb;
        const char16_t* path;  // gone afterwards, unless failed
        DWORD failure;         // the system error shown, 0 for none
    };
    const Case cases[] = {
        {u"quote del C:\\d\\old.txt", u"C:\\d\\old.txt", 0},
        {u"quote rmdir C:\\d\\byrmdir.txt", u"C:\\d\\byrmdir.txt", 0},  // rmdir of a file deletes it
        {u"QUOTE DEL C:\\d\\empty", u"C:\\d\\empty", 0},                 // del of an empty directory removes it
        {u"quote del C:\\d\\ro.txt", u"C:\\d\\ro.txt", ERROR_ACCESS_DENIED},
        {u"quote rmdir C:\\d\\full", u"C:\\d\\full\\inside.txt", ERROR_DIR_NOT_EMPTY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.verb));
        Host().messages.clear();
        EXPECT_EQ(Execute(u"\\C:\\d", c.verb), FS_EXEC_OK);
        if (c.failure == 0) {
            EXPECT_FALSE(winsim::Exists(c.path));
            EXPECT_TRUE(Messages().empty());
        } else {
            EXPECT_TRUE(winsim::Exists(c.path));
            ASSERT_EQ(Messages().size(), 1u);
            EXPECT_EQ(U8(Messages()[0]), U8(WithSystemText(u"Error deleting file or stream.", c.failure)));
        }
    }
    // The process's current directory is every thread's: a command leaves it alone.
    EXPECT_EQ(U8(winsim::CurrentDirectory()), "C:\\");
    EXPECT_EQ(winsim::CountCalls("SetCurrentDirectoryW"), 0u);
}

TEST_F(ExecuteFile, QuoteMkdirCreatesTheWholeChain)
{
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir \"C:\\a b\\c\""), FS_EXEC_OK);
    EXPECT_EQ(winsim::Attributes(u"C:\\a b\\c") & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(Messages().empty());

    // Nothing after the word: the empty name fails without a message.
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir "), FS_EXEC_ERROR);
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir \"\""), FS_EXEC_ERROR);
    EXPECT_TRUE(Messages().empty());

    // A file in the way: the message with the system's text, and yet no failure.
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir C:\\d\\f.txt\\x"), FS_EXEC_OK);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind(u"Error writing file or stream.: ", 0), 0u) << U8(Messages()[0]);
}

TEST_F(ExecuteFile, RelativeArgumentsAreTakenInTheCurrentPluginDirectory)
{
    winsim::AddFile(u"C:\\d\\old.txt", "o");
    winsim::AddDirectory(u"C:\\e");
    winsim::SetCurrentDirectory(u"C:\\e");
    EXPECT_EQ(Execute(u"\\C:\\d\\", u"quote del old.txt"), FS_EXEC_OK);
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\old.txt"));
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir sub\\new"), FS_EXEC_OK);
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\sub\\new"));
    EXPECT_EQ(Execute(u"\\C:\\d\\sub", u"quote rmdir new"), FS_EXEC_OK);
    EXPECT_FALSE(winsim::Exists(u"C:\\d\\sub\\new"));
    winsim::AddDirectory(u"C:\\g");
    EXPECT_EQ(Execute(u"\\C:\\d\\sub", u"quote rmdir ..\\..\\g"), FS_EXEC_OK);
    EXPECT_FALSE(winsim::Exists(u"C:\\g"));
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote mkdir \\top"), FS_EXEC_OK);
    EXPECT_TRUE(winsim::Exists(u"C:\\top"));
    EXPECT_TRUE(Messages().empty());
    // A typed nothing never becomes the current directory itself.
    winsim::AddDirectory(u"C:\\d\\vacant");
    EXPECT_EQ(Execute(u"\\C:\\d\\vacant", u"quote rmdir \"\""), FS_EXEC_OK);
    EXPECT_TRUE(winsim::Exists(u"C:\\d\\vacant"));
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(ExecuteFile, CommandsInAFilesStreamListEndAtTheCurrentDirectory)
{
    winsim::AddFile(u"C:\\x.txt", "x");
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt", u"quote del C:\\x.txt"), FS_EXEC_ERROR);
    EXPECT_TRUE(winsim::Exists(u"C:\\x.txt"));
    EXPECT_EQ(Execute(u"\\C:\\d\\f.txt", u"quote mkdir C:\\y"), FS_EXEC_ERROR);
    EXPECT_FALSE(winsim::Exists(u"C:\\y"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(U8(winsim::CurrentDirectory()), "C:\\");
}

TEST_F(ExecuteFile, OtherCommandLinesAreLaunchedWhole)
{
    winsim::AddProgram(u"notepad.exe");
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote notepad.exe"), FS_EXEC_OK);
    EXPECT_EQ(Execute(u"\\C:\\d", u"Quote Notepad.EXE readme.txt"), FS_EXEC_ERROR);
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote    "), FS_EXEC_ERROR);
    EXPECT_EQ(Execute(u"\\C:\\d", u"quote \"\"\""), FS_EXEC_ERROR);
    auto calls = winsim::ShellCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(U8(calls[0].file), "notepad.exe");
    EXPECT_EQ(U8(calls[0].directory), "C:\\d");
    EXPECT_EQ(U8(calls[0].parameters), "");
    EXPECT_EQ(U8(calls[1].file), "Notepad.EXE readme.txt") << "the letter case the user typed";
    EXPECT_EQ(U8(calls[2].file), "   ");
    const std::vector<std::u16string> expected(3, u"Cann't run program.");
    EXPECT_EQ(Messages(), expected);
}

TEST_F(ExecuteFile, NullArgumentsAreHarmless)
{
    EXPECT_EQ(FsExecuteFileW(nullptr, nullptr, nullptr), FS_EXEC_ERROR);
    std::u16string remote = u"\\C:\\d";
    EXPECT_EQ(FsExecuteFileW(nullptr, remote.data(), nullptr), FS_EXEC_ERROR);
}

TEST(ParseCommandLine, WordsArgumentsAndQuotes)
{
    using K = TypedCommand::Kind;
    struct Case {
        const char16_t* line;
        K kind;
        const char* argument;
    };
    const Case cases[] = {
        {u"del x", K::Delete, "x"},
        {u"DEL x", K::Delete, "x"},
        {u"rmdir  \t x \t", K::Delete, "x"},
        {u"mkdir \"C:\\a b\\c\"", K::MakeDirectory, "C:\\a b\\c"},
        {u"mkdir \"C:\\a\"\"", K::MakeDirectory, "C:\\a\""},
        {u"mkdir \"", K::MakeDirectory, ""},
        {u"mkdir \"\"", K::MakeDirectory, ""},
        {u"mkdir ", K::MakeDirectory, ""},
        {u"del", K::Launch, ""},
        {u"notepad.exe", K::Launch, ""},
        {u"notepad.exe a", K::Launch, ""},
        {u" del x", K::Launch, ""},
    };
    for (const auto& c : cases) {
        TypedCommand t = ParseCommandLine(c.line);
        EXPECT_EQ(t.Action, c.kind) << U8(c.line);
        EXPECT_EQ(U8(t.Argument), c.argument) << U8(c.line);
    }
}

TEST(ResolveCommandArgument, RelativeInTheCurrentDirectoryAbsoluteAsItStands)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"old.txt", u"C:\\d\\old.txt"},     {u"sub\\new", u"C:\\d\\sub\\new"}, {u"..\\x", u"C:\\x"},
        {u"\\x", u"C:\\x"},                 {u"C:\\a\\..\\b", u"C:\\a\\..\\b"}, {u"D:\\x", u"D:\\x"},
        {u"\\\\srv\\share\\x", u"\\\\srv\\share\\x"}, {u"\\\\?\\C:\\x", u"\\\\?\\C:\\x"}, {u"", u""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(U8(ResolveCommandArgument(u"C:\\d", in)), U8(out)) << U8(in);
}

}  // namespace
