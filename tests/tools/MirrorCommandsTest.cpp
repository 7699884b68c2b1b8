#include "CliHarness.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using cli_tests::Cli;
using cli_tests::ReadFile;
using cli_tests::TempFolder;
using cli_tests::WriteFile;

namespace
{

std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<dir>" : ReadFile(entry.path());
    return tree;
}

class MirrorCommands : public testing::Test
{
protected:
    std::string Url(const std::string& path) const { return cli_tests::BaseUrl(m_server) + path; }
    fs::path Remote(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }

    testing_support::PyFtpdServer m_server;
    TempFolder m_folder{"tessel-cli"};
    const fs::path& m_local = m_folder.Path();
};

} // namespace

TEST_F(MirrorCommands, PutThenGetRoundTripsATree)
{
    const fs::path tree = m_local / "tree";
    WriteFile(tree / "a" / "b" / "data.bin", std::string(300000, '\x7f'));
    WriteFile(tree / "zero", "");
    WriteFile(tree / "blank name" / "\xc3\xa9t\xc3\xa9.txt", "summer");
    fs::create_directories(tree / "empty");

    const auto put = Cli({"mirror-put", tree.string(), Url("/to/here")});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(Tree(Remote("to/here/tree")), Tree(tree));
    // Not a terminal: no progress bar.
    EXPECT_EQ(put.err.find('['), std::string::npos) << put.err;

    const auto get = Cli({"mirror-get", Url("/to/here/tree"), (m_local / "back").string()});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(Tree(m_local / "back" / "tree"), Tree(tree));

    // A trailing "/" takes what the folder holds.
    const auto contents = Cli({"mirror-get", Url("/to/here/tree/a/"), (m_local / "contents").string()});
    ASSERT_EQ(contents.exitCode, 0) << contents.err;
    EXPECT_EQ(ReadFile(m_local / "contents" / "b" / "data.bin"), std::string(300000, '\x7f'));
}

TEST_F(MirrorCommands, ReplaceQuestionsAreAnsweredByTheCommandLine)
{
    WriteFile(Remote("f.txt"), "server");
    WriteFile(m_local / "F.TXT", "local");
    const std::string local = m_local.string();

    const auto unanswered = Cli({"mirror-get", Url("/f.txt"), local});
    EXPECT_EQ(unanswered.exitCode, 1);
    EXPECT_NE(unanswered.err.find("The file \"f.txt\" already exists."), std::string::npos) << unanswered.err;
    const auto kept = Cli({"mirror-get", "--no-overwrite", Url("/f.txt"), local});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_FALSE(fs::exists(m_local / "f.txt"));
    EXPECT_EQ(ReadFile(m_local / "F.TXT"), "local");

    const auto replaced = Cli({"mirror-put", "--overwrite", (m_local / "F.TXT").string(), Url("/")});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(ReadFile(Remote("F.TXT")), "local");
}

TEST_F(MirrorCommands, RemoveAndMoveRemoteTrees)
{
    WriteFile(Remote("t/a/x.txt"), "x");
    WriteFile(Remote("t/y.txt"), "y");

    // Into an existing folder, through the move job.
    fs::create_directories(Remote("dest"));
    const auto moved = Cli({"mv", Url("/t"), "/dest"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_EQ(ReadFile(Remote("dest/t/a/x.txt")), "x");
    EXPECT_FALSE(fs::exists(Remote("t")));

    const auto folderWithoutR = Cli({"rm", Url("/dest/t")});
    EXPECT_EQ(folderWithoutR.exitCode, 1);
    EXPECT_TRUE(fs::exists(Remote("dest/t/y.txt")));

    const auto removed = Cli({"rm", "-r", Url("/dest/t")});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(fs::exists(Remote("dest/t")));
    EXPECT_TRUE(fs::exists(Remote("dest")));

    // A move into a folder that fails says so in its exit code.
    const auto lost = Cli({"mv", Url("/dest/gone"), "/dest"});
    EXPECT_EQ(lost.exitCode, 1);

    const auto missing = Cli({"rm", "-r", Url("/nothing-here")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no such remote file or folder"), std::string::npos);
}

TEST_F(MirrorCommands, BadArgumentsAreRefusedBeforeConnecting)
{
    const std::string local = m_local.string();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"mirror-get", "http://127.0.0.1/x", local},
             {"mirror-get", "ftp://127.0.0.1:99999/x", local},
             {"mirror-get", "ftp://127.0.0.1/%zz", local},
             {"mirror-get", "ftp://127.0.0.1/a%0d%0aDELE%20x", local},
             {"mirror-get", "--bogus", Url("/x"), local},
             // A site record holds 95 characters a text: no password is cut short.
             {"mirror-get", "ftp://u:" + std::string(96, 'p') + "@127.0.0.1/x", local},
             {"mirror-put", local},
         })
    {
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1) << args[1];
        EXPECT_NE(result.err.find("tessel-cli"), std::string::npos) << result.err;
    }
    EXPECT_EQ(m_server.Log().find("USER"), std::string::npos);
}

TEST_F(MirrorCommands, TheFirstFailureIsToldWithItsReasonAndTheOthersAreListed)
{
    WriteFile(Remote("t/good.txt"), "good");
    // Links that lead nowhere cannot be fetched.
    for (const char* name : {"a", "b", "c"})
        fs::create_symlink("nowhere", Remote(std::string("t/") + name));
    const auto get = Cli({"mirror-get", Url("/t"), (m_local / "down").string()});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_EQ(ReadFile(m_local / "down" / "t" / "good.txt"), "good");
    // Nobody is there to answer the question, so the job goes on.
    const std::string asked =
        "\n\nDo you want to go on with the other items?\nGoing on: nobody is there to answer.\n";
    EXPECT_NE(get.err.find(asked), std::string::npos) << get.err;
    EXPECT_EQ(get.err.find("Failed to download file:"), get.err.rfind("Failed to download file:")) << get.err;
    EXPECT_NE(get.err.find("550"), std::string::npos);
    const size_t listed = get.err.find("error: 2 more items failed:\n");
    ASSERT_NE(listed, std::string::npos) << get.err;
    for (const char* name : {"/down/t/a", "/down/t/b", "/down/t/c"})
        EXPECT_NE(get.err.find(name), std::string::npos) << name;
    EXPECT_NE(get.err.find("tessel-cli: 3 item(s) failed"), std::string::npos);
}
