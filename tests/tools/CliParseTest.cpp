#include "support/ProcessRunner.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using testing_support::ProcessResult;
using testing_support::ProcessRunner;

namespace
{

ProcessResult Cli(std::vector<std::string> args, const std::string& input, const char* zone = "UTC0")
{
    args.insert(args.begin(), TESSEL_CLI);
    return ProcessRunner::Run(args, input, {{"TZ", zone}});
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CliParse, OneJsonLinePerListingLineWithEveryField)
{
    const std::string listing = "-rw-r--r--   1 root     other        531 Jan 29 03:26 README\r\n"
                                "total 12\r\n"
                                "+i8388621.29609,m824255902,/,\tdev\n"
                                "\r\n"
                                "04-14-20  14:30       <DIR>          Apps and More";
    const auto result = Cli({"parse", "--year", "2020"}, listing);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 5u) << result.out;
    EXPECT_EQ(lines[0],
              "{\"Name\":\"README\",\"Path\":\"\",\"TryCwd\":false,\"TryRetr\":true,\"SizeType\":1,"
              "\"Size\":531,\"ModificationTime\":1580268360,\"Attributes\":\"-rw-r--r--\","
              "\"Owner\":\"root\",\"Group\":\"other\",\"LinkCount\":\"1\",\"IdType\":0,\"Id\":\"\"}");
    EXPECT_EQ(lines[1], "null");
    EXPECT_NE(lines[2].find("\"Name\":\"dev\""), std::string::npos);
    EXPECT_NE(lines[2].find("\"IdType\":1,\"Id\":\"8388621.29609\""), std::string::npos);
    EXPECT_NE(lines[2].find("\"ModificationTime\":824255902"), std::string::npos);
    EXPECT_EQ(lines[3], "null");
    // The last line has no line end and is still parsed.
    EXPECT_NE(lines[4].find("\"Name\":\"Apps and More\",\"Path\":\"\",\"TryCwd\":true"), std::string::npos);
}

TEST(CliParse, NamesAreEscapedUtf8AndSizesSixtyFourBit)
{
    const std::string listing = "-rw-r--r-- 1 a b 5368709120 Jan  1  2020 caf\xe9 \"q\" \\ \x01\x1f\x7f\n";
    const auto result = Cli({"parse"}, listing);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"Name\":\"caf\xc3\xa9 \\\"q\\\" \\\\ \\u0001\\u001f\x7f\""),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\"Size\":5368709120,"), std::string::npos);
    EXPECT_NE(result.out.find("\"ModificationTime\":1577836800,"), std::string::npos);
}

TEST(CliParse, TimesAreLocalToTheClientZone)
{
    const std::string listing = "-rw-r--r-- 1 a b 1 Jul  4 12:00 x\n";
    const auto utc = Cli({"parse", "--year", "2024"}, listing);
    const auto eastern = Cli({"parse", "--year", "2024"}, listing, "EST5EDT,M3.2.0,M11.1.0");
    EXPECT_NE(utc.out.find("\"ModificationTime\":1720094400,"), std::string::npos) << utc.out;
    EXPECT_NE(eastern.out.find("\"ModificationTime\":1720108800,"), std::string::npos) << eastern.out;
}

TEST(CliParse, BadArgumentsGiveUsageAndExitOne)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"parse", "--year"},
                                                 {"parse", "--year", "20x0"},
                                                 {"parse", "--year", "99999"},
                                                 {"parse", "--bogus"},
                                                 {"nosuchcommand"},
                                                 {}})
    {
        const auto result = Cli(args, "-rw-r--r-- 1 a b 1 Jul  4 12:00 x\n");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("usage: tessel-cli"), std::string::npos) << result.err;
    }
    const auto help = Cli({"--help"}, "");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("parse"), std::string::npos);
}

TEST(CliParse, LongListingsStreamThrough)
{
    std::string listing;
    for (int i = 0; i < 20000; ++i)
        listing +=
            "-rw-r--r-- 1 a b " + std::to_string(i) + " Jul  4 12:00 file" + std::to_string(i) + "\r\n";
    listing += std::string(3 << 20, 'x') + "\n-rw-r--r-- 1 a b 1 Jul  4 12:00 after\n";
    const auto result = Cli({"parse"}, listing);
    ASSERT_EQ(result.exitCode, 0);
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 20002u);
    EXPECT_NE(lines[19999].find("\"Name\":\"file19999\""), std::string::npos);
    EXPECT_EQ(lines[20000], "null"); // a 3 MiB line is no entry
    EXPECT_NE(lines[20001].find("\"Name\":\"after\""), std::string::npos);
}

} // namespace
