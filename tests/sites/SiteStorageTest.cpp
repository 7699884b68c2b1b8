#include "platform/MemorySettingsStore.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteList.h"
#include "sites/TempDirectory.h"
#include "support/TestServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

using platform::ReadResult;

namespace
{

const std::wstring kSites = L"Software\\FTPClient\\Sites";
const std::wstring kSettings = L"Software\\FTPClient\\Settings";

SiteRecord Site(const std::wstring& label, int parent = -1)
{
    SiteRecord r;
    r.SetLabel(label);
    r.SetParentGroupId(parent);
    return r;
}

SiteRecord Group(const std::wstring& label, int id)
{
    SiteRecord r;
    r.SetLabel(label);
    r.SetGroupId(id);
    return r;
}

std::vector<std::uint8_t> Scrambled(const SiteRecord& r, std::size_t length)
{
    std::vector<std::uint8_t> bytes(r.Bytes().begin(), r.Bytes().begin() + static_cast<long>(length));
    SiteRecord::Scramble(bytes.data(), bytes.size());
    return bytes;
}

class SiteStorage : public testing::Test
{
protected:
    platform::MemorySettingsStore& store = testing_support::Settings();
    CSiteList list; // on the process-wide store, as the site connection uses it
};

} // namespace

TEST_F(SiteStorage, StoredBytesDifferFromTheRecordByTheMaskEverywhere)
{
    SiteRecord r = Site(L"Home");
    r.SetPassword(L"secret");
    ASSERT_EQ(list.AddSite(r), 0);
    std::vector<std::uint8_t> stored;
    ASSERT_EQ(store.ReadBinary(kSites, L"Home", stored, 5000), ReadResult::Ok);
    ASSERT_EQ(stored.size(), 1792u);
    for (std::size_t i = 0; i < stored.size(); ++i)
        ASSERT_EQ(stored[i] ^ 0xA7, r.Bytes()[i]) << i;
    // The reserved run after the anonymous flag is stored as the mask itself.
    for (std::size_t i = 780; i < 988; ++i)
        ASSERT_EQ(stored[i], 0xA7) << i;

    CSiteList again;
    again.LoadSites();
    ASSERT_EQ(again.Count(), 1);
    EXPECT_EQ(*again.SiteAt(0), r);
}

TEST_F(SiteStorage, ShortValuesKeepTheDefaultsAndOversizedOrForeignOnesAreSkipped)
{
    SiteRecord full = Site(L"Short");
    full.SetKeepAlive(0);
    full.SetProxyPort(99);
    full.SetHost(L"ftp.example.org");
    store.WriteBinary(kSites, L"Short", Scrambled(full, 1000));

    std::vector<std::uint8_t> big(1793, 0xA7);
    store.WriteBinary(kSites, L"Big", big);
    store.WriteUInt32(kSites, L"Number", 5);
    store.WriteBinary(kSites, L"Empty", {});
    list.LoadSites();

    // Enumeration order: code point order of the names.
    ASSERT_EQ(list.Count(), 2);
    const SiteRecord* empty = list.SiteAt(0);
    EXPECT_EQ(*empty, SiteRecord()); // nothing read, all defaults
    const SiteRecord* shortOne = list.SiteAt(1);
    EXPECT_EQ(shortOne->Host(), L"ftp.example.org");
    EXPECT_EQ(shortOne->Timeout(), 60);
    EXPECT_EQ(shortOne->KeepAlive(), 1);  // offset 1184, past the stored bytes
    EXPECT_EQ(shortOne->ProxyPort(), 21); // default, not 99
    EXPECT_EQ(shortOne->GroupId(), -1);

    // The skipped value is left as it was.
    std::vector<std::uint8_t> still;
    EXPECT_EQ(store.ReadBinary(kSites, L"Big", still, 5000), ReadResult::Ok);
    EXPECT_EQ(still, big);
}

TEST_F(SiteStorage, LabelsAreUniqueIgnoringCase)
{
    ASSERT_EQ(list.AddSite(Site(L"Home")), 0);
    ASSERT_EQ(list.AddSite(Site(L"\u00C9cole")), 1);
    EXPECT_EQ(list.AddSite(Site(L"home")), -1);
    EXPECT_EQ(list.AddSite(Site(L"\u00E9COLE")), -1);
    const auto boxes = testing_support::Boxes().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"A site with this label already exists.");
    EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Error);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(store.ValueNames(kSites), (std::vector<std::wstring>{L"Home", L"\u00C9cole"}));

    EXPECT_EQ(list.FindSite(L"HOME"), list.SiteAt(0));
    EXPECT_EQ(list.FindSite(L"\u00E9cole"), list.SiteAt(1));
    EXPECT_EQ(list.FindSite(L"Hom"), nullptr);
    EXPECT_EQ(list.SiteAt(-1), nullptr);
    EXPECT_EQ(list.SiteAt(2), nullptr);
}

TEST_F(SiteStorage, RemovingWithTheFlagClearTouchesOnlyTheStore)
{
    list.AddSite(Site(L"a"));
    list.AddSite(Site(L"b"));
    list.RemoveSite(L"A", false);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(store.ValueNames(kSites), std::vector<std::wstring>{L"b"});

    list.RemoveSite(L"B", true);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SiteAt(0)->Label(), L"a");
    EXPECT_TRUE(store.ValueNames(kSites).empty());

    // Saving a label not in the list writes nothing.
    list.SaveSite(L"b");
    EXPECT_TRUE(store.ValueNames(kSites).empty());
}

TEST_F(SiteStorage, ALabelNamesOneStoredValueWhateverItsCase)
{
    list.AddSite(Site(L"Home"));
    // A copy of the value under another spelling, as another program might leave it.
    std::vector<std::uint8_t> bytes;
    store.ReadBinary(kSites, L"Home", bytes, 1792);
    store.WriteBinary(kSites, L"HOME", bytes);
    list.SiteAt(0)->SetHost(L"new.host");
    list.SaveSite(L"home");
    EXPECT_EQ(store.ValueNames(kSites), std::vector<std::wstring>{L"home"});
    list.RemoveSite(L"hOmE", false);
    EXPECT_TRUE(store.ValueNames(kSites).empty());
}

TEST(SiteStorageFile, ARenameKeepsEveryField)
{
    QTemporaryDir dir;
    platform::QSettingsStore file(dir.path() + QStringLiteral("/FTPClient.ini"));
    CSiteList list(file);
    SiteRecord r = Site(L"Old / name [1]", 4);
    r.SetHost(L"ftp.example.org");
    r.SetPort(2121);
    r.SetPassive(0);
    r.SetLogin(L"user");
    r.SetPassword(L"p\u00E4ss=word");
    r.SetAnonymous(1);
    r.SetTimeout(10);
    r.SetDirectory(L"/pub/\U0001F600");
    r.SetKeepAlive(0);
    r.SetProxyHost(L"proxy");
    r.SetProxyUser(L"pu");
    r.SetProxyPassword(L"pp");
    r.SetProxyPort(8021);
    r.SetProxyMode(5);
    ASSERT_EQ(list.AddSite(r), 0);

    list.RemoveSite(L"Old / name [1]", false);
    list.SiteAt(0)->SetLabel(L"  New\\name = \u00FCber  ");
    list.SaveSite(L"  New\\name = \u00FCber  ");

    CSiteList reloaded(file);
    reloaded.LoadSites();
    ASSERT_EQ(reloaded.Count(), 1);
    SiteRecord expected = r;
    expected.SetLabel(L"  New\\name = \u00FCber  ");
    EXPECT_EQ(*reloaded.SiteAt(0), expected);
}

TEST_F(SiteStorage, NextGroupNumberIsAlwaysAFreeValidNumber)
{
    EXPECT_EQ(list.NextGroupNumber(), 0);
    list.AddSite(Site(L"site", 9)); // sites do not count
    EXPECT_EQ(list.NextGroupNumber(), 0);
    list.AddSite(Group(L"g0", 0));
    list.AddSite(Group(L"g4", 4));
    EXPECT_EQ(list.NextGroupNumber(), 5);

    // Numbers from a damaged file: never -1 (that would make a site), never overflow.
    CSiteList odd(store);
    odd.AddSite(Group(L"neg", -7));
    EXPECT_EQ(odd.NextGroupNumber(), 0);
    odd.AddSite(Group(L"top", INT_MAX));
    odd.AddSite(Group(L"zero", 0));
    odd.AddSite(Group(L"one", 1));
    EXPECT_EQ(odd.NextGroupNumber(), 2);
}

TEST(TempDirectory, StoresUtf16UnitsAndOneZeroByte)
{
    auto& store = testing_support::Settings();
    ASSERT_TRUE(SetTemporaryDirectory(L"C:\\t"));
    std::vector<std::uint8_t> data;
    ASSERT_EQ(store.ReadBinary(kSettings, L"Tep", data, 8192), ReadResult::Ok);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{'C', 0, ':', 0, '\\', 0, 't', 0, 0}));
    EXPECT_EQ(TemporaryDirectory(), L"C:\\t");

    ASSERT_TRUE(SetTemporaryDirectory(L"/tmp/\U0001F600"));
    EXPECT_EQ(TemporaryDirectory(), L"/tmp/\U0001F600");
    store.ReadBinary(kSettings, L"Tep", data, 8192);
    EXPECT_EQ(data.size(), 2u * 7 + 1);
}

TEST(TempDirectory, FallsBackToTheSystemFolderWhenNothingUsableIsStored)
{
    auto& store = testing_support::Settings();
    const std::wstring system = QDir::tempPath().toStdWString();
    EXPECT_EQ(TemporaryDirectory(), system); // missing
    ASSERT_TRUE(SetTemporaryDirectory(L""));
    EXPECT_EQ(TemporaryDirectory(), system); // empty
    store.WriteBinary(kSettings, L"Tep", std::vector<std::uint8_t>(8193, 'a'));
    EXPECT_EQ(TemporaryDirectory(), system); // too long for the buffer
    store.WriteUInt32(kSettings, L"Tep", 7);
    EXPECT_EQ(TemporaryDirectory(), system); // not binary
    store.WriteBinary(kSettings, L"Tep", {'x'});
    EXPECT_EQ(TemporaryDirectory(), system); // half a unit
}

TEST(TempDirectory, LongValuesStayWithinTheBuffer)
{
    auto& store = testing_support::Settings();
    // The longest path that fits: 4095 units, 8191 bytes.
    const std::wstring longest(4095, L'p');
    ASSERT_TRUE(SetTemporaryDirectory(longest));
    std::vector<std::uint8_t> data;
    store.ReadBinary(kSettings, L"Tep", data, 8192);
    EXPECT_EQ(data.size(), 8191u);
    EXPECT_EQ(TemporaryDirectory(), longest);

    // One more could not be read back: refused, the old value stays.
    EXPECT_FALSE(SetTemporaryDirectory(longest + L"p"));
    EXPECT_EQ(TemporaryDirectory(), longest);

    // A full buffer without a zero unit, written by something else.
    std::vector<std::uint8_t> full;
    for (int i = 0; i < 4096; ++i)
        full.insert(full.end(), {'q', 0});
    store.WriteBinary(kSettings, L"Tep", full);
    EXPECT_EQ(TemporaryDirectory(), std::wstring(4095, L'q'));
}
