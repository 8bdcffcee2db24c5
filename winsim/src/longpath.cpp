// GetLongPathNameW: each component of an existing path replaced by its long
// name (an 8.3 alias set with winsim::SetShortName resolves to the real name).
#include <algorithm>

#include "calls.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

extern "C" DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer)
{
    WINSIM_ENTER("GetLongPathNameW", ToU16(lpszShortPath), DWORD{0});
    if (!lpszShortPath)
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    ResolvedPath r = Resolve(lpszShortPath);
    if (r.error != 0)
        return Fail(r.error, DWORD{0});
    if (!r.node)
        return Fail(r.missing, DWORD{0});
    std::u16string in(lpszShortPath);
    std::u16string out = in.rfind(u"\\\\?\\", 0) == 0 ? u"\\\\?\\" : u"";
    out += r.node->Path(r.volume->letter);
    if (r.hasStream)
        out += u":" + r.streamName;
    if (r.trailingSlash && out.back() != u'\\')
        out += u'\\';
    if (out.size() + 1 > cchBuffer || !lpszLongPath)
        return static_cast<DWORD>(out.size() + 1);
    std::copy(out.begin(), out.end(), lpszLongPath);
    lpszLongPath[out.size()] = 0;
    return static_cast<DWORD>(out.size());
}
