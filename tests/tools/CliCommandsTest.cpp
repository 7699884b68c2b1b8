// ls and the one-line commands of the built tool against a real pyftpdlib
// server; URL and option errors; logon through a proxy against the scripted server.
#include "CliHarness.h"
#include "support/ScriptedFtpServer.h"

#include <gmock/gmock.h>
#include <sstream>
#include <sys/stat.h>

using namespace cli_tests;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing_support::PyFtpdOptions;
using testing_support::PyFtpdServer;

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

std::string LineNamed(const std::vector<std::string>& lines, const std::string& name)
{
    for (const auto& line : lines)
        if (line.find("\"Name\":\"" + name + "\"") != std::string::npos)
            return line;
    return {};
}

class CliCommands : public testing::Test
{
protected:
    std::string Url(const std::string& path) const { return BaseUrl(server) + path; }
    fs::path Root() const { return server.Root(); }

    PyFtpdServer server;
};

TEST_F(CliCommands, LsShowsWhatTheFolderHolds)
{
    fs::create_directories(Root() / "pub" / "sub folder");
    WriteFile(Root() / "pub" / "a.txt", "12345");
    WriteFile(Root() / "pub" / "sub folder" / "inner", "");

    const auto result = Cli({"ls", Url("/pub")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    const std::string file = LineNamed(lines, "a.txt");
    EXPECT_THAT(file, HasSubstr("\"Path\":\"pub\""));
    EXPECT_THAT(file, HasSubstr("\"TryRetr\":true"));
    EXPECT_THAT(file, HasSubstr("\"SizeType\":1,\"Size\":5,"));
    const std::string folder = LineNamed(lines, "sub folder");
    EXPECT_THAT(folder, HasSubstr("\"TryCwd\":true"));

    // A percent-escaped path, in active mode.
    const auto inner = Cli({"--active", "ls", Url("/pub/sub%20folder")});
    ASSERT_EQ(inner.exitCode, 1) << "options go after the command name";
    const auto active = Cli({"ls", "--active", Url("/pub/sub%20folder")});
    ASSERT_EQ(active.exitCode, 0) << active.err;
    EXPECT_THAT(Lines(active.out), ElementsAre(HasSubstr("\"Name\":\"inner\",\"Path\":\"pub/sub folder\"")));

    const auto empty = Cli({"ls", Url("/pub/sub%20folder/inner-none")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_THAT(empty.err, HasSubstr("550"));
    EXPECT_EQ(empty.out, "");
}

TEST_F(CliCommands, FolderCommandsWorkAndFailAsTheServerSays)
{
    const auto made = Cli({"mkdir", Url("/new")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_TRUE(fs::is_directory(Root() / "new"));

    const auto again = Cli({"mkdir", Url("/new")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_THAT(again.err, HasSubstr("550"));

    const auto pwd = Cli({"pwd", Url("")});
    ASSERT_EQ(pwd.exitCode, 0) << pwd.err;
    EXPECT_EQ(pwd.out, "/\n");
    const auto inside = Cli({"pwd", Url("/new")});
    ASSERT_EQ(inside.exitCode, 0) << inside.err;
    EXPECT_EQ(inside.out, "/new\n");
    const auto nowhere = Cli({"pwd", Url("/absent")});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.out, "");

    WriteFile(Root() / "new" / "f", "f");
    const auto full = Cli({"rmdir", Url("/new")});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_THAT(full.err, HasSubstr("550"));
    EXPECT_TRUE(fs::exists(Root() / "new" / "f"));

    fs::remove(Root() / "new" / "f");
    const auto removed = Cli({"rmdir", Url("/new")});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(fs::exists(Root() / "new"));
}

TEST_F(CliCommands, FileCommandsWorkAndFailAsTheServerSays)
{
    WriteFile(Root() / "old.txt", "o");
    fs::create_directory(Root() / "d");

    const auto moved = Cli({"mv", Url("/old.txt"), "/d/new.txt"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_FALSE(fs::exists(Root() / "old.txt"));
    EXPECT_EQ(ReadFile(Root() / "d" / "new.txt"), "o");
    const auto lost = Cli({"mv", Url("/old.txt"), "/d/other.txt"});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_THAT(lost.err, HasSubstr("550"));

    // SITE runs in the URL's folder.
    ::chmod((Root() / "d" / "new.txt").c_str(), 0644);
    const auto site = Cli({"site", Url("/d"), "CHMOD 600 new.txt"});
    ASSERT_EQ(site.exitCode, 0) << site.err;
    struct stat status
    {
    };
    ASSERT_EQ(::stat((Root() / "d" / "new.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    const auto bogus = Cli({"site", Url(""), "NOSUCHTHING"});
    EXPECT_EQ(bogus.exitCode, 1);
    EXPECT_THAT(bogus.err, HasSubstr("50"));

    const auto deleted = Cli({"rm", Url("/d/new.txt")});
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
    EXPECT_FALSE(fs::exists(Root() / "d" / "new.txt"));
    const auto gone = Cli({"rm", Url("/d/new.txt")});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_THAT(gone.err, HasSubstr("550"));
}

TEST(CliLogon, UserAndPasswordArePercentDecodedAndAnonymousIsTheDefault)
{
    PyFtpdOptions options;
    options.user = "we@b:x";
    options.password = "p/w% #?";
    options.anonymous = true;
    PyFtpdServer server(options);
    WriteFile(fs::path(server.Root()) / "seen", "");
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());

    const auto named = Cli({"ls", "ftp://we%40b%3ax:p%2Fw%25%20%23%3F@" + hostPort + "/"});
    ASSERT_EQ(named.exitCode, 0) << named.err << server.Log();
    EXPECT_THAT(named.out, HasSubstr("\"Name\":\"seen\""));
    EXPECT_THAT(server.Log(), HasSubstr("USER 'we@b:x' logged in"));

    const auto anonymous = Cli({"ls", "ftp://" + hostPort + "/"});
    ASSERT_EQ(anonymous.exitCode, 0) << anonymous.err;
    EXPECT_THAT(anonymous.out, HasSubstr("\"Name\":\"seen\""));
    EXPECT_THAT(server.Log(), HasSubstr("USER 'anonymous' logged in"));

    const auto wrong = Cli({"ls", "ftp://we%40b%3ax:nope@" + hostPort + "/"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_THAT(wrong.err, HasSubstr("530"));
    EXPECT_EQ(wrong.out, "");
}

TEST(CliLogon, ProxyOptionsDriveTheProxyLogon)
{
    testing_support::ScriptedFtpServer proxy;
    proxy.Greet("220 proxy\r\n")
        .On("USER fw", "331 proxy password\r\n")
        .On("PASS fw secret", "230 proxy ok\r\n")
        .On("USER u@example.org:2121", "331 password\r\n")
        .On("PASS p", "230 in\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/home/u\"\r\n")
        .On("QUIT", "221 bye\r\n");
    proxy.Start();
    const auto result = Cli({"pwd", "ftp://u:p@example.org:2121", "--proxy-mode", "2", "--proxy",
                             "127.0.0.1:" + std::to_string(proxy.Port()), "--proxy-user", "fw",
                             "--proxy-password", "fw secret"});
    EXPECT_TRUE(proxy.WaitFinished());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "/home/u\n");
    EXPECT_THAT(proxy.Mismatches(), IsEmpty());
}

TEST(CliUrl, PathsAreRelativeToTheLogonFolderAndReachTheServerByteForByte)
{
    testing_support::ScriptedFtpServer server;
    server.Greet("220 hi\r\n")
        .On("USER anonymous", "331 mail address as password\r\n")
        .On("PASS tessel@", "230 in\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/home/ftp\"\r\n")
        .On("DELE pub/a b", "250 gone\r\n")
        .On("QUIT", "221 bye\r\n")
        .Greet("220 hi\r\n")
        .On("USER anonymous", "331 mail address as password\r\n")
        .On("PASS tessel@", "230 in\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/home/ftp\"\r\n")
        .On("DELE /etc/x", "550 no\r\n")
        .On("QUIT", "221 bye\r\n");
    // Percent escapes are the name's bytes: caf%C3%A9 is the UTF-8 name,
    // caf%E9 the Latin-1 one. Text typed as it stands is text: UTF-8 bytes,
    // or Latin-1 ones on a site set to Latin-1.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"caf%C3%A9"}, "DELE caf\xC3\xA9"},
        {{"caf%E9"}, "DELE caf\xE9"},
        {{"caf\xC3\xA9"}, "DELE caf\xC3\xA9"},
        {{"caf\xC3\xA9", "--encoding", "latin-1"}, "DELE caf\xE9"},
        {{"caf%C3%A9", "--encoding", "latin-1"}, "DELE caf\xC3\xA9"},
    };
    for (const auto& one : cases)
        server.Greet("220 hi\r\n")
            .On("USER anonymous", "331 mail address as password\r\n")
            .On("PASS tessel@", "230 in\r\n")
            .On("FEAT", "500 unknown\r\n")
            .On("PWD", "257 \"/\"\r\n")
            .On(one.second, "250 gone\r\n")
            .On("QUIT", "221 bye\r\n");
    server.Start();
    const std::string base = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
    EXPECT_EQ(Cli({"rm", base + "pub/a%20b"}).exitCode, 0);
    const auto absolute = Cli({"rm", base + "%2Fetc/x"});
    EXPECT_EQ(absolute.exitCode, 1);
    EXPECT_THAT(absolute.err, HasSubstr("550 no"));
    for (const auto& one : cases)
    {
        std::vector<std::string> args = {"rm", base + one.first[0]};
        args.insert(args.end(), one.first.begin() + 1, one.first.end());
        EXPECT_EQ(Cli(args).exitCode, 0) << one.first[0];
    }
    // Latin-1 cannot write every character.
    const auto unwritable = Cli({"rm", base + "\xE6\x97\xA5", "--encoding", "latin-1"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_THAT(unwritable.err, HasSubstr("Latin-1"));
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_THAT(server.Mismatches(), IsEmpty());
}

TEST(CliUrl, ControlCharactersFromTheServerNeverReachTheTerminal)
{
    testing_support::ScriptedFtpServer server;
    for (int i = 0; i < 2; ++i)
        server.Greet("220 hi\r\n")
            .On("USER anonymous", "230 in\r\n")
            .On("FEAT", "500 unknown\r\n")
            .On("PWD", "257 \"/a\x1b]0;title\x07b\"\r\n")
            .On("DELE x", "550 no\x1b[2J such\x9b"
                          "1m file\r\n")
            .On("QUIT", "221 bye\r\n");
    server.Start();
    const std::string base = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
    const auto pwd = Cli({"pwd", base});
    EXPECT_EQ(pwd.exitCode, 1);
    EXPECT_EQ(pwd.out, "");
    EXPECT_THAT(pwd.err, HasSubstr("control characters"));
    const auto rm = Cli({"rm", base + "x"});
    EXPECT_EQ(rm.exitCode, 1);
    // Shown as the names codec shows any reply: C0 controls as their
    // pictures (U+241B for ESC), C1 controls escaped.
    EXPECT_THAT(rm.err, HasSubstr("550 no\xE2\x90\x9B[2J such\\x9B1m file"));
    EXPECT_EQ(rm.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(rm.err.find('\r'), std::string::npos);
    EXPECT_TRUE(server.WaitFinished());
}

TEST(CliLogon, ASilentServerEndsInATimeoutAndAClosedPortInAnError)
{
    testing_support::ScriptedFtpServer silent;
    silent.Accept().Pause(std::chrono::seconds(4));
    silent.Start();
    const auto waited = Cli({"pwd", "ftp://127.0.0.1:" + std::to_string(silent.Port()), "--timeout", "1"});
    EXPECT_EQ(waited.exitCode, 1);
    EXPECT_THAT(waited.err, HasSubstr("timeout"));

    unsigned short closedPort = 0;
    {
        testing_support::ScriptedFtpServer gone;
        closedPort = gone.Port();
    }
    const auto refused = Cli({"ls", "ftp://127.0.0.1:" + std::to_string(closedPort) + "/"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("error"));
}

TEST(CliArguments, BadUrlsAndOptionsGiveUsageAndExitOne)
{
    const std::string ok = "ftp://127.0.0.1:1/f";
    const std::vector<std::vector<std::string>> cases = {
        {"ls"},
        {"ls", ok, "extra"},
        {"get", ok},
        {"ls", "http://127.0.0.1/"},
        {"ls", "ftp://"},
        {"ls", "ftp:///path"},
        {"ls", "ftp://u:p@/path"},
        {"ls", "ftp://host:0/"},
        {"ls", "ftp://host:65536/"},
        {"ls", "ftp://host:21x/"},
        {"ls", "ftp://host:/"},
        {"ls", "ftp://[::1]/"},
        {"ls", "ftp://ho st/"},
        {"ls", "ftp://h:21:22/"},
        {"ls", "ftp://host?x/"},
        {"ls", "ftp://host/%zz"},
        {"ls", "ftp://host/%4"},
        {"ls", "ftp://host/a?b"},
        {"rm", "ftp://host/a%0d%0aDELE%20b"},
        {"rm", "ftp://host/a%00b"},
        {"ls", "ftp://u%0a:p@host/"},
        {"ls", "ftp://:p@host/"},
        {"rm", "ftp://host/"},
        {"rm", "ftp://host"},
        {"mkdir", "ftp://host/"},
        {"get", "ftp://host/dir/", "out"},
        {"mv", ok, ""},
        {"get", ok, ""},
        {"put", "", ok},
        {"site", ok, "CHMOD 600 a\r\nDELE b"},
        {"ls", ok, "--bogus"},
        {"ls", ok, "--timeout"},
        {"ls", ok, "--timeout", "0"},
        {"ls", ok, "--encoding"},
        {"ls", ok, "--encoding", "ebcdic"},
        {"ls", ok, "--timeout", "86401"},
        {"ls", ok, "--timeout", "5s"},
        {"ls", ok, "--proxy-mode", "9"},
        {"ls", ok, "--proxy-mode", "-1"},
        {"ls", ok, "--proxy-mode", "1"},
        {"ls", ok, "--proxy", "127.0.0.1:21"},
        {"ls", ok, "--proxy-mode", "1", "--proxy", "127.0.0.1:99999"},
        {"ls", ok, "--proxy-mode", "1", "--proxy", ":21"},
        {"ls", ok, "--proxy-mode", "1", "--proxy", "h", "--proxy-user", "a\nb"},
    };
    for (const auto& args : cases)
    {
        std::string shown;
        for (const auto& a : args)
            shown += "[" + a + "] ";
        SCOPED_TRACE(shown);
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        // Malformed calls show the usage; well-formed ones with a bad value
        // (an empty name, a line break) only say what is wrong.
        if (args.size() < 3 || args[0] == "ls")
        {
            EXPECT_THAT(result.err, HasSubstr("usage: tessel-cli " + args[0])) << result.err;
        }
        // Refused before any connection: the engine's boxes ("error: ...") never spoke.
        EXPECT_THAT(result.err, Not(HasSubstr("error: ")));
    }

    const auto help = Cli({"get", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("usage: tessel-cli get [options] URL FILE"));
    EXPECT_THAT(help.out, HasSubstr("--proxy-mode N"));
}

} // namespace
