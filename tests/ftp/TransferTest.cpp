// Data connections against the scripted server: representation cache, PASV
// and PORT, engine-driven listings and caller-driven file transfers.
#include "ftp/FTPClient.h"
#include "ftp/ListingLines.h"
#include "ftp/OutputStream.h"
#include "platform/TextCodec.h"
#include "socket/BlockingSocket.h"
#include "socket/BlockingSocketException.h"
#include "support/ScriptedFtpServer.h"
#include "support/ScriptedSessionTest.h"
#include "support/TestServices.h"

#include <gmock/gmock.h>

#include <arpa/inet.h>
#include <chrono>
#include <thread>

using nsFTP::CFTPClient;
using nsFTP::COutputStream;
using nsFTP::Representation;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;
using testing_support::Boxes;
using testing_support::ScriptedFtpServer;

namespace
{

const Representation Ascii{Representation::ASCII, Representation::NonPrint};

TEST(PassiveReplyTest, ParsesTheSixNumbersInParentheses)
{
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    ASSERT_TRUE(
        CFTPClient::ParsePassiveReply(L"227 Entering Passive Mode (192,168,1,2,19,137).", address, port));
    EXPECT_EQ(address, 0xC0A80102u);
    EXPECT_EQ(port, 5001);
    for (const wchar_t* bad :
         {L"227 Entering Passive Mode (192, 168, 1, 2, 19, 137)", L"227 192,168,1,2,19,137",
          L"227 (192,168,1,2,19)", L"227 (192,168,1,2,19,137", L"227 (300,1,1,1,1,1)",
          L"227 (1,1,1,1,1,1000)", L"227 (1,,1,1,1,1)", L"227 (a,b,c,d,e,f)"})
        EXPECT_FALSE(CFTPClient::ParsePassiveReply(bad, address, port))
            << testing::PrintToString(std::wstring(bad));
}

TEST(OutputStreamTest, HandsOutLinesAndDropsTextAfterTheLastLineEnd)
{
    COutputStream stream(L"\r\n");
    const std::string bytes = "a\r\nb \xE9\r\n\r\ntail";
    stream.OnBytesReceived(bytes.data(), 4);
    stream.OnBytesReceived(bytes.data() + 4, static_cast<int>(bytes.size() - 4));
    stream.Rewind();
    std::wstring line;
    std::vector<std::wstring> lines;
    while (stream.NextLine(line))
        lines.push_back(line);
    EXPECT_THAT(lines, ElementsAre(L"a", L"b \u00E9", L""));
}

TEST(OutputStreamTest, RefusesTextBeyondItsLimit)
{
    COutputStream stream(L"\r\n", 10);
    stream.OnBytesReceived("0123456789", 10);
    EXPECT_FALSE(stream.IsFull());
    stream.OnBytesReceived("x", 1);
    EXPECT_TRUE(stream.IsFull());
    EXPECT_EQ(stream.Text().size(), 10u);
}

class TransferTest : public testing_support::ScriptedSessionTest
{
protected:
    std::vector<std::string> Commands()
    {
        auto commands = ScriptedSessionTest::Commands();
        EXPECT_THAT(server.Mismatches(), IsEmpty());
        return commands;
    }

    bool List(const std::wstring& path, std::wstring& text, bool passive = true)
    {
        COutputStream stream(client.EndOfLine());
        const bool ok = client.TransferData(stream, nsFTP::LIST, path, Ascii, passive);
        text = stream.Text();
        return ok;
    }
};

const std::string Listing =
    "drwxr-xr-x 2 u g 4096 Jan  1 2024 dir\r\n-rw-r--r-- 1 u g 5 Jan  1 2024 f\xE9\r\n";

TEST_F(TransferTest, PassiveListingStartsFromTheServersInitialTypeAndReadsTheFinalReply)
{
    server.Passive().On("LIST", "150 Here it comes\r\n");
    server.DataSend(Listing).Send("226 Done\r\n");
    server.Passive().On("LIST /sub", "150 Here\r\n").DataSend("").Send("226 Done\r\n");
    Connect();
    std::wstring text;
    ASSERT_TRUE(List(L"", text)) << testing::PrintToString(Boxes().Texts());
    // One character per byte, so names go back to the server unchanged.
    EXPECT_EQ(text, platform::TextCodec::FromLatin1(Listing));
    ASSERT_TRUE(List(L"/sub", text));
    EXPECT_TRUE(text.empty());
    EXPECT_THAT(Commands(), ElementsAre("PASV\r\n", "LIST\r\n", "PASV\r\n", "LIST /sub\r\n"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(TransferTest, PassiveConnectsToTheServerItTalksToWhateverHostTheReplyNames)
{
    server.Passive("227 Entering Passive Mode (192,0,2,1,%p)\r\n");
    server.On("LIST", "150 ok\r\n").DataSend("x\r\n").Send("226 ok\r\n");
    Connect();
    std::wstring text;
    ASSERT_TRUE(List(L"", text)) << testing::PrintToString(Boxes().Texts());
    EXPECT_EQ(text, L"x\r\n");
}

TEST_F(TransferTest, ActiveListingAnnouncesTheControlConnectionsAddress)
{
    server.ExpectPort().On("LIST", "150 ok\r\n").DataSend(Listing).Send("226 ok\r\n");
    Connect();
    std::wstring text;
    ASSERT_TRUE(List(L"", text, false)) << testing::PrintToString(Boxes().Texts());
    EXPECT_EQ(text.size(), Listing.size());
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_THAT(commands[0], StartsWith("PORT 127,0,0,1,"));
}

TEST_F(TransferTest, RefusedSetupStepsFailWithTheServersText)
{
    server.On("TYPE I", "504 No binary\r\n");
    server.On("PASV", "500 No passive\r\n");
    server.On("PASV", "227 Entering Passive Mode (127, 0, 0, 1, 4, 1)\r\n");
    server.ExpectPort("500 No active\r\n");
    server.Passive().On("LIST /none", "550 No such directory\r\n");
    server.On("NOOP", "200 ok\r\n");
    Connect();
    std::wstring text;
    EXPECT_EQ(client.OpenTransfer(L"f", true, false), nullptr);
    EXPECT_FALSE(List(L"", text));
    EXPECT_FALSE(List(L"", text));
    EXPECT_FALSE(List(L"", text, false));
    EXPECT_FALSE(List(L"/none", text));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"504 No binary", L"500 No passive",
                                             L"227 Entering Passive Mode (127, 0, 0, 1, 4, 1)",
                                             L"500 No active", L"550 No such directory"));
    // Still in step with the server.
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
    EXPECT_FALSE(client.TransferInProgress());
}

TEST_F(TransferTest, DataConnectionThatCannotBeMadeIsShown)
{
    unsigned short closedPort;
    {
        ScriptedFtpServer gone;
        closedPort = gone.Port();
    }
    server.On("PASV", "227 Entering Passive Mode (127,0,0,1," + std::to_string(closedPort / 256) + "," +
                          std::to_string(closedPort % 256) + ")\r\n");
    server.On("NOOP", "200 ok\r\n");
    Connect();
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"Cannot establish a connection to the server.")));
    // LIST was never sent, and the control connection is fine.
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
}

TEST_F(TransferTest, FinalReplyThatIsNotPositiveFailsTheListing)
{
    server.Passive().On("LIST", "150 ok\r\n");
    server.DataSend("partial\r\n").Send("426 Connection closed; transfer aborted.\r\n");
    Connect();
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"426 Connection closed; transfer aborted."));
}

TEST_F(TransferTest, ListingTooLongIsStoppedAndTheFinalReplyConsumed)
{
    server.Passive().On("LIST", "150 ok\r\n");
    server.DataSend(std::string(100000, 'z')).Send("226 ok\r\n").On("NOOP", "200 fine\r\n");
    Connect();
    COutputStream stream(L"\r\n", 5000);
    EXPECT_FALSE(client.TransferData(stream, nsFTP::LIST, L"", Ascii, true));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"more data")));
    EXPECT_LE(stream.Text().size(), 5000u);
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 fine");
}

TEST_F(TransferTest, StalledDataConnectionTimesOut)
{
    server.Passive().On("LIST", "150 ok\r\n").Pause(std::chrono::milliseconds(3000));
    Connect();
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    ASSERT_GE(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"Unable to receive data (receive timeout)."));
    EXPECT_FALSE(client.TransferInProgress());
}

TEST_F(TransferTest, DownloadAndUploadAreDrivenByTheCaller)
{
    const std::string content = std::string(5000, 'a') + "\0\r\n\xFF" + std::string(3000, 'b');
    server.On("TYPE I", "200 Binary\r\n").Passive().On("RETR /f", "150 Opening\r\n");
    server.DataSend(content).Send("226 Sent\r\n");
    server.Passive().On("STOR /g", "150 Go\r\n").DataReceive().Send("226 Stored\r\n");
    Connect();

    auto data = client.OpenTransfer(L"/f", true, false);
    ASSERT_TRUE(data) << testing::PrintToString(Boxes().Texts());
    EXPECT_TRUE(client.TransferInProgress());
    // No listing and no keep-alive may use the control connection while the
    // caller holds a transfer.
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    EXPECT_EQ(client.KeepAlive(), -1);
    std::string received;
    char buffer[1024];
    int count = 0;
    do
    {
        ASSERT_TRUE(client.ReadTransferChunk(*data, buffer, sizeof buffer, count));
        received.append(buffer, static_cast<size_t>(count));
    } while (count > 0);
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    EXPECT_EQ(received, content);

    data = client.OpenTransfer(L"/g", true, true);
    ASSERT_TRUE(data);
    ASSERT_TRUE(client.WriteTransferChunk(*data, content.data(), static_cast<int>(content.size()), count));
    EXPECT_EQ(count, static_cast<int>(content.size()));
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    EXPECT_FALSE(client.TransferInProgress());
    // TYPE I was set once for both.
    EXPECT_THAT(Commands(), ElementsAre("TYPE I\r\n", "PASV\r\n", "RETR /f\r\n", "PASV\r\n", "STOR /g\r\n"));
    EXPECT_EQ(server.DataReceived(), content);
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(TransferTest, AFailedChunkLeavesTheTransferOpenUntilCloseTransferReadsItsReply)
{
    server.On("TYPE I", "200 ok\r\n").Passive().On("RETR f", "150 ok\r\n");
    server.Pause(std::chrono::milliseconds(1500)).Send("426 Cut\r\n").On("NOOP", "200 ok\r\n");
    Connect();
    auto data = client.OpenTransfer(L"f", true, false);
    ASSERT_TRUE(data);
    char buffer[64];
    int count = 0;
    EXPECT_FALSE(client.ReadTransferChunk(*data, buffer, sizeof buffer, count));
    // The transfer's final reply is still to come: no other command may take it.
    EXPECT_TRUE(client.TransferInProgress());
    EXPECT_EQ(client.KeepAlive(), -1);
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    EXPECT_FALSE(client.CloseTransfer(std::move(data)));
    EXPECT_FALSE(client.TransferInProgress());
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"receive timeout"), L"426 Cut"));
}

TEST_F(TransferTest, ListingAfterAFileTransferSetsTheTypeAgainButNotAfterReconnecting)
{
    server.On("TYPE I", "200 ok\r\n").Passive().On("RETR f", "150 ok\r\n").DataSend("x").Send("226 ok\r\n");
    server.On("TYPE A", "200 ok\r\n").Passive().On("LIST", "150 ok\r\n").DataSend("").Send("226 ok\r\n");
    server.On("QUIT", "221 Bye\r\n");
    server.Greet("220 Again\r\n").Passive().On("LIST", "150 ok\r\n").DataSend("").Send("226 ok\r\n");
    Connect();
    auto data = client.OpenTransfer(L"f", true, false);
    ASSERT_TRUE(data);
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    std::wstring text;
    EXPECT_TRUE(List(L"", text));
    EXPECT_EQ(client.Quit(), 0);
    ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", server.Port()));
    nsFTP::Reply greeting;
    ASSERT_TRUE(client.ReadReply(greeting, true));
    EXPECT_TRUE(List(L"", text));
    EXPECT_THAT(Commands(), ElementsAre("TYPE I\r\n", "PASV\r\n", "RETR f\r\n", "TYPE A\r\n", "PASV\r\n",
                                        "LIST\r\n", "QUIT\r\n", "PASV\r\n", "LIST\r\n"));
}

TEST_F(TransferTest, AbortOutsideATransferReadsBothRepliesOfABor)
{
    server.On("ABOR", "426 Transfer aborted\r\n226 ABOR successful\r\n").On("NOOP", "200 ok\r\n");
    Connect();
    EXPECT_EQ(client.Abort(), 0);
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
}

TEST_F(TransferTest, ListDirectoryParsesEveryLineAndKeepsThePath)
{
    // A well-formed line too long to be an entry is dropped whole; the lines
    // around it survive.
    const std::string overlong =
        "-rw-r--r-- 1 u g 1 Jan  1  2024 " + std::string(nsFTP::CListingLines::DefaultMaxLineLength, 'n');
    server.Passive().On("LIST /pub", "150 ok\r\n");
    server.DataSend("-rw-r--r-- 1 u g 5 Jan  1  2024 a.txt\r\n"
                    "total 12\r\n" +
                    overlong +
                    "\r\n"
                    "drwxr-xr-x 2 u g 4096 Feb  2  2023 bare lf dir\n"
                    "-rw-r--r-- 1 u g 7 Mar  3  2022 last\xE9");
    server.Send("226 ok\r\n");
    server.Passive().On("LIST /gone", "550 No such directory\r\n");
    Connect();
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
    ASSERT_TRUE(client.ListDirectory(L"/pub", entries, true)) << testing::PrintToString(Boxes().Texts());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0]->Name, L"a.txt");
    EXPECT_EQ(entries[0]->Size, 5);
    EXPECT_EQ(entries[1]->Name, L"bare lf dir");
    EXPECT_TRUE(entries[1]->TryCwd);
    // The last line arrived without a line end and is still an entry.
    EXPECT_EQ(entries[2]->Name, L"last\u00E9");
    for (const auto& entry : entries)
        EXPECT_EQ(entry->Path, L"/pub");
    EXPECT_FALSE(client.ListDirectory(L"/gone", entries, true));
    EXPECT_EQ(entries.size(), 3u);
}

// Asks for an abort from inside the transfer, as a cancel button would.
class AbortingSink final : public nsFTP::ITransferNotification
{
public:
    explicit AbortingSink(CFTPClient& client) : m_client(client) {}
    void OnBytesReceived(const char*, int count) override
    {
        received += count;
        aborted = m_client.Abort();
    }
    void OnPreBytesSend(char*, std::uint32_t, std::uint32_t& count) override { count = 0; }
    int received = 0;
    int aborted = -2;

private:
    CFTPClient& m_client;
};

TEST_F(TransferTest, AbortDuringAListingStopsItAndSendsAbor)
{
    server.Passive().On("LIST", "150 ok\r\n").DataSend(std::string(20000, 'q'));
    server.On("ABOR", "426 Transfer aborted\r\n226 ABOR successful\r\n").On("NOOP", "200 ok\r\n");
    Connect();
    AbortingSink sink(client);
    EXPECT_FALSE(client.TransferData(sink, nsFTP::LIST, L"", Ascii, true));
    // The request was only recorded while the block was being delivered.
    EXPECT_EQ(sink.aborted, 0);
    EXPECT_GT(sink.received, 0);
    EXPECT_LE(sink.received, static_cast<int>(CFTPClient::BufferSize));
    EXPECT_FALSE(client.TransferInProgress());
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(TransferTest, ALateAbortNeverCutsTheNextTransferShort)
{
    const std::string listing(20000, 'q');
    server.On("TYPE I", "200 ok\r\n").Passive().On("RETR f", "150 ok\r\n").DataSend("x").Send("226 ok\r\n");
    for (int i = 0; i < 2; ++i)
    {
        if (i == 0)
            server.On("TYPE A", "200 ok\r\n");
        server.Passive().On("LIST", "150 ok\r\n").DataSend(listing).Send("226 ok\r\n");
    }
    Connect();
    std::wstring text;

    // Asked for during a transfer the caller finished anyway.
    auto data = client.OpenTransfer(L"f", true, false);
    ASSERT_TRUE(data);
    EXPECT_EQ(client.Abort(), 0);
    EXPECT_TRUE(client.CloseTransfer(std::move(data)));
    EXPECT_TRUE(List(L"", text));
    EXPECT_EQ(text.size(), listing.size());

    // Asked for by another thread when no transfer runs: ignored, not sent.
    std::thread([&] { EXPECT_EQ(client.Abort(), 0); }).join();
    EXPECT_TRUE(List(L"", text));
    EXPECT_EQ(text.size(), listing.size());
    for (const auto& command : Commands())
        EXPECT_NE(command, "ABOR\r\n");
    EXPECT_EQ(Boxes().Count(), 0u);
}

// Serves a data connection on its own port, a little at a time, until the
// client closes it: a transfer that goes on for as long as a test needs.
class TricklingDataServer
{
public:
    TricklingDataServer()
    {
        m_listener.Create(SOCK_STREAM);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_listener.Bind(address);
        m_listener.Listen();
        m_listener.LocalAddress(address);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread(
            [this]
            {
                nsSocket::CBlockingSocket data;
                sockaddr_in peer{};
                if (!m_listener.Accept(data, peer, 10))
                    return;
                const std::string piece(512, 'd');
                try
                {
                    for (int i = 0; i < 1000; ++i)
                    {
                        data.SendAll(piece.data(), static_cast<int>(piece.size()), 10);
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }
                }
                catch (const nsSocket::CBlockingSocketException&)
                {
                }
            });
    }
    ~TricklingDataServer() { m_thread.join(); }

    std::string PassiveReply() const
    {
        return "227 Entering Passive Mode (127,0,0,1," + std::to_string(m_port / 256) + "," +
               std::to_string(m_port % 256) + ")\r\n";
    }

private:
    nsSocket::CBlockingSocket m_listener;
    unsigned short m_port = 0;
    std::thread m_thread;
};

TEST_F(TransferTest, AbortFromAnotherThreadEndsALongReceive)
{
    TricklingDataServer data;
    server.On("PASV", data.PassiveReply()).On("LIST", "150 ok\r\n");
    server.On("ABOR", "426 Transfer aborted\r\n226 ABOR successful\r\n").On("NOOP", "200 ok\r\n");
    Connect();
    client.SetTimeout(10);
    std::thread aborter(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_EQ(client.Abort(), 0);
        });
    const auto start = std::chrono::steady_clock::now();
    std::wstring text;
    EXPECT_FALSE(List(L"", text));
    aborter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(text.empty());
    EXPECT_FALSE(client.TransferInProgress());
    nsFTP::Reply reply;
    ASSERT_TRUE(client.Execute(L"NOOP", reply, true));
    EXPECT_EQ(reply.text, L"200 ok");
    EXPECT_EQ(Boxes().Count(), 0u) << testing::PrintToString(Boxes().Texts());
}

TEST_F(TransferTest, NothingStartsWithoutAConnection)
{
    CFTPClient idle(std::make_unique<nsSocket::CBlockingSocket>());
    COutputStream stream(L"\r\n");
    EXPECT_FALSE(idle.TransferData(stream, nsFTP::LIST, L"", Ascii, true));
    EXPECT_EQ(idle.OpenTransfer(L"f", true, false), nullptr);
    EXPECT_TRUE(idle.CloseTransfer(nullptr));
    EXPECT_EQ(Boxes().Count(), 0u);
    server.Start();
}

} // namespace
