// Listings and file transfers against a real pyftpdlib server, in both modes.
#include "ftp/FTPClient.h"
#include "ftp/OutputStream.h"
#include "socket/BlockingSocket.h"
#include "support/PyFtpdServer.h"
#include "support/TestServices.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <map>
#include <sstream>

using nsFTP::CFTPClient;
using nsFTP::COutputStream;
using nsFTP::Representation;
using testing::HasSubstr;
using testing_support::Boxes;
using testing_support::PyFtpdServer;
namespace fs = std::filesystem;

namespace
{

class RealServerTransferTest : public testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        nsFTP::CLogonRecord record;
        record.host = L"127.0.0.1";
        record.port = server.Port();
        record.user = std::wstring(server.User().begin(), server.User().end());
        record.password = std::wstring(server.Password().begin(), server.Password().end());
        ASSERT_TRUE(client.LogOn(record, 5)) << server.Log();
    }

    bool Passive() const { return GetParam(); }
    fs::path Root() const { return server.Root(); }

    static std::string Content(size_t size)
    {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i)
            content[i] = static_cast<char>((i * 7919) % 251);
        return content;
    }

    PyFtpdServer server;
    CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
};

TEST_P(RealServerTransferTest, ListsADirectory)
{
    fs::create_directory(Root() / "sub");
    std::ofstream(Root() / "sub" / "one.txt") << "1";
    std::ofstream(Root() / "sub" / "two.txt") << "22";
    for (int round = 0; round < 2; ++round)
    {
        COutputStream stream(client.EndOfLine());
        ASSERT_TRUE(client.TransferData(stream, nsFTP::LIST, L"/sub", {}, Passive()))
            << testing::PrintToString(Boxes().Texts()) << server.Log();
        EXPECT_THAT(stream.Text(), HasSubstr(L"one.txt\r\n"));
        EXPECT_THAT(stream.Text(), HasSubstr(L"two.txt\r\n"));
    }
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_P(RealServerTransferTest, ListDirectoryGivesRecords)
{
    fs::create_directory(Root() / "pub");
    fs::create_directory(Root() / "pub" / "inner dir");
    std::ofstream(Root() / "pub" / "data.bin", std::ios::binary) << Content(1234);
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
    ASSERT_TRUE(client.ListDirectory(L"/pub", entries, Passive())) << testing::PrintToString(Boxes().Texts());
    ASSERT_EQ(entries.size(), 2u);
    std::map<std::wstring, const nsFTP::CFTPFileStatus*> byName;
    for (const auto& entry : entries)
        byName[entry->Name] = &*entry;
    ASSERT_TRUE(byName.count(L"data.bin"));
    ASSERT_TRUE(byName.count(L"inner dir"));
    EXPECT_EQ(byName[L"data.bin"]->Size, 1234);
    EXPECT_FALSE(byName[L"data.bin"]->TryCwd);
    EXPECT_TRUE(byName[L"inner dir"]->TryCwd);
    EXPECT_EQ(byName[L"inner dir"]->Path, L"/pub");
}

TEST_P(RealServerTransferTest, DownloadsAndUploadsByteForByte)
{
    const std::string content = Content(300000);
    std::ofstream(Root() / "down.bin", std::ios::binary) << content;

    auto data = client.OpenTransfer(L"/down.bin", Passive(), false);
    ASSERT_TRUE(data) << testing::PrintToString(Boxes().Texts());
    std::string received;
    std::vector<char> buffer(1024);
    int count = 0;
    do
    {
        ASSERT_TRUE(client.ReadTransferChunk(*data, buffer.data(), static_cast<int>(buffer.size()), count));
        received.append(buffer.data(), static_cast<size_t>(count));
    } while (count > 0);
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    EXPECT_EQ(received, content);

    data = client.OpenTransfer(L"/up.bin", Passive(), true);
    ASSERT_TRUE(data);
    for (size_t sent = 0; sent < content.size(); sent += 1024)
    {
        const int length = static_cast<int>(std::min<size_t>(1024, content.size() - sent));
        ASSERT_TRUE(client.WriteTransferChunk(*data, content.data() + sent, length, count));
        EXPECT_EQ(count, length);
    }
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    std::ifstream in(Root() / "up.bin", std::ios::binary);
    std::stringstream stored;
    stored << in.rdbuf();
    EXPECT_EQ(stored.str(), content);

    // The control connection is in step for a listing afterwards.
    COutputStream stream(client.EndOfLine());
    EXPECT_TRUE(client.TransferData(stream, nsFTP::LIST, L"", {}, Passive()))
        << testing::PrintToString(Boxes().Texts());
    EXPECT_THAT(stream.Text(), HasSubstr(L"up.bin"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_P(RealServerTransferTest, MissingFileIsRefusedWithTheServersText)
{
    EXPECT_EQ(client.OpenTransfer(L"/missing.bin", Passive(), false), nullptr);
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], testing::StartsWith(L"550"));
    EXPECT_FALSE(client.TransferInProgress());
    EXPECT_EQ(client.KeepAlive(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, RealServerTransferTest, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

} // namespace
