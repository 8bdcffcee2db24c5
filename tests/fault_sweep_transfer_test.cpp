// The fault sweep over downloads, uploads and the content columns. Whatever
// call fails, the source of a copy is whole unless a move completed, a move
// never takes its source without a complete copy, and a column value stays
// inside its buffer.
#include "fault_sweep.h"
#include "plugin/host_interface.h"
#include "presentation/content_exports.h"
#include "transfer/transfer_exports.h"

namespace {

constexpr std::uint64_t kSize = 1536 * 1024 + 77;  // three 640-KiB views

void ArrangeTransfer()
{
    winsim::AddVolume(u'D');
    winsim::AddDirectory(u"D:\\out");
    winsim::AddFile(u"C:\\d\\f.txt", "file data");
    winsim::AddPatternStream(u"C:\\d\\f.txt", u"big", kSize, 3);
    winsim::AddPatternFile(u"D:\\in\\up.bin", kSize, 4);
    FsInitW(7, HostProgress, HostLog, HostRequest);
}

bool PatternWhole(std::u16string_view path, std::uint32_t seed)
{
    if (!winsim::Exists(path) || winsim::Size(path) != kSize)
        return false;
    for (std::uint64_t at : {std::uint64_t{0}, kSize / 2, kSize - 64}) {
        std::string bytes = winsim::ReadBytes(path, at, 64);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (static_cast<std::uint8_t>(bytes[i]) != winsim::PatternByte(seed, at + i))
                return false;
    }
    return true;
}

// A copy from source to target: the source whole, or gone after a complete
// copy when moving.
std::string SourceKept(std::u16string_view source, std::uint32_t seed, std::u16string_view target, bool move,
                       long long result)
{
    if (PatternWhole(source, seed))
        return {};
    if (!winsim::Exists(source)) {
        if (!move)
            return "a copy took its source";
        if (!PatternWhole(target, seed))
            return "a move took its source without a complete copy";
        if (result != FS_FILE_OK)
            return "a move took its source but did not say FS_FILE_OK";
        return {};
    }
    return "the source was changed";
}

long long Get(const char16_t* remote, int flags)
{
    std::u16string r = remote;
    std::vector<WCHAR> local(1023, 0);
    std::u16string proposal = u"D:\\out\\proposal";
    std::copy(proposal.begin(), proposal.end(), local.begin());
    return FsGetFileW(r.data(), local.data(), flags, nullptr);
}

long long Put(const char16_t* remote, int flags)
{
    std::u16string l = u"D:\\in\\up.bin";
    std::vector<WCHAR> buffer(260, 0);
    std::u16string r = remote;
    std::copy(r.begin(), r.end(), buffer.begin());
    return FsPutFileW(l.data(), buffer.data(), flags);
}

const std::vector<long long> kTransferResults = {FS_FILE_OK, FS_FILE_NOTFOUND, FS_FILE_READERROR,
                                                 FS_FILE_WRITEERROR};

// A column value into a buffer between guards.
long long ColumnValue(const char16_t* name, int field, int maxlen)
{
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::max(maxlen, 0)) + 64, 0xA5);
    std::u16string n = name;
    int r = FsContentGetValueW(n.data(), field, 0, buffer.data() + 32, maxlen, 0);
    for (std::size_t i = 0; i < 32; ++i)
        if (buffer[i] != 0xA5 || buffer[buffer.size() - 1 - i] != 0xA5)
            return 1000;  // written outside the buffer
    return r;
}

std::vector<SweepScenario> TransferScenarios()
{
    std::vector<SweepScenario> s = {
        {"FsGetFileW of a named stream", ArrangeTransfer,
         [] { return Get(u"\\C:\\d\\f.txt\\:big:$DATA", 0); }, kTransferResults, 1,
         [](long long r, const winsim::Call*) {
             return SourceKept(u"C:\\d\\f.txt:big", 3, u"D:\\out\\big", false, r);
         }},
        {"FsGetFileW of a named stream with a move", ArrangeTransfer,
         [] { return Get(u"\\C:\\d\\f.txt\\:big:$DATA", FS_COPYFLAGS_MOVE); }, kTransferResults, 1,
         [](long long r, const winsim::Call*) {
             std::string k = SourceKept(u"C:\\d\\f.txt:big", 3, u"D:\\out\\big", true, r);
             if (winsim::Contents(u"C:\\d\\f.txt") != std::optional<std::string>("file data"))
                 k += " the stream's file was touched";
             return k;
         }},
        {"FsGetFileW of the unnamed data stream with a move", ArrangeTransfer,
         [] { return Get(u"\\C:\\d\\f.txt\\::$DATA", FS_COPYFLAGS_MOVE | FS_COPYFLAGS_OVERWRITE); },
         kTransferResults, 1,
         [](long long, const winsim::Call*) {
             return winsim::Contents(u"C:\\d\\f.txt") == std::optional<std::string>("file data") &&
                            PatternWhole(u"C:\\d\\f.txt:big", 3)
                        ? std::string()
                        : std::string("the file was touched");
         }},
        {"FsPutFileW into a directory with a move", ArrangeTransfer,
         [] { return Put(u"\\C:\\d\\up.bin", FS_COPYFLAGS_MOVE); }, kTransferResults, 1,
         [](long long r, const winsim::Call*) {
             return SourceKept(u"D:\\in\\up.bin", 4, u"C:\\d\\up.bin", true, r);
         }},
        {"FsPutFileW into a stream over an existing one", ArrangeTransfer,
         [] { return Put(u"\\C:\\d\\f.txt\\:big:$DATA", FS_COPYFLAGS_OVERWRITE); }, kTransferResults, 1,
         [](long long r, const winsim::Call*) {
             std::string k = SourceKept(u"D:\\in\\up.bin", 4, u"C:\\d\\f.txt:big", false, r);
             if (winsim::Contents(u"C:\\d\\f.txt") != std::optional<std::string>("file data"))
                 k += " the file's own data was touched";
             return k;
         }},
    };
    const std::vector<long long> kColumnResults = {ft_fieldempty, ft_fileerror, ft_nosuchfield, ft_numeric_32,
                                                   ft_boolean,    ft_stringw};
    for (int field = 0; field < 5; ++field) {
        for (int maxlen : {2, 4, 40, 1024}) {
            s.push_back({"FsContentGetValueW field " + std::to_string(field) + " into " + std::to_string(maxlen) +
                             " bytes",
                         [] {
                             winsim::AddFile(u"C:\\d\\f.txt", "file data");
                             winsim::AddStream(u"C:\\d\\f.txt", u"one", "1");
                             winsim::AddStream(u"C:\\d\\f.txt", u"two", "22");
                             FsInitW(7, HostProgress, HostLog, HostRequest);
                         },
                         [field, maxlen] { return ColumnValue(u"\\C:\\d\\f.txt", field, maxlen); }, kColumnResults, 0,
                         nullptr});
        }
    }
    return s;
}

TEST(FaultSweep, TransfersAndContentColumns)
{
    ExpectSweepsClean(TransferScenarios());
}

}  // namespace
