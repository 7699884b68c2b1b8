// The local file commands of the handheld on real folders: what each does to
// the disk, what it asks and what it refuses.
#include "files/LocalCommands.h"
#include "files/IFileCommandHost.h"
#include "files/LocalBrowser.h"
#include "files/TransferList.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::TextCodec;
using testing::ElementsAre;
using testing_support::Boxes;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{
// Answers the prompts from a script and runs the jobs where it stands; a
// prompt or question the script lacks fails the test.
class ScriptedHost : public IFileCommandHost, private ITransferJobHost
{
public:
    bool Prompt(const std::wstring& title, std::wstring& text) override
    {
        prompted.push_back(title + L": " + text);
        if (prompts.empty())
        {
            ADD_FAILURE() << "a prompt the test did not expect";
            return false;
        }
        const auto answer = prompts.front();
        prompts.pop_front();
        if (answer)
            text = *answer;
        return answer.has_value();
    }
    bool ChooseMode(int, std::wstring&) override
    {
        ADD_FAILURE() << "CHMOD is no local command";
        return false;
    }
    void ShowProperties(const FileProperties& properties) override { shown.push_back(properties); }
    JobResult RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination, JobKind kind) override
    {
        jobs.push_back(kind);
        EXPECT_EQ(list->Connection(), nullptr);
        CTransferJob job(nullptr, std::move(list), destination, kind, *this);
        return job.Run();
    }

    std::deque<std::optional<std::wstring>> prompts;
    std::deque<bool> replaces;
    std::vector<std::wstring> prompted, replaceAsked;
    std::vector<FileProperties> shown;
    std::vector<JobKind> jobs;

private:
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
    bool AskGoOn(const std::wstring& text) override { return platform::Services::AskOkCancel(text); }
    void Ended(JobResult) override {}
};

class LocalCommandsTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_browser.GoTo(m_root.Path().string())); }

    int Row(const std::wstring& name) const
    {
        for (size_t i = 0; i < m_browser.Rows().size(); ++i)
            if (m_browser.Rows()[i].name == name)
                return static_cast<int>(i);
        ADD_FAILURE() << "no row " << TextCodec::ToUtf8(name);
        return -1;
    }
    std::vector<int> Rows(std::initializer_list<const wchar_t*> names)
    {
        m_browser.Refresh();
        std::vector<int> rows;
        for (const wchar_t* name : names)
            rows.push_back(Row(name));
        return rows;
    }
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        for (const auto& row : m_browser.Rows())
            names.push_back(row.name);
        return names;
    }

    testing_support::TempFolder m_root{"tessel-local-commands"};
    CLocalBrowser m_browser;
    ScriptedHost m_host;
    CLocalCommands m_commands{m_browser, m_host};
};
} // namespace

TEST_F(LocalCommandsTest, NewDirectoryMakesItHereOrInTheSelectedFolderAndRefusesBadNames)
{
    WriteFile(m_root / "file.txt", "f");
    fs::create_directories(m_root / "docs");

    m_host.prompts = {L"new"};
    m_commands.NewDirectory(Rows({L"file.txt"}));
    EXPECT_TRUE(fs::is_directory(m_root / "new"));
    EXPECT_THAT(Names(), ElementsAre(L"docs", L"new", L"file.txt"));

    m_host.prompts = {L"inner"};
    m_commands.NewDirectory(Rows({L"docs"}));
    EXPECT_TRUE(fs::is_directory(m_root / "docs" / "inner"));
    EXPECT_EQ(m_browser.Folder(), (m_root / "docs").string());
    EXPECT_THAT(Names(), ElementsAre(L"inner"));
    ASSERT_TRUE(m_browser.GoTo(m_root.Path().string()));

    for (const wchar_t* bad : {L".", L"..", L"a/b", L"   ", L"x\x01y"})
    {
        Boxes().Clear();
        m_host.prompts = {bad};
        m_commands.NewDirectory({});
        EXPECT_THAT(Boxes().Texts(), ElementsAre(CLocalCommands::BadNameText)) << TextCodec::ToUtf8(bad);
    }
    // Cancel and an empty text do nothing; a name that is taken is the system's refusal.
    m_host.prompts = {std::nullopt, L""};
    Boxes().Clear();
    m_commands.NewDirectory({});
    m_commands.NewDirectory({});
    EXPECT_TRUE(Boxes().Texts().empty());
    m_host.prompts = {L"docs"};
    m_commands.NewDirectory({});
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_EQ(Boxes().Texts()[0].rfind(L"Error code: ", 0), 0u);
    EXPECT_NE(Boxes().Texts()[0].find(TextCodec::FromUtf8((m_root / "docs").string())), std::wstring::npos);
}

TEST_F(LocalCommandsTest, RenameNeverReplacesAnExistingName)
{
    WriteFile(m_root / "a.txt", "a");
    WriteFile(m_root / "b.txt", "b");

    m_host.prompts = {L"b.txt"};
    m_commands.Rename(Rows({L"a.txt"}));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"\"b.txt\" already exists in this folder."));
    EXPECT_EQ(ReadFile(m_root / "a.txt"), "a");
    EXPECT_EQ(ReadFile(m_root / "b.txt"), "b");
    EXPECT_EQ(m_host.prompted.back(), L"Rename: a.txt");

    Boxes().Clear();
    m_host.prompts = {L"c.txt", std::nullopt, L"b.txt"};
    m_commands.Rename(Rows({L"a.txt"}));
    EXPECT_EQ(ReadFile(m_root / "c.txt"), "a");
    EXPECT_THAT(Names(), ElementsAre(L"b.txt", L"c.txt"));
    m_commands.Rename(Rows({L"c.txt"}));
    m_commands.Rename(Rows({L"b.txt"}));
    EXPECT_THAT(Names(), ElementsAre(L"b.txt", L"c.txt"));
    EXPECT_TRUE(Boxes().Texts().empty());
}

TEST_F(LocalCommandsTest, DeleteAsksFirstAndRemovesALinkButNotWhatItLeadsTo)
{
    WriteFile(m_root / "tree" / "sub" / "x.txt", "x");
    WriteFile(m_root / "keep" / "precious.txt", "keep me");
    fs::create_directory_symlink(m_root / "keep", m_root / "shortcut");

    Boxes().QueueAnswer(platform::BoxAnswer::Cancel);
    m_commands.Delete(Rows({L"tree"}));
    EXPECT_TRUE(fs::exists(m_root / "tree" / "sub" / "x.txt"));
    EXPECT_TRUE(m_host.jobs.empty());

    m_commands.Delete(Rows({L"tree", L"shortcut"}));
    EXPECT_THAT(m_host.jobs, ElementsAre(JobKind::LocalDelete));
    EXPECT_FALSE(fs::exists(m_root / "tree"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_root / "shortcut")));
    EXPECT_EQ(ReadFile(m_root / "keep" / "precious.txt"), "keep me");
    EXPECT_THAT(Names(), ElementsAre(L"keep"));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(CLocalCommands::DeleteQuestion, CLocalCommands::DeleteQuestion));
}

TEST_F(LocalCommandsTest, MoveToTakesRelativeFoldersAndAsksBeforeReplacing)
{
    WriteFile(m_root / "a.txt", "moving");
    WriteFile(m_root / "dir" / "x.txt", "x");
    WriteFile(m_root / "out" / "a.txt", "already there");

    // Refusing the replace question moves nothing.
    m_host.prompts = {L"out"};
    m_host.replaces = {false};
    m_commands.MoveTo(Rows({L"a.txt", L"dir"}));
    EXPECT_EQ(m_host.prompted.back(), L"Move To: " + TextCodec::FromUtf8(m_root.Path().string()));
    EXPECT_THAT(m_host.replaceAsked, ElementsAre(L"a.txt"));
    EXPECT_EQ(ReadFile(m_root / "out" / "a.txt"), "already there");
    EXPECT_TRUE(fs::exists(m_root / "dir" / "x.txt"));

    m_host.prompts = {L"./out/"};
    m_host.replaces = {true};
    m_commands.MoveTo(Rows({L"a.txt", L"dir"}));
    EXPECT_EQ(ReadFile(m_root / "out" / "a.txt"), "moving");
    EXPECT_EQ(ReadFile(m_root / "out" / "dir" / "x.txt"), "x");
    EXPECT_THAT(Names(), ElementsAre(L"out"));

    // A folder never goes into itself; the folder it is in already is no move.
    Boxes().Clear();
    m_host.prompts = {L"out/dir/deeper", L"."};
    m_commands.MoveTo(Rows({L"out"}));
    m_commands.MoveTo(Rows({L"out"}));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"The folder \"out\" cannot be moved into itself."));
    EXPECT_EQ(m_host.jobs.size(), 2u);
}

TEST_F(LocalCommandsTest, PropertiesShowTheWholeSizeOfAHugeSparseFile)
{
    const fs::path big = m_root / ".big.img";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0444);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
    ::close(fd);
    fs::create_directories(m_root / "folder");

    m_commands.Properties(Rows({L".big.img"}));
    // Of several, the first in list order.
    m_commands.Properties(Rows({L".big.img", L"folder"}));
    ASSERT_EQ(m_host.shown.size(), 2u);
    const FileProperties& file = m_host.shown[0];
    EXPECT_TRUE(file.local);
    EXPECT_FALSE(file.isDirectory);
    EXPECT_EQ(file.name, L".big.img");
    EXPECT_EQ(file.path, TextCodec::FromUtf8(m_root.Path().string()));
    EXPECT_EQ(file.sizeText, L"5120.00 Mb (5368709120 bytes)");
    EXPECT_TRUE(file.readOnly);
    EXPECT_TRUE(file.hidden);
    EXPECT_FALSE(file.system);
    const FileProperties& folder = m_host.shown[1];
    EXPECT_TRUE(folder.isDirectory);
    EXPECT_EQ(folder.sizeText, L"");
    EXPECT_FALSE(folder.readOnly || folder.hidden || folder.system);
}
