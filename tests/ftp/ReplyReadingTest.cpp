// How replies come back over the control connection: line assembly across
// reads, multi-line replies, invalid codes, lost and hostile connections.
#include "ftp/FTPClient.h"
#include "platform/Services.h"
#include "support/FakeSocket.h"
#include "support/TestServices.h"

#include <gmock/gmock.h>

using nsFTP::CFTPClient;
using nsFTP::Reply;
using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::Boxes;
using testing_support::FakeSocket;

namespace
{

class ReplyReadingTest : public testing::Test
{
protected:
    ReplyReadingTest()
    {
        auto socket = std::make_unique<FakeSocket>();
        fake = socket.get();
        client = std::make_unique<CFTPClient>(std::move(socket));
        fake->Create(1);
    }
    ~ReplyReadingTest() override
    {
        // Leave without the QUIT of a connected client.
        fake->ForceClose();
    }

    FakeSocket* fake;
    std::unique_ptr<CFTPClient> client;
};

TEST_F(ReplyReadingTest, MultiLineReplyIsJoinedAndEndsOnlyAtItsOwnCodeAndSpace)
{
    fake->QueueReceive("230-Welcome\r\n230-still 230\r\n");
    fake->QueueReceive("150 another code inside\r\n230 done\r\n");
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"230-Welcome\r\n230-still 230\r\n150 another code inside\r\n230 done");
    EXPECT_EQ(reply.Code(), L"230");
    EXPECT_EQ(reply.ReplyCode[3], L'\0');
    // Every reply read with errors shown goes to status pane 0.
    ASSERT_FALSE(testing_support::Status().Texts().empty());
    EXPECT_EQ(testing_support::Status().Texts().back(), std::make_pair(0, reply.text));
    EXPECT_EQ(platform::Services::StatusText(0), reply.text);
}

TEST_F(ReplyReadingTest, TwoRepliesInOneReadNeedOnlyOneReceive)
{
    fake->QueueReceive("350 Ready\r\n250 Renamed\r\n");
    Reply first, second;
    ASSERT_TRUE(client->ReadReply(first, true));
    ASSERT_TRUE(client->ReadReply(second, true));
    EXPECT_EQ(first.text, L"350 Ready");
    EXPECT_EQ(second.text, L"250 Renamed");
    EXPECT_EQ(fake->ReceiveCount(), 1);
}

TEST_F(ReplyReadingTest, LineSplitAcrossReadsIsJoined)
{
    fake->QueueReceive("25");
    fake->QueueReceive("7 \"/ho");
    fake->QueueReceive("me\"\r");
    fake->QueueReceive("\n226 next\r");
    fake->QueueReceive("\n");
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"257 \"/home\"");
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"226 next");
}

TEST_F(ReplyReadingTest, ZeroByteKeepsTheBytesAfterIt)
{
    fake->QueueReceive(std::string("250 a\0b\r\n", 9));
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, std::wstring(L"250 a\0b", 7));
}

TEST_F(ReplyReadingTest, BytesAbove127BecomeTheCharacterOfTheSameValue)
{
    fake->QueueReceive("257 \"/d\xE9j\xE0\"\r\n");
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"257 \"/d\u00E9j\u00E0\"");
}

TEST_F(ReplyReadingTest, PartialLineAtPeerCloseIsDeliveredThenTheNextReadFails)
{
    fake->QueueReceive("221 Bye");
    fake->QueuePeerClose();
    std::wstring line;
    ASSERT_TRUE(client->ReadReplyLine(line, true));
    EXPECT_EQ(line, L"221 Bye");
    EXPECT_TRUE(client->IsConnected());
    EXPECT_FALSE(client->ReadReplyLine(line, true));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"The server closed the connection."));
}

TEST_F(ReplyReadingTest, InvalidCodesFailTheReadButKeepTheText)
{
    for (const char* text : {"999 nine\r\n", "hello\r\n", "2\r\n", "260 x\r\n", "600 x\r\n"})
    {
        fake->QueueReceive(text);
        Reply reply;
        EXPECT_FALSE(client->ReadReply(reply, true)) << text;
        EXPECT_EQ(reply.ReplyCode[0], L'\0') << text;
        EXPECT_FALSE(reply.text.empty()) << text;
    }
    // Garbage is not a lost connection.
    EXPECT_TRUE(client->IsConnected());
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(ReplyReadingTest, ReceiveTimeoutShowsTheSocketMessageAndDropsTheConnection)
{
    fake->QueueReceiveTimeout();
    Reply reply;
    EXPECT_FALSE(client->ReadReply(reply, true));
    EXPECT_FALSE(client->IsConnected());
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_EQ(Boxes().Boxes()[0].icon, platform::BoxIcon::Error);
    EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"Unable to receive data (receive timeout).\n\nError code: "));
}

TEST_F(ReplyReadingTest, QuietReadShowsNothingAndPostsNoStatus)
{
    fake->QueueReceive("200 fine\r\n");
    fake->QueueReceiveTimeout();
    Reply reply;
    EXPECT_TRUE(client->ReadReply(reply, false));
    EXPECT_FALSE(client->ReadReply(reply, false));
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_TRUE(testing_support::Status().Texts().empty());
}

TEST_F(ReplyReadingTest, MultiLineReplyCutByClosedConnectionFails)
{
    fake->QueueReceive("230-first\r\n230-second\r\n");
    fake->QueuePeerClose();
    Reply reply;
    EXPECT_FALSE(client->ReadReply(reply, true));
    EXPECT_FALSE(client->IsConnected());
}

TEST_F(ReplyReadingTest, EndlessContinuationLinesStopAtTheReplyLimit)
{
    const std::string line = "220-" + std::string(1000, 'x') + "\r\n";
    std::string block;
    while (block.size() < 64 * 1024)
        block += line;
    fake->QueueReceive("220-start\r\n");
    for (size_t sent = 0; sent <= CFTPClient::MaxReplyBytes + block.size(); sent += block.size())
        fake->QueueReceive(block);
    Reply reply;
    EXPECT_FALSE(client->ReadReply(reply, true));
    EXPECT_FALSE(client->IsConnected());
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"too long"));
}

TEST_F(ReplyReadingTest, LineWithoutLineFeedStopsAtTheReplyLimit)
{
    const std::string block(64 * 1024, 'y');
    for (size_t sent = 0; sent <= CFTPClient::MaxReplyBytes + block.size(); sent += block.size())
        fake->QueueReceive(block);
    std::wstring line;
    EXPECT_FALSE(client->ReadReplyLine(line, true));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"too long")));
    // The rest was never read.
    EXPECT_GT(fake->QueuedEvents(), 0u);
}

TEST_F(ReplyReadingTest, ReconnectingForgetsLinesLeftFromTheOldConnection)
{
    fake->QueueReceive("220 old\r\n226 stale\r\n");
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    fake->QueueReceive("220 new\r\n");
    ASSERT_TRUE(client->OpenControlConnection(L"127.0.0.1", 21));
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"220 new");
}

TEST_F(ReplyReadingTest, LoneLineFeedEndsALineToo)
{
    fake->QueueReceive("220-a\n220 b\n");
    Reply reply;
    ASSERT_TRUE(client->ReadReply(reply, true));
    EXPECT_EQ(reply.text, L"220-a\r\n220 b");
}

TEST(ReplyReadingWithoutConnection, EverythingFailsWithoutABox)
{
    CFTPClient client(std::make_unique<FakeSocket>());
    Reply reply;
    std::wstring text;
    EXPECT_FALSE(client.ReadReply(reply, true));
    EXPECT_FALSE(client.SendCommand(L"NOOP", true));
    EXPECT_FALSE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(client.Quit(), -1);
    EXPECT_EQ(client.ChangeDirectory(L"/x"), -1);
    EXPECT_EQ(client.CurrentDirectory(text), -1);
    EXPECT_EQ(client.KeepAlive(), -1);
    EXPECT_EQ(Boxes().Count(), 0u);
}

} // namespace
