#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_st;
struct ssl_ctx_st;

namespace testing_support
{

struct TestIdentity;

// An FTP server on a free loopback port that plays a script laid out by a
// test: accept a control connection, expect commands, answer with any bytes
// (whole, in pieces, delayed, several replies at once), drop the connection,
// and serve data connections in passive (PASV) or active (PORT) mode.
// Every command line is recorded exactly as it arrived (CR LF included).
//
// Build the script, then Start(). After the last step the server answers
// every further command with 502 and records it. Stops in its destructor.
class ScriptedFtpServer
{
public:
    ScriptedFtpServer();
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    unsigned short Port() const { return m_port; }

    // Accepts the next control connection and sends the greeting bytes.
    ScriptedFtpServer& Greet(const std::string& greeting);
    // Accepts the next control connection and sends nothing.
    ScriptedFtpServer& Accept();
    // Expects this command (without CR LF), then sends the answer (may be empty).
    ScriptedFtpServer& On(const std::string& command, const std::string& answer);
    // Expects any one command, then sends the answer.
    ScriptedFtpServer& OnAny(const std::string& answer);
    ScriptedFtpServer& Send(const std::string& bytes);
    // Sends the pieces as separate writes with a pause between them.
    ScriptedFtpServer& SendPieces(const std::vector<std::string>& pieces,
                                  std::chrono::milliseconds gap = std::chrono::milliseconds(30));
    ScriptedFtpServer& Pause(std::chrono::milliseconds delay);
    // Closes the control connection (without answering).
    ScriptedFtpServer& Drop();

    // Expects PASV, opens a data listener and answers with the template in
    // which "%s" becomes "127,0,0,1,p1,p2" and "%p" becomes "p1,p2".
    ScriptedFtpServer& Passive(const std::string& answerTemplate = "227 Entering Passive Mode (%s).\r\n");
    // Expects a PORT command and remembers its address for the data steps.
    ScriptedFtpServer& ExpectPort(const std::string& answer = "200 PORT command successful.\r\n");
    // Opens the data connection (accepting on the PASV listener, or connecting
    // to the PORT address), sends the bytes and closes it.
    ScriptedFtpServer& DataSend(const std::string& bytes);
    // Opens the data connection and records everything until the client closes it.
    ScriptedFtpServer& DataReceive();

    // TLS (server side). After this step the server does its half of the
    // handshake on the control connection with the identity, and the
    // conversation goes on over TLS. tls12Only keeps it to TLS 1.2, where a
    // renegotiation can be asked for.
    ScriptedFtpServer& StartTls(const TestIdentity& identity, bool tls12Only = false);
    // Data connections from here on run over TLS with the identity: the
    // control connection's lets the client resume its session, another one
    // makes a full handshake with that certificate.
    ScriptedFtpServer& DataTls(const TestIdentity& identity, bool tls12Only = false);
    // Like DataSend, but the connection is dropped without TLS close_notify.
    ScriptedFtpServer& DataSendTruncated(const std::string& bytes);
    // Asks the client to renegotiate the control connection's TLS session.
    ScriptedFtpServer& Renegotiate();

    void Start();
    // Waits until the whole script has run; false if it has not within the limit.
    bool WaitFinished(std::chrono::milliseconds limit = std::chrono::seconds(5));

    std::vector<std::string> Received() const;
    // Commands that differed from the script, and other deviations.
    std::vector<std::string> Mismatches() const;
    std::string DataReceived() const;

private:
    struct Step
    {
        enum Kind
        {
            AcceptControl,
            Expect,
            ExpectAny,
            Write,
            Sleep,
            DropControl,
            PassiveListen,
            PortCommand,
            DataOut,
            DataIn,
            TlsControl,
            TlsData,
            DataOutTruncated,
            RenegotiateControl
        } kind;
        std::string text;
        std::chrono::milliseconds delay{0};
        bool flag = false;
    };

    ScriptedFtpServer& Add(Step step);
    void Run();
    bool AcceptOn(int listener, int& accepted);
    // One command line from the control connection; false when it closed.
    bool ReadLine(std::string& line);
    void WriteAll(int fd, const std::string& bytes);
    void CloseControl();
    void Mismatch(const std::string& what);
    int OpenData();
    bool Sleep(std::chrono::milliseconds delay);
    // TLS helpers: contexts by identity, the server's handshake, and reads
    // and writes that give up at the deadline or when the server stops.
    ssl_ctx_st* Context(const std::string& identity, bool tls12Only);
    ssl_st* AcceptTls(int fd, const std::string& identity, bool tls12Only);
    int TlsRead(ssl_st* ssl, char* buffer, int size);
    void TlsWriteAll(ssl_st* ssl, const std::string& bytes);
    void SendData(const std::string& bytes, bool closeNotify);

    int m_listener = -1;
    unsigned short m_port = 0;
    int m_control = -1;
    int m_dataListener = -1;
    unsigned short m_dataListenerPort = 0;
    bool m_haveActiveAddress = false;
    unsigned m_activeAddress = 0;
    unsigned short m_activePort = 0;
    std::string m_input;
    std::vector<Step> m_steps;
    ssl_st* m_controlSsl = nullptr;
    std::string m_dataIdentity;
    bool m_dataTls12Only = false;
    std::map<std::string, ssl_ctx_st*> m_contexts;

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    bool m_finished = false;
    std::vector<std::string> m_received;
    std::vector<std::string> m_mismatches;
    std::string m_dataReceived;
};

} // namespace testing_support
