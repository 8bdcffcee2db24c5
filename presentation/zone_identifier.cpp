#include "presentation/zone_identifier.h"

#include "config/ini.h"
#include "config/text_file.h"
#include "plugin/paths.h"
#include "plugin/win_owner.h"

ZoneInfo ParseZoneIdentifier(const std::string& bytes)
{
    ZoneInfo info;
    WString text;
    try {
        text = DecodeText(bytes).Text;
    } catch (...) {
        return info;  // invalid UTF-8 after a mark, odd UTF-16: nothing to show
    }
    const IniDocument ini = IniDocument::Parse(text);
    static constexpr const WCHAR* kSection = TEXT("ZoneTransfer");
    if (std::optional<WString> zone = ini.Get(kSection, TEXT("ZoneId"))) {
        const WStringView digits = TrimBlanks(*zone);
        if (digits.size() == 1 && digits[0] >= '0' && digits[0] <= '4')
            info.ZoneId = digits[0] - '0';
    }
    info.HostUrl = WString(TrimBlanks(ini.Get(kSection, TEXT("HostUrl")).value_or(WString())));
    info.ReferrerUrl = WString(TrimBlanks(ini.Get(kSection, TEXT("ReferrerUrl")).value_or(WString())));
    return info;
}

std::optional<ZoneInfo> ReadZoneIdentifier(const WString& local)
{
    UniqueFile stream(CreateFileW(ToLongPath(local + kZoneIdentifierStream).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!stream)
        return std::nullopt;
    std::string bytes(kZoneIdentifierReadLimit, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(stream.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return ParseZoneIdentifier(bytes);
}
