// What each kind of backup stream is shown as in the host's listing.
#pragma once

#include <windows.h>

#include <optional>

#include "plugin/text.h"
#include "streams/stream_finder.h"
#include "streams/stream_list.h"

// The entry name of a stream that comes without a name of its own: "::$DATA"
// for the unnamed data stream, "::$SECURITY_DESCRIPTOR" and the others for the
// special streams, "::" for kind 0 and for identifiers without a kind.
WStringView UnnamedStreamEntryName(TStreamId id);

// The other way: the kind an entry without a name of its own stands for, in
// any letter case ("::$data" is the unnamed data stream, "::" kind 0). Nothing
// for a named entry (":name:$DATA") or any other text.
std::optional<TStreamId> KindOfUnnamedEntry(WStringView entryName);

// An entry that begins with "::": the file's unnamed data stream or one of its
// special streams, never a stream with a name of its own.
bool IsUnnamedEntry(WStringView entryName);

// Fills the host's record for the stream the cursor stands on: attributes,
// size and entry name. The caller zero-fills the record and sets the times.
void StreamToFindData(WIN32_FIND_DATAW& FindData, const TFindStreamData& Data);
void StreamToFindData(WIN32_FIND_DATAW& FindData, const ListedStream& Stream);
