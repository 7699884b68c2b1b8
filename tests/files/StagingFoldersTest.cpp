#include "files/StagingFolders.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{
// The id of a process that has ended (and been reaped).
pid_t EndedProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(StagingFolders, AFreshFolderIsPrivateAndNamesItsOwner)
{
    testing_support::TempFolder parent("tessel-staging-test");
    const std::string made = CStagingFolders::Create(parent.Path().string());
    ASSERT_FALSE(made.empty());
    struct stat info
    {
    };
    ASSERT_EQ(lstat(made.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(CStagingFolders::Owner(fs::path(made).filename().string()), getpid());
    EXPECT_NE(CStagingFolders::Create(parent.Path().string()), made);

    for (const char* other : {"tessel-staging-", "tessel-staging-x-1", "tessel-staging-12",
                              "tessel-staging--1-a", "other-12-abc", "tessel-staging-99999999999-a"})
        EXPECT_EQ(CStagingFolders::Owner(other), 0) << other;
}

TEST(StagingFolders, TheSweepRemovesOnlyFoldersOfEndedOwnersAndNeverFollowsLinks)
{
    testing_support::TempFolder parent("tessel-staging-test");
    testing_support::TempFolder outside("tessel-staging-outside");
    WriteFile(outside / "keep.txt", "keep me");
    const fs::path& root = parent.Path();

    const pid_t ended = EndedProcess();
    const fs::path dead = root / ("tessel-staging-" + std::to_string(ended) + "-abc123");
    WriteFile(dead / "sub" / "f.txt", "staged");
    fs::create_directory_symlink(outside.Path(), dead / "planted-folder-link");
    fs::create_symlink(outside / "keep.txt", dead / "sub" / "planted-file-link");
    const fs::path live = root / ("tessel-staging-" + std::to_string(getppid()) + "-live00");
    WriteFile(live / "f.txt", "in use");
    const fs::path own = root / ("tessel-staging-" + std::to_string(getpid()) + "-own000");
    fs::create_directories(own);
    // A link that only looks like a staging folder is not removed, nor what it leads to.
    const fs::path fake = root / ("tessel-staging-" + std::to_string(ended) + "-link00");
    fs::create_directory_symlink(outside.Path(), fake);
    fs::create_directories(root / "unrelated");

    EXPECT_EQ(CStagingFolders::SweepOrphans(root.string()), 1);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live / "f.txt"));
    EXPECT_TRUE(fs::exists(own));
    EXPECT_TRUE(fs::is_symlink(fake));
    EXPECT_TRUE(fs::exists(root / "unrelated"));
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep me");
}

TEST(StagingFolders, RemovingATreeTakesLinksAsLinks)
{
    testing_support::TempFolder parent("tessel-staging-test");
    testing_support::TempFolder outside("tessel-staging-outside");
    WriteFile(outside / "inner" / "keep.txt", "keep me");
    const fs::path tree = parent / "tree";
    WriteFile(tree / "a" / "b" / "c.txt", "c");
    fs::create_directories(tree / "empty");
    fs::create_directory_symlink(outside.Path(), tree / "a" / "out");
    EXPECT_TRUE(CStagingFolders::RemoveTree(tree.string()));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(ReadFile(outside / "inner" / "keep.txt"), "keep me");
    // Gone already is fine; a link in the folder's place is not removed through.
    EXPECT_TRUE(CStagingFolders::RemoveTree(tree.string()));
    fs::create_directory_symlink(outside.Path(), tree);
    EXPECT_FALSE(CStagingFolders::RemoveTree(tree.string()));
    EXPECT_TRUE(fs::exists(outside / "inner" / "keep.txt"));
}
} // namespace
