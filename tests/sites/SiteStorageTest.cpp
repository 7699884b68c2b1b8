#include "platform/MemorySettingsStore.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteList.h"
#include "sites/TempDirectory.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using platform::ReadResult;

namespace
{

const std::wstring kSites = L"Software\\FTPClient\\Sites";
const std::wstring kOptions = L"Software\\FTPClient\\SiteOptions";
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

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
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

TEST_F(SiteStorage, ValuesThatAreNotWholeRecordsAreCountedLeftOutAndKept)
{
    // A short value would leave fields at their defaults, a shifted one would
    // put wrong bytes in every field after the damage: neither is a record.
    SiteRecord full = Site(L"Short");
    full.SetHost(L"ftp.example.org");
    store.WriteBinary(kSites, L"Short", Scrambled(full, 1000));
    const std::vector<std::uint8_t> big(1793, 0xA7);
    store.WriteBinary(kSites, L"Big", big);
    store.WriteUInt32(kSites, L"Number", 5);
    store.WriteBinary(kSites, L"Empty", {});
    store.WriteBinary(kSites, L"Good", Scrambled(Site(L"Good"), 1792));
    // Options that are not "name=value" lines: the site still loads, with defaults.
    store.WriteBinary(kOptions, L"Good", {'n', 'o', '\n'});

    EXPECT_FALSE(list.LoadSites());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SiteAt(0)->Label(), L"Good");
    EXPECT_TRUE(list.OptionsAt(0)->Empty());
    EXPECT_EQ(list.Damage().skipped, 5);
    EXPECT_EQ(list.Damage().Text(), L"The settings could not be read in full: 5 entries were skipped.");

    // Told once, however often the same damage is read.
    list.TellDamageOnce();
    list.LoadSites();
    list.TellDamageOnce();
    EXPECT_EQ(testing_support::Boxes().Texts(), std::vector<std::wstring>{list.Damage().Text()});

    // What could not be read is left as it was, and a new site may not take its name.
    std::vector<std::uint8_t> still;
    EXPECT_EQ(store.ReadBinary(kSites, L"Big", still, 5000), ReadResult::Ok);
    EXPECT_EQ(still, big);
    EXPECT_EQ(list.AddSite(Site(L"big")), -1);
    EXPECT_TRUE(list.RemoveSite(L"Short", false));
    EXPECT_EQ(store.ValueNames(kSites).size(), 5u);
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
    platform::MemorySettingsStore damaged;
    CSiteList odd(damaged);
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

TEST_F(SiteStorage, OptionsTravelWithTheirSite)
{
    SiteOptions options;
    ASSERT_TRUE(options.Set("encoding", "utf-8"));
    ASSERT_TRUE(options.Set("x.future-name_2", "kept as it is \u00E9"));
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"", "v"}, {"Upper", "v"}, {"a=b", "v"}, {"n", "two\nlines"}, {"n", "\xC3("}})
        EXPECT_FALSE(options.Set(name, value)) << name;
    ASSERT_EQ(list.AddSite(Site(L"Home"), options), 0);
    ASSERT_EQ(list.AddSite(Site(L"Plain")), 1);

    // Read back by another list, as another program would.
    CSiteList other;
    ASSERT_TRUE(other.LoadSites());
    EXPECT_EQ(*other.OptionsAt(0), options);
    EXPECT_TRUE(other.OptionsAt(1)->Empty()); // none stored: all defaults
    EXPECT_EQ(store.ValueNames(kOptions), std::vector<std::wstring>{L"Home"});

    // A new label takes the options along; the old name keeps nothing.
    SiteRecord renamed = *list.SiteAt(0);
    renamed.SetLabel(L"Office");
    ASSERT_TRUE(list.UpdateSite(L"Home", *list.SiteAt(0), renamed));
    EXPECT_EQ(store.ValueNames(kOptions), std::vector<std::wstring>{L"Office"});
    EXPECT_EQ(*list.OptionsAt(0), options);

    SiteOptions changed = options;
    changed.Remove("encoding");
    ASSERT_TRUE(list.SetOptions(L"office", changed));
    other.LoadSites();
    EXPECT_EQ(*other.OptionsAt(other.FindIndex(L"Office")), changed);

    ASSERT_TRUE(list.RemoveSite(L"Office", true));
    EXPECT_TRUE(store.ValueNames(kOptions).empty());
    // Options of a site that is no longer stored are not stored either.
    EXPECT_FALSE(other.SetOptions(L"Office", options));
    EXPECT_TRUE(store.ValueNames(kOptions).empty());
}

// A site stored before sites had an encoding reads as Auto; an edit of the
// encoding is one change with the record, over what another program stored
// meanwhile, and an edit that leaves it alone keeps a value of a newer program.
TEST_F(SiteStorage, TheEncodingReadsAsAutoUntilSetAndEditsMergeOverTheStore)
{
    ASSERT_EQ(list.AddSite(Site(L"Old")), 0);
    CSiteList other;
    ASSERT_TRUE(other.LoadSites());
    EXPECT_EQ(other.OptionsAt(0)->Encoding(), nsFTP::NameEncoding::Auto);

    // Meanwhile another program stores an option of its own.
    SiteOptions theirs;
    ASSERT_TRUE(theirs.Set("x.other", "1"));
    ASSERT_TRUE(other.SetOptions(L"Old", theirs));

    SiteOptions before = *list.OptionsAt(0);
    SiteOptions after = before;
    after.SetEncoding(nsFTP::NameEncoding::Latin1);
    SiteRecord moved = *list.SiteAt(0);
    moved.SetParentGroupId(7);
    ASSERT_TRUE(list.UpdateSite(L"Old", *list.SiteAt(0), moved, before, after));
    ASSERT_TRUE(other.LoadSites());
    EXPECT_EQ(other.OptionsAt(0)->Encoding(), nsFTP::NameEncoding::Latin1);
    EXPECT_EQ(other.OptionsAt(0)->Get("x.other"), "1");
    EXPECT_EQ(other.SiteAt(0)->ParentGroupId(), 7);

    // A value this build does not know reads as Auto and survives an edit of
    // something else.
    SiteOptions newer = *other.OptionsAt(0);
    ASSERT_TRUE(newer.Set(SiteOptions::EncodingName, "koi8-r"));
    ASSERT_TRUE(other.SetOptions(L"Old", newer));
    ASSERT_TRUE(list.LoadSites());
    EXPECT_EQ(list.OptionsAt(0)->Encoding(), nsFTP::NameEncoding::Auto);
    SiteRecord renamed = *list.SiteAt(0);
    renamed.SetLabel(L"Older");
    ASSERT_TRUE(list.UpdateSite(L"Old", *list.SiteAt(0), renamed, *list.OptionsAt(0), *list.OptionsAt(0)));
    ASSERT_TRUE(other.LoadSites());
    EXPECT_EQ(other.OptionsAt(0)->Get(SiteOptions::EncodingName), "koi8-r");
    // Choosing Auto again leaves no value behind.
    after = *other.OptionsAt(0);
    after.SetEncoding(nsFTP::NameEncoding::Auto);
    EXPECT_EQ(after.Get(SiteOptions::EncodingName, "none"), "none");
}

// Two lists on one store stand for two programs sharing the settings file.
TEST_F(SiteStorage, AChangeAppliesToWhatTheStoreHoldsNow)
{
    CSiteList mine;
    CSiteList theirs;
    SiteRecord edited = Site(L"Edited");
    edited.SetHost(L"old.host");
    edited.SetPort(21);
    mine.AddSite(edited);
    mine.AddSite(Site(L"Unrelated"));
    mine.AddSite(Site(L"Removed"));
    mine.AddSite(Group(L"Busy", 0));
    ASSERT_TRUE(mine.LoadSites());

    // Meanwhile, the other program:
    ASSERT_TRUE(theirs.LoadSites());
    SiteRecord ported = *theirs.FindSite(L"Edited");
    ported.SetPort(2121);
    ASSERT_TRUE(theirs.UpdateSite(L"Edited", *theirs.FindSite(L"Edited"), ported));
    ASSERT_TRUE(theirs.RemoveSite(L"Removed", true));
    ASSERT_GE(theirs.AddSite(Site(L"Added")), 0);
    ASSERT_GE(theirs.AddSite(Group(L"Theirs", 1)), 0);
    ASSERT_GE(theirs.AddSite(Site(L"In busy", 0)), 0);

    // My edit changes the host only; their port stays.
    SiteRecord hosted = *mine.FindSite(L"Edited");
    hosted.SetHost(L"new.host");
    ASSERT_TRUE(mine.UpdateSite(L"Edited", *mine.FindSite(L"Edited"), hosted));
    EXPECT_EQ(mine.FindSite(L"Edited")->Port(), 2121);
    // A change of another site does not bring the removed one back.
    SiteRecord unrelated = *mine.FindSite(L"Unrelated");
    unrelated.SetLogin(L"me");
    ASSERT_TRUE(mine.UpdateSite(L"Unrelated", *mine.FindSite(L"Unrelated"), unrelated));
    // Their group took number 1: mine gets the next free one.
    const int group = mine.AddSite(Group(L"Mine", 1));
    ASSERT_GE(group, 0);
    EXPECT_EQ(mine.SiteAt(group)->GroupId(), 2);
    // A label they took, and a group they filled, are refused.
    SiteRecord clash = *mine.FindSite(L"Unrelated");
    clash.SetLabel(L"ADDED");
    EXPECT_FALSE(mine.UpdateSite(L"Unrelated", *mine.FindSite(L"Unrelated"), clash));
    EXPECT_EQ(mine.AddSite(Site(L"added")), -1);
    EXPECT_FALSE(mine.RemoveSite(L"Busy", true));
    EXPECT_EQ(
        testing_support::Boxes().Texts(),
        (std::vector<std::wstring>{L"A site with this label already exists.",
                                   L"A site with this label already exists.", L"The group is not empty."}));
    EXPECT_NE(mine.FindSite(L"Unrelated"), nullptr);
    EXPECT_NE(mine.FindSite(L"Busy"), nullptr);

    CSiteList now;
    ASSERT_TRUE(now.LoadSites());
    EXPECT_EQ(store.ValueNames(kSites), (std::vector<std::wstring>{L"Added", L"Busy", L"Edited", L"In busy",
                                                                   L"Mine", L"Theirs", L"Unrelated"}));
    EXPECT_EQ(now.FindSite(L"Edited")->Host(), L"new.host");
    EXPECT_EQ(now.FindSite(L"Edited")->Port(), 2121);
    EXPECT_EQ(now.FindSite(L"Unrelated")->Login(), L"me");
}

TEST_F(SiteStorage, ASaveThatFailsIsToldAndChangesNothing)
{
    ASSERT_EQ(list.AddSite(Site(L"Kept")), 0);
    const std::wstring failure = L"The settings file x could not be saved: No space left on device.";
    store.SetFailure(failure);

    EXPECT_EQ(list.AddSite(Site(L"New")), -1);
    SiteRecord renamed = *list.SiteAt(0);
    renamed.SetLabel(L"Renamed");
    EXPECT_FALSE(list.UpdateSite(L"Kept", *list.SiteAt(0), renamed));
    EXPECT_FALSE(list.RemoveSite(L"Kept", true));
    EXPECT_FALSE(list.SaveSite(L"Kept"));
    EXPECT_FALSE(SetTemporaryDirectory(store, L"/tmp/x"));
    // The Set Temp Directory command's form tells the failure itself.
    EXPECT_TRUE(SetTemporaryDirectory(L"/tmp/x"));
    EXPECT_EQ(testing_support::Boxes().Texts(), std::vector<std::wstring>(5, failure));

    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SiteAt(0)->Label(), L"Kept");
    store.SetFailure({});
    EXPECT_EQ(store.ValueNames(kSites), std::vector<std::wstring>{L"Kept"});
}

TEST(SiteStorageFile, DamagedFilesGiveUpNoReadableSite)
{
    struct Case
    {
        const char* what;
        // From the text of a good file with Alpha, Bravo and Charlie.
        std::function<std::string(std::string)> damage;
        std::vector<std::wstring> readable;
        bool reported;
        std::wstring saveFailure; // empty when a save still works
        mode_t mode = 0600;
        bool folder = false;
    };
    auto lineOf = [](const std::string& text, const std::string& label)
    { return text.find("sites\\" + label + "="); };
    auto garbage = [](std::size_t count)
    {
        std::mt19937 random(5);
        std::string bytes(count, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        return bytes;
    };
    const std::vector<Case> cases = {
        {"a truncated record",
         [&](std::string t) { return t.substr(0, lineOf(t, "Charlie") + 900); },
         {L"Alpha", L"Bravo"},
         true,
         {}},
        {"a flipped byte in a record",
         [&](std::string t)
         {
             t[t.find('\\', lineOf(t, "Bravo") + 20)] ^= 0x20;
             return t;
         },
         {L"Alpha", L"Charlie"},
         true,
         {}},
        {"a damaged section header",
         [](std::string t)
         {
             t[0] ^= 0x20;
             return t;
         },
         {L"Alpha", L"Bravo", L"Charlie"},
         true,
         {}},
        {"a section header turned into another name",
         [&](std::string t)
         {
             t[lineOf(t, "Bravo") - 3] ^= 0x03;
             return t;
         },
         {L"Alpha", L"Charlie"},
         true,
         {}},
        {"a few hundred bytes overwritten",
         [&](std::string t) { return t.replace(lineOf(t, "Bravo") + 2000, 300, garbage(300)); },
         {L"Alpha", L"Charlie"},
         true,
         {}},
        {"binary garbage between the lines",
         [&](std::string t) { return t.insert(lineOf(t, "Bravo") - 11, garbage(500) + "\n"); },
         {L"Alpha", L"Bravo", L"Charlie"},
         true,
         {}},
        {"an empty file", [](std::string) { return std::string(); }, {}, false, {}},
        {"a read-only file",
         [&](std::string t) { return t.insert(lineOf(t, "Bravo") - 11, "garbage\n"); },
         {L"Alpha", L"Bravo", L"Charlie"},
         true,
         L"the file is read-only",
         0400},
        {"a file that is a folder",
         [](std::string t) { return t; },
         {},
         true,
         L"it could not be read (Is a directory)",
         0600,
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        testing_support::ResetServices();
        testing_support::TempFolder folder;
        const std::filesystem::path file = folder / "FTPClient" / "FTPClient.ini";
        const QString path = QString::fromStdString(file.string());
        {
            platform::QSettingsStore store(path);
            CSiteList sites(store);
            for (const wchar_t* label : {L"Alpha", L"Bravo", L"Charlie"})
            {
                SiteRecord site = Site(label);
                site.SetHost(std::wstring(label) + L".example");
                ASSERT_GE(sites.AddSite(site), 0);
            }
        }
        const std::string damaged = c.damage(testing_support::ReadFile(file));
        std::filesystem::remove(file);
        if (c.folder)
            std::filesystem::create_directory(file);
        else
            testing_support::WriteFile(file, damaged);
        ::chmod(file.c_str(), c.mode);

        platform::QSettingsStore store(path);
        CSiteList list(store);
        EXPECT_EQ(list.LoadSites(), !c.reported);
        std::vector<std::wstring> labels;
        for (const SiteRecord& site : list.Sites())
            labels.push_back(site.Label());
        EXPECT_EQ(labels, c.readable);
        for (const SiteRecord& site : list.Sites())
            EXPECT_EQ(site.Host(), site.Label() + L".example");

        const platform::StoreDamage& damage = list.Damage();
        const std::wstring start = L"The settings file " + file.wstring();
        if (c.folder)
        {
            EXPECT_EQ(damage.Text(), start + L" could not be read: Is a directory.");
        }
        else if (c.reported)
        {
            EXPECT_GT(damage.skipped, 0);
            EXPECT_EQ(damage.Text(), start + L" could not be read in full: " +
                                         std::to_wstring(damage.skipped) +
                                         L" entries were skipped. A copy was kept as " + damage.copy + L".");
            EXPECT_EQ(testing_support::ReadFile(damage.copy), damaged);
            EXPECT_EQ(ModeOf(QString::fromStdWString(damage.copy)), 0600u);
        }
        else
        {
            EXPECT_FALSE(damage.Any());
        }

        SiteRecord delta = Site(L"Delta");
        delta.SetHost(L"Delta.example");
        const bool saved = list.AddSite(delta) >= 0;
        EXPECT_EQ(saved, c.saveFailure.empty());
        if (!saved)
        {
            EXPECT_EQ(testing_support::Boxes().Texts(),
                      std::vector<std::wstring>{start + L" could not be saved: " + c.saveFailure + L"."});
        }

        // Every site read before is still there; the copy is kept once.
        CSiteList again(store);
        again.LoadSites();
        for (const std::wstring& label : c.readable)
            EXPECT_NE(again.FindSite(label), nullptr) << platform::TextCodec::ToUtf8(label);
        EXPECT_EQ(again.FindSite(L"Delta") != nullptr, saved);
        std::size_t copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
            copies += entry.path().filename().string().find(".damaged-") != std::string::npos;
        EXPECT_EQ(copies, c.reported && !c.folder ? 1u : 0u);
        ::chmod(file.c_str(), 0700);
    }
}
