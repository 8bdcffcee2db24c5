// The Mark of the Web: the Zone.Identifier stream that browsers, mail
// programs and archivers write beside a file that came from elsewhere
// ("[ZoneTransfer]", "ZoneId=0..4", and from browsers "HostUrl=" and
// "ReferrerUrl="). Other programs write it, so its bytes are untrusted: any
// bytes, any length, any encoding give values or nothing, never a fault.
#pragma once

#include <optional>
#include <string>

#include "plugin/text.h"

// The stream's name on a file.
inline constexpr const WCHAR* kZoneIdentifierStream = TEXT(":Zone.Identifier:$DATA");
// At most this much of the stream is read.
constexpr std::size_t kZoneIdentifierReadLimit = 64 * 1024;

struct ZoneInfo {
    std::optional<int> ZoneId;  // 0 to 4; nothing when missing or outside
    WString HostUrl;            // empty when absent
    WString ReferrerUrl;
};

// The values of the stream's bytes (UTF-8 with or without a mark, UTF-16 with
// a mark, or ANSI).
ZoneInfo ParseZoneIdentifier(const std::string& bytes);

// Reads the Zone.Identifier stream of a local file (its first 64 KiB);
// nothing when the file has none or it cannot be read.
std::optional<ZoneInfo> ReadZoneIdentifier(const WString& local);
