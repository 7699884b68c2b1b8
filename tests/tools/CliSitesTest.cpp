// tessel-cli sites: the stored sites of the real settings file, each call a
// process of its own, and a stored site connected to a real server.
#include "support/FileBytes.h"
#include "support/ProcessRunner.h"
#include "support/PyFtpdServer.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing_support::ProcessResult;
using testing_support::ProcessRunner;
namespace fs = std::filesystem;

namespace
{

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class CliSites : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tessel-cli-sites-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_config = pattern;
    }
    void TearDown() override { fs::remove_all(m_config); }

    ProcessResult Cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), TESSEL_CLI);
        return ProcessRunner::Run(args, "", {{"XDG_CONFIG_HOME", m_config}, {"HOME", m_config}});
    }

    std::vector<std::string> Listed()
    {
        const auto result = Cli({"sites", "list"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return Lines(result.out);
    }

    fs::path SettingsFile() const { return fs::path(m_config) / "FTPClient" / "FTPClient.ini"; }

    std::string m_config;
};

const char* const HomeLine = "{\"label\":\"Home\",\"host\":\"ftp.example\",\"port\":21,\"passive\":1,"
                             "\"login\":\"bob\",\"anonymous\":0,\"timeout\":60,\"directory\":\"\","
                             "\"keepAlive\":1,\"groupId\":-1,\"parentGroupId\":-1,\"proxyHost\":\"\","
                             "\"proxyUser\":\"\",\"proxyPort\":21,\"proxyMode\":0,\"encoding\":\"auto\","
                             "\"encryption\":\"require\",\"trustedFingerprint\":\"\"}";

TEST_F(CliSites, SiteAddedByOneProcessIsListedByAnotherWithoutItsPasswords)
{
    const auto added = Cli({"sites", "add", "--label", "Home", "--host", "ftp.example", "--login", "bob",
                            "--password", "pw-SECRET-1", "--proxy-password", "pp-SECRET-2"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, std::string(HomeLine) + "\n");
    EXPECT_TRUE(fs::exists(SettingsFile()));

    EXPECT_THAT(Listed(), ElementsAre(HomeLine));
    const auto list = Cli({"sites", "list"});
    EXPECT_THAT(list.out + list.err, Not(HasSubstr("SECRET")));
    EXPECT_THAT(added.out + added.err, Not(HasSubstr("SECRET")));
    // Stored all the same: the programs log on with them.
    EXPECT_EQ((fs::status(SettingsFile()).permissions() & fs::perms::all),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CliSites, EveryOptionReachesItsFieldAndGroupsGetTheNextNumber)
{
    ASSERT_EQ(Cli({"sites", "add-group", "Work"}).exitCode, 0);
    const auto second = Cli({"sites", "add-group", "Play"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_THAT(second.out, HasSubstr("\"groupId\":1,"));

    const auto added = Cli({"sites",
                            "add",
                            "--label",
                            "Büro ☃",
                            "--host",
                            "10.0.0.1",
                            "--port",
                            "2121",
                            "--login",
                            "u",
                            "--password",
                            "p",
                            "--anonymous",
                            "1",
                            "--passive",
                            "0",
                            "--timeout",
                            "15",
                            "--directory",
                            "\\pub\\x",
                            "--keep-alive",
                            "0",
                            "--parent-group-id",
                            "1",
                            "--proxy-mode",
                            "7",
                            "--proxy-host",
                            "proxy.lan",
                            "--proxy-port",
                            "8021",
                            "--proxy-user",
                            "fu",
                            "--proxy-password",
                            "fp",
                            "--encoding",
                            "Latin-1"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const std::string site =
        "{\"label\":\"Büro ☃\",\"host\":\"10.0.0.1\",\"port\":2121,\"passive\":0,"
        "\"login\":\"u\",\"anonymous\":1,\"timeout\":15,\"directory\":\"\\\\pub\\\\x\","
        "\"keepAlive\":0,\"groupId\":-1,\"parentGroupId\":1,\"proxyHost\":\"proxy.lan\","
        "\"proxyUser\":\"fu\",\"proxyPort\":8021,\"proxyMode\":7,\"encoding\":\"latin-1\","
        "\"encryption\":\"require\",\"trustedFingerprint\":\"\"}";
    const auto listed = Listed();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_THAT(listed, testing::Contains(site));
    EXPECT_THAT(listed, testing::Contains(HasSubstr("{\"label\":\"Work\",\"host\":\"\",\"port\":21,")));
}

TEST_F(CliSites, LabelsThatLookLikeJsonOrLineBreaksStayOneEscapedLine)
{
    const auto added = Cli({"sites", "add", "--label", "a\"b\nc\\d", "--host", "h"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const auto listed = Listed();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_THAT(listed[0], testing::StartsWith("{\"label\":\"a\\\"b\\u000ac\\\\d\",\"host\":\"h\","));
    EXPECT_EQ(Cli({"sites", "remove", "A\"B\nC\\D"}).exitCode, 0);
    EXPECT_THAT(Listed(), IsEmpty());
}

TEST_F(CliSites, DuplicatesAndBadValuesAreRefusedAndStoreNothing)
{
    ASSERT_EQ(Cli({"sites", "add", "--label", "Home", "--host", "ftp.example", "--login", "bob"}).exitCode,
              0);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"sites", "add", "--label", "HOME", "--host", "other"},
             {"sites", "add-group", "home"},
         })
    {
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "error: A site or group with this label already exists.\n");
    }

    const std::string tooLong(96, 'x');
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"sites", "add", "--host", "h"},
             {"sites", "add", "--label", ""},
             {"sites", "add", "--label", "a", "--port", "70000"},
             {"sites", "add", "--label", "a", "--port", "21x"},
             {"sites", "add", "--label", "a", "--anonymous", "2"},
             {"sites", "add", "--label", "a", "--proxy-mode", "9"},
             {"sites", "add", "--label", "a", "--timeout", "0"},
             {"sites", "add", "--label", "a", "--parent-group-id", "3"},
             {"sites", "add", "--label", "a", "--host", tooLong},
             {"sites", "add", "--label", "a", "--colour", "red"},
             {"sites", "add", "--label", "a", "--host"},
             {"sites", "add-group"},
             {"sites", "remove", "nobody"},
             {"sites", "frobnicate"},
         })
    {
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(args);
        EXPECT_THAT(result.err, Not(IsEmpty())) << testing::PrintToString(args);
        EXPECT_THAT(result.out, IsEmpty()) << testing::PrintToString(args);
    }
    EXPECT_THAT(Listed(), ElementsAre(HomeLine));
}

TEST_F(CliSites, RemoveIgnoresCaseAndKeepsAGroupThatHoldsSites)
{
    ASSERT_EQ(Cli({"sites", "add", "--label", "Home", "--host", "ftp.example", "--login", "bob"}).exitCode,
              0);
    ASSERT_EQ(Cli({"sites", "add-group", "Work"}).exitCode, 0);
    ASSERT_EQ(Cli({"sites", "add", "--label", "Office", "--parent-group-id", "0"}).exitCode, 0);

    const auto refused = Cli({"sites", "remove", "work"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "error: The group is not empty.\n");
    EXPECT_EQ(Listed().size(), 3u);

    EXPECT_EQ(Cli({"sites", "remove", "OFFICE"}).exitCode, 0);
    EXPECT_EQ(Cli({"sites", "remove", "work"}).exitCode, 0);
    EXPECT_THAT(Listed(), ElementsAre(HomeLine));
    EXPECT_EQ(Cli({"sites", "remove", "Work"}).exitCode, 1);
}

TEST_F(CliSites, EightProgramsAddingAtOnceLoseNoSite)
{
    constexpr int programs = 8;
    constexpr int each = 25;
    std::atomic<int> failed{0};
    std::mutex mutex;
    std::string errors;
    std::vector<std::thread> runs;
    for (int p = 0; p < programs; ++p)
        runs.emplace_back(
            [&, p]
            {
                for (int i = 0; i < each; ++i)
                {
                    const std::string label = "p" + std::to_string(p) + "-" + std::to_string(i);
                    const auto added = Cli({"sites", "add", "--label", label, "--host", label + ".example"});
                    if (added.exitCode != 0)
                    {
                        ++failed;
                        std::lock_guard lock(mutex);
                        errors += added.err;
                    }
                }
            });
    for (auto& run : runs)
        run.join();
    EXPECT_EQ(failed, 0) << errors;

    std::set<std::string> labels;
    for (const std::string& line : Listed())
        labels.insert(line.substr(0, line.find("\",\"host\"")));
    EXPECT_EQ(labels.size(), static_cast<size_t>(programs * each));
    for (int p = 0; p < programs; ++p)
        for (int i = 0; i < each; ++i)
            EXPECT_EQ(labels.count("{\"label\":\"p" + std::to_string(p) + "-" + std::to_string(i)), 1u);
}

TEST_F(CliSites, ADamagedFileIsListedAsFarAsItCanBeAndTheRunFails)
{
    ASSERT_EQ(Cli({"sites", "add", "--label", "Home", "--host", "ftp.example", "--login", "bob"}).exitCode,
              0);
    ASSERT_EQ(Cli({"sites", "add-group", "Work"}).exitCode, 0);
    const std::string damaged = testing_support::ReadFile(SettingsFile()) + "\x01\x02 not a line\n";
    testing_support::WriteFile(SettingsFile(), damaged);

    const auto list = Cli({"sites", "list"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(Lines(list.out).size(), 2u);
    EXPECT_THAT(Lines(list.out), testing::Contains(HomeLine));
    const std::string copy = SettingsFile().string() + ".damaged-";
    EXPECT_THAT(list.err, testing::MatchesRegex("error: The settings file " + SettingsFile().string() +
                                                " could not be read in full: 1 entries were skipped\\. "
                                                "A copy was kept as " +
                                                copy + "[0-9a-f]{16}\\.\n"));
    const std::string copyFile = list.err.substr(list.err.find(copy), copy.size() + 16);
    EXPECT_EQ(testing_support::ReadFile(copyFile), damaged);

    // A change still goes through: it says what it found, and keeps every site.
    const auto added = Cli({"sites", "add", "--label", "New"});
    EXPECT_EQ(added.exitCode, 0);
    EXPECT_THAT(added.err, testing::StartsWith("note: The settings file "));
    EXPECT_EQ(Listed().size(), 3u);
    EXPECT_EQ(testing_support::ReadFile(copyFile), damaged);

    // A file made read-only is not changed, and the run says why.
    ::chmod(SettingsFile().c_str(), 0400);
    for (const auto& args : std::vector<std::vector<std::string>>{{"sites", "add", "--label", "Refused"},
                                                                  {"sites", "add-group", "Refused"},
                                                                  {"sites", "remove", "New"}})
    {
        const auto refused = Cli(args);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.err, "error: The settings file " + SettingsFile().string() +
                                   " could not be saved: the file is read-only.\n");
        EXPECT_THAT(refused.out, IsEmpty());
    }
    EXPECT_EQ(Listed().size(), 3u);
}

TEST_F(CliSites, StoredSiteConnectsAndOpensInItsDirectory)
{
    testing_support::PyFtpdOptions options;
    options.home = "/home/u";
    options.anonymous = true;
    testing_support::PyFtpdServer server(options);
    fs::create_directories(fs::path(server.Root()) / "home/u/pub");
    const std::string port = std::to_string(server.Port());

    ASSERT_EQ(Cli({"sites", "add", "--label", "Local", "--host", "127.0.0.1", "--port", port, "--login",
                   server.User(), "--password", server.Password(), "--directory", "/home/u/pub", "--timeout",
                   "5", "--encryption", "plain"})
                  .exitCode,
              0);
    ASSERT_EQ(Cli({"sites", "add", "--label", "Anon", "--host", "127.0.0.1", "--port", port, "--anonymous",
                   "1", "--passive", "0", "--timeout", "5", "--encryption", "plain"})
                  .exitCode,
              0);
    ASSERT_EQ(Cli({"sites", "add", "--label", "Refused", "--host", "127.0.0.1", "--port", port, "--login",
                   server.User(), "--password", "wrong", "--timeout", "5", "--encryption", "plain"})
                  .exitCode,
              0);

    const auto local = Cli({"sites", "connect", "local"});
    ASSERT_EQ(local.exitCode, 0) << local.err << server.Log();
    EXPECT_EQ(local.out, "{\"label\":\"Local\",\"home\":\"/home/u\",\"directory\":\"/home/u/pub\"}\n");

    const auto anonymous = Cli({"sites", "connect", "Anon"});
    ASSERT_EQ(anonymous.exitCode, 0) << anonymous.err << server.Log();
    EXPECT_EQ(anonymous.out, "{\"label\":\"Anon\",\"home\":\"/home/u\",\"directory\":\"/home/u\"}\n");

    const auto refused = Cli({"sites", "connect", "Refused"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("error: 530"));

    const auto unknown = Cli({"sites", "connect", "Elsewhere"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, "error: No site is labelled \"Elsewhere\".\n");
}

TEST_F(CliSites, NetworkCommandsLogOnThroughAStoredSiteAndStartInItsDirectory)
{
    testing_support::PyFtpdOptions options;
    options.home = "/home/u";
    testing_support::PyFtpdServer server(options);
    fs::create_directories(fs::path(server.Root()) / "home/u/pub");
    std::ofstream(fs::path(server.Root()) / "home/u/pub/inpub.txt") << "from pub";
    ASSERT_EQ(Cli({"sites",       "add",         "--label",      "Local",
                   "--host",      "127.0.0.1",   "--port",       std::to_string(server.Port()),
                   "--login",     server.User(), "--password",   server.Password(),
                   "--directory", "pub",         "--passive",    "0",
                   "--timeout",   "5",           "--encryption", "plain"})
                  .exitCode,
              0);

    const auto listed = Cli({"ls", "--site", "local", ""});
    ASSERT_EQ(listed.exitCode, 0) << listed.err << server.Log();
    EXPECT_THAT(listed.out, HasSubstr("\"Name\":\"inpub.txt\""));
    // The site's active mode is used.
    EXPECT_THAT(server.Log(), HasSubstr("<- PORT "));

    const fs::path local = fs::path(m_config) / "copy.txt";
    const auto got = Cli({"get", "--site", "Local", "inpub.txt", local.string()});
    ASSERT_EQ(got.exitCode, 0) << got.err << server.Log();
    std::ifstream in(local);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "from pub");
    // The transfer jobs start there too.
    const fs::path tree = fs::path(m_config) / "tree";
    const auto mirrored = Cli({"mirror-get", "--site", "Local", "inpub.txt", tree.string()});
    ASSERT_EQ(mirrored.exitCode, 0) << mirrored.err << server.Log();
    EXPECT_TRUE(fs::exists(tree / "inpub.txt"));

    const auto unknown = Cli({"ls", "--site", "Elsewhere", ""});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_THAT(unknown.err, HasSubstr("no site is labelled 'Elsewhere'"));
    const auto mixed = Cli({"ls", "--site", "Local", "--timeout", "9", ""});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_THAT(mixed.err, HasSubstr("--site takes the stored site's own"));
}

} // namespace
