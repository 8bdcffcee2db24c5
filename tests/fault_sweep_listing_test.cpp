// The fault sweep over the listing: the root's drives, a directory with its
// own streams and entries, and a file's streams, each listed to the end and
// closed as the host does. Whatever call fails, the listing ends with a
// handle or INVALID_HANDLE_VALUE, never more entries than there are, and
// nothing is left open once the host has closed it.
#include "fault_sweep.h"
#include "listing/listing.h"

namespace {

void ArrangeListing()
{
    winsim::AddVolume(u'D');
    winsim::AddVolume(u'E', u"FAT32");
    winsim::AddFile(u"C:\\d\\f.txt", "file data");
    winsim::AddStream(u"C:\\d\\f.txt", u"one", "1");
    winsim::AddStream(u"C:\\d\\f.txt", u"two", "22");
    winsim::AddStream(u"C:\\d", u"dirstream", "d");
    winsim::AddDirectory(u"C:\\d\\sub");
    winsim::AddFile(u"C:\\d\\g.txt", "g");
    FsInitW(7, HostProgress, HostLog, HostRequest);
}

// Lists a path to its end as the host does; the number of entries, or -1
// when the listing could not start. More than `most` entries is an error.
long long ListAll(const char16_t* path, long long most)
{
    std::u16string p = path;
    WIN32_FIND_DATAW data{};
    HANDLE h = FsFindFirstW(p.data(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    long long n = 1;
    while (FsFindNextW(h, &data) && n <= most)
        ++n;
    FsFindClose(h);
    return n > most ? 1000 + n : n;
}

std::vector<long long> UpTo(long long n)
{
    std::vector<long long> v = {-1};
    for (long long i = 1; i <= n; ++i)
        v.push_back(i);
    return v;
}

std::vector<SweepScenario> ListingScenarios()
{
    return {
        {"FsFindFirstW and FsFindNextW over the root", ArrangeListing, [] { return ListAll(u"\\", 5); }, UpTo(5), 0,
         nullptr},
        {"FsFindFirstW and FsFindNextW over a directory", ArrangeListing, [] { return ListAll(u"\\C:\\d", 10); },
         UpTo(10), 0, nullptr},
        {"FsFindFirstW and FsFindNextW over a file's streams", ArrangeListing,
         [] { return ListAll(u"\\C:\\d\\f.txt", 6); }, UpTo(6), 0, nullptr},
        {"FsFindFirstW over a drive", ArrangeListing, [] { return ListAll(u"\\C:", 10); }, UpTo(10), 0, nullptr},
    };
}

TEST(FaultSweep, Listing)
{
    ExpectSweepsClean(ListingScenarios());
}

}  // namespace
