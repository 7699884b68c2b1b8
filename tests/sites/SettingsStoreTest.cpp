#include "ChildProcess.h"
#include "platform/MemorySettingsStore.h"
#include "platform/TextCodec.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteList.h"
#include "sites/TempDirectory.h"
#include "support/FileBytes.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

using platform::ISettingsStore;
using platform::MemorySettingsStore;
using platform::QSettingsStore;
using platform::ReadResult;
using testing_support::RunInChild;

namespace
{

const std::wstring kKey = L"Software\\FTPClient\\Sites";

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Both stores keep one contract; the file store runs on a real INI file.
struct MemoryFactory
{
    std::unique_ptr<ISettingsStore> Make() { return std::make_unique<MemorySettingsStore>(); }
};

struct FileFactory
{
    QTemporaryDir dir;
    std::unique_ptr<ISettingsStore> Make()
    {
        return std::make_unique<QSettingsStore>(dir.path() + QStringLiteral("/FTPClient/FTPClient.ini"));
    }
};

template <typename Factory> class SettingsStoreContract : public testing::Test
{
protected:
    Factory factory;
    std::unique_ptr<ISettingsStore> store = factory.Make();
};

using Factories = testing::Types<MemoryFactory, FileFactory>;
TYPED_TEST_SUITE(SettingsStoreContract, Factories);

} // namespace

TYPED_TEST(SettingsStoreContract, ReadsTellMissingTooLongAndWrongKindApart)
{
    auto& s = *this->store;
    std::vector<std::uint8_t> data = Bytes({9});
    EXPECT_EQ(s.ReadBinary(kKey, L"none", data, 100), ReadResult::Missing);
    EXPECT_TRUE(data.empty());

    const auto value = Bytes({0, 1, 0xA7, 0xFF, 0});
    ASSERT_TRUE(s.WriteBinary(kKey, L"v", value));
    EXPECT_EQ(s.ReadBinary(kKey, L"v", data, 5), ReadResult::Ok);
    EXPECT_EQ(data, value);
    EXPECT_EQ(s.ReadBinary(kKey, L"v", data, 4), ReadResult::MoreData);
    EXPECT_TRUE(data.empty());

    std::uint32_t number = 0;
    EXPECT_EQ(s.ReadUInt32(kKey, L"v", number), ReadResult::WrongType);
    ASSERT_TRUE(s.WriteUInt32(kKey, L"n", 0xFFFFFFFFu));
    EXPECT_EQ(s.ReadUInt32(kKey, L"n", number), ReadResult::Ok);
    EXPECT_EQ(number, 0xFFFFFFFFu);
    EXPECT_EQ(s.ReadBinary(kKey, L"n", data, 100), ReadResult::WrongType);

    // An empty binary value is a value, not a missing one.
    ASSERT_TRUE(s.WriteBinary(kKey, L"empty", {}));
    EXPECT_EQ(s.ReadBinary(kKey, L"empty", data, 0), ReadResult::Ok);

    EXPECT_TRUE(s.DeleteValue(kKey, L"v"));
    EXPECT_FALSE(s.DeleteValue(kKey, L"v"));
    EXPECT_EQ(s.ReadBinary(kKey, L"v", data, 100), ReadResult::Missing);
}

TYPED_TEST(SettingsStoreContract, KeysIgnoreCaseButKeepTheirValuesApart)
{
    auto& s = *this->store;
    EXPECT_FALSE(s.OpenKey(L"SOFTWARE\\FTPClient\\Layout", false));
    ASSERT_TRUE(s.OpenKey(L"SOFTWARE\\FTPClient\\Layout", true));
    ASSERT_TRUE(s.WriteUInt32(L"SOFTWARE\\FTPClient\\Layout", L"Mode", 3));
    EXPECT_TRUE(s.OpenKey(L"software\\ftpclient\\layout", false));
    std::uint32_t mode = 0;
    EXPECT_EQ(s.ReadUInt32(L"Software\\FTPClient\\Layout", L"Mode", mode), ReadResult::Ok);
    EXPECT_EQ(mode, 3u);

    ASSERT_TRUE(s.WriteBinary(kKey, L"Mode", Bytes({1})));
    ASSERT_TRUE(s.WriteBinary(L"Software\\FTPClient\\Settings", L"Tep", Bytes({1})));
    EXPECT_EQ(s.ValueNames(kKey), std::vector<std::wstring>{L"Mode"});
    EXPECT_EQ(s.ValueNames(L"Software\\FTPClient\\Settings"), std::vector<std::wstring>{L"Tep"});
    EXPECT_EQ(s.ValueNames(L"Software\\FTPClient"), std::vector<std::wstring>{});
    EXPECT_EQ(s.ReadUInt32(L"Software\\FTPClient\\Layout", L"Mode", mode), ReadResult::Ok);
}

TYPED_TEST(SettingsStoreContract, AnyNameRoundTripsAndIsListedInCodePointOrder)
{
    auto& s = *this->store;
    const std::vector<std::wstring> names = {L"a/b",
                                             L"a\\b",
                                             L"x=y",
                                             L"[General]",
                                             L"]",
                                             L" lead",
                                             L"trail ",
                                             L"caf\u00E9",
                                             L"\u20AC",
                                             L"\U0001F600",
                                             L"%41",
                                             L"_41",
                                             L"_",
                                             L"",
                                             L"a;b#c",
                                             L"q\"u'o",
                                             L"line\nbreak",
                                             L"General",
                                             L"Home",
                                             L"home",
                                             std::wstring(95, L'x'),
                                             L"@ByteArray(x)",
                                             L"..",
                                             L"-"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(s.WriteBinary(kKey, names[i], Bytes({static_cast<int>(i)})));

    std::vector<std::wstring> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(s.ValueNames(kKey), sorted);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        ASSERT_EQ(s.ReadBinary(kKey, names[i], data, 10), ReadResult::Ok) << i;
        EXPECT_EQ(data, Bytes({static_cast<int>(i)})) << i;
    }
    EXPECT_TRUE(s.DeleteValue(kKey, L"a/b"));
    EXPECT_EQ(s.ReadBinary(kKey, L"a\\b", data, 10), ReadResult::Ok);
    EXPECT_EQ(s.ValueNames(kKey).size(), names.size() - 1);
}

class SettingsFile : public testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/FTPClient");
    QString path = folder + QStringLiteral("/FTPClient.ini");
};

TEST_F(SettingsFile, IsReadableByItsOwnerOnlyAndReplacedWhole)
{
    const mode_t old = ::umask(0);
    QSettingsStore store(path);
    ::umask(old);
    EXPECT_TRUE(store.IsWritable());
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(path), 0600u);

    struct stat before = {};
    ::stat(QFile::encodeName(path).constData(), &before);
    ASSERT_TRUE(store.WriteBinary(kKey, L"secret", Bytes({1, 2, 3})));
    struct stat after = {};
    ::stat(QFile::encodeName(path).constData(), &after);
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    // Saved through a new file renamed over the old one, never rewritten in place;
    // beside it only the lock file every change holds.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("FTPClient.ini"), QStringLiteral("FTPClient.ini.lck")}));
    EXPECT_EQ(ModeOf(store.LockFilePath()), 0600u);
}

TEST_F(SettingsFile, AnOpenFileLeftByOthersIsClosedToGroupAndWorld)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[software]\n");
    file.close();
    ::chmod(QFile::encodeName(path).constData(), 0644);
    QSettingsStore store(path);
    EXPECT_EQ(ModeOf(path), 0600u);
    ASSERT_TRUE(store.WriteUInt32(kKey, L"n", 1));
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST_F(SettingsFile, DefaultLocationFollowsXdgConfigHome)
{
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/some/where", 1);
    EXPECT_EQ(QSettingsStore::DefaultFilePath(), QStringLiteral("/some/where/FTPClient/FTPClient.ini"));
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(QSettingsStore::DefaultFilePath(),
              QDir::homePath() + QStringLiteral("/.config/FTPClient/FTPClient.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(QSettingsStore::DefaultFilePath(),
              QDir::homePath() + QStringLiteral("/.config/FTPClient/FTPClient.ini"));
    if (saved)
        ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
}

TEST_F(SettingsFile, AStoreThatCannotBeCreatedWritesNothingAndSaysSo)
{
    // A plain file where the folder should be.
    QFile blocker(dir.path() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettingsStore store(blocker.fileName() + QStringLiteral("/FTPClient.ini"));
    EXPECT_FALSE(store.IsWritable());
    EXPECT_FALSE(store.OpenKey(kKey, true));
    EXPECT_FALSE(store.WriteBinary(kKey, L"a", Bytes({1})));
    EXPECT_FALSE(store.WriteUInt32(kKey, L"a", 1));
    EXPECT_TRUE(store.ValueNames(kKey).empty());

    CSiteList sites(store);
    sites.LoadSites();
    EXPECT_EQ(sites.Count(), 0);
}

TEST_F(SettingsFile, DamagedOrHandEditedLinesAreSkippedAndTheRestStillWorks)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[software]\n"
               "ftpclient\\sites\\Good=@ByteArray(abc)\n"
               "ftpclient\\sites\\Hand Edited=@ByteArray(abc)\n"
               "ftpclient\\sites\\Broken=@ByteArray(\\xZZ\n"
               "ftpclient\\sites\\lower_e9=@ByteArray(x)\n"
               "ftpclient\\layout\\Count=12abc\n"
               "\x01\x02garbage\n[[[\n=novalue\n");
    file.close();
    QSettingsStore store(path);
    // Keys we would not have written are left out rather than misread.
    EXPECT_EQ(store.ValueNames(kKey), (std::vector<std::wstring>{L"Broken", L"Good"}));
    std::vector<std::uint8_t> data;
    EXPECT_EQ(store.ReadBinary(kKey, L"Good", data, 10), ReadResult::Ok);
    EXPECT_EQ(store.ReadBinary(kKey, L"Broken", data, 10), ReadResult::WrongType);
    std::uint32_t n = 0;
    EXPECT_EQ(store.ReadUInt32(L"Software\\FTPClient\\Layout", L"Count", n), ReadResult::WrongType);
    ASSERT_TRUE(store.WriteBinary(kKey, L"New", Bytes({1})));
    EXPECT_EQ(store.ReadBinary(kKey, L"New", data, 10), ReadResult::Ok);
}

TEST_F(SettingsFile, WhatOneProcessWritesAnotherReadsAtOnce)
{
    QSettingsStore store(path);
    ASSERT_TRUE(store.WriteBinary(kKey, L"mine", Bytes({1})));
    std::vector<std::uint8_t> data;
    EXPECT_EQ(store.ReadBinary(kKey, L"theirs", data, 10), ReadResult::Missing);

    const QString file = path;
    ASSERT_TRUE(RunInChild(
        [file]
        {
            QSettingsStore other(file);
            std::vector<std::uint8_t> seen;
            return other.ReadBinary(kKey, L"mine", seen, 10) == ReadResult::Ok &&
                   other.WriteBinary(kKey, L"theirs", Bytes({2})) && other.DeleteValue(kKey, L"mine");
        }));
    EXPECT_EQ(store.ReadBinary(kKey, L"theirs", data, 10), ReadResult::Ok);
    EXPECT_EQ(data, Bytes({2}));
    EXPECT_EQ(store.ValueNames(kKey), std::vector<std::wstring>{L"theirs"});
}

TEST_F(SettingsFile, AChangeWaitsForAnotherAndGivesUpInTime)
{
    QSettingsStore store(path);
    ASSERT_TRUE(store.WriteBinary(kKey, L"before", Bytes({1})));
    const QByteArray lockFile = QFile::encodeName(store.LockFilePath());

    // Another program holds the lock for a moment: the change waits for it.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = testing_support::StartChild(
        [&]
        {
            const int fd = ::open(lockFile.constData(), O_RDWR);
            const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
            ::write(ready[1], "x", 1);
            ::usleep(300000);
            return locked;
        });
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(store.WriteBinary(kKey, L"waited", Bytes({2})));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_TRUE(testing_support::WaitChild(holder));
    ::close(ready[0]);
    ::close(ready[1]);

    // One that keeps it too long: the change fails and says why.
    const int held = ::open(lockFile.constData(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    store.SetLockTimeout(std::chrono::milliseconds(200));
    const auto result =
        store.Change([](ISettingsStore& v) { return v.WriteBinary(kKey, L"late", Bytes({3})); });
    ::close(held);
    EXPECT_EQ(result.status, platform::ChangeResult::Failed);
    EXPECT_EQ(result.error,
              L"The settings file " + path.toStdWString() +
                  L" could not be saved: another program held its lock for more than 0.2 seconds.");
    EXPECT_EQ(store.ValueNames(kKey), (std::vector<std::wstring>{L"before", L"waited"}));
}

TEST_F(SettingsFile, ASaveThatFailsLeavesTheFileAsItWasAndSaysWhy)
{
    struct Case
    {
        const char* what;
        std::function<void()> prepare;
        std::function<void()> limit; // in the writing process
        std::wstring reason;
    };
    const std::string file = QFile::encodeName(path).toStdString();
    const std::vector<Case> cases = {
        // As a full disk would: the new file cannot be written whole.
        {"a write cut short", [] {},
         []
         {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit small = {4096, 4096};
             ::setrlimit(RLIMIT_FSIZE, &small);
         },
         L"File too large"},
        {"a read-only file", [&] { ::chmod(file.c_str(), 0400); }, [] {}, L"the file is read-only"},
        {"a file that is a folder",
         [&]
         {
             std::filesystem::remove(file);
             std::filesystem::create_directory(file);
         },
         [] {}, L"it could not be read (Is a directory)"},
    };
    for (const Case& c : cases)
    {
        std::filesystem::remove_all(folder.toStdString());
        {
            QSettingsStore store(path);
            ASSERT_TRUE(store.WriteBinary(kKey, L"kept", Bytes({1, 2, 3})));
        }
        c.prepare();
        auto contents = [&] {
            return std::filesystem::is_directory(file) ? std::string("a folder")
                                                       : testing_support::ReadFile(file);
        };
        const std::string before = contents();
        const QString where = path;
        EXPECT_TRUE(RunInChild(
            [&]
            {
                c.limit();
                QSettingsStore store(where);
                const auto result =
                    store.Change([](ISettingsStore& v)
                                 { return v.WriteBinary(kKey, L"big", std::vector<std::uint8_t>(8192, 7)); });
                const bool said = result.status == platform::ChangeResult::Failed &&
                                  result.error == L"The settings file " + where.toStdWString() +
                                                      L" could not be saved: " + c.reason + L".";
                if (!said)
                    std::fprintf(stderr, "%ls\n", result.error.c_str());
                return said;
            }))
            << c.what;
        EXPECT_EQ(contents(), before) << c.what;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
                  (QStringList{QStringLiteral("FTPClient.ini"), QStringLiteral("FTPClient.ini.lck")}))
            << c.what;
    }
}

TEST_F(SettingsFile, LeftoversOfAWriterThatDiedGoWithTheNextChange)
{
    QSettingsStore store(path);
    for (const char* name : {"FTPClient.ini.tmp-a1b2c3", "FTPClient.ini.damaged-00000000000000ff.tmp-x9y8z7",
                             "FTPClient.ini.damaged-00000000000000ff", "other.tmp-abc"})
        testing_support::WriteFile(folder.toStdString() + "/" + name, "left");
    ASSERT_TRUE(store.WriteUInt32(kKey, L"n", 1));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"FTPClient.ini", "FTPClient.ini.damaged-00000000000000ff", "FTPClient.ini.lck",
                           "other.tmp-abc"}));
}

TEST_F(SettingsFile, AWriterKilledAtAnyMomentLeavesEverySiteReadable)
{
    {
        QSettingsStore store(path);
        CSiteList sites(store);
        for (int i = 0; i < 5; ++i)
        {
            SiteRecord record;
            record.SetLabel(L"site " + std::to_wstring(i));
            record.SetHost(L"host" + std::to_wstring(i));
            ASSERT_GE(sites.AddSite(record), 0);
        }
    }
    QSettingsStore reader(path);
    CSiteList before(reader);
    ASSERT_TRUE(before.LoadSites());
    std::mt19937 random(13);
    const QString file = path;
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        // The writer adds and removes a site of its own without end, so the
        // kill finds it anywhere: reading, writing, renaming.
        const pid_t writer = testing_support::StartChild(
            [file, attempt]
            {
                QSettingsStore store(file);
                CSiteList sites(store);
                SiteRecord record;
                record.SetLabel(L"passing " + std::to_wstring(attempt));
                for (;;)
                {
                    sites.LoadSites();
                    sites.AddSite(record);
                    sites.RemoveSite(record.Label(), true);
                }
                return true;
            });
        ::usleep(2000 + random() % 40000);
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);

        CSiteList after(reader);
        ASSERT_TRUE(after.LoadSites())
            << attempt << ": " << platform::TextCodec::ToUtf8(after.Damage().Text());
        ASSERT_GE(after.Count(), before.Count()) << attempt;
        for (const SiteRecord& site : before.Sites())
            ASSERT_NE(after.FindSite(site.Label()), nullptr) << attempt;
    }
    // The next change clears what a killed writer left behind.
    ASSERT_TRUE(reader.WriteUInt32(kKey, L"n", 1));
    EXPECT_EQ(QDir(folder).entryList(QStringList{QStringLiteral("*.tmp-*")}, QDir::Files), QStringList{});
}

TEST_F(SettingsFile, TwoProgramsAddingSitesAtOnceLoseNothing)
{
    constexpr int perProcess = 40;
    const QString file = path;
    auto writer = [file](wchar_t tag)
    {
        return [file, tag]
        {
            QSettingsStore store(file);
            CSiteList sites(store);
            for (int i = 0; i < perProcess; ++i)
            {
                sites.LoadSites();
                SiteRecord record;
                record.SetLabel(std::wstring(1, tag) + L" site " + std::to_wstring(i));
                record.SetHost(L"host" + std::to_wstring(i));
                record.SetPort(2000 + i);
                if (sites.AddSite(record) < 0)
                    return false;
            }
            return true;
        };
    };
    const pid_t a = testing_support::StartChild(writer(L'A'));
    const pid_t b = testing_support::StartChild(writer(L'B'));
    // The window's layout and the temporary folder, saved meanwhile, take
    // nothing away either.
    const pid_t layout = testing_support::StartChild(
        [file]
        {
            QSettingsStore store(file);
            bool ok = true;
            for (std::uint32_t i = 0; i < perProcess; ++i)
                ok = ok && store.WriteUInt32(L"SOFTWARE\\FTPClient\\Layout", L"ToolBar", i) &&
                     store.WriteBinary(L"SOFTWARE\\FTPClient\\Layout", L"View",
                                       Bytes({static_cast<int>(i)})) &&
                     SetTemporaryDirectory(store, L"/tmp/t" + std::to_wstring(i));
            return ok;
        });
    EXPECT_TRUE(testing_support::WaitChild(a));
    EXPECT_TRUE(testing_support::WaitChild(b));
    EXPECT_TRUE(testing_support::WaitChild(layout));

    QSettingsStore store(path);
    CSiteList sites(store);
    sites.LoadSites();
    ASSERT_EQ(sites.Count(), 2 * perProcess);
    for (const wchar_t tag : {L'A', L'B'})
        for (int i = 0; i < perProcess; ++i)
        {
            const SiteRecord* record = sites.FindSite(std::wstring(1, tag) + L" site " + std::to_wstring(i));
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->Host(), L"host" + std::to_wstring(i));
            EXPECT_EQ(record->Port(), 2000 + i);
        }
    std::uint32_t toolBar = 0;
    EXPECT_EQ(store.ReadUInt32(L"Software\\FTPClient\\Layout", L"ToolBar", toolBar), ReadResult::Ok);
    EXPECT_EQ(toolBar, perProcess - 1u);
    EXPECT_EQ(TemporaryDirectory(store), L"/tmp/t" + std::to_wstring(perProcess - 1));
    EXPECT_EQ(ModeOf(path), 0600u);
}
