// Names outside ASCII against real pyftpdlib servers: one that speaks UTF-8
// and an old-style one that speaks Latin-1, each with Auto and with its own
// explicit setting. The browser shows the names as people read them, and
// everything sent back, written locally or uploaded keeps its bytes.
#include "files/RemoteBrowser.h"
#include "files/TransferJob.h"
#include "platform/TextCodec.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/RecordingShellOpener.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>

namespace fs = std::filesystem;
using nsFTP::NameEncoding;
using platform::TextCodec;
using testing::ElementsAre;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{
const std::wstring Cafe = L"caf\u00E9.txt";
const std::wstring Japanese = L"\u65E5\u672C\u8A9E.txt";
const std::wstring Folder = L"R\u00E9pertoire";

struct Setting
{
    const char* name;
    std::string server; // the handler's encoding
    NameEncoding site;
};

std::ostream& operator<<(std::ostream& out, const Setting& s)
{
    return out << s.name;
}

class RemoteNames : public testing::TestWithParam<Setting>, private ITransferJobHost
{
protected:
    RemoteNames() : m_server(Options()) {}

    static testing_support::PyFtpdOptions Options()
    {
        testing_support::PyFtpdOptions options;
        options.encoding = GetParam().server;
        return options;
    }

    bool Latin1Server() const { return GetParam().server == "latin-1"; }

    // The bytes a server of this kind sends for a name people read as text.
    std::string WireBytes(const std::wstring& text) const
    {
        return Latin1Server() && TextCodec::FitsLatin1(text) ? TextCodec::ToLatin1(text) : TextCodec::ToUtf8(text);
    }

    // pyftpdlib keeps UTF-8 names on disk whatever it speaks. A name past
    // Latin-1 reaches a Latin-1 server only as a UTF-8 client sends it: as
    // the characters its UTF-8 bytes are in Latin-1.
    void ServerFile(const std::wstring& name, const std::string& content)
    {
        const std::wstring stored = TextCodec::FitsLatin1(name) || !Latin1Server()
                                        ? name
                                        : TextCodec::FromLatin1(TextCodec::ToUtf8(name));
        WriteFile(fs::path(m_server.Root()) / TextCodec::ToUtf8(stored), content);
    }

    void SetUp() override
    {
        ServerFile(Cafe, "caf\xC3\xA9");
        ServerFile(Japanese, "nihongo");
        ServerFile(Folder + L"/inner.txt", "inner");
        ServerFile(Folder + L"/sub/deep.txt", "deep");
        m_temp = m_local.Path() / "temp";
        fs::create_directories(m_temp);
        SetTemporaryDirectory(m_temp.wstring());
        m_browser.SetShellOpener(&m_opener);
        m_browser.SetDownloadRunner(
            [this](CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
                   const std::wstring& localFolder)
            {
                auto list = std::make_unique<CTransferList>(&connection);
                list->Add(row.size, false, row.name, remotePath, row.modified);
                return Run(std::move(list), localFolder, JobKind::Download);
            });
        SiteOptions options;
        options.SetEncoding(GetParam().site);
        ASSERT_TRUE(m_connection.Connect(testing_support::FixtureSite(m_server, 5), options)) << m_server.Log();
        ASSERT_TRUE(m_browser.Refresh()) << m_server.Log();
    }

    bool Run(std::unique_ptr<CTransferList> list, const std::wstring& destination, JobKind kind)
    {
        CTransferJob job(&m_connection, std::move(list), destination, kind, *this);
        return job.Run() == JobResult::Ok && !job.HadFailures();
    }

    int RowOf(const std::wstring& text) const
    {
        const auto& rows = m_browser.Rows();
        const auto at = std::find_if(rows.begin(), rows.end(), [&](const BrowserRow& row) { return row.displayText == text; });
        return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
    }

    std::vector<std::wstring> Shown(const std::wstring& filter = {}) const
    {
        BrowserFilter chosen;
        chosen.text = filter;
        std::vector<std::wstring> texts;
        for (const int index : m_browser.Filter(chosen).visible)
            texts.push_back(m_browser.Rows()[index].displayText);
        return texts;
    }

    testing_support::PyFtpdServer m_server;
    testing_support::TempFolder m_local{"tessel-names"};
    fs::path m_temp;
    CSiteConnection m_connection;
    CDirectEngineRunner m_runner;
    CRemoteBrowser m_browser{m_connection, m_runner};
    platform::RecordingShellOpener m_opener;

private:
    void ItemText(const std::wstring&) override {}
    void SetRange(std::int64_t) override {}
    void Progress(std::int64_t) override {}
    bool AskReplace(bool, const std::wstring&, const std::wstring&, const std::wstring&) override { return true; }
    bool AskGoOn(const std::wstring&) override { return true; }
    void Ended(JobResult) override {}
};

TEST_P(RemoteNames, TheListShowsTheNamesAsWrittenAndTheFilterFoldsTheirCase)
{
    // A Latin-1 site reads the UTF-8 bytes of the Japanese name as Latin-1:
    // what the user asked for; the name has no Latin-1 form of its own.
    const std::wstring japanese =
        GetParam().site == NameEncoding::Latin1 ? m_connection.Names().Show(TextCodec::FromLatin1(WireBytes(Japanese)))
                                                : Japanese;
    EXPECT_THAT(Shown(), ElementsAre(Folder, Cafe, japanese)) << m_server.Log();
    EXPECT_EQ(m_browser.Rows()[RowOf(Cafe)].name, TextCodec::FromLatin1(WireBytes(Cafe)));
    EXPECT_THAT(Shown(L"CAF\u00C9"), ElementsAre(Cafe));
    EXPECT_THAT(Shown(L"R\u00C9PERT"), ElementsAre(Folder));

    // Entering the folder sends its listed bytes back; the chooser reads them.
    m_browser.OpenRow(RowOf(Folder));
    int selected = -1;
    const auto choices = m_browser.FolderChoices(selected);
    ASSERT_EQ(choices.size(), 2u) << m_server.Log();
    EXPECT_EQ(m_browser.ShowPath(choices[1]), L"/" + Folder);
    EXPECT_THAT(Shown(), ElementsAre(L"sub", L"inner.txt"));
    // The Go prompt's preset, extended: the folder keeps its own bytes.
    m_browser.GoToTypedPath(m_browser.ShowPath(m_browser.Folder()) + L"/sub/");
    EXPECT_EQ(m_browser.Folder(), choices[1] + L"/sub");
    EXPECT_THAT(Shown(), ElementsAre(L"deep.txt"));
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());
}

TEST_P(RemoteNames, DownloadsKeepTheServersBytesAndOpenTheFileThatWasWritten)
{
    m_browser.OpenRow(RowOf(Cafe));
    const std::string written = TextCodec::ToPathBytes(m_temp.wstring()) + "/" + WireBytes(Cafe);
    ASSERT_THAT(m_opener.Opened(), ElementsAre(TextCodec::FromPathBytes(written))) << m_server.Log();
    EXPECT_EQ(ReadFile(written), "caf\xC3\xA9");

    // A folder comes down whole, every name as the server's bytes.
    auto list = std::make_unique<CTransferList>(&m_connection);
    list->AddRow(m_browser.Rows()[RowOf(Folder)]);
    const fs::path down = m_local.Path() / "down";
    ASSERT_TRUE(Run(std::move(list), down.wstring(), JobKind::Download));
    EXPECT_EQ(ReadFile(down / WireBytes(Folder) / "sub" / "deep.txt"), "deep");
}

TEST_P(RemoteNames, UploadsSendTheLocalNamesBytes)
{
    const fs::path up = m_local.Path() / "up";
    WriteFile(up / "\xC3\xBC" "ber.txt", "uber");
    std::string latin1Name = "caf\xE9-local.txt";
    // A server that reads UTF-8 cannot keep a name that is not UTF-8.
    if (Latin1Server())
        WriteFile(up / latin1Name, "latin");
    auto list = std::make_unique<CTransferList>(&m_connection);
    std::wstring why;
    for (const auto& entry : fs::directory_iterator(up))
        ASSERT_TRUE(list->AddLocal(entry.path().string(), why)) << TextCodec::ToUtf8(why);
    ASSERT_TRUE(Run(std::move(list), L"/", JobKind::Upload));
    ASSERT_TRUE(m_browser.Refresh());
    std::vector<std::string> names;
    for (const auto& row : m_browser.Rows())
        names.push_back(TextCodec::ToLatin1(row.name));
    EXPECT_THAT(names, testing::Contains("\xC3\xBC" "ber.txt")) << m_server.Log();
    if (Latin1Server())
        EXPECT_THAT(names, testing::Contains(latin1Name));
}

INSTANTIATE_TEST_SUITE_P(Servers, RemoteNames,
                         testing::Values(Setting{"Utf8ServerAuto", "utf-8", NameEncoding::Auto},
                                         Setting{"Utf8ServerUtf8", "utf-8", NameEncoding::Utf8},
                                         Setting{"Latin1ServerAuto", "latin-1", NameEncoding::Auto},
                                         Setting{"Latin1ServerLatin1", "latin-1", NameEncoding::Latin1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
