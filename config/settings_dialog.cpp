#include "config/settings_dialog.h"

#include "config/ini.h"
#include "config/language_path.h"
#include "config/messages.h"
#include "config/relative_path.h"
#include "config/settings.h"
#include "config/settings_writer.h"
#include "config/text_file.h"
#include "plugin/paths.h"
#include "plugin/plugin_state.h"
#include "transfer/system_error.h"

namespace {

WString ModulePath()
{
    WString path(MAX_PATH, WCHAR{});
    for (;;) {
        DWORD n = GetModuleFileNameW(PluginState().Module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

bool IsBitSet(int mask, int bit)
{
    return (static_cast<unsigned>(mask) >> bit) & 1u;
}

}  // namespace

WString DefaultLanguageFileName()
{
    WString path = ModulePath();
    if (path.empty())
        return {};
    std::size_t slash = path.rfind('\\');
    std::size_t dot = path.rfind('.');
    if (dot != WString::npos && (slash == WString::npos || dot > slash))
        path.resize(dot);
    return path + TEXT(".lng");
}

WString OpenDialogFilter(WStringView filter)
{
    WString out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = filter.find('|', start);
        out += filter.substr(start, bar == WStringView::npos ? WStringView::npos : bar - start);
        out += WCHAR{0};
        if (bar == WStringView::npos)
            break;
        start = bar + 1;
    }
    out += WCHAR{0};
    return out;
}

void TfmSetup::Initialise()
{
    struct Replacement {
        Msg slot;
        SetupText text;
    };
    static constexpr Replacement kCaptions[] = {
        {Msg::DlgCaption, SetupText::Title},
        {Msg::DlgOk, SetupText::OkButton},
        {Msg::DlgCancel, SetupText::CancelButton},
        {Msg::DlgStreamsLabel, SetupText::StreamsLabel},
    };
    // One table for the whole dialog, even if a reload publishes another.
    const auto settings = CurrentSettings();
    auto text = [&](Msg slot) -> const WString& { return settings->Messages[static_cast<int>(slot)]; };
    for (const auto& r : kCaptions)
        if (!text(r.slot).empty())
            window_.SetText(r.text, text(r.slot));
    if (!text(Msg::DlgOpenTitle).empty())
        openTitle_ = text(Msg::DlgOpenTitle);
    if (!text(Msg::DlgOpenFilter).empty())
        openFilter_ = text(Msg::DlgOpenFilter);

    // The dialog shows what the settings file holds, not the filter in force.
    int mask = -1;
    try {
        IniDocument ini = IniDocument::Parse(DecodeText(ReadWholeFile(SettingsFilePath(), true)).Text);
        WString language = ini.Get(kSettingsSection, kLanguageKey).value_or(WString());
        if (!language.empty())
            window_.SetLanguageField(ResolveLanguagePath(language));
        mask = ParseStreamTypes(ini.Get(kSettingsSection, kStreamTypesKey));
    } catch (...) {
        // Unreadable: what was set stays, the rest keeps the design state.
    }
    for (const auto& box : kStreamCheckBoxes)
        window_.SetChecked(box.ControlId, IsBitSet(mask, box.Bit));
}

int TfmSetup::Mask() const
{
    int mask = 0;
    for (const auto& box : kStreamCheckBoxes)
        if (window_.Checked(box.ControlId))
            mask |= 1 << box.Bit;
    return mask;
}

bool TfmSetup::LanguageFileAcceptable(const WString& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        window_.ShowMessage(Message(Msg::LangNotFound), window_.Title());
        return false;
    }
    bool valid = false;
    try {
        std::vector<WString> lines = ReadTextLines(path);
        valid = (lines.empty() ? WString() : lines[0]) == LanguageFileHeader;
    } catch (...) {
        valid = false;
    }
    if (!valid)
        window_.ShowMessage(Message(Msg::LangInvalid), window_.Title());
    return valid;
}

void TfmSetup::btOkClick()
{
    // The field's text is checked as it stands; a relative one is therefore
    // tested against the process's current folder. Forward slashes, which
    // Windows accepts here, become backslashes first: the resolution of the
    // saved text would not take them.
    WString language = WithBackslashes(window_.LanguageField());
    if (language != window_.LanguageField())
        window_.SetLanguageField(language);
    if (!language.empty() && !LanguageFileAcceptable(language))
        return;
    int mask = Mask();
    // Saved where the settings were read; when there was no file yet and the
    // plugin's folder cannot be written (Program Files), in the folder the
    // host suggests. A save that fails says why and the dialog stays open:
    // OK must not look as if it had changed anything.
    const WString file = SettingsFilePath();
    const WString relative = RelativeToPluginFolder(language);
    DWORD error = 0;
    try {
        WriteSettingsFile(file, relative, mask);
    } catch (const TextFileError& e) {
        error = e.SystemError != 0 ? e.SystemError : ERROR_WRITE_FAULT;
    } catch (...) {
        error = ERROR_WRITE_FAULT;
    }
    const WString suggested = SuggestedSettingsFileName();
    if (error != 0 && file == SettingsFileBesidePlugin() && !FileExistsLong(file) && !suggested.empty() &&
        suggested != file) {
        try {
            WriteSettingsFile(suggested, relative, mask);
            error = 0;
        } catch (const TextFileError& e) {
            error = e.SystemError != 0 ? e.SystemError : ERROR_WRITE_FAULT;
        } catch (...) {
            error = ERROR_WRITE_FAULT;
        }
    }
    if (error != 0) {
        window_.ShowMessage(Message(Msg::WriteError) + TEXT("\r\n") + SystemErrorText(error), window_.Title());
        return;
    }
    window_.Close(true);
}

void TfmSetup::btCancelClick()
{
    window_.Close(false);
}

void TfmSetup::btBrowseLangClick()
{
    OpenFileRequest request;
    request.Title = openTitle_;
    request.Filter = openFilter_;
    request.DefaultExtension = kOpenDefaultExtension;
    request.InitialFolder = PluginFolder();
    if (request.InitialFolder.size() > 3 && request.InitialFolder.back() == '\\')
        request.InitialFolder.pop_back();
    request.FileName = window_.LanguageField();
    if (request.FileName.empty())
        request.FileName = DefaultLanguageFileName();
    if (std::optional<WString> chosen = window_.ChooseFile(request))
        window_.SetLanguageField(*chosen);
}
