// Where transfers put things: the local target of a download derived from
// the plugin path and the host's proposal, and the target of an upload
// resolved against winsim's files. Beyond not crashing: a download's target
// lies in the folder of the host's proposal (up to its last backslash), on
// its drive, and its name is one Windows can hold (no stream of anything, no
// device, no trailing dot or space); an upload's target lies on the drive the
// host named and is reported as a plugin path.
#include "fileops/create_directory.h"
#include "plugin/paths.h"
#include "fuzz_support.h"
#include "transfer/download.h"
#include "transfer/upload.h"

namespace {

bool HasDriveColon(WStringView s)
{
    return s.size() >= 2 && s[1] == ':';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<WString> f = fuzz::Fields(fuzz::InputText(data, size), 2);
    const WString& remote = f[0];
    const WString local = f[1].empty() ? WString(TEXT("D:\\out\\proposal")) : f[1];
    const std::u16string input(remote.begin(), remote.end());

    const WString target = DeriveLocalTarget(remote, local);
    const std::size_t slash = local.rfind('\\');
    const WString folder = slash == WString::npos ? WString() : local.substr(0, slash + 1);
    if (target.compare(0, folder.size(), folder) != 0)
        fuzz::Fail("a download's target lies in the folder of the host's proposal", input, target);
    const WString name = target.substr(folder.size());
    if (name != SafeFileName(name))
        fuzz::Fail("a download's target has a name Windows can hold", input, target);
    if (target != local) {
        // The name put behind the folder comes from the plugin path: it
        // never makes the target a path of another drive. (The host always
        // proposes a full path; a bare name has no folder to stay in.)
        if (!folder.empty() && HasDriveColon(target) && !(HasDriveColon(local) && target[0] == local[0]))
            fuzz::Fail("a download's target stays on the proposal's drive", input, target);
    }

    fuzz::FreshWorld();
    winsim::AddFile(u"C:\\d\\f.txt", "data");
    winsim::AddStream(u"C:\\d\\f.txt", u"s", "stream");
    winsim::AddDirectory(u"C:\\d\\sub");
    if (auto up = ResolveUploadTarget(remote)) {
        // A special stream's name has none: the upload is refused.
        if (up->Path.empty() != up->Special)
            fuzz::Fail("an upload has a target unless it names a special stream", input);
        const WString named = PluginToLocalPath(remote);
        if (HasDriveColon(up->Path) && !(HasDriveColon(named) && EqualsAsciiNoCase(WStringView(named).substr(0, 1), WStringView(up->Path).substr(0, 1))))
            fuzz::Fail("an upload's target lies on the drive the host named", input, up->Path);
        if (up->ReportedName.empty() || up->ReportedName[0] != '\\')
            fuzz::Fail("an upload's target is reported as a plugin path", input, up->ReportedName);
    }
    fuzz::EndWorld(input);
    return 0;
}
