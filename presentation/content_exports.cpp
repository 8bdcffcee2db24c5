// The content exports: thin shells over the columns. None is gated: the host
// may ask for columns before FsInitW, and the answers then use the empty
// filter (every stream) and empty type texts.
#include "presentation/content_exports.h"

#include <algorithm>
#include <cstring>

#include "plugin/host_interface.h"
#include "plugin/paths.h"
#include "plugin/redirection.h"
#include "presentation/content_columns.h"
#include "presentation/running_values.h"
#include "presentation/zone_identifier.h"

namespace {

// A text value in a buffer of maxlen bytes: at most (maxlen div 2) - 2
// characters and a NUL, so there is always room to spare. A buffer too small
// for that gets at most the NUL, and a buffer of under two bytes nothing.
void CopyText(WStringView text, void* buffer, int maxlen)
{
    if (!buffer || maxlen < static_cast<int>(sizeof(WCHAR)))
        return;
    long long chars = static_cast<long long>(maxlen / 2) - 2;
    std::size_t n = chars <= 0 ? 0 : std::min<std::size_t>(text.size(), static_cast<std::size_t>(chars));
    auto* bytes = static_cast<unsigned char*>(buffer);
    if (n > 0)
        std::memcpy(bytes, text.data(), n * sizeof(WCHAR));
    const WCHAR nul = 0;
    std::memcpy(bytes + n * sizeof(WCHAR), &nul, sizeof(WCHAR));
}

// A 32-bit value; false when the buffer cannot hold one.
bool CopyInt(std::int32_t value, void* buffer, int maxlen)
{
    if (!buffer || maxlen < static_cast<int>(sizeof(value)))
        return false;
    std::memcpy(buffer, &value, sizeof(value));
    return true;
}

// A field that opens the file, asked from the window thread: the host asks
// again from its background thread. Nothing to show meanwhile.
int Delayed(void* fieldValue, int maxlen)
{
    CopyText({}, fieldValue, maxlen);
    return ft_delayed;
}

int ContentValue(const WString& fileName, int fieldIndex, int unitIndex, void* fieldValue, int maxlen, int flags)
{
    WString local = PluginToLocalPath(fileName);
    const ContentFieldInfo* field = ContentFieldAt(fieldIndex);
    // An empty name names nothing: the empty results, without a look at the
    // file system.
    if (local.empty()) {
        if (!field)
            return ft_fieldempty;
        if (field->Type == ft_stringw) {
            CopyText({}, fieldValue, maxlen);
            return field->Type;
        }
        return CopyInt(0, fieldValue, maxlen) ? field->Type : ft_fieldempty;
    }
    if (local[0] == ':' || !field)
        return ft_fieldempty;
    if (fieldIndex == cfType) {
        CopyText(TypeText(ResolvePluginPath(fileName)), fieldValue, maxlen);
        return ft_stringw;
    }
    if ((flags & CONTENT_DELAYIFSLOW) && FieldOpensTheFile(fieldIndex))
        return Delayed(fieldValue, maxlen);

    // From here the file is opened: the host may stop this value when the
    // user leaves the folder.
    const RunningValue running(fileName);
    const std::atomic<bool>* stop = &running.StopFlag();
    switch (fieldIndex) {
    case cfStreamsSize: {
        const std::optional<std::int64_t> size = NamedStreamsSize(local, stop);
        if (!size || !fieldValue || maxlen < static_cast<int>(sizeof(std::int64_t)))
            return ft_fieldempty;
        std::memcpy(fieldValue, &*size, sizeof(std::int64_t));
        return ft_numeric_64;
    }
    case cfZone:
    case cfZoneHostUrl:
    case cfZoneReferrerUrl: {
        const std::optional<ZoneInfo> zone = ReadZoneIdentifier(local);
        if (!zone || stop->load())
            return ft_fieldempty;
        if (fieldIndex == cfZone) {
            if (!zone->ZoneId || !fieldValue || maxlen < 1)
                return ft_fieldempty;
            // A choice is the chosen text, in the ANSI form of the units.
            CopyTruncated(std::string_view(kZoneNames[*zone->ZoneId]), static_cast<char*>(fieldValue),
                          static_cast<std::size_t>(maxlen));
            return ft_multiplechoice;
        }
        const WString& url = fieldIndex == cfZoneHostUrl ? zone->HostUrl : zone->ReferrerUrl;
        if (url.empty())
            return ft_fieldempty;
        CopyText(url, fieldValue, maxlen);
        return ft_stringw;
    }
    default:
        break;
    }
    // One walk gives every stream field of the design.
    StreamColumns columns = EnumerateStreamColumns(local, static_cast<long long>(unitIndex) + 1, stop);
    if (columns.Stopped)
        return ft_fieldempty;
    switch (fieldIndex) {
    case cfHasStream:
        return CopyInt(columns.Count > 0 ? 1 : 0, fieldValue, maxlen) ? ft_boolean : ft_fieldempty;
    case cfStreamsCount:
        return CopyInt(columns.Count, fieldValue, maxlen) ? ft_numeric_32 : ft_fieldempty;
    case cfStream:
        CopyText(columns.Chosen, fieldValue, maxlen);
        return ft_stringw;
    case cfAllStreamsOneLine:
        CopyText(columns.Joined, fieldValue, maxlen);
        return ft_stringw;
    default:
        return ft_fieldempty;
    }
}

}  // namespace

extern "C" int WINAPI FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units, int maxlen)
{
    const ContentFieldInfo* field = ContentFieldAt(FieldIndex);
    if (!field)
        return ft_nomorefields;
    if (maxlen > 0) {
        CopyTruncated(std::string_view(field->Name), FieldName, static_cast<std::size_t>(maxlen));
        CopyTruncated(std::string_view(field->Units), Units, static_cast<std::size_t>(maxlen));
    }
    return field->Type;
}

extern "C" int WINAPI FsContentGetValueW(WCHAR* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                         int maxlen, int flags)
{
    try {
        FileSystemRedirectionOff redirection;
        return ContentValue(FromHost(FileName), FieldIndex, UnitIndex, FieldValue, maxlen, flags);
    } catch (...) {
        return ft_fileerror;
    }
}

extern "C" int WINAPI FsContentGetValue(char* FileName, int FieldIndex, int UnitIndex, void* FieldValue, int maxlen,
                                        int flags)
{
    try {
        std::optional<WString> wide = FromHostAnsi(FileName);
        if (!wide)
            return ft_fileerror;
        return FsContentGetValueW(wide->data(), FieldIndex, UnitIndex, FieldValue, maxlen, flags);
    } catch (...) {
        return ft_fileerror;
    }
}

// -1: every field's flags together; a field's own; 0 for any other index.
extern "C" int WINAPI FsContentGetSupportedFieldFlags(int FieldIndex)
{
    if (FieldIndex == -1) {
        int all = 0;
        for (int i = 0; i < kContentFieldCount; ++i)
            all |= ContentFieldAt(i)->Flags;
        return all;
    }
    const ContentFieldInfo* field = ContentFieldAt(FieldIndex);
    return field ? field->Flags : 0;
}

extern "C" int WINAPI FsContentGetDefaultSortOrder(int FieldIndex)
{
    return FieldIndex == cfType ? 1 : -1;
}

extern "C" BOOL WINAPI FsContentGetDefaultViewW(WCHAR* ViewContents, WCHAR* ViewHeaders, WCHAR* ViewWidths,
                                                WCHAR* ViewOptions, int maxlen)
{
    CopyText(kViewContents, ViewContents, maxlen);
    CopyText(kViewHeaders, ViewHeaders, maxlen);
    CopyText(kViewWidths, ViewWidths, maxlen);
    CopyText(kViewOptions, ViewOptions, maxlen);
    return kPluginTrue;
}

extern "C" BOOL WINAPI FsContentGetDefaultView(char*, char*, char*, char*, int)
{
    return FALSE;  // no default view for hosts without wide columns
}

// The user left the folder while a value of FileName was computed in the
// background: that walk ends early and its value is empty.
extern "C" void WINAPI FsContentStopGetValueW(WCHAR* FileName)
{
    try {
        if (FileName)
            StopRunningValues(FromHost(FileName));
    } catch (...) {
    }
}

extern "C" void WINAPI FsContentStopGetValue(char* FileName)
{
    try {
        const std::optional<WString> wide = FromHostAnsi(FileName);
        if (wide && !wide->empty())
            StopRunningValues(*wide);
    } catch (...) {
    }
}
