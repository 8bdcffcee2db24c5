// The Mark of the Web from untrusted bytes: any bytes give a zone of 0 to 4
// or none, and URLs without line breaks or blanks at their ends; the same
// bytes read through the "Zone" column from a file's Zone.Identifier stream
// give the same answer, and nothing is left open.
#include <string>

#include "fuzz_support.h"
#include "plugin/host_interface.h"
#include "presentation/content_columns.h"
#include "presentation/content_exports.h"
#include "presentation/zone_identifier.h"

namespace {

bool CleanLine(const WString& s)
{
    if (!s.empty() && (s.front() <= ' ' || s.back() <= ' '))
        return false;
    return s.find_first_of(TEXT("\r\n")) == WString::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string input = fuzz::InputText(data, size).c_str();
    const ZoneInfo info = ParseZoneIdentifier(bytes);
    if (info.ZoneId && (*info.ZoneId < 0 || *info.ZoneId > 4))
        fuzz::Fail("a zone is 0 to 4", input);
    if (!CleanLine(info.HostUrl) || !CleanLine(info.ReferrerUrl))
        fuzz::Fail("a URL is one trimmed line", input, info.HostUrl + u" | " + info.ReferrerUrl);

    fuzz::FreshWorld();
    winsim::AddFile(u"C:\\d\\f.zip", "zip");
    winsim::AddStream(u"C:\\d\\f.zip", u"Zone.Identifier", bytes);
    std::u16string path = u"\\C:\\d\\f.zip";
    char choice[64] = {};
    const int zone = FsContentGetValueW(path.data(), cfZone, 0, choice, sizeof choice, 0);
    const bool expected = size <= kZoneIdentifierReadLimit && info.ZoneId.has_value();
    if (expected && (zone != ft_multiplechoice || std::string(choice) != kZoneNames[*info.ZoneId]))
        fuzz::Fail("the column shows the stream's zone", input);
    if (zone != ft_multiplechoice && zone != ft_fieldempty)
        fuzz::Fail("the column is a choice or empty", input);
    fuzz::EndWorld(input);
    return 0;
}
