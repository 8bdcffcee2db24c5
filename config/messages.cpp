#include "config/messages.h"

#include "plugin/plugin_state.h"

namespace {

struct DefaultText {
    Msg slot;
    const WCHAR* text;
};

// The English texts, spelled as users of earlier versions know them. The
// dialog's captions (lines 6 to 12) default to empty: an empty slot leaves the
// dialog's own caption in place.
constexpr DefaultText kDefaults[] = {
    {Msg::NoDirInFile, TEXT("You cann't create directories inside files.")},
    {Msg::NoExecStream, TEXT("You cann't execute file streams.")},
    {Msg::NotImplemented, TEXT("Not implemented yet.")},
    {Msg::NoCopyToRoot, TEXT("Copying to root directory isn't supported.")},
    {Msg::LangNotFound, TEXT("Specified language file was not found.")},
    {Msg::LangInvalid, TEXT("Specified language file for plugin is invalid.")},
    {Msg::CantRun, TEXT("Cann't run program.")},
    {Msg::ReadError, TEXT("Error reading file or stream.")},
    {Msg::DeleteError, TEXT("Error deleting file or stream.")},
    {Msg::WriteError, TEXT("Error writing file or stream.")},
    {Msg::NotSupported, TEXT("Not Supported")},
    {Msg::DirType, TEXT("<Dir>")},
    {Msg::StreamType, TEXT("<Stream>")},
};

}  // namespace

MessageTable DefaultMessages()
{
    MessageTable table;
    for (const auto& d : kDefaults)
        table[static_cast<int>(d.slot)] = d.text;
    return table;
}

WString Message(Msg slot)
{
    return CurrentSettings()->Messages[static_cast<int>(slot)];
}
