// The remote file commands: their exact commands against the scripted server,
// and what they do to a real server's disk (pyftpdlib).
#include "files/RemoteCommands.h"
#include "files/FileMode.h"
#include "files/IFileCommandHost.h"
#include "files/RemoteBrowser.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "platform/Services.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <optional>

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::Boxes;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{

// Answers the commands' dialogs from a script and runs their jobs where it
// stands. An answer the script lacks fails the test, so nothing passes by
// being asked nothing.
class ScriptedHost : public IFileCommandHost, private ITransferJobHost
{
public:
    bool Prompt(const std::wstring& title, std::wstring& text) override
    {
        prompted.push_back(title + L": " + text);
        return Answer(prompts, text);
    }
    bool ChooseMode(int preset, std::wstring& mode) override
    {
        presets.push_back(preset);
        return Answer(modes, mode);
    }
    void ShowProperties(const FileProperties& properties) override { shown.push_back(properties); }
    JobResult RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination,
                     JobKind kind) override
    {
        jobs.push_back(kind);
        CSiteConnection* connection = list->Connection();
        CTransferJob job(connection, std::move(list), destination, kind, *this);
        return job.Run();
    }

    // nullopt: Cancel.
    std::deque<std::optional<std::wstring>> prompts, modes;
    std::deque<bool> replaces;
    std::vector<std::wstring> prompted, replaceAsked;
    std::vector<int> presets;
    std::vector<FileProperties> shown;
    std::vector<JobKind> jobs;

private:
    static bool Answer(std::deque<std::optional<std::wstring>>& script, std::wstring& text)
    {
        if (script.empty())
        {
            ADD_FAILURE() << "a dialog the test did not expect";
            return false;
        }
        const auto answer = script.front();
        script.pop_front();
        if (answer)
            text = *answer;
        return answer.has_value();
    }
    void ItemText(const std::wstring&) override {}
    void SetRange(std::int64_t) override {}
    void Progress(std::int64_t) override {}
    bool AskReplace(bool, const std::wstring& name, const std::wstring&, const std::wstring&) override
    {
        replaceAsked.push_back(name);
        if (replaces.empty())
        {
            ADD_FAILURE() << "a replace question the test did not expect";
            return false;
        }
        const bool answer = replaces.front();
        replaces.pop_front();
        return answer;
    }
    // As the progress dialog asks: a question box.
    bool AskGoOn(const std::wstring& text) override { return platform::Services::AskOkCancel(text); }
    void Ended(JobResult) override {}
};

// ---- The exact commands, against the scripted server ----

// Rows once sorted: docs, lnk (a link counts as a folder), a.txt, b.txt.
const std::string Listing = "drwxr-xr-x 2 u g 4096 Jan  1 10:00 docs\r\n"
                            "lrwxrwxrwx 1 u g    4 Jan  1 10:00 lnk -> /etc\r\n"
                            "-rw-r--r-- 1 u g   10 Jan  1 10:00 a.txt\r\n"
                            "-rw-r--r-- 1 u g   20 Jan  1 10:00 b.txt\r\n";
enum
{
    Docs,
    Lnk,
    ATxt,
    BTxt
};

class RemoteCommandsScripted : public testing::Test
{
protected:
    RemoteCommandsScripted()
    {
        server.Greet("220 hi\r\n").On("USER u", "230 in\r\n").On("FEAT", "500 ?\r\n").On("PWD", "257 \"/pub\"\r\n");
        List("/pub");
    }
    void List(const std::string& path)
    {
        server.Passive().On("LIST " + path, "150 ok\r\n").DataSend(Listing).Send("226 ok\r\n");
    }
    // Starts the script, logs on and shows /pub.
    void Connect()
    {
        server.Start();
        SiteRecord site;
        site.SetHost(L"127.0.0.1");
        site.SetPort(server.Port());
        site.SetLogin(L"u");
        site.SetTimeout(5);
        site.SetPassive(1);
        ASSERT_TRUE(connection.Connect(site));
        ASSERT_TRUE(browser.Refresh());
        ASSERT_EQ(browser.Rows().size(), 4u);
        ASSERT_EQ(browser.Rows()[Lnk].name, L"lnk");
        loggedOn = 5;
        testing_support::ResetServices();
    }
    // What the commands sent, once the script has run.
    std::vector<std::string> Sent()
    {
        EXPECT_TRUE(server.WaitFinished());
        EXPECT_THAT(server.Mismatches(), IsEmpty());
        const auto all = server.Received();
        return {all.begin() + std::min(loggedOn, all.size()), all.end()};
    }

    testing_support::ScriptedFtpServer server;
    CSiteConnection connection;
    CDirectEngineRunner runner;
    CRemoteBrowser browser{connection, runner};
    ScriptedHost host;
    CRemoteCommands commands{connection, runner, browser, host};
    size_t loggedOn = 0;
};

TEST_F(RemoteCommandsScripted, NewDirectoryInASelectedFolderEntersItAndARefusedMkdDoesNot)
{
    server.On("MKD /pub/x", "550 Exists\r\n");
    server.On("MKD /pub/docs/new", "257 \"/pub/docs/new\" created\r\n").On("CWD /pub/docs", "250 ok\r\n");
    List("/pub/docs");
    Connect();
    // A file row picked: the current folder.
    host.prompts = {L"x"};
    commands.NewDirectory({ATxt});
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 Exists"));
    EXPECT_EQ(browser.Folder(), L"/pub");

    host.prompts = {L"new"};
    commands.NewDirectory({Docs});
    EXPECT_EQ(browser.Folder(), L"/pub/docs");
    EXPECT_EQ(host.prompted, (std::vector<std::wstring>{L"New Directory: ", L"New Directory: "}));
    EXPECT_THAT(Sent(), ElementsAre("MKD /pub/x\r\n", "MKD /pub/docs/new\r\n", "CWD /pub/docs\r\n",
                                    "PASV\r\n", "LIST /pub/docs\r\n"));
    EXPECT_EQ(Boxes().Count(), 1u);
}

TEST_F(RemoteCommandsScripted, RenameOfALinkNamesTheLinkAndARefusedRnfrSendsNoRnto)
{
    server.On("RNFR /pub/lnk", "350 Ready\r\n").On("RNTO /pub/etc-link", "250 Renamed\r\n");
    List("/pub");
    server.On("RNFR /pub/a.txt", "550 No such file\r\n");
    Connect();
    host.prompts = {L"etc-link", L"c.txt"};
    commands.Rename({Lnk});
    commands.Rename({ATxt});
    EXPECT_EQ(host.prompted, (std::vector<std::wstring>{L"Rename: lnk", L"Rename: a.txt"}));
    EXPECT_THAT(Sent(), ElementsAre("RNFR /pub/lnk\r\n", "RNTO /pub/etc-link\r\n", "PASV\r\n",
                                    "LIST /pub\r\n", "RNFR /pub/a.txt\r\n"));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 No such file"));
}

TEST_F(RemoteCommandsScripted, ChmodGoesInListOrderPastARefusalAndRefreshesOnce)
{
    server.On("SITE CHMOD 600 /pub/a.txt", "550 Not permitted\r\n")
        .On("SITE CHMOD 600 /pub/b.txt", "200 ok\r\n");
    List("/pub");
    Connect();
    host.modes = {L" 600 "};
    commands.Chmod({BTxt, ATxt});
    // Two rows: the fixed start, not either row's rights.
    EXPECT_EQ(host.presets, (std::vector<int>{CFileMode::DefaultMode}));
    EXPECT_THAT(Sent(), ElementsAre("SITE CHMOD 600 /pub/a.txt\r\n", "SITE CHMOD 600 /pub/b.txt\r\n",
                                    "PASV\r\n", "LIST /pub\r\n"));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 Not permitted"));
}

TEST_F(RemoteCommandsScripted, DeleteOfALinkDeletesTheLinkAndNeverListsIt)
{
    server.On("DELE /pub/lnk", "250 Deleted\r\n");
    List("/pub");
    Connect();
    commands.Delete({Lnk});
    EXPECT_EQ(host.jobs, (std::vector<JobKind>{JobKind::RemoteDelete}));
    EXPECT_THAT(Sent(), ElementsAre("DELE /pub/lnk\r\n", "PASV\r\n", "LIST /pub\r\n"));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(CRemoteCommands::DeleteQuestion));
}

TEST_F(RemoteCommandsScripted, CancelRefusedInputAndADeadConnectionSendNothing)
{
    server.On("QUIT", "221 Bye\r\n");
    Connect();
    using Text = std::optional<std::wstring>;
    const Text cancel;
    struct Case
    {
        const char* what;
        void (CRemoteCommands::*command)(const std::vector<int>&);
        std::vector<int> picked;
        std::deque<Text> prompts, modes;
        // Message boxes shown: questions and refusals.
        size_t boxes;
        platform::BoxAnswer answer = platform::BoxAnswer::Ok;
    };
    const Case cases[] = {
        {"new directory, cancel", &CRemoteCommands::NewDirectory, {}, {cancel}, {}, 0},
        {"new directory, empty", &CRemoteCommands::NewDirectory, {}, {L""}, {}, 1},
        {"new directory, blanks", &CRemoteCommands::NewDirectory, {}, {L"   "}, {}, 1},
        {"new directory, dot", &CRemoteCommands::NewDirectory, {}, {L"."}, {}, 1},
        {"new directory, dot dot", &CRemoteCommands::NewDirectory, {Docs}, {L".."}, {}, 1},
        {"new directory, slash", &CRemoteCommands::NewDirectory, {}, {L"a/b"}, {}, 1},
        {"new directory, control", &CRemoteCommands::NewDirectory, {}, {L"a\r\nDELE x"}, {}, 1},
        {"rename, cancel", &CRemoteCommands::Rename, {ATxt}, {cancel}, {}, 0},
        {"rename, unchanged", &CRemoteCommands::Rename, {ATxt}, {L"a.txt"}, {}, 0},
        {"rename, taken", &CRemoteCommands::Rename, {ATxt}, {L"b.txt"}, {}, 1},
        {"rename, taken by a link", &CRemoteCommands::Rename, {ATxt}, {L"lnk"}, {}, 1},
        {"rename, empty", &CRemoteCommands::Rename, {ATxt}, {L""}, {}, 1},
        {"rename, slash", &CRemoteCommands::Rename, {ATxt}, {L"../a.txt"}, {}, 1},
        {"rename, nothing picked", &CRemoteCommands::Rename, {}, {}, {}, 0},
        {"delete, cancel", &CRemoteCommands::Delete, {ATxt, BTxt}, {}, {}, 1, platform::BoxAnswer::Cancel},
        {"delete, nothing picked", &CRemoteCommands::Delete, {}, {}, {}, 0},
        {"move, cancel", &CRemoteCommands::MoveTo, {ATxt}, {cancel}, {}, 0},
        {"move, unchanged", &CRemoteCommands::MoveTo, {ATxt}, {L"/pub"}, {}, 0},
        {"move, the same folder", &CRemoteCommands::MoveTo, {ATxt}, {L"./"}, {}, 0},
        {"move, empty", &CRemoteCommands::MoveTo, {ATxt}, {L""}, {}, 0},
        {"move, onto itself", &CRemoteCommands::MoveTo, {Docs, ATxt}, {L"docs"}, {}, 1},
        {"move, into itself", &CRemoteCommands::MoveTo, {Docs}, {L"/pub/x/../docs/in"}, {}, 1},
        {"move, control", &CRemoteCommands::MoveTo, {ATxt}, {L"/tmp\r\nDELE /pub/b.txt"}, {}, 1},
        {"move, nothing picked", &CRemoteCommands::MoveTo, {}, {}, {}, 0},
        {"chmod, cancel", &CRemoteCommands::Chmod, {ATxt}, {}, {cancel}, 0},
        {"chmod, more than a mode", &CRemoteCommands::Chmod, {ATxt}, {}, {L"644 /etc/passwd"}, 1},
        {"chmod, not octal", &CRemoteCommands::Chmod, {ATxt}, {}, {L"688"}, 1},
        {"chmod, too short", &CRemoteCommands::Chmod, {ATxt}, {}, {L"64"}, 1},
        {"chmod, too long", &CRemoteCommands::Chmod, {ATxt}, {}, {L"01777"}, 1},
        {"chmod, nothing picked", &CRemoteCommands::Chmod, {}, {}, {}, 0},
        {"properties, nothing picked", &CRemoteCommands::Properties, {}, {}, {}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        testing_support::ResetServices();
        Boxes().QueueAnswer(c.answer);
        host.prompts = c.prompts;
        host.modes = c.modes;
        (commands.*c.command)(c.picked);
        EXPECT_EQ(Boxes().Count(), c.boxes);
        EXPECT_TRUE(host.prompts.empty() && host.modes.empty());
        EXPECT_TRUE(host.jobs.empty());
    }
    EXPECT_TRUE(host.shown.empty());

    // After a disconnect no command asks anything or sends anything.
    connection.Disconnect();
    testing_support::ResetServices();
    host.prompted.clear();
    host.presets.clear();
    for (auto command : {&CRemoteCommands::NewDirectory, &CRemoteCommands::Rename, &CRemoteCommands::Delete,
                         &CRemoteCommands::MoveTo, &CRemoteCommands::Chmod, &CRemoteCommands::Properties})
        (commands.*command)({ATxt});
    EXPECT_TRUE(host.prompted.empty());
    EXPECT_TRUE(host.presets.empty());
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_THAT(Sent(), ElementsAre("QUIT\r\n"));
}

// Prompts offer names as people read them; a listed name goes back as its
// bytes, typed text goes out through the site's codec, and a Latin-1 site
// refuses what Latin-1 cannot write before anything is sent.
TEST(RemoteCommandsNames, PresetsAreReadTheListedBytesGoBackAndTypedTextIsEncoded)
{
    for (const auto encoding : {nsFTP::NameEncoding::Auto, nsFTP::NameEncoding::Latin1})
    {
        const bool latin1 = encoding == nsFTP::NameEncoding::Latin1;
        SCOPED_TRACE(nsFTP::CNameCodec::Name(encoding));
        testing_support::ResetServices();
        testing_support::ScriptedFtpServer server;
        server.Greet("220 hi\r\n").On("USER u", "230 in\r\n").On("FEAT", "500 ?\r\n").On("PWD", "257 \"/pub\"\r\n");
        const std::string listing = "-rw-r--r-- 1 u g 10 Jan  1 10:00 caf\xE9.txt\r\n";
        server.Passive().On("LIST /pub", "150 ok\r\n").DataSend(listing).Send("226 ok\r\n");
        server.On("RNFR /pub/caf\xE9.txt", "350 Ready\r\n")
            .On(latin1 ? "RNTO /pub/caf\xE9-2.txt" : "RNTO /pub/caf\xC3\xA9-2.txt", "250 Renamed\r\n");
        server.Passive().On("LIST /pub", "150 ok\r\n").DataSend(listing).Send("226 ok\r\n");
        server.On("SITE CHMOD 640 /pub/caf\xE9.txt", "200 ok\r\n");
        server.Passive().On("LIST /pub", "150 ok\r\n").DataSend(listing).Send("226 ok\r\n").Start();
        SiteRecord site;
        site.SetHost(L"127.0.0.1");
        site.SetPort(server.Port());
        site.SetLogin(L"u");
        site.SetTimeout(5);
        SiteOptions options;
        options.SetEncoding(encoding);
        CSiteConnection connection;
        CDirectEngineRunner runner;
        CRemoteBrowser browser{connection, runner};
        ScriptedHost host;
        CRemoteCommands commands{connection, runner, browser, host};
        ASSERT_TRUE(connection.Connect(site, options));
        ASSERT_TRUE(browser.Refresh());

        host.prompts = {L"caf\u00E9-2.txt", L"\u65E5"};
        commands.Rename({0});
        host.modes = {L"640"};
        commands.Chmod({0});
        commands.NewDirectory({});
        commands.Properties({0});
        EXPECT_EQ(host.prompted.at(0), L"Rename: caf\u00E9.txt");
        ASSERT_EQ(host.shown.size(), 1u);
        EXPECT_EQ(host.shown[0].name, L"caf\u00E9.txt");
        ASSERT_TRUE(server.WaitFinished());
        EXPECT_THAT(server.Mismatches(), IsEmpty());
        if (latin1)
            EXPECT_THAT(Boxes().Texts(), ElementsAre(nsFTP::CNameCodec::CannotEncodeText(L"\u65E5")));
        else
            // Past the script: the server answers 502 to the MKD, which went out as UTF-8.
            EXPECT_EQ(server.Received().back(), "MKD /pub/\xE6\x97\xA5\r\n");
    }
}

TEST(FileModes, ListedRightsTypedValuesAndSizes)
{
    const std::pair<const wchar_t*, int> listed[] = {
        {L"-rw-r--r--", 0644},  {L"drwxr-x--x", 0751},  {L"drwxrwxrwt", 01777},
        {L"-rwsr-Sr-T", 07744}, {L"-rw-r--r--+", 0644}, {L"-rw-r--r-", -1},
        {L"-rw-r--r--x", -1},   {L"-rwxr-xr-q", -1},    {L"", -1},
    };
    for (const auto& [text, mode] : listed)
        EXPECT_EQ(CFileMode::FromAttributes(text), mode) << platform::TextCodec::ToUtf8(text);
    EXPECT_EQ(CFileMode::Text(0644), L"644");
    EXPECT_EQ(CFileMode::Text(0), L"000");
    EXPECT_EQ(CFileMode::Text(01777), L"1777");
    EXPECT_EQ(CFileMode::Parse(L" 0755\t"), L"0755");
    EXPECT_EQ(CFileMode::Parse(L"1777"), L"1777");

    EXPECT_EQ(CRemoteCommands::SizeWithBytes(1536), L"1.50 Kb (1536 bytes)");
    EXPECT_EQ(CRemoteCommands::SizeWithBytes(0), L"(0 bytes)");
    EXPECT_EQ(CRemoteCommands::SizeWithBytes(5LL << 32), L"20480.00 Mb (21474836480 bytes)");
    EXPECT_EQ(CRemoteCommands::SizeWithBytes(-1), L"");
}

// ---- What the commands do to a real server's disk ----

class RemoteCommandsOnDisk : public testing::Test
{
protected:
    void Connect(const std::wstring& directory)
    {
        ASSERT_TRUE(m_connection.Connect(testing_support::FixtureSite(m_server, 5))) << m_server.Log();
        m_connection.GoToInitialDirectory(directory);
        ASSERT_TRUE(m_browser.Refresh());
    }
    fs::path Disk(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }
    // The row of this name; -1 (and a failure) when none.
    int Row(const std::wstring& name)
    {
        for (size_t i = 0; i < m_browser.Rows().size(); ++i)
            if (m_browser.Rows()[i].name == name)
                return static_cast<int>(i);
        ADD_FAILURE() << "no row " << platform::TextCodec::ToUtf8(name);
        return -1;
    }
    std::vector<std::wstring> Names()
    {
        std::vector<std::wstring> names;
        for (const auto& row : m_browser.Rows())
            names.push_back(row.name);
        return names;
    }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
    CDirectEngineRunner m_runner;
    CRemoteBrowser m_browser{m_connection, m_runner};
    ScriptedHost m_host;
    CRemoteCommands m_commands{m_connection, m_runner, m_browser, m_host};
};

TEST_F(RemoteCommandsOnDisk, NewDirectoryAndRenameChangeTheDiskAndATakenNameIsRefused)
{
    fs::create_directories(Disk("pub/docs"));
    WriteFile(Disk("pub/a.txt"), "a");
    WriteFile(Disk("pub/b.txt"), "b");
    WriteFile(Disk("pub/Case.txt"), "case");
    Connect(L"pub");

    m_host.prompts = {L"top", L"made"};
    m_commands.NewDirectory({});
    EXPECT_TRUE(fs::is_directory(Disk("pub/top")));
    m_commands.NewDirectory({Row(L"docs")});
    EXPECT_TRUE(fs::is_directory(Disk("pub/docs/made")));
    EXPECT_EQ(m_browser.Folder(), L"/pub/docs");
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"made"}));

    ASSERT_TRUE(m_browser.GoTo(L"/pub"));
    m_host.prompts = {L"b.txt", L"case.txt", L"c.txt"};
    m_commands.Rename({Row(L"a.txt")});
    EXPECT_EQ(ReadFile(Disk("pub/a.txt")), "a");
    EXPECT_EQ(ReadFile(Disk("pub/b.txt")), "b");
    EXPECT_EQ(Boxes().Count(), 1u);
    m_commands.Rename({Row(L"Case.txt")});
    EXPECT_EQ(ReadFile(Disk("pub/case.txt")), "case");
    EXPECT_FALSE(fs::exists(Disk("pub/Case.txt")));
    m_commands.Rename({Row(L"a.txt")});
    EXPECT_EQ(ReadFile(Disk("pub/c.txt")), "a");
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"docs", L"top", L"b.txt", L"c.txt", L"case.txt"}));
    EXPECT_EQ(Boxes().Count(), 1u);
}

TEST_F(RemoteCommandsOnDisk, DeleteRemovesATreeAndALinkButNotWhatTheLinkLeadsTo)
{
    WriteFile(Disk("pub/tree/x/y.txt"), "y");
    WriteFile(Disk("pub/tree/z.txt"), "z");
    WriteFile(Disk("keep/precious.txt"), "p");
    WriteFile(Disk("pub/f.txt"), "f");
    fs::create_directory_symlink("../keep", Disk("pub/lnk"));
    Connect(L"pub");
    m_commands.Delete({Row(L"tree"), Row(L"lnk")});
    EXPECT_FALSE(fs::exists(Disk("pub/tree")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Disk("pub/lnk"))));
    EXPECT_EQ(ReadFile(Disk("keep/precious.txt")), "p");
    EXPECT_EQ(m_server.Log().find("LIST /pub/lnk"), std::string::npos) << m_server.Log();
    EXPECT_THAT(Boxes().Texts(), ElementsAre(CRemoteCommands::DeleteQuestion));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"f.txt"}));
}

TEST_F(RemoteCommandsOnDisk, MoveToMovesIntoASubfolderAndAsksBeforeReplacing)
{
    fs::create_directories(Disk("pub/sub"));
    WriteFile(Disk("pub/m.txt"), "m");
    WriteFile(Disk("pub/n.txt"), "new n");
    WriteFile(Disk("pub/o.txt"), "o");
    WriteFile(Disk("pub/sub/n.txt"), "old n");
    Connect(L"pub");

    m_host.prompts = {L"sub"};
    m_commands.MoveTo({Row(L"m.txt")});
    EXPECT_EQ(ReadFile(Disk("pub/sub/m.txt")), "m");
    EXPECT_FALSE(fs::exists(Disk("pub/m.txt")));
    EXPECT_TRUE(m_host.replaceAsked.empty());

    // No to the one question: nothing moves at all.
    m_host.prompts = {L"/pub/sub/"};
    m_host.replaces = {false};
    m_commands.MoveTo({Row(L"n.txt"), Row(L"o.txt")});
    EXPECT_EQ(m_host.replaceAsked, (std::vector<std::wstring>{L"n.txt"}));
    EXPECT_EQ(ReadFile(Disk("pub/n.txt")), "new n");
    EXPECT_EQ(ReadFile(Disk("pub/sub/n.txt")), "old n");
    EXPECT_TRUE(fs::exists(Disk("pub/o.txt")));

    m_host.prompts = {L"sub"};
    m_host.replaces = {true};
    m_commands.MoveTo({Row(L"n.txt")});
    EXPECT_EQ(ReadFile(Disk("pub/sub/n.txt")), "new n");
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"sub", L"o.txt"}));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(RemoteCommandsOnDisk, ChmodStartsFromOneRowsRightsAndPropertiesShowTheFirstRow)
{
    fs::create_directories(Disk("pub/bin"));
    fs::permissions(Disk("pub/bin"), fs::perms(0750));
    WriteFile(Disk("pub/run.sh"), "#!/bin/sh\n");
    fs::permissions(Disk("pub/run.sh"), fs::perms(0644));
    WriteFile(Disk("pub/big"), std::string(1536, 'b'));
    WriteFile(Disk("pub/empty"), "");
    Connect(L"pub");

    m_host.modes = {L"755", L"755"};
    m_commands.Chmod({Row(L"bin")});
    m_commands.Chmod({Row(L"run.sh")});
    EXPECT_EQ(m_host.presets, (std::vector<int>{0750, 0644}));
    EXPECT_EQ(fs::status(Disk("pub/bin")).permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(fs::status(Disk("pub/run.sh")).permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(m_browser.Rows()[Row(L"run.sh")].attributes, L"-rwxr-xr-x");

    m_commands.Properties({Row(L"run.sh"), Row(L"big")});
    m_commands.Properties({Row(L"empty")});
    m_commands.Properties({Row(L"bin")});
    ASSERT_EQ(m_host.shown.size(), 3u);
    const FileProperties& big = m_host.shown[0];
    EXPECT_EQ(big.name, L"big");
    EXPECT_EQ(big.path, L"/pub");
    EXPECT_EQ(big.sizeText, L"1.50 Kb (1536 bytes)");
    EXPECT_FALSE(big.local);
    EXPECT_FALSE(big.owner.empty());
    EXPECT_EQ(m_host.shown[1].sizeText, L"(0 bytes)");
    EXPECT_TRUE(m_host.shown[2].isDirectory);
    EXPECT_EQ(m_host.shown[2].attributes, L"drwxr-xr-x");
    EXPECT_EQ(Boxes().Count(), 0u);
}

} // namespace
