// get and put through the built tool against a real pyftpdlib server, in
// passive and active mode.
#include "CliHarness.h"
#include "support/ScriptedFtpServer.h"

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include <gmock/gmock.h>

using namespace cli_tests;
using testing::HasSubstr;
using testing::Not;

extern char** environ;

namespace
{

// The download's partial file lands beside the target under a name of its own.
bool HoldsPartialFile(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".part")
            return true;
    return false;
}

class CliTransfer : public testing::TestWithParam<bool>
{
protected:
    // The mode option goes last: options may follow the arguments.
    testing_support::ProcessResult Run(std::vector<std::string> args)
    {
        if (!GetParam())
            args.push_back("--active");
        return Cli(args);
    }
    std::string Url(const std::string& path) const { return BaseUrl(server) + path; }
    fs::path Root() const { return server.Root(); }

    testing_support::PyFtpdServer server;
    TempFolder local;
};

INSTANTIATE_TEST_SUITE_P(Modes, CliTransfer, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_P(CliTransfer, FilesRoundTripByteForByte)
{
    for (const size_t size : {size_t{0}, size_t{1}, size_t{(1 << 20) + 1}, size_t{(3 << 20) + 517}})
    {
        SCOPED_TRACE(size);
        const std::string name = "f" + std::to_string(size) + ".bin";
        const std::string content = Pattern(size, static_cast<unsigned>(size));
        WriteFile(local / name, content);

        const auto put = Run({"put", (local / name).string(), Url("/" + name)});
        ASSERT_EQ(put.exitCode, 0) << put.err << server.Log();
        EXPECT_EQ(put.out, "");
        EXPECT_EQ(ReadFile(Root() / name), content);

        const auto get = Run({"get", Url("/" + name), (local / ("back-" + name)).string()});
        ASSERT_EQ(get.exitCode, 0) << get.err;
        EXPECT_EQ(ReadFile(local / ("back-" + name)), content);
        EXPECT_FALSE(HoldsPartialFile(local.Path()));
    }
}

TEST_P(CliTransfer, GetReplacesAnExistingFileOnlyWhenTheTransferSucceeded)
{
    WriteFile(local / "keep.txt", "precious");
    WriteFile(Root() / "new.txt", "fresh");

    const auto refused = Run({"get", Url("/missing.txt"), (local / "keep.txt").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("550"));
    EXPECT_EQ(ReadFile(local / "keep.txt"), "precious");
    EXPECT_FALSE(HoldsPartialFile(local.Path()));

    const auto fetched = Run({"get", Url("/new.txt"), (local / "keep.txt").string()});
    ASSERT_EQ(fetched.exitCode, 0) << fetched.err;
    EXPECT_EQ(ReadFile(local / "keep.txt"), "fresh");
}

TEST_P(CliTransfer, RefusedTransfersShowTheServerTextAndExitOne)
{
    WriteFile(local / "a.txt", "a");
    const auto get = Run({"get", Url("/no/such/file"), (local / "out").string()});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_THAT(get.err, HasSubstr("550"));
    EXPECT_FALSE(fs::exists(local / "out"));
    EXPECT_FALSE(HoldsPartialFile(local.Path()));

    const auto put = Run({"put", (local / "a.txt").string(), Url("/no/such/folder/a.txt")});
    EXPECT_EQ(put.exitCode, 1);
    EXPECT_THAT(put.err, HasSubstr("550"));

    // A folder is no file to download; the command stays usable afterwards.
    fs::create_directory(Root() / "dir");
    const auto folder = Run({"get", Url("/dir"), (local / "dir-copy").string()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_FALSE(fs::exists(local / "dir-copy"));
    EXPECT_FALSE(HoldsPartialFile(local.Path()));
}

TEST_P(CliTransfer, LocalProblemsStopBeforeAnythingIsSent)
{
    // Nothing to read, a folder to read, nowhere to write.
    const auto missing = Run({"put", (local / "absent").string(), Url("/absent")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("absent"));
    EXPECT_FALSE(fs::exists(Root() / "absent"));

    const auto folder = Run({"put", local.Path().string(), Url("/x")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_FALSE(fs::exists(Root() / "x"));

    WriteFile(Root() / "r.txt", "r");
    const auto nowhere = Run({"get", Url("/r.txt"), (local / "no" / "such" / "r.txt").string()});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_THAT(nowhere.err, HasSubstr("no/such"));
    EXPECT_THAT(server.Log(), Not(HasSubstr("USER")));
}

TEST_P(CliTransfer, AnUploadThatBreaksOffLeavesNoPartialFile)
{
    // Reading this file fails after the server has accepted STOR; pyftpdlib
    // still answers 226 for what it got.
    const auto put = Run({"put", "/proc/self/mem", Url("/cut.bin")});
    EXPECT_EQ(put.exitCode, 1);
    EXPECT_THAT(put.err, HasSubstr("Failed to upload file:\n/proc/self/mem\n\nError code: 5"));
    EXPECT_FALSE(fs::exists(Root() / "cut.bin")) << server.Log();
}

TEST_P(CliTransfer, IntoAFolderTheFileKeepsItsName)
{
    fs::create_directory(Root() / "in");
    WriteFile(local / "named.txt", "n");
    const auto put = Run({"put", (local / "named.txt").string(), Url("/in/")});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(ReadFile(Root() / "in" / "named.txt"), "n");

    fs::create_directory(local / "down");
    const auto get = Run({"get", Url("/in/named.txt"), (local / "down").string()});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(ReadFile(local / "down" / "named.txt"), "n");
    EXPECT_TRUE(fs::is_directory(local / "down"));
}

// Starts a download from a server that accepts RETR and then sends nothing,
// waits (bounded) until the part file is there, and stops the tool with the
// signal. Returns the wait status.
int InterruptedDownload(const std::string& target, int signalNumber)
{
    testing_support::ScriptedFtpServer server;
    server.Greet("220 hi\r\n")
        .On("USER anonymous", "230 in\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .On("TYPE I", "200 binary\r\n")
        .On("SIZE slow.bin", "213 1000000\r\n")
        .On("TYPE I", "200 binary\r\n")
        .Passive()
        .On("RETR slow.bin", "150 here it comes\r\n")
        .Pause(std::chrono::seconds(60));
    server.Start();
    std::vector<std::string> args = {
        TESSEL_CLI, "get", "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/slow.bin", target};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    auto underWay = [&]
    {
        for (const auto& line : server.Received())
            if (line.starts_with("RETR"))
                return HoldsPartialFile(fs::path(target).parent_path());
        return false;
    };
    for (int i = 0; i < 1000 && !underWay(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(HoldsPartialFile(fs::path(target).parent_path()));
    ::kill(pid, signalNumber);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
    {
    }
    return status;
}

TEST(CliInterrupt, AStoppedDownloadLeavesNoPartFile)
{
    TempFolder local;
    const std::string target = (local / "slow.bin").string();
    for (const int signalNumber : {SIGINT, SIGTERM})
    {
        SCOPED_TRACE(signalNumber);
        const int status = InterruptedDownload(target, signalNumber);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_FALSE(HoldsPartialFile(local.Path()));
        EXPECT_FALSE(fs::exists(target));
    }
}

// The server's SIZE is what the bytes must come to, whatever its final reply says.
TEST(CliGet, AFileShorterThanTheServerSaidIsNotKept)
{
    testing_support::ScriptedFtpServer server;
    server.Greet("220 hi\r\n")
        .On("USER anonymous", "230 in\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .On("TYPE I", "200 binary\r\n")
        .On("SIZE short.bin", "213 10\r\n")
        .On("TYPE I", "200 binary\r\n")
        .Passive()
        .On("RETR short.bin", "150 here it comes\r\n")
        .DataSend("12345")
        .Send("226 done\r\n")
        .On("QUIT", "221 bye\r\n");
    server.Start();
    TempFolder local;
    const auto get = Cli({"get", "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/short.bin",
                          (local / "short.bin").string()});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_THAT(get.err, HasSubstr("Failed to download file:"));
    EXPECT_FALSE(fs::exists(local / "short.bin"));
    EXPECT_FALSE(HoldsPartialFile(local.Path()));
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_THAT(server.Mismatches(), testing::IsEmpty());
}

} // namespace
