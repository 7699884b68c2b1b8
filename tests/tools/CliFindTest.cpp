// tessel-cli find against a real pyftpdlib server.
#include "CliHarness.h"

#include <gmock/gmock.h>
#include <sstream>

using namespace cli_tests;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace
{

// The "Path" of every line, in order.
std::vector<std::string> Paths(const std::string& out)
{
    std::vector<std::string> paths;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
    {
        const size_t start = line.find("\"Path\":\"");
        paths.push_back(start == std::string::npos
                            ? line
                            : line.substr(start + 8, line.find('"', start + 8) - start - 8));
    }
    return paths;
}

class CliFind : public testing::Test
{
protected:
    void SetUp() override
    {
        // "Ünï" in UTF-8, as the disk and the listing hold it.
        WriteFile(Root() / "pub" / "\xc3\x9cn\xc3\xaf" / "Read me.txt", "12345");
        WriteFile(Root() / "pub" / "readme", "");
        WriteFile(Root() / "pub" / "b" / "README", "");
        fs::create_directory_symlink("b", Root() / "pub" / "lnk-readme");
    }
    std::string Url(const std::string& path) const { return BaseUrl(server) + path; }
    fs::path Root() const { return server.Root(); }

    testing_support::PyFtpdServer server;
};

} // namespace

TEST_F(CliFind, OneRecordPerEntryFoundInTheDialogsOrder)
{
    const auto all = Cli({"find", Url("/pub"), "read"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_THAT(Paths(all.out), ElementsAre("/pub/b/README", "/pub/lnk-readme",
                                            "/pub/\xc3\x9cn\xc3\xaf/Read me.txt", "/pub/readme"));
    EXPECT_THAT(all.out, HasSubstr("\"Path\":\"/pub/\xc3\x9cn\xc3\xaf/Read me.txt\",\"Name\":\"Read me.txt\","
                                   "\"TryCwd\":false,\"TryRetr\":true,\"SizeType\":1,\"Size\":5,"));
    EXPECT_THAT(all.out, HasSubstr("\"Name\":\"lnk-readme -> b\""));

    struct Case
    {
        std::vector<std::string> options;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{"--match-case"}, {"/pub/lnk-readme", "/pub/readme"}},
        {{"--whole-word"}, {"/pub/\xc3\x9cn\xc3\xaf/Read me.txt"}},
        {{"--no-subfolders"}, {"/pub/lnk-readme", "/pub/readme"}},
        {{"--whole-word", "--match-case", "--no-subfolders"}, {}},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> args{"find"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {Url("/pub"), "read"});
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(Paths(result.out), c.paths) << c.options.front();
    }
    // Non-ASCII text is matched on the names as people read them; a relative
    // path starts where the logon led.
    const auto typed = Cli({"find", Url("/pub"), "\xc3\xbc"});
    EXPECT_THAT(Paths(typed.out), ElementsAre("/pub/\xc3\x9cn\xc3\xaf"));
    const auto relative = Cli({"find", Url("/pub/b"), "readme"});
    EXPECT_THAT(Paths(relative.out), ElementsAre("/pub/b/README"));
}

TEST_F(CliFind, NothingFoundSucceedsAFolderThatCannotBeListedFails)
{
    const auto none = Cli({"find", Url("/pub"), "nothing-like-it"});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "");

    const auto missing = Cli({"find", Url("/gone"), "read"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("cannot list the folder: 550"));

    const auto blank = Cli({"find", Url("/pub"), "  "});
    EXPECT_EQ(blank.exitCode, 1);
    EXPECT_THAT(blank.err, HasSubstr("the text to find is blank"));
    EXPECT_EQ(Cli({"find", Url("/pub")}).exitCode, 1);
}
