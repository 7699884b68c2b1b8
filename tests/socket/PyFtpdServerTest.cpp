#include "support/PyFtpdServer.h"
#include "socket/BlockingSocket.h"

#include <gmock/gmock.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using nsSocket::CBlockingSocket;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::PyFtpdOptions;
using testing_support::PyFtpdServer;

namespace
{

// A bare control connection: enough FTP to check the server is usable.
class Control
{
public:
    explicit Control(const PyFtpdServer& server)
    {
        m_socket.Create(SOCK_STREAM);
        m_socket.Connect(m_socket.ResolveHost("127.0.0.1", server.Port()), 10);
    }

    // The reply's last line (the one carrying "ddd ").
    std::string Reply()
    {
        for (;;)
        {
            const auto end = m_pending.find("\r\n");
            if (end != std::string::npos)
            {
                const std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 2);
                if (line.size() >= 4 && line[3] == ' ')
                    return line;
                continue;
            }
            char buffer[512];
            const int n = m_socket.Receive(buffer, sizeof buffer, 10);
            if (n == 0)
                return "closed: " + m_pending;
            m_pending.append(buffer, static_cast<size_t>(n));
        }
    }

    std::string Command(const std::string& text)
    {
        const std::string line = text + "\r\n";
        m_socket.SendAll(line.data(), static_cast<int>(line.size()), 10);
        return Reply();
    }

    static std::string ReadAll(CBlockingSocket& data)
    {
        std::string text;
        char buffer[512];
        for (int n; (n = data.Receive(buffer, sizeof buffer, 10)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

private:
    CBlockingSocket m_socket;
    std::string m_pending;
};

// 125 when the data connection is already there, else 150.
auto Opening()
{
    return testing::AnyOf(StartsWith("125 "), StartsWith("150 "));
}

bool Gone(pid_t pid)
{
    return ::kill(pid, 0) == -1 && errno == ESRCH;
}

} // namespace

TEST(PyFtpdServer, LogsOnListsInBothModesAndStopsWhenDestroyed)
{
    pid_t pid = -1;
    std::string root;
    {
        PyFtpdServer server;
        pid = server.Pid();
        root = server.Root();
        std::ofstream(root + "/hello.txt") << "hi";
        Control control(server);
        ASSERT_THAT(control.Reply(), StartsWith("220 ")) << server.Log();
        ASSERT_THAT(control.Command("USER " + server.User()), StartsWith("331 "));
        ASSERT_THAT(control.Command("PASS " + server.Password()), StartsWith("230 ")) << server.Log();

        // Passive.
        const std::string pasv = control.Command("PASV");
        ASSERT_THAT(pasv, StartsWith("227 "));
        unsigned h1, h2, h3, h4, p1, p2;
        ASSERT_EQ(
            std::sscanf(pasv.c_str() + pasv.find('(') + 1, "%u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2),
            6);
        EXPECT_EQ(h1, 127u);
        CBlockingSocket data;
        data.Create(SOCK_STREAM);
        data.Connect(data.ResolveHost("127.0.0.1", static_cast<unsigned short>(p1 * 256 + p2)), 10);
        EXPECT_THAT(control.Command("LIST"), Opening());
        EXPECT_THAT(Control::ReadAll(data), HasSubstr("hello.txt"));
        data.Close();
        EXPECT_THAT(control.Reply(), StartsWith("226 "));

        // Active, to the client's loopback address.
        CBlockingSocket listener;
        listener.Create(SOCK_STREAM);
        listener.Bind(listener.ResolveHost("127.0.0.1", 0));
        listener.Listen();
        sockaddr_in address{};
        listener.LocalAddress(address);
        const unsigned port = ntohs(address.sin_port);
        EXPECT_THAT(control.Command("PORT 127,0,0,1," + std::to_string(port / 256) + "," +
                                    std::to_string(port % 256)),
                    StartsWith("200 "))
            << server.Log();
        const std::string reply = control.Command("LIST");
        EXPECT_THAT(reply, Opening()) << "the server may connect first";
        CBlockingSocket accepted;
        ASSERT_TRUE(listener.Accept(accepted, address, 10));
        EXPECT_THAT(Control::ReadAll(accepted), HasSubstr("hello.txt"));
        accepted.Close();
        EXPECT_THAT(control.Reply(), StartsWith("226 "));
        EXPECT_THAT(server.Log(), HasSubstr("LIST"));
    }
    EXPECT_TRUE(Gone(pid));
    EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(PyFtpdServer, ServesAChosenFolderToAnonymousAndLeavesItInPlace)
{
    const std::string folder = testing::TempDir() + "tessel-chosen-root";
    std::filesystem::create_directories(folder);
    {
        PyFtpdOptions options;
        options.anonymous = true;
        options.root = folder;
        PyFtpdServer server(options);
        EXPECT_EQ(server.Root(), folder);
        Control control(server);
        ASSERT_THAT(control.Reply(), StartsWith("220 "));
        ASSERT_THAT(control.Command("USER anonymous"), StartsWith("331 "));
        ASSERT_THAT(control.Command("PASS guest@"), StartsWith("230 "));
        EXPECT_THAT(control.Command("MKD nope"), StartsWith("550 ")) << "anonymous is read-only";
    }
    EXPECT_TRUE(std::filesystem::exists(folder));
    std::filesystem::remove_all(folder);
}

TEST(PyFtpdServer, ServerEndsWhenItsStarterDiesWithoutCleaningUp)
{
    // Orphans are handed to this process, so it can see the server end.
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        GTEST_SKIP() << "no child subreaper here";
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t starter = ::fork();
    ASSERT_GE(starter, 0);
    if (starter == 0)
    {
        ::close(channel[0]);
        auto* server = new PyFtpdServer(); // never destroyed: a crash
        const std::string text = std::to_string(server->Pid()) + " " + server->Root();
        if (::write(channel[1], text.data(), text.size()) < 0)
            ::_exit(2);
        ::_exit(0);
    }
    ::close(channel[1]);
    char buffer[4096] = {};
    const ssize_t n = ::read(channel[0], buffer, sizeof buffer - 1);
    ::close(channel[0]);
    ::waitpid(starter, nullptr, 0);
    ASSERT_GT(n, 0);
    const pid_t server = static_cast<pid_t>(std::strtol(buffer, nullptr, 10));
    const std::filesystem::path root = std::strchr(buffer, ' ') + 1;
    ASSERT_GT(server, 0);

    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) // up to 20 s; the server checks every 0.2 s
    {
        ended = ::waitpid(server, nullptr, WNOHANG) == server;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ended)
    {
        ::kill(server, SIGKILL);
        ::waitpid(server, nullptr, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    std::filesystem::remove_all(root.parent_path());
    EXPECT_TRUE(ended);
}
