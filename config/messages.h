// The message table: every text the plugin shows, one slot per line of a
// language file, each with its English default.
#pragma once

#include <array>

#include "plugin/text.h"

// Slots in language-file line order; the value is the line number.
enum class Msg : int {
    NoDirInFile = 2,
    NoExecStream = 3,
    NotImplemented = 4,
    NoCopyToRoot = 5,
    DlgCaption = 6,
    DlgOk = 7,
    DlgCancel = 8,
    // line 9 is read over
    DlgStreamsLabel = 10,
    DlgOpenTitle = 11,
    DlgOpenFilter = 12,
    LangNotFound = 13,
    LangInvalid = 14,
    CantRun = 15,
    ReadError = 16,
    DeleteError = 17,
    WriteError = 18,
    NotSupported = 19,
    DirType = 20,
    StreamType = 21,
};

constexpr int kFirstMessageLine = 2;
constexpr int kLastMessageLine = 21;

// The table itself, indexed by line number; lines 0, 1 and 9 have no slot.
using MessageTable = std::array<WString, kLastMessageLine + 1>;

// Whether a language-file line carries a slot.
constexpr bool IsMessageLine(int line)
{
    return line >= kFirstMessageLine && line <= kLastMessageLine && line != 9;
}

// Every slot at its English default (the dialog's captions empty).
MessageTable DefaultMessages();
// The slot's text in the settings in force (a copy: a reload may replace the
// table while the caller still uses the text).
WString Message(Msg slot);

