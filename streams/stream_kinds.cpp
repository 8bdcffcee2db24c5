#include "streams/stream_kinds.h"

namespace {

// By ordinal of TStreamId; identifiers of 10 and more have no kind.
constexpr const WCHAR* kEntryNames[kStreamKindCount] = {
    TEXT("::"),
    TEXT("::$DATA"),
    TEXT("::$EA_DATA"),
    TEXT("::$SECURITY_DESCRIPTOR"),
    TEXT("::$ALTERNATE_DATA"),
    TEXT("::$LINK"),
    TEXT("::$PROPERTY_DATA"),
    TEXT("::$OBJECT_ID"),
    TEXT("::$REPARSE_DATA"),
    TEXT("::$SPARSE_BLOCK"),
};

// The host's record holds MAX_PATH characters including the terminating zero.
constexpr std::size_t kFileNameCapacity = MAX_PATH;

}  // namespace

WStringView UnnamedStreamEntryName(TStreamId id)
{
    auto ordinal = static_cast<unsigned>(id);
    return ordinal < kStreamKindCount ? WStringView(kEntryNames[ordinal]) : WStringView(kEntryNames[0]);
}

std::optional<TStreamId> KindOfUnnamedEntry(WStringView entryName)
{
    for (int ordinal = 0; ordinal < kStreamKindCount; ++ordinal)
        if (EqualsAsciiNoCase(entryName, kEntryNames[ordinal]))
            return static_cast<TStreamId>(ordinal);
    return std::nullopt;
}

bool IsUnnamedEntry(WStringView entryName)
{
    return entryName.size() >= 2 && entryName[0] == ':' && entryName[1] == ':';
}

void StreamToFindData(WIN32_FIND_DATAW& FindData, const TFindStreamData& Data)
{
    StreamToFindData(FindData, ListedStream{Data.StreamID, Data.Attributes, Data.Name, Data.Size});
}

void StreamToFindData(WIN32_FIND_DATAW& FindData, const ListedStream& Data)
{
    // A stream is a file to the host: never the directory bit.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (Data.Attributes & STREAM_MODIFIED_WHEN_READ)
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (Data.Attributes & STREAM_CONTAINS_SECURITY)
        attributes |= FILE_ATTRIBUTE_SYSTEM;

    const auto size = static_cast<std::uint64_t>(Data.Size);
    FindData.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    FindData.nFileSizeLow = static_cast<DWORD>(size);

    WStringView name = Data.Name;
    // NTFS allows names of 255 characters, so ":name:$DATA" may not fit the
    // record; ":name" opens the same stream, and fits.
    constexpr WStringView kDataSuffix = TEXT(":$DATA");
    if (name.size() >= kFileNameCapacity && name.size() > kDataSuffix.size() &&
        name.substr(name.size() - kDataSuffix.size()) == kDataSuffix)
        name.remove_suffix(kDataSuffix.size());
    if (name.empty()) {
        // The unnamed data stream is the file itself and stays visible; the
        // special streams are hidden.
        if (Data.StreamID != TStreamId::siStandard)
            attributes |= FILE_ATTRIBUTE_HIDDEN;
        name = UnnamedStreamEntryName(Data.StreamID);
    }
    FindData.dwFileAttributes = attributes;
    CopyTruncated(name, FindData.cFileName, kFileNameCapacity);
}
