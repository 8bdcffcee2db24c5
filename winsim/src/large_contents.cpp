// The test API for contents too large to read whole: sizes, slices and what
// they cost in memory.
#include <winsim/winsim.h>

#include <stdexcept>

#include "pathname.h"
#include "sim.h"

using namespace winsim::detail;

namespace {

std::shared_ptr<Stream> MustFindStream(std::u16string_view path)
{
    ResolvedPath r = ResolveForTest(path);
    std::shared_ptr<Stream> s;
    if (r.error == 0 && r.node)
        s = r.hasStream ? r.node->FindNamed(r.streamName) : r.node->data;
    if (!s)
        throw std::invalid_argument("winsim: no such file or stream: " + Narrow(path));
    return s;
}

}  // namespace

namespace winsim {

std::uint64_t ResidentBytes(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    return MustFindStream(path)->data.ResidentBytes();
}

std::uint64_t Size(std::u16string_view path)
{
    WorldLock lock(WorldMutex());
    return MustFindStream(path)->data.Size();
}

std::string ReadBytes(std::u16string_view path, std::uint64_t offset, std::size_t count)
{
    WorldLock lock(WorldMutex());
    auto s = MustFindStream(path);
    std::uint64_t size = s->data.Size();
    if (offset >= size)
        return {};
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset)), '\0');
    s->data.Read(offset, bytes.data(), bytes.size());
    return bytes;
}

}  // namespace winsim
