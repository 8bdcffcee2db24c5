// The settings dialog's logic, driven through a scripted window, and the
// dialog window itself through winsim's modal dialog manager.
#include <cstring>
#include <map>

#include "config/ini.h"
#include "config/settings.h"
#include "config/settings_dialog.h"
#include "config/text_file.h"
#include "dialog_resource.h"
#include "host_fixture.h"

namespace {

constexpr const char16_t* kIni = u"C:\\plugins\\TC_wfx_NTFSTarnwick.ini";
constexpr const char* kHeader = "wfx_Tarnwick language file";

// The dialog as the user sees it, in its design state until the logic
// changes it.
struct ScriptedWindow final : SetupWindow {
    std::map<SetupText, WString> texts = {{SetupText::Title, u"NTFS Tarnwick properties"},
                                          {SetupText::OkButton, u"Ok"},
                                          {SetupText::CancelButton, u"Cancel"},
                                          {SetupText::StreamsLabel, u"Streams types to display:"}};
    WString language;
    std::map<int, bool> checked;
    std::vector<std::pair<WString, WString>> messages;  // text, title
    std::vector<OpenFileRequest> requests;
    std::optional<WString> chooseAnswer;
    std::optional<bool> closedWithOk;

    ScriptedWindow()
    {
        for (const auto& box : kStreamCheckBoxes)
            checked[box.ControlId] = true;
    }
    WString Title() const override { return texts.at(SetupText::Title); }
    void SetText(SetupText which, const WString& text) override { texts[which] = text; }
    WString LanguageField() const override { return language; }
    void SetLanguageField(const WString& text) override { language = text; }
    bool Checked(int id) const override { return checked.at(id); }
    void SetChecked(int id, bool value) override { checked.at(id) = value; }
    void ShowMessage(const WString& text, const WString& title) override { messages.emplace_back(text, title); }
    std::optional<WString> ChooseFile(const OpenFileRequest& request) override
    {
        requests.push_back(request);
        return chooseAnswer;
    }
    void Close(bool ok) override { closedWithOk = ok; }

    int Mask() const
    {
        int mask = 0;
        for (const auto& box : kStreamCheckBoxes)
            if (checked.at(box.ControlId))
                mask |= 1 << box.Bit;
        return mask;
    }
};

class SetupDialog : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(InitPlugin(), 0);
    }

    std::optional<WString> Stored(const char16_t* key)
    {
        auto bytes = winsim::Contents(kIni);
        if (!bytes)
            return std::nullopt;
        return IniDocument::Parse(DecodeText(*bytes).Text).Get(kSettingsSection, key);
    }

    ScriptedWindow window;
    TfmSetup form{window};
};

TEST_F(SetupDialog, WithoutASettingsFileEveryKindIsTickedAndTheFieldEmpty)
{
    form.Initialise();
    EXPECT_EQ(U8(window.language), "");
    EXPECT_EQ(window.Mask(), 1023);
    EXPECT_EQ(U8(window.Title()), "NTFS Tarnwick properties");
    EXPECT_EQ(U8(window.texts[SetupText::OkButton]), "Ok");
    EXPECT_FALSE(winsim::Exists(kIni)) << "opening the dialog writes nothing";
}

TEST_F(SetupDialog, ShowsWhatTheSettingsFileHolds)
{
    struct Case {
        const char* file;
        const char* language;
        int mask;
    };
    const Case cases[] = {
        {"[wfx_NTFSTarnwick]\r\nLanguage=lang\\de.lng\r\nStreamTypes=18\r\n", "C:\\plugins\\lang\\de.lng", 18},
        {"[wfx_NTFSTarnwick]\r\nLanguage=%LANGS%\\ru.lng\r\n", "D:\\langs\\ru.lng", 1023},
        {"[wfx_NTFSTarnwick]\r\nLanguage=..\\x.lng\r\nStreamTypes=$3FF\r\n", "C:\\x.lng", 1023},
        // Bits 10 to 31 are ignored; a value that is not a number ticks all.
        {"[wfx_NTFSTarnwick]\r\nStreamTypes=1025\r\n", "", 1},
        {"[wfx_NTFSTarnwick]\r\nStreamTypes=many\r\n", "", 1023},
        {"[wfx_NTFSTarnwick]\r\nStreamTypes=0\r\n", "", 0},
        // Unreadable: what the file held is not shown.
        {"\xEF\xBB\xBF[wfx_NTFSTarnwick]\r\nLanguage=\xC3(\r\nStreamTypes=2\r\n", "", 1023},
    };
    winsim::SetEnvironment(u"LANGS", u"D:\\langs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        winsim::AddFile(kIni, c.file);
        ScriptedWindow w;
        TfmSetup f(w);
        f.Initialise();
        EXPECT_EQ(U8(w.language), c.language);
        EXPECT_EQ(w.Mask(), c.mask);
    }
}

TEST_F(SetupDialog, EachCheckBoxHasItsOwnBit)
{
    for (const auto& box : kStreamCheckBoxes) {
        winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=" + std::to_string(1 << box.Bit) + "\r\n");
        ScriptedWindow w;
        TfmSetup f(w);
        f.Initialise();
        for (const auto& other : kStreamCheckBoxes)
            EXPECT_EQ(w.checked[other.ControlId], other.ControlId == box.ControlId)
                << "bit " << box.Bit << ", control " << other.ControlId;
        f.btOkClick();
        EXPECT_EQ(U8(Stored(u"StreamTypes").value_or(u"")), std::to_string(1 << box.Bit));
    }
}

TEST_F(SetupDialog, CaptionsComeFromTheMessageTableWhenGiven)
{
    SetMessageText(Msg::DlgCaption, u"Eigenschaften");
    SetMessageText(Msg::DlgCancel, u"Abbrechen");
    SetMessageText(Msg::DlgStreamsLabel, u"Anzuzeigende Streams:");
    SetMessageText(Msg::DlgOpenTitle, u"Sprachdatei w\u00e4hlen:");
    SetMessageText(Msg::DlgOpenFilter, u"Sprachdateien|*.lng");
    form.Initialise();
    EXPECT_EQ(U8(window.Title()), "Eigenschaften");
    EXPECT_EQ(U8(window.texts[SetupText::OkButton]), "Ok") << "an empty slot keeps the design caption";
    EXPECT_EQ(U8(window.texts[SetupText::CancelButton]), "Abbrechen");
    EXPECT_EQ(U8(window.texts[SetupText::StreamsLabel]), "Anzuzeigende Streams:");
    form.btBrowseLangClick();
    ASSERT_EQ(window.requests.size(), 1u);
    EXPECT_EQ(U8(window.requests[0].Title), U8(u"Sprachdatei w\u00e4hlen:"));
    EXPECT_EQ(U8(window.requests[0].Filter), "Sprachdateien|*.lng");

    // The message boxes carry the dialog's current title.
    window.language = u"C:\\missing.lng";
    form.btOkClick();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(U8(window.messages[0].second), "Eigenschaften");
}

TEST_F(SetupDialog, OkChecksTheChosenLanguageFile)
{
    winsim::AddDirectory(u"C:\\plugins\\lang");
    winsim::AddFile(u"C:\\plugins\\lang\\only-header.lng", kHeader);
    winsim::AddFile(u"C:\\plugins\\lang\\full.lng", std::string(kHeader) + "\r\n\r\nA\r\nB\r\n");
    winsim::AddFile(u"C:\\plugins\\lang\\bom.lng", "\xEF\xBB\xBF" + std::string(kHeader) + "\n");
    std::string utf16("\xFF\xFE", 2);
    for (char c : std::string(kHeader))
        utf16 += std::string{c, '\0'};
    winsim::AddFile(u"C:\\plugins\\lang\\utf16.lng", utf16);
    winsim::AddFile(u"C:\\plugins\\lang\\empty.lng", "");
    winsim::AddFile(u"C:\\plugins\\lang\\case.lng", "WFX_Tarnwick language file\r\n");
    winsim::AddFile(u"C:\\plugins\\lang\\blank.lng", std::string(kHeader) + " \r\n");
    winsim::AddFile(u"C:\\plugins\\lang\\binary.lng", std::string("\xEF\xBB\xBF\xFF\xFE\0\x01", 7));
    winsim::AddFile(u"C:\\plugins\\lang\\wrong-bom.lng", "\xFE\xFF" + std::string(kHeader));
    winsim::AddPatternFile(u"C:\\plugins\\lang\\huge.lng", 5ull << 30);
    winsim::AddFile(u"C:\\plugins\\lang\\locked.lng", kHeader);
    winsim::DenyAccess(u"C:\\plugins\\lang\\locked.lng");

    const std::u16string notFound = u"Specified language file was not found.";
    const std::u16string invalid = u"Specified language file for plugin is invalid.";
    struct Case {
        const char16_t* field;
        std::u16string message;  // empty: accepted
    };
    const Case cases[] = {
        {u"C:\\plugins\\lang\\only-header.lng", u""},
        {u"C:\\plugins\\lang\\full.lng", u""},
        {u"C:\\plugins\\lang\\bom.lng", u""},
        {u"C:\\plugins\\lang\\utf16.lng", u""},
        {u"C:\\plugins\\lang\\missing.lng", notFound},
        {u"C:\\plugins\\lang", notFound},
        {u"C:\\plugins\\lang\\empty.lng", invalid},
        {u"C:\\plugins\\lang\\case.lng", invalid},
        {u"C:\\plugins\\lang\\blank.lng", invalid},
        {u"C:\\plugins\\lang\\binary.lng", invalid},
        {u"C:\\plugins\\lang\\wrong-bom.lng", invalid},
        {u"C:\\plugins\\lang\\huge.lng", invalid},
        {u"C:\\plugins\\lang\\locked.lng", invalid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.field));
        winsim::AddFile(kIni, "");
        ScriptedWindow w;
        TfmSetup f(w);
        f.Initialise();
        w.language = c.field;
        f.btOkClick();
        if (c.message.empty()) {
            EXPECT_TRUE(w.messages.empty());
            EXPECT_EQ(w.closedWithOk, std::optional<bool>(true));
        } else {
            ASSERT_EQ(w.messages.size(), 1u);
            EXPECT_EQ(U8(w.messages[0].first), U8(c.message));
            EXPECT_EQ(U8(w.messages[0].second), "NTFS Tarnwick properties");
            EXPECT_EQ(w.closedWithOk, std::nullopt) << "the dialog stays open for another try";
            EXPECT_EQ(winsim::Contents(kIni).value_or("<missing>"), "") << "nothing is written";
        }
    }
}

TEST_F(SetupDialog, OkStoresTheFieldRelativeToThePluginsFolder)
{
    winsim::AddVolume(u'D');
    winsim::AddFile(u"C:\\plugins\\lang\\de.lng", kHeader);
    winsim::AddFile(u"C:\\other\\de.lng", kHeader);
    winsim::AddFile(u"D:\\de.lng", kHeader);
    winsim::AddFile(u"C:\\cwd\\rel.lng", kHeader);
    struct Case {
        const char16_t* field;
        const char* stored;
    };
    const Case cases[] = {
        {u"C:\\plugins\\lang\\de.lng", "lang\\de.lng"},
        {u"C:\\other\\de.lng", "..\\other\\de.lng"},
        {u"D:\\de.lng", "D:\\de.lng"},
        {u"", ""},
        // A relative text is tested against the process's current folder and
        // stored as it stands.
        {u"rel.lng", "rel.lng"},
        // Typed with forward slashes, as Windows accepts them: stored with
        // backslashes, which the settings reader resolves.
        {u"C:/plugins/lang/de.lng", "lang\\de.lng"},
        {u"C:/other/de.lng", "..\\other\\de.lng"},
    };
    winsim::SetCurrentDirectory(u"C:\\cwd");
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.field));
        ScriptedWindow w;
        TfmSetup f(w);
        f.Initialise();
        w.language = c.field;
        w.checked[IDC_INVALID] = false;
        w.checked[IDC_SPARSE_FILE] = false;
        f.btOkClick();
        EXPECT_EQ(w.closedWithOk, std::optional<bool>(true));
        EXPECT_EQ(U8(Stored(u"Language").value_or(u"<none>")), c.stored);
        EXPECT_EQ(U8(Stored(u"StreamTypes").value_or(u"<none>")), "510");
        EXPECT_EQ(w.language.find(u'/'), std::u16string::npos) << "the field shows what was stored";
    }
}

TEST_F(SetupDialog, OkAfterAReloadGivesTheChosenTextsAndFilter)
{
    std::string lines = std::string(kHeader) + "\r\n\r\n";
    for (int i = 2; i <= 21; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    winsim::AddFile(u"C:\\plugins\\de.lng", lines);
    form.Initialise();
    window.language = u"C:\\plugins\\de.lng";
    for (auto& [id, on] : window.checked)
        on = id == IDC_ALTERNATE;
    form.btOkClick();
    LoadSettings();
    EXPECT_EQ(U8(Message(Msg::NoExecStream)), "line 3");
    EXPECT_TRUE(StreamFilterInForce().Contains(TStreamId::siAlternate));
    EXPECT_FALSE(StreamFilterInForce().Contains(TStreamId::siStandard));

    // Every box cleared and the field emptied: StreamTypes 0, English again.
    ScriptedWindow w;
    TfmSetup f(w);
    f.Initialise();
    EXPECT_EQ(U8(w.language), "C:\\plugins\\de.lng");
    w.language.clear();
    for (auto& [id, on] : w.checked)
        on = false;
    f.btOkClick();
    LoadSettings();
    EXPECT_EQ(U8(Stored(u"StreamTypes").value_or(u"")), "0");
    EXPECT_EQ(U8(Message(Msg::NoExecStream)), "You cann't execute file streams.");
}

TEST_F(SetupDialog, AFailedSaveSaysWhyAndTheDialogStaysOpen)
{
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n", FILE_ATTRIBUTE_READONLY);
    form.Initialise();
    window.checked[IDC_ALTERNATE] = true;
    form.btOkClick();
    EXPECT_EQ(window.closedWithOk, std::nullopt) << "OK closed the dialog although nothing was saved";
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(U8(window.messages[0].first), "Error writing file or stream.\r\nAccess is denied");
    EXPECT_EQ(winsim::Contents(kIni).value_or(""), "[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
}

// The host's plugins folder is commonly under Program Files, which a
// standard user cannot write: the settings live in the folder the host
// suggests (FsSetDefaultParams) when none are beside the plugin.
TEST_F(SetupDialog, SettingsLiveWhereTheHostSuggestsWhenThePluginsFolderCannotBeWritten)
{
    winsim::AddVolume(u'D');
    winsim::AddDirectory(u"D:\\cfg");
    winsim::DenyAccess(u"C:\\plugins");
    winsim::SetPrivilegesHeld(false, false);
    FsDefaultParamStruct params{};
    params.size = sizeof(params);
    std::strcpy(params.DefaultIniName, "D:\\cfg\\fsplugin.ini");
    FsSetDefaultParams(&params);
    form.Initialise();
    for (auto& [id, ticked] : window.checked)
        ticked = id == IDC_ALTERNATE;
    form.btOkClick();
    EXPECT_EQ(window.closedWithOk, std::optional<bool>(true));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_FALSE(winsim::Exists(kIni));
    const std::optional<std::string> saved = winsim::Contents(u"D:\\cfg\\TC_wfx_NTFSTarnwick.ini");
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("StreamTypes=16"), std::string::npos) << *saved;

    // The next start reads them from there: beside the plugin there are none.
    LoadSettings();
    TStreamIds named;
    named.Add(TStreamId::siAlternate);
    EXPECT_EQ(StreamFilterInForce(), named) << "not read back from the suggested folder";
    EXPECT_EQ(U8(SettingsFilePath()), "D:\\cfg\\TC_wfx_NTFSTarnwick.ini");

    // A settings file beside the plugin wins.
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
    FsSetDefaultParams(&params);
    EXPECT_EQ(U8(SettingsFilePath()), U8(kIni));
}

TEST_F(SetupDialog, CancelWritesNothing)
{
    form.Initialise();
    window.language = u"C:\\nowhere.lng";
    form.btCancelClick();
    EXPECT_EQ(window.closedWithOk, std::optional<bool>(false));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_FALSE(winsim::Exists(kIni));
}

TEST_F(SetupDialog, BrowseStartsInThePluginsFolder)
{
    form.Initialise();
    window.chooseAnswer = std::nullopt;
    form.btBrowseLangClick();
    ASSERT_EQ(window.requests.size(), 1u);
    const OpenFileRequest& r = window.requests[0];
    EXPECT_EQ(U8(r.InitialFolder), "C:\\plugins");
    EXPECT_EQ(U8(r.FileName), "C:\\plugins\\NTFSTarnwick.lng");
    EXPECT_EQ(U8(r.Title), "Select a new language file:");
    EXPECT_EQ(U8(r.Filter), "Language files (*.lng)|*.lng|All files|*");
    EXPECT_EQ(U8(r.DefaultExtension), "lng");
    EXPECT_EQ(U8(window.language), "") << "a cancelled choice leaves the field";

    window.language = u"C:\\somewhere\\de.lng";
    window.chooseAnswer = u"C:\\plugins\\ru.lng";
    form.btBrowseLangClick();
    EXPECT_EQ(U8(window.requests.back().FileName), "C:\\somewhere\\de.lng");
    EXPECT_EQ(U8(window.language), "C:\\plugins\\ru.lng");
}

TEST(OpenDialogFilter, SeparatesWithNulsAndEndsWithTwo)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Language files (*.lng)|*.lng|All files|*",
         std::u16string(u"Language files (*.lng)\0*.lng\0All files\0*\0", 42)},
        {u"a|b", std::u16string(u"a\0b\0\0", 5)},
        {u"", std::u16string(u"\0\0", 2)},
        {u"a|", std::u16string(u"a\0\0\0", 4)},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(OpenDialogFilter(in), out) << U8(in);
}

// ------------------------------------------------------------ the window

class SetupDialogWindow : public SetupDialog {
protected:
    void SetUp() override
    {
        SetupDialog::SetUp();
        InstallSettingsDialogTemplate();
    }
};

TEST(SettingsDialogResource, HasTheDesignCaptionsInTabOrder)
{
    RcDialog d = ReadSettingsDialogResource();
    EXPECT_EQ(d.id, IDD_SETUP);
    EXPECT_EQ(winsim::Narrow(d.caption), "NTFS Tarnwick properties");
    struct Expected {
        const char* kind;
        const char* text;
        int id;
    };
    const Expected expected[] = {
        {"DEFPUSHBUTTON", "Ok", IDOK},
        {"PUSHBUTTON", "Cancel", IDCANCEL},
        {"EDITTEXT", "", IDC_LANG},
        {"PUSHBUTTON", "...", IDC_BROWSE_LANG},
        {"AUTOCHECKBOX", "Standart (::$DATA)", IDC_SHOW_STANDART},
        {"AUTOCHECKBOX", "Alternate (::$ALTERNATE_DATA)", IDC_ALTERNATE},
        {"AUTOCHECKBOX", "Security (::$SECURITY_DESCRIPTOR)", IDC_SECURITY},
        {"AUTOCHECKBOX", "Extended attribute (::$EA_DATA)", IDC_EXTENDED_ATTRIBUTE},
        {"AUTOCHECKBOX", "Hard link (::$LINK)", IDC_HARD_LINK},
        {"AUTOCHECKBOX", "Property (::$PROPERTY_DATA)", IDC_PROPERTY},
        {"AUTOCHECKBOX", "Object identifier (::$OBJECT_ID)", IDC_OBJECT_IDENTIFIER},
        {"AUTOCHECKBOX", "Reparse points (::$REPARSE_DATA)", IDC_REPARSE_POINTS},
        {"AUTOCHECKBOX", "Sparse file (::$SPARSE_BLOCK)", IDC_SPARSE_FILE},
        {"AUTOCHECKBOX", "Invalid (::)", IDC_INVALID},
        {"LTEXT", "Select language:", IDC_LANG_HEADER},
        {"LTEXT", "Streams types to display:", IDC_STREAMS_HEADER},
    };
    ASSERT_EQ(d.controls.size(), std::size(expected));
    for (std::size_t i = 0; i < d.controls.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(d.controls[i].kind, expected[i].kind);
        EXPECT_EQ(winsim::Narrow(d.controls[i].text), expected[i].text);
        EXPECT_EQ(d.controls[i].id, expected[i].id);
        bool label = d.controls[i].kind == "LTEXT";
        EXPECT_EQ(d.controls[i].styles.find("WS_TABSTOP") != std::string::npos, !label);
    }
    // The check boxes in tab order are the table's.
    for (std::size_t i = 0; i < std::size(kStreamCheckBoxes); ++i)
        EXPECT_EQ(d.controls[4 + i].id, kStreamCheckBoxes[i].ControlId);
    // A fixed frame with only the close box.
    for (const char* style : {"DS_MODALFRAME", "WS_CAPTION", "WS_SYSMENU", "WS_POPUP"})
        EXPECT_NE(d.style.find(style), std::string::npos) << style;
    for (const char* style : {"WS_THICKFRAME", "WS_MINIMIZEBOX", "WS_MAXIMIZEBOX", "DS_CONTEXTHELP"})
        EXPECT_EQ(d.style.find(style), std::string::npos) << style;
    EXPECT_EQ(d.exStyle.find("WS_EX_CONTEXTHELP"), std::string::npos);
    // The shell dialog font, not a raster font without font linking.
    EXPECT_NE(d.font.find("\"MS Shell Dlg 2\""), std::string::npos) << d.font;
    EXPECT_NE(d.style.find("DS_SHELLFONT"), std::string::npos) << d.style;
}

TEST_F(SetupDialogWindow, LaysOutTheDesignScaledToTheScreen)
{
    struct Case {
        int dpi;
        RECT ok, lang, client;
    };
    const Case cases[] = {
        {120, {148, 394, 240, 425}, {20, 30, 306, 54}, {0, 0, 356, 434}},
        {96, {118, 315, 192, 340}, {16, 24, 245, 43}, {0, 0, 285, 347}},
        {192, {237, 630, 384, 680}, {32, 48, 490, 86}, {0, 0, 570, 694}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        winsim::SetScreenDpi(c.dpi);
        RECT ok{}, lang{}, dialog{};
        winsim::SetDialogScript([&](HWND d) {
            ok = winsim::WindowRect(GetDlgItem(d, IDOK));
            lang = winsim::WindowRect(GetDlgItem(d, IDC_LANG));
            dialog = winsim::WindowRect(d);
        });
        EXPECT_FALSE(ShowSettingsDialog(winsim::MainWindow()));
        EXPECT_EQ(ok.left, c.ok.left);
        EXPECT_EQ(ok.top, c.ok.top);
        EXPECT_EQ(ok.right, c.ok.right);
        EXPECT_EQ(ok.bottom, c.ok.bottom);
        EXPECT_EQ(lang.right - lang.left, c.lang.right - c.lang.left);
        // The frame around the client area: 3 pixels each side, a caption of 19.
        EXPECT_EQ(dialog.right - dialog.left, c.client.right + 6);
        EXPECT_EQ(dialog.bottom - dialog.top, c.client.bottom + 25);
        // Centred over the host's window (100, 50, 1300, 950).
        EXPECT_NEAR((dialog.left + dialog.right) / 2.0, 700, 1);
        EXPECT_NEAR((dialog.top + dialog.bottom) / 2.0, 500, 1);
    }
}

// Dragged to a monitor of another density, the dialog lays itself out anew
// in the shell dialog font at that density.
TEST_F(SetupDialogWindow, AtANewDensityTheDialogIsLaidOutAnew)
{
    winsim::SetScreenDpi(96);
    RECT ok{}, dialog{};
    std::vector<std::string> faces;
    winsim::SetDialogScript([&](HWND d) {
        winsim::ClearCallLog();
        winsim::MoveDialogToDpi(d, 192);
        ok = winsim::WindowRect(GetDlgItem(d, IDOK));
        dialog = winsim::WindowRect(d);
        for (const auto& call : winsim::CallLog())
            if (call.function == "CreateFontW")
                faces.push_back(U8(call.argument));
    });
    EXPECT_FALSE(ShowSettingsDialog(winsim::MainWindow()));
    // The 192-dpi layout: the OK button at (237, 630)-(384, 680), the client 570 by 694.
    EXPECT_EQ(ok.left, 237);
    EXPECT_EQ(ok.top, 630);
    EXPECT_EQ(ok.right, 384);
    EXPECT_EQ(ok.bottom, 680);
    EXPECT_EQ(dialog.right - dialog.left, 570 + 6);
    EXPECT_EQ(faces, std::vector<std::string>{"MS Shell Dlg 2"}) << "the font made anew for the density";
}

TEST_F(SetupDialogWindow, OkWritesTheUsersChoice)
{
    winsim::AddFile(kIni, "[wfx_NTFSTarnwick]\r\nStreamTypes=2\r\n");
    winsim::AddFile(u"C:\\plugins\\de.lng", kHeader);
    bool sawInitialState = false;
    winsim::SetDialogScript([&](HWND d) {
        sawInitialState = winsim::WindowText(d) == u"NTFS Tarnwick properties" &&
                          winsim::DialogItemChecked(d, IDC_SHOW_STANDART) &&
                          !winsim::DialogItemChecked(d, IDC_ALTERNATE) && winsim::DialogItemText(d, IDC_LANG).empty();
        winsim::TypeDialogItemText(d, IDC_LANG, u"C:\\plugins\\missing.lng");
        winsim::ClickDialogButton(d, IDOK);
        EXPECT_TRUE(winsim::DialogOpen(d));
        winsim::TypeDialogItemText(d, IDC_LANG, u"C:\\plugins\\de.lng");
        winsim::TickDialogItem(d, IDC_ALTERNATE, true);
        winsim::ClickDialogButton(d, IDOK);
        EXPECT_FALSE(winsim::DialogOpen(d));
    });
    HWND main = winsim::MainWindow();
    EXPECT_TRUE(ShowSettingsDialog(main));
    EXPECT_TRUE(sawInitialState);
    EXPECT_EQ(U8(Stored(u"Language").value_or(u"")), "de.lng");
    EXPECT_EQ(U8(Stored(u"StreamTypes").value_or(u"")), "18");
    ASSERT_EQ(winsim::Dialogs().size(), 1u);
    EXPECT_EQ(winsim::Dialogs()[0].owner, main);
    EXPECT_EQ(winsim::Dialogs()[0].templateId, IDD_SETUP);
    auto boxes = winsim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(U8(boxes[0].text), "Specified language file was not found.");
    EXPECT_EQ(U8(boxes[0].caption), "NTFS Tarnwick properties");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_NE(boxes[0].owner, main) << "the message box belongs to the dialog";
    EXPECT_NE(boxes[0].owner, nullptr);
}

TEST_F(SetupDialogWindow, CancelEscAndTheCloseBoxWriteNothing)
{
    const std::pair<const char*, std::function<void(HWND)>> cases[] = {
        {"Cancel", [](HWND d) { winsim::ClickDialogButton(d, IDCANCEL); }},
        {"close box", [](HWND d) { winsim::PressCloseBox(d); }},
        {"no action", nullptr},
    };
    for (const auto& [name, script] : cases) {
        SCOPED_TRACE(name);
        winsim::SetDialogScript([&](HWND d) {
            winsim::TickDialogItem(d, IDC_SHOW_STANDART, false);
            if (script)
                script(d);
        });
        EXPECT_FALSE(ShowSettingsDialog(winsim::MainWindow()));
        EXPECT_FALSE(winsim::Exists(kIni));
    }
}

TEST_F(SetupDialogWindow, BrowseUsesTheStandardOpenDialog)
{
    winsim::SetOpenFileAnswer(u"C:\\plugins\\lang\\ru.lng");
    std::u16string field;
    winsim::SetDialogScript([&](HWND d) {
        winsim::ClickDialogButton(d, IDC_BROWSE_LANG);
        field = winsim::DialogItemText(d, IDC_LANG);
    });
    ShowSettingsDialog(winsim::MainWindow());
    EXPECT_EQ(U8(field), "C:\\plugins\\lang\\ru.lng");
    auto dialogs = winsim::OpenFileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    const auto& o = dialogs[0];
    EXPECT_EQ(U8(o.title), "Select a new language file:");
    EXPECT_EQ(U8(o.filter), "Language files (*.lng)|*.lng|All files|*");
    EXPECT_EQ(U8(o.initialDir), "C:\\plugins");
    EXPECT_EQ(U8(o.fileName), "C:\\plugins\\NTFSTarnwick.lng");
    EXPECT_EQ(U8(o.defaultExtension), "lng");
    const DWORD required = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING |
                           OFN_EXPLORER | OFN_NOCHANGEDIR;
    EXPECT_EQ(o.flags & required, required) << std::hex << o.flags;
    EXPECT_GE(o.maxFile, static_cast<DWORD>(MAX_PATH));
    // The host's current directory is left alone.
    EXPECT_EQ(winsim::CountCalls("SetCurrentDirectoryW"), 0u);
}

}  // namespace
