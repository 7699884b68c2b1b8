#include "files/RemoteBrowser.h"
#include "files/TransferJob.h"
#include "ftp/FTPFileStatus.h"
#include "platform/Services.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"
#include "support/BrowserRows.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/RecordingShellOpener.h"
#include "support/TestServices.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <utime.h>

namespace fs = std::filesystem;
using platform::Services;

using testing_support::Row;

namespace
{
std::vector<std::wstring> Names(const std::vector<BrowserRow>& rows)
{
    std::vector<std::wstring> names;
    for (const auto& row : rows)
        names.push_back(row.name);
    return names;
}

// The listed texts of the rows a filter lets through, in list order.
std::vector<std::wstring> Shown(const CRemoteBrowser& browser, const BrowserFilter& filter = {})
{
    std::vector<std::wstring> names;
    for (const int index : browser.Filter(filter).visible)
        names.push_back(browser.Rows()[index].displayName);
    return names;
}

std::vector<std::wstring> Counts()
{
    return {Services::StatusText(1), Services::StatusText(2), Services::StatusText(3)};
}

int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}
} // namespace

TEST(BrowserRows, FoldersComeFirstThenNamesWithoutRegardToCaseKeepingEqualNamesInOrder)
{
    std::vector<BrowserRow> rows{Row(L"b", true),     Row(L"A", false),    Row(L"a", true),
                                 Row(L"x", false, 1), Row(L"X", false, 2), Row(L"x", false, 3)};
    CRemoteBrowser::SortRows(rows);
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"a", L"b", L"A", L"x", L"X", L"x"}));
    EXPECT_EQ(rows[3].size, 1);
    EXPECT_EQ(rows[5].size, 3);
}

TEST(BrowserRows, LinksKeepTheirListedTextAndDotEntriesAreLeftOut)
{
    nsFTP::CFTPFileStatus record;
    record.Name = L"lib -> usr/lib";
    record.Path = L"/pub";
    record.Attributes = L"lrwxrwxrwx";
    record.TryCwd = true;
    record.SizeType = 1;
    record.Size = 7;
    BrowserRow row;
    ASSERT_TRUE(CRemoteBrowser::MakeRow(record, nsFTP::CNameCodec(), row));
    EXPECT_TRUE(row.isLink);
    EXPECT_TRUE(row.isDirectory);
    EXPECT_EQ(row.name, L"lib");
    EXPECT_EQ(row.displayName, L"lib -> usr/lib");
    EXPECT_EQ(row.size, 7);

    // A plain file whose name holds an arrow is not cut; an unknown size is -1.
    record.Attributes = L"-rw-r--r--";
    record.SizeType = 0;
    ASSERT_TRUE(CRemoteBrowser::MakeRow(record, nsFTP::CNameCodec(), row));
    EXPECT_EQ(row.name, L"lib -> usr/lib");
    EXPECT_EQ(row.size, -1);

    record.Name = L".";
    EXPECT_FALSE(CRemoteBrowser::MakeRow(record, nsFTP::CNameCodec(), row));
    record.Name = L"..";
    EXPECT_FALSE(CRemoteBrowser::MakeRow(record, nsFTP::CNameCodec(), row));
}

TEST(FolderChain, ChainFromTheRootWithTheHomeFolderFirstWhenItIsNoneOfThem)
{
    int selected = -1;
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/a/b", L"/", selected),
              (std::vector<std::wstring>{L"/", L"/a", L"/a/b"}));
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/a/b", L"/home/u", selected),
              (std::vector<std::wstring>{L"/home/u", L"/", L"/a", L"/a/b"}));
    EXPECT_EQ(selected, 3);
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/a/b", L"/a", selected),
              (std::vector<std::wstring>{L"/", L"/a", L"/a/b"}));
    // A home that merely begins like a listed folder is still put first.
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/ab/c", L"/a", selected),
              (std::vector<std::wstring>{L"/a", L"/", L"/ab", L"/ab/c"}));
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/", L"/", selected), (std::vector<std::wstring>{L"/"}));
    EXPECT_EQ(selected, 0);
    // No current folder: only the home folder, nothing selected.
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"", L"/home/u", selected),
              (std::vector<std::wstring>{L"/home/u"}));
    EXPECT_EQ(selected, -1);
    EXPECT_EQ(CRemoteBrowser::FolderChain(L"/a//b", L"", selected),
              (std::vector<std::wstring>{L"/", L"/a", L"/a/", L"/a//b"}));
    EXPECT_EQ(selected, 3);

    // Whatever path a server reports, the chooser stays small.
    std::wstring deep;
    for (int i = 0; i < 1000; ++i)
        deep += L"/d";
    auto chain = CRemoteBrowser::FolderChain(deep, L"", selected);
    EXPECT_EQ(chain.size(), CRemoteBrowser::MaxChainLevels + 1);
    EXPECT_EQ(chain.front(), L"/");
    EXPECT_EQ(chain.back(), deep);
    EXPECT_EQ(chain[chain.size() - 2], deep.substr(0, deep.size() - 2));
    const std::wstring huge = L"/" + std::wstring(CRemoteBrowser::MaxChainPath, L'x') + L"/y";
    EXPECT_EQ(CRemoteBrowser::FolderChain(huge, L"/", selected), (std::vector<std::wstring>{L"/", huge}));
    EXPECT_EQ(selected, 1);

    EXPECT_EQ(CRemoteBrowser::ParentFolder(L"/a/b"), L"/a");
    EXPECT_EQ(CRemoteBrowser::ParentFolder(L"/a"), L"/");
    EXPECT_EQ(CRemoteBrowser::ParentFolder(L"/"), L"");
    EXPECT_EQ(CRemoteBrowser::ParentFolder(L""), L"");
}

// The filter as the filter bar hands it over, on an unconnected connection.
// The type list is kept as the bar keeps it: "Show All Types" and what was
// gathered, replaced only while no type is chosen.
class BrowserFilterTest : public testing::Test
{
protected:
    void Fill(std::vector<BrowserRow> rows)
    {
        m_browser.SetRows(rows);
        Refill();
    }
    void Refill()
    {
        const BrowserShown shown = m_browser.Filter(m_filter);
        CRemoteBrowser::PostCounts(shown);
        if (m_filter.type.empty())
        {
            m_types = {L"Show All Types"};
            m_types.insert(m_types.end(), shown.types.begin(), shown.types.end());
        }
        m_shown.clear();
        for (const int index : shown.visible)
            m_shown.push_back(m_browser.Rows()[index].displayName);
    }
    void ChooseType(size_t entry) { m_filter.type = entry == 0 ? std::wstring() : m_types.at(entry); }

    CSiteConnection m_connection;
    CDirectEngineRunner m_runner;
    CRemoteBrowser m_browser{m_connection, m_runner};
    BrowserFilter m_filter;
    std::vector<std::wstring> m_shown;
    std::vector<std::wstring> m_types{L"Show All Types"};
};

TEST_F(BrowserFilterTest, TextMatchesAnywhereWithoutRegardToCaseAndCountsCoverWhatIsShown)
{
    Fill({Row(L"LAB.TXT", false, 10), Row(L"cab", false, 20), Row(L"a.b", false, 40), Row(L"tab", true)});
    m_filter.text = L"ab";
    Refill();
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"tab", L"cab", L"LAB.TXT"}));
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"Directories: 1", L"Files: 2", L"30 bytes"}));

    m_filter.text = L"AB";
    m_filter.show = BrowserFilter::FoldersOnly;
    Refill();
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"tab"}));

    m_filter.text.clear();
    m_filter.show = BrowserFilter::FilesOnly;
    Refill();
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"a.b", L"cab", L"LAB.TXT"}));
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"Directories: 0", L"Files: 3", L"70 bytes"}));

    // Case folding covers letters beyond ASCII.
    Fill({Row(L"CAFÉ.txt", false), Row(L"cafe.txt", false)});
    m_filter.show = BrowserFilter::FilesAndFolders;
    m_filter.text = L"café";
    Refill();
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"CAFÉ.txt"}));
}

TEST_F(BrowserFilterTest, TypesAreGatheredOnlyWhenNoEntryBeginsWithThemAndASelectedTypeKeepsFolders)
{
    Fill({Row(L"a.html", false), Row(L"b.htm", false), Row(L"notes.TXT", false), Row(L"c.txt", false),
          Row(L"README", false), Row(L"d.x", true)});
    // Folders' types are gathered too.
    EXPECT_EQ(m_types, (std::vector<std::wstring>{L"Show All Types", L".x", L".html", L".txt"}));

    ChooseType(3);
    Refill();
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"d.x", L"c.txt", L"notes.TXT"}));
    // While a type is selected the list stays as it is.
    Fill({Row(L"z.zip", false)});
    EXPECT_EQ(m_types, (std::vector<std::wstring>{L"Show All Types", L".x", L".html", L".txt"}));

    ChooseType(0);
    Refill();
    EXPECT_EQ(m_types, (std::vector<std::wstring>{L"Show All Types", L".zip"}));
}

TEST_F(BrowserFilterTest, GatheredTypesAreBounded)
{
    std::vector<BrowserRow> rows;
    for (int i = 0; i < CRemoteBrowser::MaxGatheredTypes + 50; ++i)
        rows.push_back(Row(L"f.t" + std::to_wstring(i) + L"x", false));
    Fill(rows);
    EXPECT_EQ(m_types.size(), 1u + CRemoteBrowser::MaxGatheredTypes);
    EXPECT_EQ(m_shown.size(), rows.size());
}

TEST_F(BrowserFilterTest, LinksCountAsNeitherFolderNorFileButTheirSizeCounts)
{
    BrowserRow link = Row(L"lib", true, 7);
    link.isLink = true;
    link.displayName = L"lib -> usr/lib";
    Fill({link, Row(L"d", true), Row(L"f", false, 5)});
    EXPECT_EQ(m_shown, (std::vector<std::wstring>{L"d", L"lib -> usr/lib", L"f"}));
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"Directories: 1", L"Files: 1", L"12 bytes"}));
}

// Against a real server. Files are opened through a download job run where
// the browser stands, as the window runs it behind its progress dialog.
class RemoteBrowser : public testing::Test, private ITransferJobHost
{
protected:
    void SetUp() override
    {
        m_temp = fs::path(m_server.Root()).parent_path() / "local-temp";
        fs::create_directories(m_temp);
        SetTemporaryDirectory(m_temp.wstring());
        m_browser.SetShellOpener(&m_opener);
        m_browser.SetDownloadRunner(
            [this](CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
                   const std::wstring& localFolder)
            {
                auto list = std::make_unique<CTransferList>(&connection);
                list->Add(row.size, false, row.name, remotePath, row.modified);
                CTransferJob job(&connection, std::move(list), localFolder, JobKind::Download, *this);
                return job.Run() == JobResult::Ok && !job.HadFailures();
            });
    }
    void Connect(const std::wstring& directory = L"")
    {
        SiteRecord site = testing_support::FixtureSite(m_server, 5);
        ASSERT_TRUE(m_connection.Connect(site)) << m_server.Log();
        m_connection.GoToInitialDirectory(directory);
    }
    void File(const std::string& relative, const std::string& content)
    {
        const fs::path path = fs::path(m_server.Root()) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void Folder(const std::string& relative) { fs::create_directories(fs::path(m_server.Root()) / relative); }
    void Refresh() { m_browser.Refresh(); }
    std::vector<std::wstring> Folders() const
    {
        int selected = -1;
        return m_browser.FolderChoices(selected);
    }
    std::wstring ChosenFolder() const
    {
        int selected = -1;
        const auto folders = m_browser.FolderChoices(selected);
        return selected >= 0 ? folders[selected] : std::wstring();
    }

    testing_support::PyFtpdServer m_server;
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

TEST_F(RemoteBrowser, RefreshListsSortedRowsTheFolderChainAndTheCounts)
{
    File("a/b/zeta.txt", "12345");
    File("a/b/Alpha.bin", std::string(1000, 'x'));
    Folder("a/b/sub");
    Folder("a/b/Beta");
    fs::create_directory_symlink("sub", fs::path(m_server.Root()) / "a/b/link");
    Connect(L"a/b");
    Refresh();
    const auto shown = Shown(m_browser);
    ASSERT_EQ(shown.size(), 5u) << m_server.Log();
    // pyftpdlib lists links as the files or folders they lead to.
    EXPECT_EQ(shown[0], L"Beta");
    EXPECT_EQ(shown[3], L"Alpha.bin");
    EXPECT_EQ(shown[4], L"zeta.txt");
    EXPECT_EQ(Folders(), (std::vector<std::wstring>{L"/", L"/a", L"/a/b"}));
    EXPECT_EQ(ChosenFolder(), L"/a/b");
    // The link is counted neither as a folder nor as a file.
    EXPECT_EQ(Services::StatusText(1), L"Directories: 2");
    EXPECT_EQ(Services::StatusText(2), L"Files: 2");
    EXPECT_EQ(m_browser.Rows()[1].displayName, L"link -> sub");
    EXPECT_EQ(m_browser.Rows()[1].name, L"link");
    EXPECT_EQ(m_browser.Rows()[3].path, L"/a/b");
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());

    // Sizes of everything shown add up; here files only.
    m_browser.GoTo(L"/a/b/sub");
    File("a/b/sub/one", "1");
    File("a/b/sub/two", std::string(2000, '2'));
    Refresh();
    EXPECT_EQ(Services::StatusText(3), L"2001 bytes");
}

TEST_F(RemoteBrowser, AnEmptyFolderGivesNoRowsAndZeroCounts)
{
    Folder("empty");
    Connect(L"empty");
    const RemoteFolder folder = m_browser.ReadFolder();
    EXPECT_TRUE(folder.listed);
    EXPECT_TRUE(folder.rows.empty());
    Refresh();
    EXPECT_TRUE(Shown(m_browser).empty());
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"Directories: 0", L"Files: 0", L"0 bytes"}));
}

TEST_F(RemoteBrowser, RefreshDoesNothingWhileDisconnected)
{
    m_browser.SetRows({Row(L"kept", false)});
    EXPECT_FALSE(m_browser.Refresh());
    EXPECT_EQ(Names(m_browser.Rows()), (std::vector<std::wstring>{L"kept"}));
    EXPECT_EQ(m_browser.SelectedDirectoryOrCurrent(0), L"");
}

TEST_F(RemoteBrowser, OpeningAFolderEntersItAndARefusedFolderLeavesEverythingAsItWas)
{
    Folder("top/inner");
    File("top/inner/x", "x");
    Connect();
    Refresh();
    ASSERT_EQ(m_browser.Rows().size(), 1u);
    m_browser.OpenRow(0);
    ASSERT_EQ(Shown(m_browser), (std::vector<std::wstring>{L"inner"}));
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/top");
    EXPECT_EQ(m_browser.SelectedDirectoryOrCurrent(0), L"/top/inner");

    fs::remove_all(fs::path(m_server.Root()) / "top/inner");
    m_browser.OpenRow(0);
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/top");
    EXPECT_EQ(Shown(m_browser), (std::vector<std::wstring>{L"inner"}));
    EXPECT_EQ(ChosenFolder(), L"/top");
    EXPECT_EQ(testing_support::Boxes().Count(), 1u);
}

TEST_F(RemoteBrowser, TypedPathsLoseOneTrailingSlashAndTheCurrentFolderIsNotEnteredAgain)
{
    Folder("p/q");
    Connect();
    m_browser.GoToTypedPath(L"/p/q/");
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/p/q");
    m_browser.GoToTypedPath(L"/");
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/");
    const int before = Occurrences(m_server.Log(), "CWD");
    m_browser.GoToTypedPath(L"/");
    m_browser.GoToTypedPath(L"");
    EXPECT_EQ(Occurrences(m_server.Log(), "CWD"), before);
}

TEST_F(RemoteBrowser, UpGoesToTheParentAndStopsAtTheRoot)
{
    Folder("u/v");
    Connect(L"u/v");
    Refresh();
    m_browser.Up();
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/u");
    EXPECT_EQ(Shown(m_browser), (std::vector<std::wstring>{L"v"}));
    m_browser.Up();
    m_browser.Up();
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/");
    EXPECT_EQ(Folders(), (std::vector<std::wstring>{L"/"}));

    // The chooser navigates to its selected entry.
    m_browser.GoTo(L"/u/v");
    m_browser.GoTo(Folders().at(1));
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/u");
}

TEST_F(RemoteBrowser, OpeningAFileDownloadsItIntoTheTemporaryFolderAndOpensIt)
{
    const std::string content(70000, 'k');
    File("docs/report.txt", content);
    std::ofstream(m_temp / "report.txt") << "old";
    Connect(L"docs");
    Refresh();
    ASSERT_EQ(m_browser.Rows().size(), 1u);
    m_browser.OpenRow(0);
    ASSERT_EQ(m_opener.Opened(), (std::vector<std::wstring>{(m_temp / "report.txt").wstring()}))
        << m_server.Log();
    std::ifstream in(m_temp / "report.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());
    // The connection is still usable for the next command.
    EXPECT_EQ(m_connection.CurrentDirectory(), L"/docs");
}

TEST_F(RemoteBrowser, AListedNameThatIsNoSafeLocalNameIsNeverWrittenOrOpened)
{
    Connect();
    BrowserRow evil = Row(L"../escaped", false, 1);
    m_browser.SetRows({evil});
    m_browser.OpenRow(0);
    EXPECT_TRUE(m_opener.Opened().empty());
    EXPECT_FALSE(fs::exists(m_temp.parent_path() / "escaped"));
    EXPECT_EQ(testing_support::Boxes().Count(), 1u);
}

TEST_F(RemoteBrowser, AFileThatCannotBeDownloadedIsNotOpened)
{
    File("gone.txt", "soon gone");
    Connect();
    Refresh();
    ASSERT_EQ(m_browser.Rows().size(), 1u);
    fs::remove(fs::path(m_server.Root()) / "gone.txt");
    m_browser.OpenRow(0);
    EXPECT_TRUE(m_opener.Opened().empty());
    EXPECT_GE(testing_support::Boxes().Count(), 1u);
    EXPECT_TRUE(m_connection.IsConnected());
}
