// Environment variables and their expansion in "%NAME%" references.
#include <algorithm>

#include "calls.h"
#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

extern "C" DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize)
{
    WINSIM_ENTER("ExpandEnvironmentStringsW", ToU16(lpSrc), DWORD{0});
    if (!lpSrc)
        return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::u16string src(lpSrc), out;
    const auto& env = TheWorld().process.environment;
    for (std::size_t i = 0; i < src.size();) {
        if (src[i] == u'%') {
            auto close = src.find(u'%', i + 1);
            if (close != std::u16string::npos) {
                auto it = env.find(Upcase(src.substr(i + 1, close - i - 1)));
                if (it != env.end()) {
                    out += it->second.second;
                    i = close + 1;
                    continue;
                }
                // An unknown name stays as it is, percent signs included; the
                // closing one may open the next reference.
                out += src.substr(i, close - i);
                i = close;
                continue;
            }
        }
        out += src[i++];
    }
    DWORD needed = static_cast<DWORD>(out.size() + 1);
    if (lpDst && nSize >= needed) {
        std::copy(out.begin(), out.end(), lpDst);
        lpDst[out.size()] = 0;
    }
    return needed;
}

extern "C" BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue)
{
    WINSIM_ENTER("SetEnvironmentVariableW", ToU16(lpName), FALSE);
    if (!lpName || !*lpName)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto& env = TheWorld().process.environment;
    if (!lpValue)
        env.erase(Upcase(lpName));
    else
        env[Upcase(lpName)] = {lpName, lpValue};
    return TRUE;
}
