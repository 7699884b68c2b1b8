// The search by name: the name test, the walk over a real pyftpdlib tree, and
// hostile trees from the scripted server.
#include "files/RemoteFind.h"
#include "files/NameTest.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;

namespace
{

// Keeps what a search reports.
class Collected : public IFindReport
{
public:
    void Found(std::vector<FoundEntry> entries) override
    {
        ++batches;
        for (auto& entry : entries)
        {
            paths.push_back(CRemoteFind::ShownPath(entry.row));
            found.push_back(std::move(entry));
        }
        if (onFound)
            onFound();
    }
    void Examining(const std::wstring&) override { ++examining; }
    void Unreadable(const std::wstring& folder, const std::wstring& why) override
    {
        unreadable.push_back(folder + L": " + why);
    }

    std::vector<FoundEntry> found;
    std::vector<std::wstring> paths;
    std::vector<std::wstring> unreadable;
    int batches = 0;
    int examining = 0;
    std::function<void()> onFound;
};

int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

FindCriteria Text(const std::wstring& text, bool subfolders = true, bool matchCase = false,
                  bool wholeWord = false)
{
    return {text, subfolders, matchCase, wholeWord};
}

} // namespace

TEST(NameTest, CaseWholeWordsAndBlankText)
{
    struct Case
    {
        std::wstring text, name;
        bool matchCase, wholeWord, matches;
    };
    const Case cases[] = {
        {L"READ", L"readme.txt", false, false, true},
        {L"READ", L"readme.txt", true, false, false},
        {L"Ä", L"bär", false, false, true}, // folding is not ASCII only
        {L"read", L"read.me", false, true, true},
        {L"read", L"my read", false, true, true},
        {L"read", L"readme", false, true, false},
        {L"read", L"read_me", false, true, true}, // "_" is punctuation
        {L"read", L"read", false, true, true},    // start and end of the name
        {L"read", L"readme read", false, true, true},
        {L"read", L"unread", false, true, false},
        {L"read", L"(read)", false, true, true},
        {L"Read", L"my read", true, true, false},
        {L" read\t", L"readme", false, false, true}, // blanks at the ends do not count
        {L"   ", L"a b", false, false, false},
        {L"", L"anything", false, false, false},
    };
    for (const auto& c : cases)
    {
        const CNameTest test({c.text, true, c.matchCase, c.wholeWord});
        EXPECT_EQ(test.Matches(c.name), c.matches)
            << "text \"" << platform::TextCodec::ToUtf8(c.text) << "\" name \""
            << platform::TextCodec::ToUtf8(c.name) << "\" case " << c.matchCase << " word " << c.wholeWord;
    }
}

namespace
{
class RemoteFindTree : public testing::Test
{
protected:
    void SetUp() override
    {
        File("Alpha/beta");
        File("Alpha/Sub/readme");
        File("Alpha/Sub/README.txt");
        fs::create_directory_symlink("..", Root() / "Alpha/up");
        fs::create_directory_symlink("Alpha", Root() / "lnk");
        fs::create_directories(Root() / "zeta");
        File("alpha.txt", "12345");
        File("Readme.md");
        SiteRecord site = testing_support::FixtureSite(m_server, 5);
        site.SetKeepAlive(1);
        ASSERT_TRUE(m_connection.Connect(site)) << m_server.Log();
    }
    fs::path Root() const { return m_server.Root(); }
    void File(const std::string& relative, const std::string& content = "")
    {
        fs::create_directories((Root() / relative).parent_path());
        std::ofstream(Root() / relative) << content;
    }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
    Collected m_report;
};
} // namespace

TEST_F(RemoteFindTree, DepthFirstInBrowserOrderLinksMatchedButNeverEntered)
{
    CRemoteFind find(m_connection, Text(L"a"), m_report);
    const FindOutcome outcome = find.Run(L"/");
    EXPECT_EQ(outcome.end, FindOutcome::Completed);
    EXPECT_THAT(m_report.paths,
                ElementsAre(L"/Alpha", L"/Alpha/Sub/readme", L"/Alpha/Sub/README.txt", L"/Alpha/beta",
                            L"/lnk -> Alpha", L"/zeta", L"/alpha.txt", L"/Readme.md"));
    EXPECT_EQ(outcome.found, 8);
    // Every entry once: 5 at the top, 3 in Alpha, 2 in Sub.
    EXPECT_EQ(outcome.examined, 10);
    EXPECT_EQ(outcome.unreadable, 0);
    EXPECT_EQ(CRemoteFind::EndText(outcome), L"");

    // A result is the row with its folder, and the record it came from.
    const FoundEntry& link = m_report.found[4];
    EXPECT_TRUE(link.row.isLink);
    EXPECT_EQ(link.row.name, L"lnk");
    EXPECT_EQ(link.row.path, L"/");
    const FoundEntry& file = m_report.found[6];
    EXPECT_EQ(file.row.size, 5);
    EXPECT_EQ(file.row.attributes.substr(0, 1), L"-");
    ASSERT_TRUE(file.record);
    EXPECT_EQ(file.record->Name, L"alpha.txt");

    // The root, Alpha, Sub and zeta were listed; neither link was.
    const std::string log = m_server.Log();
    EXPECT_EQ(Occurrences(log, "LIST"), 4) << log;
    EXPECT_EQ(Occurrences(log, "LIST /lnk"), 0);
    EXPECT_EQ(Occurrences(log, "LIST /Alpha/up"), 0);
    EXPECT_THAT(testing_support::Boxes().Texts(), IsEmpty());
}

TEST_F(RemoteFindTree, OptionsNarrowTheSearchAndSubfoldersOffListsOnlyTheFolder)
{
    {
        CRemoteFind find(m_connection, Text(L"readme", true, true, true), m_report);
        find.Run(L"/");
        EXPECT_THAT(m_report.paths, ElementsAre(L"/Alpha/Sub/readme"));
    }
    const int listed = Occurrences(m_server.Log(), "LIST");
    Collected top;
    CRemoteFind find(m_connection, Text(L"A", false), top);
    EXPECT_EQ(find.Run(L"/").end, FindOutcome::Completed);
    EXPECT_THAT(top.paths, ElementsAre(L"/Alpha", L"/lnk -> Alpha", L"/zeta", L"/alpha.txt", L"/Readme.md"));
    EXPECT_EQ(Occurrences(m_server.Log(), "LIST"), listed + 1);

    // Handed the browser's rows, it lists nothing at all.
    BrowserRow row;
    row.name = row.displayName = L"Alpha";
    row.isDirectory = true;
    Collected given;
    CRemoteFind fromRows(m_connection, Text(L"alp", false), given);
    fromRows.Run(L"/", {row});
    EXPECT_THAT(given.paths, ElementsAre(L"/Alpha"));
    EXPECT_EQ(Occurrences(m_server.Log(), "LIST"), listed + 1);
}

TEST_F(RemoteFindTree, AKeepAliveTickDuringASearchSendsNothing)
{
    const int pwds = Occurrences(m_server.Log(), "PWD");
    std::mutex mutex;
    std::condition_variable changed;
    bool searching = false, ticked = false;
    // The search waits inside its first report until the tick has been tried.
    m_report.onFound = [&]
    {
        std::unique_lock lock(mutex);
        if (ticked)
            return;
        searching = true;
        changed.notify_all();
        changed.wait(lock, [&] { return ticked; });
    };
    std::thread search(
        [&]
        {
            CRemoteFind find(m_connection, Text(L"a"), m_report);
            find.Run(L"/");
        });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return searching; });
        EXPECT_TRUE(m_connection.IsBusy());
        m_connection.KeepAliveTick();
        ticked = true;
        changed.notify_all();
    }
    search.join();
    EXPECT_FALSE(m_connection.IsBusy());
    EXPECT_EQ(Occurrences(m_server.Log(), "PWD"), pwds);
    // Idle again, the tick goes out.
    m_connection.KeepAliveTick();
    EXPECT_EQ(Occurrences(m_server.Log(), "PWD"), pwds + 1);
}

namespace
{
class RemoteFindScripted : public testing::Test
{
protected:
    RemoteFindScripted()
    {
        m_server.Greet("220 hi\r\n").On("USER u", "230 in\r\n").On("FEAT", "500 ?\r\n").On("PWD", "257 \"/\"\r\n");
    }
    void List(const std::string& path, const std::string& listing)
    {
        m_server.Passive().On("LIST " + path, "150 ok\r\n").DataSend(listing).Send("226 ok\r\n");
    }
    void Connect()
    {
        m_server.Start();
        SiteRecord site;
        site.SetHost(L"127.0.0.1");
        site.SetPort(m_server.Port());
        site.SetLogin(L"u");
        site.SetTimeout(5);
        site.SetPassive(1);
        ASSERT_TRUE(m_connection.Connect(site));
    }
    std::vector<std::string> Lists()
    {
        EXPECT_TRUE(m_server.WaitFinished(std::chrono::seconds(30)));
        EXPECT_THAT(m_server.Mismatches(), IsEmpty());
        std::vector<std::string> lists;
        for (const auto& command : m_server.Received())
            if (command.rfind("LIST", 0) == 0)
                lists.push_back(command);
        return lists;
    }

    testing_support::ScriptedFtpServer m_server;
    CSiteConnection m_connection;
    Collected m_report;
};
} // namespace

TEST_F(RemoteFindScripted, AnEndlessTreeEndsSixtyFourLevelsDown)
{
    // Every folder holds a folder d and a file x, for ever.
    const std::string listing = "drwxr-xr-x 2 u g 0 Jan  1 10:00 d\r\n-rw-r--r-- 1 u g 1 Jan  1 10:00 x\r\n";
    std::string path = "/";
    List(path, listing);
    for (int level = 1; level < CRemoteFind::MaxDepth; ++level)
    {
        path += (level == 1 ? "d" : "/d");
        List(path, listing);
    }
    Connect();
    CRemoteFind find(m_connection, Text(L"x"), m_report);
    const FindOutcome outcome = find.Run(L"/");
    EXPECT_EQ(outcome.end, FindOutcome::Completed);
    EXPECT_TRUE(outcome.tooDeep);
    EXPECT_EQ(outcome.found, CRemoteFind::MaxDepth);
    EXPECT_EQ(Lists().size(), static_cast<size_t>(CRemoteFind::MaxDepth));
    EXPECT_EQ(CRemoteFind::EndText(outcome), L"Folders more than 64 levels down were not searched.");
}

TEST_F(RemoteFindScripted, TooManyResultsEndTheSearchAtTheBound)
{
    List("/", "drwxr-xr-x 2 u g 0 Jan  1 10:00 many\r\ndrwxr-xr-x 2 u g 0 Jan  1 10:00 other\r\n");
    std::string listing;
    for (long long i = 0; i <= CRemoteFind::MaxResults; ++i)
        listing += "-rw-r--r-- 1 u g 1 Jan  1 10:00 f" + std::to_string(i) + "\r\n";
    List("/many", listing);
    Connect();
    CRemoteFind find(m_connection, Text(L"f"), m_report);
    const FindOutcome outcome = find.Run(L"/");
    EXPECT_EQ(outcome.end, FindOutcome::TooManyResults);
    EXPECT_EQ(m_report.found.size(), static_cast<size_t>(CRemoteFind::MaxResults));
    // Reported in batches, not one call per result.
    EXPECT_LT(m_report.batches, 1000);
    // The search ended there: "other" was never listed, nothing else was sent.
    EXPECT_THAT(Lists(), ElementsAre("LIST /\r\n", "LIST /many\r\n"));
    EXPECT_EQ(m_server.Received().back(), "LIST /many\r\n");
    EXPECT_EQ(CRemoteFind::EndText(outcome), L"The search stopped at 100000 results.");
}

TEST_F(RemoteFindScripted, RefusedFoldersAreCountedAndALostConnectionEndsTheSearch)
{
    List("/", "drwxr-xr-x 2 u g 0 Jan  1 10:00 a\r\ndrwxr-xr-x 2 u g 0 Jan  1 10:00 b\r\n"
              "drwxr-xr-x 2 u g 0 Jan  1 10:00 c\r\ndrwxr-xr-x 2 u g 0 Jan  1 10:00 d\r\n");
    m_server.Passive().On("LIST /a", "550 No access\r\n");
    m_server.Passive().On("LIST /b", "550 No access either\r\n");
    m_server.Passive().On("LIST /c", "").Drop();
    Connect();
    CRemoteFind find(m_connection, Text(L"z"), m_report);
    const FindOutcome outcome = find.Run(L"/");
    EXPECT_EQ(outcome.end, FindOutcome::ConnectionLost);
    EXPECT_EQ(outcome.unreadable, 2);
    EXPECT_THAT(m_report.unreadable, ElementsAre(L"/a: 550 No access", L"/b: 550 No access either"));
    // d is never tried, and no error box was shown on the way.
    EXPECT_THAT(Lists(), ElementsAre("LIST /\r\n", "LIST /a\r\n", "LIST /b\r\n", "LIST /c\r\n"));
    EXPECT_THAT(testing_support::Boxes().Texts(), IsEmpty());
    EXPECT_EQ(CRemoteFind::EndText(outcome), L"The connection to the server was lost, so the search ended. "
                                             L"2 folders could not be read, the first: /a");
}

TEST(RemoteFindDelete, PickedResultsKeepTheirFlagsAndWhatAPickedFolderHoldsGoesWithIt)
{
    auto row = [](const std::wstring& path, const std::wstring& name, bool folder, bool link)
    {
        BrowserRow made;
        made.path = path;
        made.name = made.displayName = name;
        made.isDirectory = folder;
        made.isLink = link;
        return made;
    };
    CSiteConnection connection;
    const auto list =
        CRemoteFind::DeleteList(connection, {row(L"/", L"d", true, false), row(L"/d", L"inner", false, false),
                                             row(L"/", L"lnk", true, true), row(L"/lnk", L"x", false, false),
                                             row(L"/", L"f", false, false), row(L"/", L"f", false, false)});
    std::vector<std::wstring> items;
    for (const auto& item : list->Items())
        items.push_back(item.sourcePath + (item.isDirectory ? L" folder" : L"") +
                        (item.isLink ? L" link" : L""));
    // What lies below a link is not inside it: the link goes, not its target.
    EXPECT_THAT(items, ElementsAre(L"/d folder", L"/lnk folder link", L"/lnk/x", L"/f"));
}

TEST(RemoteFindGoto, TheExactListedTextWinsOverANameThatDiffersOnlyInCase)
{
    auto row = [](const std::wstring& name, const std::wstring& listed)
    {
        BrowserRow made;
        made.name = name;
        made.displayName = listed;
        return made;
    };
    const std::vector<BrowserRow> rows{row(L"README", L"README"), row(L"readme", L"readme"),
                                       row(L"lnk", L"lnk -> new-target")};
    EXPECT_EQ(CRemoteFind::RowFor(rows, row(L"readme", L"readme")), 1);
    // A link whose target changed since the search is still found by its name.
    EXPECT_EQ(CRemoteFind::RowFor(rows, row(L"lnk", L"lnk -> old-target")), 2);
    EXPECT_EQ(CRemoteFind::RowFor(rows, row(L"Readme", L"Readme")), -1);
}
