#include "files/FileUris.h"

#include <gtest/gtest.h>

namespace
{
const std::string Host = "deskhost";

// Every byte of a name survives the trip through a URI, whatever it is.
TEST(FileUris, PathsRoundTripThroughUrisByteForByte)
{
    std::string allBytes = "/tmp/";
    for (int byte = 1; byte < 256; ++byte)
        if (byte != '/')
            allBytes += static_cast<char>(byte);
    const struct
    {
        std::string path, uri;
    } cases[] = {
        {"/home/u/a b.txt", "file:///home/u/a%20b.txt"}, {"/x/100%#?.txt", "file:///x/100%25%23%3F.txt"},
        {"/x/caf\xC3\xA9", "file:///x/caf%C3%A9"},       {"/x/latin\xE9\xFF\x80", "file:///x/latin%E9%FF%80"},
        {"/x/-._~AZaz09", "file:///x/-._~AZaz09"},
    };
    for (const auto& one : cases)
    {
        EXPECT_EQ(CFileUris::FromPath(one.path), one.uri);
        std::string back;
        ASSERT_TRUE(CFileUris::ToPath(one.uri, Host, back)) << one.uri;
        EXPECT_EQ(back, one.path);
    }
    // No length limit cuts a path: 300 levels of 30-byte names.
    std::string deep;
    for (int level = 0; level < 300; ++level)
        deep += "/" + std::string(29, static_cast<char>('a' + level % 26)) + "\xE9";
    for (const std::string& path : {allBytes, deep})
    {
        std::string back;
        ASSERT_TRUE(CFileUris::ToPath(CFileUris::FromPath(path), Host, back));
        EXPECT_EQ(back, path);
    }
}

TEST(FileUris, OnlyFileUrisOfThisMachineNameLocalFiles)
{
    const struct
    {
        const char* uri;
        const char* path; // nullptr: refused
    } cases[] = {
        {"file:///a/b", "/a/b"},
        {"file://localhost/a/b", "/a/b"},
        {"FILE://LocalHost/a/b", "/a/b"},
        {"file://deskhost/a/b", "/a/b"},
        {"file://DESKHOST/a/b", "/a/b"},
        {"file:/a/b", "/a/b"},
        {"file:///a/folder/", "/a/folder"},
        {"file:///a//b", "/a/b"},
        {"file://otherhost/a/b", nullptr},
        {"sftp://host/a/b", nullptr},
        {"smb://server/share/f", nullptr},
        {"trash:/f", nullptr},
        {"http://example/x", nullptr},
        {"file://localhost", nullptr},
        {"file:relative/path", nullptr},
        {"file:///", nullptr},
        {"file:///a/x%2Fy", nullptr},
        {"file:///a/x%2fy", nullptr},
        {"file:///a/x%00y", nullptr},
        {"file:///a/x%4", nullptr},
        {"file:///a/x%zz", nullptr},
        {"file:///a/b?query", nullptr},
        {"file:///a/b#part", nullptr},
        {"file:///a/../etc/passwd", nullptr},
        {"file:///a/%2E%2E/b", nullptr},
        {"file:///a/./b", nullptr},
        {"file:///a/b\tc", nullptr},
        {"/a/b", nullptr},
        {"", nullptr},
    };
    for (const auto& one : cases)
    {
        std::string path = "unchanged";
        const bool taken = CFileUris::ToPath(one.uri, Host, path);
        EXPECT_EQ(taken, one.path != nullptr) << one.uri;
        if (one.path)
        {
            EXPECT_EQ(path, one.path) << one.uri;
        }
    }
}

TEST(FileUris, UriListsSkipCommentsTakeBothLineEndsAndListWhatIsNotLocal)
{
    const auto parsed = CFileUris::ParseUriList("# a comment\r\n"
                                                "file:///a/one\r\n"
                                                "\r\n"
                                                "sftp://host/remote\n"
                                                "file:///a/two%23\n"
                                                "file://elsewhere/x\r\n"
                                                "file:///a/three",
                                                Host);
    EXPECT_EQ(parsed.paths, (std::vector<std::string>{"/a/one", "/a/two#", "/a/three"}));
    EXPECT_EQ(parsed.skipped, (std::vector<std::string>{"sftp://host/remote", "file://elsewhere/x"}));
    EXPECT_FALSE(parsed.cut);

    const std::vector<std::string> paths{"/a/x y", "/b/%"};
    EXPECT_EQ(CFileUris::UriList(paths), "file:///a/x%20y\r\nfile:///b/%25\r\n");
    EXPECT_EQ(CFileUris::ParseUriList(CFileUris::UriList(paths), Host).paths, paths);
}

TEST(FileUris, CopiedFilesListsStartWithCopyOrCutAndEndWithoutALineEnd)
{
    const std::vector<std::string> paths{"/a/one", "/a/two"};
    EXPECT_EQ(CFileUris::CopiedFiles(paths), "copy\nfile:///a/one\nfile:///a/two");

    const struct
    {
        const char* text;
        std::vector<std::string> paths;
        bool cut;
    } cases[] = {
        {"copy\nfile:///a/one\nfile:///a/two", paths, false},
        {"copy\nfile:///a/one\nfile:///a/two\n", paths, false},
        {"cut\r\nfile:///a/one\r\nfile:///a/two\r\n", paths, true},
        {"copy", {}, false},
        {"file:///a/one\nfile:///a/two", {}, false},
        {"move\nfile:///a/one", {}, false},
        {"", {}, false},
    };
    for (const auto& one : cases)
    {
        const auto parsed = CFileUris::ParseCopiedFiles(one.text, Host);
        EXPECT_EQ(parsed.paths, one.paths) << one.text;
        EXPECT_EQ(parsed.cut, one.cut) << one.text;
    }
}

TEST(FileUris, DirectSaveDestinationsGiveTheirFolderOnly)
{
    using namespace std::string_literals;
    const struct
    {
        std::string value;
        const char* folder; // nullptr: refused
    } cases[] = {
        {"file://deskhost/home/u/Desktop/report.txt", "/home/u/Desktop"},
        {"file:///home/u/Desktop/report.txt\0garbage\x01"s, "/home/u/Desktop"},
        {"file:///home/u/My%20Files/", "/home/u/My Files"},
        {"file:///top.txt", "/"},
        {"file://otherhost/home/u/x.txt", nullptr},
        {"report.txt", nullptr},
        {"", nullptr},
        {"smb://server/share/x.txt", nullptr},
        {"file:///home/../etc/x.txt", nullptr},
    };
    for (const auto& one : cases)
    {
        std::string folder;
        EXPECT_EQ(CFileUris::DirectSaveFolder(one.value, Host, folder), one.folder != nullptr) << one.value;
        if (one.folder)
        {
            EXPECT_EQ(folder, one.folder) << one.value;
        }
    }
}
} // namespace
