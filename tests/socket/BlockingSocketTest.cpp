#include "socket/BlockingSocket.h"
#include "platform/TextCodec.h"
#include "socket/BlockingSocketException.h"
#include "socket/StopSignal.h"
#include "support/TestServices.h"

#include <gmock/gmock.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using testing::HasSubstr;
using Clock = std::chrono::steady_clock;

namespace
{

sockaddr_in Loopback(unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listening socket on a free loopback port.
struct Listener
{
    CBlockingSocket socket;
    sockaddr_in address{};

    Listener()
    {
        socket.Create(SOCK_STREAM);
        socket.Bind(Loopback(0));
        socket.Listen();
        socket.LocalAddress(address);
    }
};

// Two connected sockets over loopback.
struct Connection
{
    CBlockingSocket client;
    CBlockingSocket server;

    Connection()
    {
        Listener listener;
        client.Create(SOCK_STREAM);
        client.Connect(listener.address, 5);
        sockaddr_in peer{};
        EXPECT_TRUE(listener.socket.Accept(server, peer, 5));
        testing_support::Activity().Reset();
    }
};

// Runs call and returns the exception it raised; fails the test if none.
CBlockingSocketException Raised(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const CBlockingSocketException& e)
    {
        return e;
    }
    ADD_FAILURE() << "no exception raised";
    return CBlockingSocketException(L"", 0);
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A signal whose handler does nothing and does not restart system calls, so
// it interrupts a thread that is waiting.
class InterruptingSignal
{
public:
    InterruptingSignal()
    {
        struct sigaction action
        {
        };
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &m_previous);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &m_previous, nullptr); }

    // Runs call on a thread and signals that thread every 20 ms until the call
    // returns; each signal that lands in a wait interrupts it.
    template <typename Result> static Result Interrupt(std::function<Result()> call)
    {
        std::packaged_task<Result()> task(std::move(call));
        auto future = task.get_future();
        std::thread thread(std::move(task));
        while (future.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            pthread_kill(thread.native_handle(), SIGUSR1);
        thread.join();
        return future.get();
    }

private:
    struct sigaction m_previous
    {
    };
};

} // namespace

TEST(BlockingSocket, ReceiveReturnsDataThenZeroOnceThePeerCloses)
{
    Connection c;
    c.server.SendAll("hello", 5, 5);
    c.server.Close();
    char buffer[16];
    ASSERT_EQ(c.client.Receive(buffer, sizeof buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(c.client.Receive(buffer, sizeof buffer, 5), 0);
}

TEST(BlockingSocket, ReceiveTimesOutAfterTheTimeout)
{
    Connection c;
    char buffer[16];
    const auto start = Clock::now();
    const auto e = Raised([&] { c.client.Receive(buffer, sizeof buffer, 1); });
    EXPECT_EQ(e.Message(), L"Unable to receive data (receive timeout).");
    EXPECT_EQ(e.ErrorCode(), ETIMEDOUT);
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_TRUE(c.client.HasHandle()); // the catcher decides about closing
}

TEST(BlockingSocket, SendAllDeliversABufferLargerThanTheSocketBuffersToASlowReader)
{
    Connection c;
    const int small = 16 * 1024;
    setsockopt(c.client.Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(c.server.Handle(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::string data(2 * 1024 * 1024, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31 / 7);

    std::string received;
    std::thread reader(
        [&]
        {
            char buffer[4096];
            for (;;)
            {
                const ssize_t n = ::recv(c.server.Handle(), buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                received.append(buffer, static_cast<size_t>(n));
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    const int sent = c.client.SendAll(data.data(), static_cast<int>(data.size()), 5);
    ::shutdown(c.client.Handle(), SHUT_WR);
    reader.join();
    EXPECT_EQ(sent, static_cast<int>(data.size()));
    EXPECT_TRUE(received == data);
    // One activity post per piece: the buffer went out in several.
    EXPECT_GT(testing_support::Activity().Count(), 1);
}

TEST(BlockingSocket, SendTimesOutWhenThePeerStopsReading)
{
    // A blocking send would wait for room for the whole buffer, for ever.
    Connection c;
    const std::string data(32 * 1024 * 1024, 'x');
    const auto start = Clock::now();
    const auto e = Raised([&] { c.client.SendAll(data.data(), static_cast<int>(data.size()), 1); });
    EXPECT_EQ(e.Message(), L"Unable to send data (send timeout).");
    EXPECT_LT(SecondsSince(start), 30.0);
}

TEST(BlockingSocket, SendToAClosedPeerRaisesInsteadOfKillingTheProcess)
{
    // The test program does not ignore SIGPIPE: a plain send would end it.
    Connection c;
    c.server.Close();
    bool raised = false;
    for (int i = 0; i < 20 && !raised; ++i)
    {
        try
        {
            c.client.SendAll("data", 4, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        catch (const CBlockingSocketException& e)
        {
            EXPECT_EQ(e.Message(), L"Unable to send data.");
            EXPECT_THAT(e.ErrorCode(), testing::AnyOf(EPIPE, ECONNRESET));
            raised = true;
        }
    }
    EXPECT_TRUE(raised);
}

TEST(BlockingSocket, WaitsWorkOnDescriptorsAbove1023)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2048)
    {
        rlimit raised = limit;
        raised.rlim_cur = std::min<rlim_t>(2048, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &raised);
    }
    std::vector<int> fillers;
    for (int fd = 0; fd >= 0 && fd < 1100;)
    {
        fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            fillers.push_back(fd);
    }
    {
        Connection c;
        ASSERT_GT(c.client.Handle(), 1023);
        ASSERT_GT(c.server.Handle(), 1023);
        EXPECT_FALSE(c.client.IsReadable());
        c.server.SendAll("abc", 3, 5);
        char buffer[8];
        EXPECT_EQ(c.client.Receive(buffer, sizeof buffer, 5), 3);
        const auto e = Raised([&] { c.client.Receive(buffer, sizeof buffer, 0); });
        EXPECT_EQ(e.Message(), L"Unable to receive data (receive timeout).");
    }
    for (int fd : fillers)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(BlockingSocket, IsReadableReportsWaitingDataAndCloseWithoutPosting)
{
    Connection c;
    EXPECT_FALSE(c.client.IsReadable());
    c.server.SendAll("x", 1, 5);
    testing_support::Activity().Reset();
    for (int i = 0; i < 200 && !c.client.IsReadable(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(c.client.IsReadable());
    char buffer[4];
    c.client.Receive(buffer, sizeof buffer, 5);
    c.server.Close();
    testing_support::Activity().Reset();
    for (int i = 0; i < 200 && !c.client.IsReadable(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(c.client.IsReadable());
    EXPECT_EQ(testing_support::Activity().Count(), 0);
}

TEST(BlockingSocket, EachAcceptSendAndReceivePostsOneActivity)
{
    auto& activity = testing_support::Activity();
    Listener listener;
    CBlockingSocket client;
    client.Create(SOCK_STREAM);
    client.Connect(listener.address, 5);
    EXPECT_EQ(activity.Count(), 0) << "Create, Bind, Listen, LocalAddress and Connect post nothing";

    auto server = listener.socket.NewSocket();
    sockaddr_in peer{};
    ASSERT_TRUE(listener.socket.Accept(*server, peer, 5));
    EXPECT_EQ(activity.Count(), 1);
    EXPECT_EQ(peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));

    EXPECT_EQ(client.SendSome("ab", 2, 5), 2);
    EXPECT_EQ(activity.Count(), 2);
    EXPECT_EQ(client.SendAll("", 0, 5), 0) << "still one send of nothing";
    EXPECT_EQ(activity.Count(), 3);
    char buffer[4];
    EXPECT_GT(server->Receive(buffer, sizeof buffer, 5), 0);
    EXPECT_EQ(activity.Count(), 4);
    client.IsReadable();
    sockaddr_in address{};
    client.PeerAddress(address);
    EXPECT_EQ(address.sin_port, listener.address.sin_port);
    EXPECT_EQ(activity.Count(), 4);
}

TEST(BlockingSocket, ConnectIsBoundedByItsTimeout)
{
    // A listener with backlog 0 that never accepts: once its queue is full,
    // further connections get no answer and would wait minutes unbounded.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    std::vector<std::unique_ptr<CBlockingSocket>> clients;
    bool timedOut = false;
    for (int i = 0; i < 16 && !timedOut; ++i)
    {
        auto& client = clients.emplace_back(std::make_unique<CBlockingSocket>());
        client->Create(SOCK_STREAM);
        const auto start = Clock::now();
        try
        {
            client->Connect(address, 1);
            EXPECT_EQ(::fcntl(client->Handle(), F_GETFL) & O_NONBLOCK, 0) << "back to blocking";
        }
        catch (const CBlockingSocketException& e)
        {
            EXPECT_EQ(e.Message(), L"Cannot establish a connection to the server.");
            EXPECT_EQ(e.ErrorCode(), ETIMEDOUT);
            EXPECT_LT(SecondsSince(start), 10.0);
            timedOut = true;
        }
    }
    EXPECT_TRUE(timedOut);
    ::close(listener);
}

TEST(BlockingSocket, ConnectToAClosedPortIsRefused)
{
    sockaddr_in address{};
    {
        Listener gone;
        address = gone.address;
    }
    CBlockingSocket client;
    client.Create(SOCK_STREAM);
    const auto e = Raised([&] { client.Connect(address, 5); });
    EXPECT_EQ(e.Message(), L"Cannot establish a connection to the server.");
    EXPECT_EQ(e.ErrorCode(), ECONNREFUSED);
    EXPECT_EQ(testing_support::Activity().Count(), 0);
}

TEST(BlockingSocket, AcceptIsBoundedByItsTimeout)
{
    Listener listener;
    auto target = listener.socket.NewSocket();
    sockaddr_in peer{};
    const auto start = Clock::now();
    const auto e = Raised([&] { listener.socket.Accept(*target, peer, 1); });
    EXPECT_EQ(e.Message(), L"Error creating acceptor socket.");
    EXPECT_EQ(e.ErrorCode(), ETIMEDOUT);
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_FALSE(target->HasHandle());
}

TEST(BlockingSocket, InterruptedAcceptReturnsFalseWithoutATarget)
{
    InterruptingSignal signal;
    Listener listener;
    auto target = listener.socket.NewSocket();
    const bool accepted = InterruptingSignal::Interrupt<bool>(
        [&]
        {
            sockaddr_in peer{};
            return listener.socket.Accept(*target, peer, 30);
        });
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(target->HasHandle());
}

TEST(BlockingSocket, ReceiveKeepsWaitingThroughSignals)
{
    InterruptingSignal signal;
    Connection c;
    char buffer[8];
    std::thread sender(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            c.server.SendAll("late", 4, 5);
        });
    const int received =
        InterruptingSignal::Interrupt<int>([&] { return c.client.Receive(buffer, sizeof buffer, 10); });
    sender.join();
    EXPECT_EQ(received, 4);

    const auto start = Clock::now();
    const std::string outcome = InterruptingSignal::Interrupt<std::string>(
        [&]
        {
            try
            {
                c.client.Receive(buffer, sizeof buffer, 1);
                return std::string("returned");
            }
            catch (const CBlockingSocketException& e)
            {
                return platform::TextCodec::ToUtf8(e.Message());
            }
        });
    EXPECT_EQ(outcome, "Unable to receive data (receive timeout).");
    EXPECT_GE(SecondsSince(start), 0.9);
}

TEST(BlockingSocket, CloseAndForceCloseWithoutAHandleDoNothing)
{
    CBlockingSocket socket;
    EXPECT_FALSE(socket.HasHandle());
    socket.Close();
    socket.ForceClose();
    EXPECT_FALSE(socket.HasHandle());
    // Waiting on no descriptor fails at once instead of running out the timeout.
    char buffer[4];
    EXPECT_EQ(Raised([&] { socket.Receive(buffer, sizeof buffer, 30); }).ErrorCode(), EBADF);
    EXPECT_EQ(Raised([&] { socket.IsReadable(); }).Message(), L"select() failed.");
}

TEST(BlockingSocket, DescriptorsAreReleasedExactlyOnce)
{
    int handle = CBlockingSocket::NoHandle;
    {
        CBlockingSocket socket;
        socket.Create(SOCK_STREAM);
        handle = socket.Handle();
        ASSERT_GE(::fcntl(handle, F_GETFD), 0);
    }
    EXPECT_EQ(::fcntl(handle, F_GETFD), -1) << "destruction closes a held descriptor";

    // A failed close still gives up the number, so the object never closes
    // whatever reuses it later.
    int reused = -1;
    {
        CBlockingSocket socket;
        socket.Create(SOCK_STREAM);
        ::close(socket.Handle());
        const auto e = Raised([&] { socket.Close(); });
        EXPECT_EQ(e.Message(), L"Unable to close socket.");
        EXPECT_EQ(e.ErrorCode(), EBADF);
        EXPECT_FALSE(socket.HasHandle());
        reused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    EXPECT_GE(::fcntl(reused, F_GETFD), 0);
    ::close(reused);
}

TEST(BlockingSocket, ResolveHostFindsLocalhostAndNamesAHostItCannotFind)
{
    CBlockingSocket socket;
    const sockaddr_in address = socket.ResolveHost("localhost", 2121);
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(address.sin_port, htons(2121));
    EXPECT_EQ(ntohl(address.sin_addr.s_addr) >> 24, 127u);

    const auto e = Raised([&] { socket.ResolveHost("no-such-host.invalid", 21); });
    EXPECT_EQ(e.Message(), L"The host 'no-such-host.invalid' could not be found. Please make sure you are "
                           L"connected to the Internet and verify that you have entered the server name "
                           L"correctly.");
    // Not looked up as "localhost".
    const auto cut = Raised([&] { socket.ResolveHost(std::string("localhost\0evil", 14), 21); });
    EXPECT_THAT(cut.Message(), HasSubstr(L"could not be found"));

    EXPECT_EQ(socket.ResolveAddress(Loopback(21)), "localhost");
}

namespace
{

// Runs wait on a thread, raises the signal once it has surely started waiting,
// and tells how long the wait went on after the raise and how it ended.
struct StopOutcome
{
    double secondsAfterRaise = 0;
    int code = 0;
    std::wstring message;
};

StopOutcome StopDuring(nsSocket::CStopSignal& signal, const std::function<void()>& wait)
{
    auto ended = std::async(std::launch::async,
                            [&]
                            {
                                try
                                {
                                    wait();
                                }
                                catch (const CBlockingSocketException& e)
                                {
                                    return e;
                                }
                                return CBlockingSocketException(L"returned", 0);
                            });
    EXPECT_EQ(ended.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout) << "not waiting";
    const auto raised = Clock::now();
    signal.Raise();
    const CBlockingSocketException e = ended.get();
    return {SecondsSince(raised), e.ErrorCode(), e.Message()};
}

// The address of a listener that answers no further connection: it never
// accepts, and connections are made until one times out (its queue is full).
sockaddr_in UnansweringAddress(int& listener, std::vector<std::unique_ptr<CBlockingSocket>>& queued)
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    for (int i = 0; i < 16; ++i)
    {
        auto& client = queued.emplace_back(std::make_unique<CBlockingSocket>());
        client->Create(SOCK_STREAM);
        try
        {
            client->Connect(address, 1);
        }
        catch (const CBlockingSocketException&)
        {
            break;
        }
    }
    return address;
}

} // namespace

TEST(BlockingSocketStop, RaisingTheSignalFromAnotherThreadEndsEveryKindOfWait)
{
    auto signal = std::make_shared<nsSocket::CStopSignal>();
    Connection c;
    c.client.SetStopSignal(signal);
    Listener listener;
    listener.socket.SetStopSignal(signal);
    int fullListener = -1;
    std::vector<std::unique_ptr<CBlockingSocket>> queued;
    const sockaddr_in unanswering = UnansweringAddress(fullListener, queued);
    const std::string lots(32 * 1024 * 1024, 'x'); // more than a peer that never reads takes
    char buffer[16];

    const std::vector<std::pair<std::string, std::function<void()>>> waits = {
        {"Receive", [&] { c.client.Receive(buffer, sizeof buffer, 30); }},
        {"SendAll", [&] { c.client.SendAll(lots.data(), static_cast<int>(lots.size()), 30); }},
        {"Accept",
         [&]
         {
             auto target = listener.socket.NewSocket();
             sockaddr_in peer{};
             listener.socket.Accept(*target, peer, 30);
         }},
        {"Connect",
         [&]
         {
             CBlockingSocket socket;
             socket.SetStopSignal(signal);
             socket.Create(SOCK_STREAM);
             socket.Connect(unanswering, 30);
         }},
    };
    for (const auto& [name, wait] : waits)
    {
        signal->Clear();
        const StopOutcome outcome = StopDuring(*signal, wait);
        EXPECT_EQ(outcome.code, ECANCELED) << name;
        EXPECT_EQ(outcome.message, L"The wait for the server was stopped.") << name;
        EXPECT_LT(outcome.secondsAfterRaise, 1.0) << name;
    }
    ::close(fullListener);
}

TEST(BlockingSocketStop, ARaisedSignalEndsWaitsUntilClearedAndReachesNewSockets)
{
    auto signal = std::make_shared<nsSocket::CStopSignal>();
    EXPECT_FALSE(signal->Raised());
    Connection c;
    c.client.SetStopSignal(signal);
    c.server.SendAll("x", 1, 5);
    signal->Raise();
    signal->Raise();
    EXPECT_TRUE(signal->Raised());
    char buffer[4];
    // Even waiting data does not outrank a stop; IsReadable never waits, so it is not stopped.
    EXPECT_EQ(Raised([&] { c.client.Receive(buffer, sizeof buffer, 5); }).ErrorCode(), ECANCELED);
    EXPECT_TRUE(c.client.IsReadable());

    // A socket made by NewSocket (a data connection, a listener) stops too.
    auto fresh = c.client.NewSocket();
    fresh->Create(SOCK_STREAM);
    fresh->Bind(Loopback(0));
    fresh->Listen();
    auto target = fresh->NewSocket();
    sockaddr_in peer{};
    EXPECT_EQ(Raised([&] { fresh->Accept(*target, peer, 5); }).ErrorCode(), ECANCELED);
    EXPECT_FALSE(target->HasHandle());

    signal->Clear();
    EXPECT_FALSE(signal->Raised());
    EXPECT_EQ(c.client.Receive(buffer, sizeof buffer, 5), 1);
}
