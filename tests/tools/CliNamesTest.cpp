// Names outside ASCII through the built tool, against a real pyftpdlib that
// speaks UTF-8 and one whose handler speaks Latin-1 (as old servers do), each
// with --encoding auto and with the server's own encoding. ls shows the names
// as written and gives each a Url that every command takes back as the exact
// name; downloads are written under the server's bytes and uploads send the
// local name's bytes.
#include "CliHarness.h"

#include <gmock/gmock.h>
#include <sstream>

using namespace cli_tests;
using testing::HasSubstr;
using testing::IsEmpty;
using testing_support::PyFtpdOptions;
using testing_support::PyFtpdServer;

namespace
{

const std::string Cafe = "caf\xC3\xA9.txt";                              // café.txt
const std::string Japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"; // 日本語.txt
const std::string Folder = "R\xC3\xA9pertoire";                          // Répertoire
const std::string Uber = "\xC3\xBC"
                         "ber.txt"; // über.txt

struct Setting
{
    const char* name;
    std::string server;   // the handler's encoding
    std::string encoding; // --encoding
};

std::ostream& operator<<(std::ostream& out, const Setting& s)
{
    return out << s.name;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The value of a string field of one JSON line (no escapes in the tests' names).
std::string Field(const std::string& line, const std::string& name)
{
    const std::string key = "\"" + name + "\":\"";
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return {};
    const size_t start = at + key.size();
    return line.substr(start, line.find('"', start) - start);
}

std::string Percent(const std::string& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes)
    {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' ||
            u == '-')
            out.push_back(c);
        else
            out += std::string("%") + hex[u >> 4] + hex[u & 0xF];
    }
    return out;
}

class CliNames : public testing::TestWithParam<Setting>
{
protected:
    CliNames() : m_server(Options()) {}

    static PyFtpdOptions Options()
    {
        PyFtpdOptions options;
        options.encoding = GetParam().server;
        return options;
    }

    bool Latin1Server() const { return GetParam().server == "latin-1"; }

    // The bytes the server lists for a UTF-8 name that fits Latin-1.
    std::string Wire(const std::string& utf8) const
    {
        if (!Latin1Server())
            return utf8;
        std::string latin1;
        for (size_t i = 0; i < utf8.size(); ++i)
        {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c == 0xC3 && i + 1 < utf8.size())
                latin1.push_back(static_cast<char>(0xC0 + (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
            else
                latin1.push_back(static_cast<char>(c));
        }
        return latin1;
    }

    void SetUp() override
    {
        // pyftpdlib keeps UTF-8 names on disk whatever it speaks.
        WriteFile(fs::path(m_server.Root()) / Cafe, "cafe");
        if (!Latin1Server())
            WriteFile(fs::path(m_server.Root()) / Japanese, "nihongo");
        WriteFile(fs::path(m_server.Root()) / Folder / "inner.txt", "inner");
        WriteFile(fs::path(m_server.Root()) / Folder / Cafe, "deep");
    }

    testing_support::ProcessResult Run(std::vector<std::string> args) const
    {
        args.push_back("--encoding");
        args.push_back(GetParam().encoding);
        return Cli(args);
    }

    std::string Url(const std::string& path) const { return BaseUrl(m_server) + "/" + path; }

    // The ls line of the entry people read as name.
    std::string Listed(const std::string& folderUrl, const std::string& name) const
    {
        const auto result = Run({"ls", Url(folderUrl)});
        EXPECT_EQ(result.exitCode, 0) << result.err << m_server.Log();
        for (const auto& line : Lines(result.out))
            if (Field(line, "Name") == name)
                return line;
        return {};
    }

    PyFtpdServer m_server;
    TempFolder m_local{"tessel-cli-names"};
};

TEST_P(CliNames, LsShowsTheNamesAsWrittenWithUrlsOfTheirBytes)
{
    const auto result = Run({"ls", Url("")});
    ASSERT_EQ(result.exitCode, 0) << result.err << m_server.Log();
    std::vector<std::string> names;
    for (const auto& line : Lines(result.out))
        names.push_back(Field(line, "Name"));
    EXPECT_THAT(names, testing::Contains(Cafe));
    EXPECT_THAT(names, testing::Contains(Folder));
    if (!Latin1Server())
        EXPECT_THAT(names, testing::Contains(Japanese));

    EXPECT_EQ(Field(Listed("", Cafe), "Url"), Percent(Wire(Cafe)));
    EXPECT_EQ(Field(Listed(Percent(Wire(Folder)) + "/", Cafe), "Url"),
              Percent(Wire(Folder)) + "/" + Percent(Wire(Cafe)));
    // An absolute path stays absolute in its Url.
    EXPECT_EQ(Field(Listed("%2F" + Percent(Wire(Folder)), "inner.txt"), "Url"),
              "%2F" + Percent(Wire(Folder)) + "/inner.txt");

    const auto pwd = Run({"pwd", Url(Percent(Wire(Folder)))});
    ASSERT_EQ(pwd.exitCode, 0) << pwd.err;
    EXPECT_EQ(pwd.out, "/" + Folder + "\n");
}

TEST_P(CliNames, GetAndMirrorGetWriteTheServersBytes)
{
    const std::string url = Field(Listed("", Cafe), "Url");
    ASSERT_FALSE(url.empty());
    const auto got = Run({"get", Url(url), m_local.Path().string()});
    ASSERT_EQ(got.exitCode, 0) << got.err << m_server.Log();
    EXPECT_EQ(ReadFile(m_local.Path() / Wire(Cafe)), "cafe");

    const fs::path tree = m_local.Path() / "tree";
    fs::create_directories(tree);
    const auto mirrored = Run({"mirror-get", Url(Percent(Wire(Folder))), tree.string()});
    ASSERT_EQ(mirrored.exitCode, 0) << mirrored.err << m_server.Log();
    EXPECT_EQ(ReadFile(tree / Wire(Folder) / Wire(Cafe)), "deep");
    EXPECT_EQ(ReadFile(tree / Wire(Folder) / "inner.txt"), "inner");
}

TEST_P(CliNames, RmAndMvTakeTheUrlsThatLsGave)
{
    const std::string url = Field(Listed("", Cafe), "Url");
    ASSERT_FALSE(url.empty());
    // Into the folder, under a name typed as text: UTF-8 unless the site is
    // set to Latin-1. Auto writes UTF-8, which a Latin-1 server reads as other
    // characters; there the new path is given as the bytes it wants.
    const bool typed = !Latin1Server() || GetParam().encoding == "latin-1";
    const std::string to =
        typed ? Folder + "/moved-" + Cafe : Percent(Wire(Folder)) + "/moved-" + Percent(Wire(Cafe));
    const auto moved = Run({"mv", Url(url), to});
    ASSERT_EQ(moved.exitCode, 0) << moved.err << m_server.Log();
    const std::string movedUrl = Percent(Wire(Folder)) + "/moved-" + Percent(Wire(Cafe));
    EXPECT_EQ(Field(Listed(Percent(Wire(Folder)) + "/", "moved-" + Cafe), "Url"), movedUrl) << m_server.Log();
    EXPECT_TRUE(Listed("", Cafe).empty());

    const auto removed = Run({"rm", Url(movedUrl)});
    ASSERT_EQ(removed.exitCode, 0) << removed.err << m_server.Log();
    const auto gone = Run({"ls", Url(Percent(Wire(Folder)) + "/")});
    ASSERT_EQ(gone.exitCode, 0) << gone.err;
    EXPECT_EQ(Lines(gone.out).size(), 2u) << gone.out;

    const auto folderGone = Run({"rm", "-r", Url(Percent(Wire(Folder)))});
    ASSERT_EQ(folderGone.exitCode, 0) << folderGone.err << m_server.Log();
    EXPECT_TRUE(Listed("", Folder).empty());
}

TEST_P(CliNames, UploadsSendTheLocalNamesBytes)
{
    const fs::path up = m_local.Path() / "up";
    WriteFile(up / Uber, "uber");
    WriteFile(up / "inside" / Uber, "inner uber");
    const auto put = Run({"put", (up / Uber).string(), Url("")});
    ASSERT_EQ(put.exitCode, 0) << put.err << m_server.Log();
    const auto mirrored = Run({"mirror-put", (up / "inside").string(), Url("tree/")});
    ASSERT_EQ(mirrored.exitCode, 0) << mirrored.err << m_server.Log();

    // Listed back with the very bytes the local names have.
    const auto listed = Run({"ls", Url(""), "--encoding", "latin-1"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::vector<std::string> urls;
    for (const auto& line : Lines(listed.out))
        urls.push_back(Field(line, "Url"));
    EXPECT_THAT(urls, testing::Contains(Percent(Uber)));
    if (!Latin1Server())
        EXPECT_EQ(ReadFile(fs::path(m_server.Root()) / Uber), "uber");
    const auto inner = Run({"ls", Url("tree/inside/")});
    ASSERT_EQ(inner.exitCode, 0) << inner.err;
    EXPECT_EQ(Field(Lines(inner.out).at(0), "Url"), "tree/inside/" + Percent(Uber));
}

INSTANTIATE_TEST_SUITE_P(Servers, CliNames,
                         testing::Values(Setting{"Utf8ServerAuto", "utf-8", "auto"},
                                         Setting{"Utf8ServerUtf8", "utf-8", "utf-8"},
                                         Setting{"Latin1ServerAuto", "latin-1", "auto"},
                                         Setting{"Latin1ServerLatin1", "latin-1", "latin-1"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
