// winsim's drive letters as Windows answers for them: the DOS device targets,
// the volume query by kind of drive, and the error mode.
#include "host_fixture.h"

namespace {

std::u16string Targets(const char16_t* device, DWORD& result, DWORD& error, DWORD capacity = 300)
{
    std::vector<WCHAR> buffer(capacity + 2, u'#');
    SetLastError(0xdeadbeef);
    result = QueryDosDeviceW(device, buffer.data(), capacity);
    error = GetLastError();
    return result ? std::u16string(buffer.data(), result) : std::u16string();
}

TEST_F(PluginTest, QueryDosDeviceNamesWhatIsBehindEachLetter)
{
    winsim::AddDirectory(u"C:\\data");
    winsim::AddSubstDrive(u'S', u"C:\\data");
    winsim::AddNetworkDrive(u'N', u"\\\\server\\share");
    winsim::AddEmptyRemovableDrive(u'R');
    const struct {
        const char16_t* device;
        std::u16string targets;  // with the zero after each and the list's zero
        DWORD error;
    } cases[] = {
        {u"C:", std::u16string(u"\\Device\\HarddiskVolume3\0\0", 25), 0xdeadbeef},
        {u"c:", std::u16string(u"\\Device\\HarddiskVolume3\0\0", 25), 0xdeadbeef},
        {u"S:", std::u16string(u"\\??\\C:\\data\0\0", 13), 0xdeadbeef},
        {u"N:", std::u16string(u"\\Device\\LanmanRedirector\\;N:0000000000012abc\\server\\share\0\0", 59), 0xdeadbeef},
        {u"R:", std::u16string(u"\\Device\\CdRom0\0\0", 16), 0xdeadbeef},
        {u"Q:", u"", ERROR_FILE_NOT_FOUND},
        {u"C:\\", u"", ERROR_FILE_NOT_FOUND},
        {u"C", u"", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        DWORD result = 0, error = 0;
        EXPECT_EQ(Targets(c.device, result, error), c.targets) << U8(c.device);
        EXPECT_EQ(result, c.targets.size()) << U8(c.device);
        if (c.error != 0xdeadbeef) {
            EXPECT_EQ(error, c.error) << U8(c.device);
        }
    }
    DWORD result = 0, error = 0;
    Targets(u"C:", result, error, 10);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(PluginTest, GetVolumeInformationReportsEachVolumesFileSystem)
{
    winsim::AddVolume(u'D', u"FAT32");
    winsim::AddVolume(u'E', u"ntfs");
    winsim::AddDirectory(u"C:\\data");
    winsim::AddSubstDrive(u'S', u"C:\\data");
    winsim::AddEmptyRemovableDrive(u'R');
    SetErrorMode(SEM_FAILCRITICALERRORS);
    const struct {
        const char16_t* root;
        bool ok;
        const char16_t* fileSystem;
        DWORD error;
    } cases[] = {
        {u"C:\\", true, u"NTFS", 0},       {u"D:\\", true, u"FAT32", 0},
        {u"E:\\", true, u"ntfs", 0},       {u"S:\\", true, u"NTFS", 0},
        {u"R:\\", false, u"", ERROR_NOT_READY}, {u"Q:\\", false, u"", ERROR_PATH_NOT_FOUND},
        {u"C:", false, u"", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        WCHAR fs[16] = {};
        WCHAR label[261] = {};
        DWORD serial = 0, length = 0, flags = 0;
        SetLastError(0xdeadbeef);
        BOOL ok = GetVolumeInformationW(c.root, label, 261, &serial, &length, &flags, fs, 16);
        EXPECT_EQ(ok != FALSE, c.ok) << U8(c.root);
        EXPECT_EQ(std::u16string(fs), c.fileSystem) << U8(c.root);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error) << U8(c.root);
        }
    }
    EXPECT_EQ(SetErrorMode(0), SEM_FAILCRITICALERRORS);
}

TEST_F(PluginTest, AnEmptyDriveQueriedWithCriticalErrorsOnIsReported)
{
    winsim::AddEmptyRemovableDrive(u'R');
    WCHAR fs[16];
    EXPECT_FALSE(GetVolumeInformationW(u"R:\\", nullptr, 0, nullptr, nullptr, nullptr, fs, 16));
    std::vector<std::string> leaks = winsim::Leaks();
    ASSERT_EQ(leaks.size(), 1u);
    EXPECT_NE(leaks[0].find("critical-error dialog"), std::string::npos) << leaks[0];
    // Nothing left to release: start the world again for TearDown.
    OnProcessDetach();
    winsim::Reset();
    OnProcessAttach(winsim::PluginModule());
}

}  // namespace
