#include "files/TransferJob.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "sites/SizeText.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::TextCodec;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{

// Records what a job reports and answers its questions from scripts (yes
// once a script is used up).
class RecordingHost : public ITransferJobHost
{
public:
    struct Question
    {
        bool isDirectory;
        std::wstring name, serverText, localText;
    };

    void ItemText(const std::wstring& path) override { items.push_back(path); }
    void SetRange(std::int64_t total) override { range = total; }
    void Progress(std::int64_t value) override
    {
        progress.push_back(value);
        if (onProgress)
            onProgress(value);
    }
    bool AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                    const std::wstring& localText) override
    {
        questions.push_back({isDirectory, name, serverText, localText});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool AskGoOn(const std::wstring& text) override
    {
        goOnQuestions.push_back(text);
        if (goOnAnswers.empty())
            return true;
        const bool answer = goOnAnswers.front();
        goOnAnswers.pop_front();
        return answer;
    }
    void Ended(JobResult result) override
    {
        ++endedCalls;
        ended = result;
    }

    std::vector<std::wstring> items;
    std::vector<std::int64_t> progress;
    std::int64_t range = -1;
    std::vector<Question> questions;
    std::deque<bool> answers;
    std::vector<std::wstring> goOnQuestions;
    std::deque<bool> goOnAnswers;
    std::function<void(std::int64_t)> onProgress;
    std::optional<JobResult> ended;
    int endedCalls = 0;
};

std::string RandomBytes(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(generator());
    return bytes;
}

// Every file and folder below root: relative path -> contents ("<dir>" for folders).
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<dir>" : ReadFile(entry.path());
    return tree;
}

std::wstring When(std::time_t seconds, bool local)
{
    std::tm parts{};
    if (local)
        localtime_r(&seconds, &parts);
    else
        gmtime_r(&seconds, &parts);
    wchar_t text[128];
    std::wcsftime(text, 128, L"%x %X", &parts);
    return text;
}

class TransferJobTest : public testing::Test
{
protected:
    explicit TransferJobTest(testing_support::PyFtpdOptions options = {}) : m_server(std::move(options)) {}

    void SetUp() override
    {
        SiteRecord site = testing_support::FixtureSite(m_server);
        site.SetKeepAlive(1);
        ASSERT_TRUE(m_connection.Connect(site)) << m_server.Log();
    }

    fs::path Remote(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }

    JobResult Run(std::unique_ptr<CTransferList> list, const std::wstring& destination, JobKind kind,
                  RecordingHost& host, CTransferJob** running = nullptr)
    {
        CTransferJob job(&m_connection, std::move(list), destination, kind, host);
        if (running)
            *running = &job;
        const JobResult result = job.Run();
        m_failures = job.Failures();
        m_cancelled = job.Cancelled();
        return result;
    }

    // A picked remote item as the browser builds it from its listing.
    void PickRemote(CTransferList& list, const std::wstring& folder, const std::wstring& name)
    {
        std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
        ASSERT_TRUE(m_connection.List(folder, records));
        for (const auto& record : records)
            if (record->Name == name)
            {
                list.Add(record->SizeType == 1 ? record->Size : -1, record->TryCwd, name,
                         folder == L"/" ? L"/" + name : folder + L"/" + name, record->ModificationTime);
                return;
            }
        FAIL() << "not listed";
    }

    void PickLocal(CTransferList& list, const fs::path& path)
    {
        const bool isDirectory = fs::is_directory(path);
        struct stat info
        {
        };
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        list.Add(isDirectory ? 0 : static_cast<std::int64_t>(info.st_size), isDirectory,
                 TextCodec::FromUtf8(path.filename().string()), TextCodec::FromUtf8(path.string()),
                 static_cast<std::int64_t>(info.st_mtime));
    }

    std::vector<std::wstring> BoxTexts() const { return testing_support::Boxes().Texts(); }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
    testing_support::TempFolder m_folder{"tessel-job"};
    const fs::path& m_local = m_folder.Path();
    int m_failures = 0;
    bool m_cancelled = false;
};

} // namespace

TEST_F(TransferJobTest, TreeRoundTripsByteForByteThroughUploadAndDownload)
{
    const fs::path tree = m_local / "up" / "tree";
    WriteFile(tree / "a" / "b" / "deep.bin", RandomBytes(600 * 1024 + 7, 1)); // more than two blocks
    WriteFile(tree / "zero", "");
    WriteFile(tree / "with blank" / "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.txt", "utf-8 name\r\n");
    fs::create_directories(tree / "empty" / "nested empty");
    WriteFile(m_local / "up" / "single.txt", "picked file");

    // The keep-alive must send nothing while the job owns the engine.
    bool busyThroughout = true;
    RecordingHost up;
    up.onProgress = [&](std::int64_t)
    {
        busyThroughout = busyThroughout && m_connection.IsBusy();
        m_connection.KeepAliveTick();
    };
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickLocal(*list, tree);
    PickLocal(*list, m_local / "up" / "single.txt");
    // The destination does not exist yet: its whole chain is made.
    EXPECT_EQ(Run(std::move(list), L"/new/chain", JobKind::Upload, up), JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_TRUE(busyThroughout);
    EXPECT_FALSE(m_connection.IsBusy());
    EXPECT_EQ(up.endedCalls, 1);
    const std::int64_t bytes = 600 * 1024 + 7 + 12 + 11;
    EXPECT_EQ(up.range, bytes);
    ASSERT_FALSE(up.progress.empty());
    EXPECT_EQ(up.progress.back(), bytes);
    EXPECT_TRUE(std::is_sorted(up.progress.begin(), up.progress.end()));
    EXPECT_EQ(Tree(Remote("new/chain/tree")), Tree(tree));
    EXPECT_EQ(ReadFile(Remote("new/chain/single.txt")), "picked file");
    const std::string log = m_server.Log();
    size_t pwd = 0;
    for (size_t at = log.find("PWD"); at != std::string::npos; at = log.find("PWD", at + 1))
        ++pwd;
    EXPECT_LE(pwd, 2u) << "keep-alive reached the server during the job";

    RecordingHost down;
    list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/new/chain", L"tree");
    EXPECT_EQ(Run(std::move(list), TextCodec::FromUtf8((m_local / "down").string()), JobKind::Download, down),
              JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_EQ(Tree(m_local / "down" / "tree"), Tree(tree));
    EXPECT_EQ(down.progress.back(), 600 * 1024 + 7 + 12);
    EXPECT_TRUE(BoxTexts().empty()) << TextCodec::ToUtf8(BoxTexts().front());
    // Nothing but the tree itself was left in the destination.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_local / "down"), fs::directory_iterator()), 1);
}

TEST_F(TransferJobTest, RemoteDeleteRemovesTheNestedTreeDeepestFirst)
{
    WriteFile(Remote("t/a/b/c.txt"), "c");
    WriteFile(Remote("t/a/x.txt"), "x");
    fs::create_directories(Remote("t/empty"));
    WriteFile(Remote("keep.txt"), "k");
    // A link in the tree goes; the folder it leads to and its files stay.
    WriteFile(Remote("other/precious.txt"), "p");
    fs::create_directory_symlink("../../other", Remote("t/a/link"));
    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/", L"t");
    EXPECT_EQ(Run(std::move(list), L"", JobKind::RemoteDelete, host), JobResult::Ok);
    EXPECT_FALSE(fs::exists(Remote("t")));
    EXPECT_TRUE(fs::exists(Remote("keep.txt")));
    EXPECT_EQ(ReadFile(Remote("other/precious.txt")), "p");
    EXPECT_EQ(m_server.Log().find("LIST /t/a/link"), std::string::npos) << "a link was looked into";
    // Each path is worked on after every path below it.
    ASSERT_EQ(host.items.size(), 7u);
    for (size_t i = 0; i < host.items.size(); ++i)
        for (size_t j = i + 1; j < host.items.size(); ++j)
            EXPECT_NE(host.items[j].rfind(host.items[i] + L"/", 0), 0u)
                << TextCodec::ToUtf8(host.items[i]) << " before what it holds";
    EXPECT_EQ(host.progress.back(), 6);
    EXPECT_EQ(CTransferJob::ProgressText(JobKind::RemoteDelete, 6, 7), L"Deleting 7 of 7");
}

TEST_F(TransferJobTest, ALinkToAFileDownloadsAsTheFileItLeadsTo)
{
    WriteFile(Remote("d/real.txt"), "real data");
    fs::create_symlink("real.txt", Remote("d/latest"));
    fs::create_directories(Remote("e"));
    fs::create_symlink("nowhere", Remote("e/dangling"));
    const std::wstring local = TextCodec::FromUtf8(m_local.string());

    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/", L"d");
    EXPECT_EQ(Run(std::move(list), local, JobKind::Download, host), JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_EQ(ReadFile(m_local / "d" / "latest"), "real data");
    EXPECT_EQ(ReadFile(m_local / "d" / "real.txt"), "real data");

    // A link that leads nowhere cannot be fetched, and the job says so.
    RecordingHost broken;
    list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/", L"e");
    Run(std::move(list), local, JobKind::Download, broken);
    EXPECT_EQ(m_failures, 1);
    EXPECT_FALSE(fs::exists(m_local / "e" / "dangling"));
}

TEST_F(TransferJobTest, RemoteMoveRenamesAPickedFolderWithItsContents)
{
    WriteFile(Remote("src/f/inner/x.txt"), "x");
    WriteFile(Remote("src/g.txt"), "g");
    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/src", L"f");
    PickRemote(*list, L"/src", L"g.txt");
    EXPECT_EQ(Run(std::move(list), L"/dst", JobKind::RemoteMove, host), JobResult::Ok);
    EXPECT_EQ(ReadFile(Remote("dst/f/inner/x.txt")), "x");
    EXPECT_EQ(ReadFile(Remote("dst/g.txt")), "g");
    EXPECT_FALSE(fs::exists(Remote("src/f")));
    // Nothing was expanded: two items, two renames.
    EXPECT_EQ(host.items, (std::vector<std::wstring>{L"/src/f", L"/src/g.txt"}));
    EXPECT_EQ(host.range, 2);
}

TEST_F(TransferJobTest, ReplaceQuestionIgnoresCaseAsksOnlyPickedItemsAndOneNoRefusesAfterAll)
{
    WriteFile(Remote("dst/report.txt"), "old report");
    WriteFile(Remote("dst/docs/inner.txt"), "old inner");
    WriteFile(m_local / "Report.TXT", "new report");
    WriteFile(m_local / "Docs" / "inner.txt", "new inner");
    WriteFile(m_local / "new.txt", "new");
    auto Picked = [&]
    {
        auto list = std::make_unique<CTransferList>(&m_connection);
        PickLocal(*list, m_local / "Report.TXT");
        PickLocal(*list, m_local / "Docs");
        PickLocal(*list, m_local / "new.txt");
        return list;
    };

    RecordingHost refused;
    refused.answers = {false, true};
    EXPECT_EQ(Run(Picked(), L"/dst", JobKind::Upload, refused), JobResult::Cancel);
    // Both conflicts were asked (inner.txt is inside a picked folder: never asked).
    ASSERT_EQ(refused.questions.size(), 2u);
    EXPECT_TRUE(refused.questions[0].isDirectory != refused.questions[1].isDirectory);
    EXPECT_EQ(refused.endedCalls, 1);
    EXPECT_TRUE(refused.items.empty());
    EXPECT_FALSE(fs::exists(Remote("dst/new.txt")));
    EXPECT_EQ(ReadFile(Remote("dst/report.txt")), "old report");

    RecordingHost accepted;
    EXPECT_EQ(Run(Picked(), L"/dst", JobKind::Upload, accepted), JobResult::Ok);
    EXPECT_EQ(accepted.questions.size(), 2u);
    EXPECT_EQ(ReadFile(Remote("dst/new.txt")), "new");
    EXPECT_EQ(ReadFile(Remote("dst/docs/inner.txt")), "old inner");
    EXPECT_EQ(ReadFile(Remote("dst/Docs/inner.txt")), "new inner");
}

// The server lists wall-clock times; the question shows them as listed, and
// local files in local time, whatever the zone.
TEST_F(TransferJobTest, ReplaceTextsShowListedServerTimesAndLocalTimesOutsideUtc)
{
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", "IST-5:30", 1);
    tzset();

    const std::time_t now = std::time(nullptr);
    const std::time_t serverTime = now - 7200 - now % 60;
    const std::time_t localTime = now - 86400 * 3 - now % 60;
    WriteFile(Remote("dst/same.txt"), std::string(3000, 's'));
    const struct timespec serverTimes[2] = {{serverTime, 0}, {serverTime, 0}};
    utimensat(AT_FDCWD, Remote("dst/same.txt").c_str(), serverTimes, 0);
    WriteFile(m_local / "same.txt", std::string(20, 'l'));
    const struct timespec localTimes[2] = {{localTime, 0}, {localTime, 0}};
    utimensat(AT_FDCWD, (m_local / "same.txt").c_str(), localTimes, 0);

    // pyftpdlib lists times in UTC: that wall clock is what must show.
    const std::wstring serverText = SizeText(3000) + L" (3000 bytes)\r\n" + When(serverTime, false);

    RecordingHost down;
    down.answers = {false};
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/dst", L"same.txt");
    EXPECT_EQ(Run(std::move(list), TextCodec::FromUtf8(m_local.string()), JobKind::Download, down),
              JobResult::Cancel);
    ASSERT_EQ(down.questions.size(), 1u);
    EXPECT_EQ(down.questions[0].serverText, serverText);
    EXPECT_EQ(down.questions[0].localText, L"20 B(20 bytes)\r\n" + When(localTime, true));

    RecordingHost up;
    up.answers = {false};
    list = std::make_unique<CTransferList>(&m_connection);
    PickLocal(*list, m_local / "same.txt");
    EXPECT_EQ(Run(std::move(list), L"/dst", JobKind::Upload, up), JobResult::Cancel);
    ASSERT_EQ(up.questions.size(), 1u);
    EXPECT_EQ(up.questions[0].serverText, serverText);
    EXPECT_EQ(up.questions[0].localText, L"20 B (20 bytes)\r\n" + When(localTime, true));
    EXPECT_EQ(ReadFile(Remote("dst/same.txt")), std::string(3000, 's'));

    if (previous)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(TransferJobTest, CancelDuringAFileEndsAfterTheBlockReportsTheFileAndKeepsTheOldCopy)
{
    WriteFile(Remote("big.bin"), RandomBytes(4 * 1024 * 1024, 2));
    WriteFile(Remote("after.txt"), "never reached");
    WriteFile(m_local / "big.bin", "older copy");

    RecordingHost host;
    CTransferJob* job = nullptr;
    host.onProgress = [&](std::int64_t) { job->Cancel(); };
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickRemote(*list, L"/", L"big.bin");
    PickRemote(*list, L"/", L"after.txt");
    EXPECT_EQ(Run(std::move(list), TextCodec::FromUtf8(m_local.string()), JobKind::Download, host, &job),
              JobResult::Ok);
    EXPECT_TRUE(m_cancelled);
    EXPECT_EQ(host.items, std::vector<std::wstring>{L"/big.bin"});
    // One block, then the report at the end of the file.
    ASSERT_EQ(host.progress.size(), 2u);
    EXPECT_LE(host.progress.back(), CTransferJob::BlockSize);
    // One box, naming the file (the server's expected refusal of the cut transfer is not shown).
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Failed to download file:\n" +
                                                    TextCodec::FromUtf8((m_local / "big.bin").string())});
    EXPECT_EQ(ReadFile(m_local / "big.bin"), "older copy");
    EXPECT_FALSE(fs::exists(m_local / "after.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_local), fs::directory_iterator()), 1);

    // The same for an upload: the job stops after the block and names the file.
    testing_support::Boxes().Clear();
    WriteFile(m_local / "up.bin", RandomBytes(2 * 1024 * 1024, 3));
    RecordingHost upHost;
    upHost.onProgress = [&](std::int64_t) { job->Cancel(); };
    list = std::make_unique<CTransferList>(&m_connection);
    PickLocal(*list, m_local / "up.bin");
    EXPECT_EQ(Run(std::move(list), L"/", JobKind::Upload, upHost, &job), JobResult::Ok);
    EXPECT_LE(upHost.progress.back(), CTransferJob::BlockSize);
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Failed to upload file:\n" +
                                                    TextCodec::FromUtf8((m_local / "up.bin").string())});
    // The cut copy does not stay on the server under the file's name.
    EXPECT_FALSE(fs::exists(Remote("up.bin")));
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(TransferJobTest, DownloadChecksTheListedSizeOnlyWhereTheListingGaveOne)
{
    WriteFile(Remote("a.txt"), "twelve bytes");
    const std::wstring local = TextCodec::FromUtf8(m_local.string());

    RecordingHost unknown;
    auto list = std::make_unique<CTransferList>(&m_connection);
    list->Add(-1, false, L"a.txt", L"/a.txt", 0);
    EXPECT_EQ(Run(std::move(list), local, JobKind::Download, unknown), JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_EQ(ReadFile(m_local / "a.txt"), "twelve bytes");
    EXPECT_TRUE(BoxTexts().empty());

    // A size that does not match means the file did not arrive as listed.
    fs::remove(m_local / "a.txt");
    RecordingHost wrong;
    list = std::make_unique<CTransferList>(&m_connection);
    list->Add(13, false, L"a.txt", L"/a.txt", 0);
    EXPECT_EQ(Run(std::move(list), local, JobKind::Download, wrong), JobResult::Ok);
    EXPECT_EQ(m_failures, 1);
    EXPECT_FALSE(fs::exists(m_local / "a.txt"));
    EXPECT_EQ(BoxTexts().back(), L"Failed to download file:\n" + local + L"/a.txt");

    // A file the server refuses to send fails too.
    testing_support::Boxes().Clear();
    RecordingHost missing;
    list = std::make_unique<CTransferList>(&m_connection);
    list->Add(5, false, L"gone.txt", L"/gone.txt", 0);
    Run(std::move(list), local, JobKind::Download, missing);
    EXPECT_EQ(m_failures, 1);
    EXPECT_FALSE(fs::exists(m_local / "gone.txt"));
}

TEST_F(TransferJobTest, ServerNamesNeverLeaveTheDestination)
{
    WriteFile(Remote("ok.txt"), "fine");
    WriteFile(Remote("d/ctl\x01name.txt"), "control character");
    WriteFile(Remote("d/good.txt"), "good");
    WriteFile(Remote("trap/f.txt"), "through a link");
    const fs::path destination = m_local / "dest";
    const fs::path outside = m_local / "outside";
    fs::create_directories(destination);
    fs::create_directories(outside);
    // A folder link already in the destination that leads out of it.
    fs::create_directory_symlink(outside, destination / "trap");

    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    // Hostile relative paths as a listing could produce them.
    list->Add(4, false, L"../escape.txt", L"/ok.txt", 0);
    list->Add(4, false, L"a/../../escape2.txt", L"/ok.txt", 0);
    list->Add(4, false, L"", L"/ok.txt", 0);
    list->Add(4, false, L"sub/", L"/ok.txt", 0);
    list->Add(0, true, L"d", L"/d", 0);
    list->Add(0, true, L"trap", L"/trap", 0);
    list->Add(4, false, L"ok.txt", L"/ok.txt", 0);
    EXPECT_EQ(Run(std::move(list), TextCodec::FromUtf8(destination.string()), JobKind::Download, host),
              JobResult::Ok);

    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_FALSE(fs::exists(m_local / "escape.txt"));
    EXPECT_FALSE(fs::exists(m_local / "escape2.txt"));
    EXPECT_EQ(ReadFile(destination / "ok.txt"), "fine");
    EXPECT_EQ(ReadFile(destination / "d" / "good.txt"), "good");
    EXPECT_EQ(std::distance(fs::directory_iterator(destination / "d"), fs::directory_iterator()), 1);
    EXPECT_EQ(m_failures, 6);
    // The first refusal asks whether to go on; the others are listed at the end.
    ASSERT_EQ(host.goOnQuestions.size(), 1u);
    EXPECT_NE(host.goOnQuestions[0].find(L"cannot be used for a local file"), std::wstring::npos);
    EXPECT_NE(host.goOnQuestions[0].find(L"/ok.txt"), std::wstring::npos);
    const auto boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind(L"5 more items failed:\n", 0), 0u) << TextCodec::ToUtf8(boxes[0]);
    EXPECT_NE(boxes[0].find(TextCodec::FromUtf8((destination / "trap").string())), std::wstring::npos);
    // The control character is shown, not obeyed.
    EXPECT_NE(boxes[0].find(L"/d/ctl\u2401name.txt"), std::wstring::npos);
}

TEST_F(TransferJobTest, LocalDeleteRemovesALinkButNotWhatItLeadsTo)
{
    WriteFile(m_local / "t" / "a" / "f.txt", "f");
    WriteFile(m_local / "elsewhere" / "precious.txt", "keep me");
    fs::create_directory_symlink(m_local / "elsewhere", m_local / "t" / "a" / "link");
    RecordingHost host;
    auto list = std::make_unique<CTransferList>();
    PickLocal(*list, m_local / "t");
    EXPECT_EQ(Run(std::move(list), L"", JobKind::LocalDelete, host), JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_FALSE(fs::exists(m_local / "t"));
    EXPECT_EQ(ReadFile(m_local / "elsewhere" / "precious.txt"), "keep me");

    // A failure is told and the job goes on with the next item.
    WriteFile(m_local / "ro" / "locked" / "x.txt", "x");
    WriteFile(m_local / "ro" / "free.txt", "y");
    fs::permissions(m_local / "ro" / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    RecordingHost partly;
    list = std::make_unique<CTransferList>();
    PickLocal(*list, m_local / "ro" / "locked");
    PickLocal(*list, m_local / "ro" / "free.txt");
    Run(std::move(list), L"", JobKind::LocalDelete, partly);
    if (geteuid() != 0)
    {
        fs::permissions(m_local / "ro" / "locked", fs::perms::owner_all);
        EXPECT_GE(m_failures, 1);
        EXPECT_TRUE(fs::exists(m_local / "ro" / "locked" / "x.txt"));
        ASSERT_EQ(partly.goOnQuestions.size(), 1u);
        EXPECT_EQ(partly.goOnQuestions[0].rfind(L"Failed to delete file:\n", 0), 0u);
        EXPECT_NE(partly.goOnQuestions[0].find(L"\n\nError code: "), std::wstring::npos);
    }
    EXPECT_FALSE(fs::exists(m_local / "ro" / "free.txt"));
}

TEST_F(TransferJobTest, LocalMoveMovesFoldersWholeAndReplacesOnlyAfterTheQuestion)
{
    WriteFile(m_local / "src" / "f" / "x.txt", "x");
    WriteFile(m_local / "src" / "clash.txt", "moving");
    WriteFile(m_local / "dst" / "clash.txt", "already there");
    const std::wstring destination = TextCodec::FromUtf8((m_local / "dst").string());
    auto pick = [&]
    {
        auto list = std::make_unique<CTransferList>();
        PickLocal(*list, m_local / "src" / "f");
        PickLocal(*list, m_local / "src" / "clash.txt");
        return list;
    };

    // Refused: nothing moves, not even what clashes with nothing.
    RecordingHost refused;
    refused.answers = {false};
    EXPECT_EQ(Run(pick(), destination, JobKind::LocalMove, refused), JobResult::Cancel);
    ASSERT_EQ(refused.questions.size(), 1u);
    EXPECT_EQ(refused.questions[0].name, L"clash.txt");
    EXPECT_FALSE(refused.questions[0].isDirectory);
    EXPECT_EQ(refused.questions[0].serverText.rfind(L"13 B (13 bytes)", 0), 0u);
    EXPECT_EQ(refused.questions[0].localText.rfind(L"6 B (6 bytes)", 0), 0u);
    EXPECT_EQ(ReadFile(m_local / "dst" / "clash.txt"), "already there");
    EXPECT_TRUE(fs::exists(m_local / "src" / "f" / "x.txt"));

    RecordingHost allowed;
    allowed.answers = {true};
    EXPECT_EQ(Run(pick(), destination, JobKind::LocalMove, allowed), JobResult::Ok);
    EXPECT_EQ(allowed.questions.size(), 1u);
    EXPECT_EQ(ReadFile(m_local / "dst" / "f" / "x.txt"), "x");
    EXPECT_EQ(ReadFile(m_local / "dst" / "clash.txt"), "moving");
    EXPECT_FALSE(fs::exists(m_local / "src" / "clash.txt"));
    EXPECT_EQ(m_failures, 0);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(TransferJobTest, LocalMoveCarriesFilesToAnotherFileSystem)
{
    const fs::path other = "/dev/shm";
    struct stat here
    {
    }, there{};
    if (stat(m_local.c_str(), &here) != 0 || stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system to move to";
    std::string pattern = (other / "tessel-move-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path source = pattern;
    WriteFile(source / "far.bin", RandomBytes(300000, 5));
    fs::permissions(source / "far.bin",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto mtime = fs::last_write_time(source / "far.bin");
    fs::create_directories(source / "folder");

    RecordingHost host;
    auto list = std::make_unique<CTransferList>();
    PickLocal(*list, source / "far.bin");
    PickLocal(*list, source / "folder");
    Run(std::move(list), TextCodec::FromUtf8((m_local / "dst").string()), JobKind::LocalMove, host);
    EXPECT_EQ(ReadFile(m_local / "dst" / "far.bin"), RandomBytes(300000, 5));
    EXPECT_FALSE(fs::exists(source / "far.bin"));
    EXPECT_EQ(fs::status(m_local / "dst" / "far.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(m_local / "dst" / "far.bin"), mtime);
    // A folder is not copied across: it stays, and the user is told.
    EXPECT_EQ(m_failures, 1);
    EXPECT_TRUE(fs::exists(source / "folder"));
    fs::remove_all(source);
}

TEST(TransferJobTexts, ProgressLinesAndReplaceTextsUse64BitSizes)
{
    EXPECT_EQ(CTransferJob::ProgressText(JobKind::Upload, 1024, 5000), L"Uploading 1 Kb of 4 Kb");
    EXPECT_EQ(CTransferJob::ProgressText(JobKind::Download, 5LL << 30, 6LL << 30),
              L"Downloading 5242880 Kb of 6291456 Kb");
    EXPECT_EQ(CTransferJob::ProgressText(JobKind::LocalMove, 0, 3), L"Moving 1 of 3");
    const std::wstring big = CTransferJob::DescribeFile(5LL << 30, 0);
    EXPECT_EQ(big.rfind(L"5120.00 Mb (5368709120 bytes)\r\n", 0), 0u);
    EXPECT_EQ(CTransferJob::DescribeFile(0, 0, true).rfind(L"(0 bytes)\r\n", 0), 0u);
    // Names go to the server byte for byte, and come back the same.
    const std::wstring local = L"caf\u00e9 \u65e5";
    EXPECT_EQ(TextCodec::ToLatin1(CTransferJob::RemoteFromLocal(local)), TextCodec::ToUtf8(local));
    EXPECT_EQ(CTransferJob::LocalFromRemote(CTransferJob::RemoteFromLocal(local)), local);
}

TEST_F(TransferJobTest, ProgressComesAtMostTwentyTimesASecondAndAtTheEndOfEachFile)
{
    const std::int64_t big = 16 * 1024 * 1024; // 64 blocks
    WriteFile(m_local / "big.bin", RandomBytes(static_cast<size_t>(big), 4));
    WriteFile(m_local / "small.txt", "s");
    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickLocal(*list, m_local / "big.bin");
    PickLocal(*list, m_local / "small.txt");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(std::move(list), L"/", JobKind::Upload, host), JobResult::Ok);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // One report per interval begun, plus one at the end of each file.
    EXPECT_LE(host.progress.size(), static_cast<size_t>(elapsed / CTransferJob::ReportInterval) + 1 + 2);
    EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), big), host.progress.end());
    EXPECT_EQ(host.progress.back(), big + 1);
    EXPECT_EQ(fs::file_size(Remote("big.bin")), static_cast<std::uintmax_t>(big));
}

// A job against a refusing server or a failing disk asks once, with the
// reason, and lists the other failures in one box: never a box per item.
TEST_F(TransferJobTest, FailedItemsAskOnceWithTheReasonAndTheRestAreListedInOneBox)
{
    WriteFile(Remote("real.txt"), "real");
    WriteFile(m_local / "real.txt", "real");
    for (const bool goOn : {true, false})
        for (const JobKind kind : {JobKind::Download, JobKind::Upload})
        {
            const bool down = kind == JobKind::Download;
            SCOPED_TRACE(std::string(down ? "download" : "upload") + (goOn ? ", go on" : ", cancel"));
            testing_support::Boxes().Clear();
            fs::remove_all(m_local / "down");
            fs::remove_all(Remote("up"));

            // Thirty files the server does not have, or the disk cannot read, then one that works.
            auto list = std::make_unique<CTransferList>(&m_connection);
            std::vector<std::wstring> paths;
            for (int i = 0; i < 30; ++i)
            {
                const std::wstring name = L"missing" + std::to_wstring(i);
                const std::wstring local =
                    TextCodec::FromUtf8(m_local.string()) + (down ? L"/down/" : L"/no/") + name;
                list->Add(5, false, name, down ? L"/" + name : local, 0);
                paths.push_back(local);
            }
            if (down)
                list->Add(4, false, L"real.txt", L"/real.txt", 0);
            else
                PickLocal(*list, m_local / "real.txt");
            RecordingHost host;
            host.goOnAnswers = {goOn};
            EXPECT_EQ(Run(std::move(list), down ? TextCodec::FromUtf8((m_local / "down").string()) : L"/up",
                          kind, host),
                      JobResult::Ok);

            ASSERT_EQ(host.goOnQuestions.size(), 1u);
            const std::wstring& question = host.goOnQuestions[0];
            const std::wstring line = down ? L"Failed to download file:\n" : L"Failed to upload file:\n";
            EXPECT_EQ(question.rfind(line + paths[0] + L"\n\n", 0), 0u) << TextCodec::ToUtf8(question);
            // The server's or the system's own words.
            EXPECT_NE(question.find(down ? L"550 " : L"No such file or directory"), std::wstring::npos);
            EXPECT_TRUE(question.ends_with(L"\n\nDo you want to go on with the other items?"));
            const fs::path arrived = down ? m_local / "down" / "real.txt" : Remote("up/real.txt");
            if (goOn)
            {
                EXPECT_EQ(m_failures, 30);
                std::wstring summary = L"29 more items failed:";
                for (size_t i = 1; i <= CTransferJob::SummaryPaths; ++i)
                    summary += L"\n" + paths[i];
                EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{summary + L"\n..."});
                EXPECT_EQ(ReadFile(arrived), "real");
            }
            else
            {
                // Cancel there is the job's Cancel.
                EXPECT_EQ(m_failures, 1);
                EXPECT_TRUE(m_cancelled);
                EXPECT_TRUE(BoxTexts().empty()) << TextCodec::ToUtf8(BoxTexts().front());
                EXPECT_FALSE(fs::exists(arrived));
            }
            EXPECT_EQ(host.endedCalls, 1);
        }
}

// On Linux "\" is an ordinary name character, in a file's name and in a folder's.
TEST_F(TransferJobTest, UploadedNamesKeepTheirBackslashes)
{
    WriteFile(m_local / "up" / "a\\b.txt", "back");
    WriteFile(m_local / "up" / "dir\\" / "f.txt", "inside");
    RecordingHost host;
    auto list = std::make_unique<CTransferList>(&m_connection);
    PickLocal(*list, m_local / "up" / "a\\b.txt");
    PickLocal(*list, m_local / "up" / "dir\\");
    EXPECT_EQ(Run(std::move(list), L"/dst", JobKind::Upload, host), JobResult::Ok);
    EXPECT_EQ(m_failures, 0);
    EXPECT_EQ(ReadFile(Remote("dst/a\\b.txt")), "back");
    EXPECT_EQ(ReadFile(Remote("dst/dir\\/f.txt")), "inside");
    EXPECT_FALSE(fs::exists(Remote("dst/a")));
}

// Sizes are 64-bit all the way: a folder holding a sparse file of 8 TiB (and
// a small one) asks for more than the disk has once it is listed, and the
// download is refused before a byte is written.
TEST_F(TransferJobTest, ADownloadCheckedForSpaceIsRefusedWhenTheListedTreeDoesNotFit)
{
    WriteFile(Remote("big/small.txt"), "small");
    const std::int64_t huge = std::int64_t{8} << 40;
    WriteFile(Remote("big/huge.bin"), "");
    ASSERT_EQ(truncate(Remote("big/huge.bin").c_str(), huge), 0);
    const fs::path destination = m_local / "dest";

    for (const bool check : {true, false})
    {
        RecordingHost host;
        auto list = std::make_unique<CTransferList>(&m_connection);
        PickRemote(*list, L"/", L"big");
        CTransferJob job(&m_connection, std::move(list), TextCodec::FromUtf8(destination.string()),
                         JobKind::Download, host);
        job.SetCheckFreeSpace(check);
        if (!check)
            // Without the check the download starts; the test stops it at once.
            host.onProgress = [&](std::int64_t) { job.Cancel(); };
        const JobResult result = job.Run();
        if (check)
        {
            EXPECT_EQ(result, JobResult::Cancel);
            EXPECT_FALSE(fs::exists(destination));
            const auto boxes = BoxTexts();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].rfind(L"There is not enough free space in \"" +
                                         TextCodec::FromUtf8(destination.string()) + L"\": " +
                                         SizeText(huge + 5) + L" is needed, ",
                                     0),
                      0u)
                << TextCodec::ToUtf8(boxes[0]);
        }
        else
            EXPECT_EQ(host.range, huge + 5);
        testing_support::Boxes().Clear();
    }
}

TEST(TransferListLocal, PickedLocalPathsKeepTheirNamesAndBytesAndFollowLinks)
{
    testing_support::TempFolder folder("tessel-local-pick");
    WriteFile(folder / "a file.txt", "abc");
    fs::create_directories(folder / "dir");
    fs::create_symlink(folder / "a file.txt", folder / "link");
    CTransferList list;
    std::wstring why;
    ASSERT_TRUE(list.AddLocal((folder / "a file.txt").string(), why));
    ASSERT_TRUE(list.AddLocal((folder / "dir").string(), why));
    ASSERT_TRUE(list.AddLocal((folder / "link").string(), why));
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.Items()[0].relativePath, L"a file.txt");
    EXPECT_EQ(list.Items()[0].size, 3);
    EXPECT_TRUE(list.Items()[1].isDirectory);
    EXPECT_EQ(list.Items()[2].size, 3);
    EXPECT_TRUE(list.Items()[2].isLink);

    EXPECT_FALSE(list.AddLocal((folder / "missing").string(), why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(list.ItemCount(), 3);
    // A name that is not UTF-8 is carried byte for byte.
    const std::string latin = (folder / "caf\xE9").string();
    WriteFile(latin, "x");
    ASSERT_TRUE(list.AddLocal(latin, why));
    EXPECT_EQ(TextCodec::ToPathBytes(list.Items()[3].sourcePath), latin);
    EXPECT_EQ(CTransferJob::RemoteFromLocal(list.Items()[3].relativePath), L"caf\u00E9");
}
