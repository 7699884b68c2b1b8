#pragma once
#include "ConnectionSecurity.h"
#include "FTPFileStatus.h"
#include "LogonRecord.h"
#include "NameCodec.h"
#include "RCIPtr.h"
#include "Reply.h"
#include "Representation.h"
#include "TransferNotification.h"
#include "socket/IBlockingSocket.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace nsSocket
{
class CBlockingSocketException;
class CStopSignal;
class CTlsContext;
} // namespace nsSocket

namespace nsFTP
{

// The command that opens a data connection. LIST, NLST and RETR receive data,
// the others send.
enum DataCommand : int
{
    LIST = 0,
    NLST = 1,
    RETR = 2,
    STOR = 3,
    STOU = 4,
    APPE = 5
};

// The FTP protocol engine: the control connection, its replies, logon and
// the one-line commands. No socket exception leaves it: failures are shown in
// an error box (unless the caller asked for quiet, or an ErrorCapture keeps
// them), the socket is force-closed and the operation returns failure.
//
// One-reply operations return 0 for a 2xx reply, 1 for 4xx/5xx and -1 for
// anything else or a failed exchange. Used by one thread at a time; only
// RequestStop, StopRequested, Abort and TransferInProgress may be called from
// another.
class CFTPClient
{
public:
    // Size of the I/O buffer of the control connection and the data loops.
    static constexpr std::size_t BufferSize = 2048;
    // No reply (and no line of one) may grow beyond this.
    static constexpr std::size_t MaxReplyBytes = 1024 * 1024;

    explicit CFTPClient(std::unique_ptr<nsSocket::IBlockingSocket> controlSocket);
    virtual ~CFTPClient();

    CFTPClient(const CFTPClient&) = delete;
    CFTPClient& operator=(const CFTPClient&) = delete;

    // While it lives, the engine keeps the texts it would show, in order,
    // instead of showing them, so that a caller can show one box for a failed
    // item. Captures nest: an inner one takes the texts until it ends, then
    // the outer one takes over again. The engine is used by one thread at a
    // time, so a capture needs no lock.
    class ErrorCapture
    {
    public:
        explicit ErrorCapture(CFTPClient& client);
        ~ErrorCapture();
        ErrorCapture(const ErrorCapture&) = delete;
        ErrorCapture& operator=(const ErrorCapture&) = delete;

        const std::vector<std::wstring>& Texts() const { return m_texts; }
        // The texts joined with "\n".
        std::wstring Joined() const;

    private:
        friend class CFTPClient;
        CFTPClient& m_client;
        ErrorCapture* m_outer;
        std::vector<std::wstring> m_texts;
    };

    // From any thread: ends the engine's current wait at once (connect,
    // accept, send, receive on the control or a data connection). Until
    // ClearStop every wait ends at once, nothing is shown or captured, and a
    // failed operation leaves the engine disconnected.
    void RequestStop() noexcept;
    bool StopRequested() const noexcept;
    // Called by whoever starts the next piece of work, before it starts: a
    // stop that comes between that and the work's first wait still counts.
    void ClearStop() noexcept;

    // Logon. With encryption, AUTH TLS follows the greeting and the whole
    // logon runs over TLS; a server that refuses it while the record requires
    // it ends the logon before USER. A certificate that fails the check is
    // accepted only when its fingerprint is the record's trusted one, or when
    // the process-wide certificate prompt says so; a trusted fingerprint that
    // differs is refused with a warning. PBSZ 0 and PROT P follow the logon,
    // and every data connection then runs over TLS, resuming the control
    // connection's session. Once the server has taken the user, FEAT is sent
    // (a server that does not know it answers 500, which is no error), then
    // OPTS UTF8 ON where the names codec asks for it (a refusal changes
    // nothing), then PWD.
    bool LogOn(const CLogonRecord& record, unsigned timeout);
    const CLogonRecord& LogonRecord() const { return m_logonRecord; }
    // What protects the connection; all clear while disconnected.
    const ConnectionSecurity& Security() const { return m_security; }
    // The fingerprint the user chose to trust during the last logon, for the
    // caller to remember with the site; empty when nobody was asked.
    const std::string& NewlyTrustedFingerprint() const { return m_newlyTrusted; }

    // How this connection's names read for people; set by the site
    // connection before LogOn. The engine itself only sends and receives
    // bytes: it uses the codec for OPTS UTF8 and to show replies.
    void SetNameCodec(const CNameCodec& names) { m_names = names; }
    const CNameCodec& Names() const { return m_names; }
    // The positive FEAT reply of this connection's logon (empty when FEAT was
    // refused or not asked), for commands that depend on features.
    const Reply& FeatureReply() const { return m_featureReply; }
    // Whether the FEAT reply lists the feature (its first word, ignoring case).
    bool HasFeature(std::wstring_view name) const;
    // Whether the server took OPTS UTF8 ON.
    bool Utf8Enabled() const { return m_utf8Enabled; }

    // Control connection
    bool OpenControlConnection(const std::wstring& host, unsigned short port);
    void CloseControlConnection();
    bool IsConnected() const { return m_controlSocket->HasHandle(); }

    // Commands and replies
    bool SendCommand(const std::wstring& command, bool show);
    bool ReadReplyLine(std::wstring& line, bool show);
    bool ReadReply(Reply& reply, bool show);
    bool Execute(const std::wstring& command, Reply& reply, bool show);
    int Classify(const Reply& reply, bool show) const;
    int Quit();

    // One-line file commands
    int ChangeDirectory(const std::wstring& path);
    int CurrentDirectory(std::wstring& path);
    int MakeDirectory(const std::wstring& path, bool show);
    int RemoveDirectory(const std::wstring& path);
    int DeleteFile(const std::wstring& path);
    int RenameFile(const std::wstring& from, const std::wstring& to);
    int SiteCommand(const std::wstring& argument);
    int KeepAlive();

    // Data connections and transfers
    int SetRepresentation(const Representation& representation);
    // Sends PASV; the address (host order) and port the server named.
    int EnterPassive(std::uint32_t& address, std::uint16_t& port);
    int SendPort(const std::wstring& address, std::uint16_t port);
    // A whole transfer, its bytes moved through the notification.
    bool TransferData(ITransferNotification& notification, DataCommand kind, const std::wstring& path,
                      const Representation& representation, bool passive);
    // Lists the path (empty: the current directory) and parses each line;
    // lines no format accepts are left out. entries is untouched on failure.
    bool ListDirectory(const std::wstring& path, std::vector<nsSP::RCIPtr<CFTPFileStatus>>& entries,
                       bool passive);
    // Opens RETR (or STOR when uploading) in image type and hands the data
    // socket to the caller, who ends it with CloseTransfer. Null on failure.
    std::unique_ptr<nsSocket::IBlockingSocket> OpenTransfer(const std::wstring& path, bool passive,
                                                            bool upload);
    // A failed chunk closes the data socket and shows why; the transfer stays
    // in progress until CloseTransfer has read its final reply.
    bool ReadTransferChunk(nsSocket::IBlockingSocket& dataSocket, char* buffer, int capacity, int& count);
    bool WriteTransferChunk(nsSocket::IBlockingSocket& dataSocket, const char* bytes, int length, int& count);
    // show false: a transfer the caller gave up on; its refusal (426) is expected, not shown.
    bool CloseTransfer(std::unique_ptr<nsSocket::IBlockingSocket> dataSocket, bool show = true);
    // From any thread. During a transfer only asks the engine's transfer loop
    // to stop (it then sends ABOR itself); otherwise sends ABOR when called by
    // the thread that uses the engine, and does nothing (returns 0) when
    // called by another. A request never outlives the transfer it was for.
    int Abort();

    static std::wstring DataCommandText(DataCommand kind, const std::wstring& path);
    static bool ParsePassiveReply(const std::wstring& text, std::uint32_t& address, std::uint16_t& port);

    unsigned Timeout() const { return m_timeout; }
    void SetTimeout(unsigned seconds) { m_timeout = seconds; }
    unsigned ResponseWait() const { return m_responseWait; }
    void SetResponseWait(unsigned milliseconds) { m_responseWait = milliseconds; }
    const std::wstring& EndOfLine() const { return m_endOfLine; }

    bool RestartAllowed() const { return m_restartAllowed; }
    void SetRestartAllowed(bool allowed) { m_restartAllowed = allowed; }
    bool TransferInProgress() const { return m_transferState.load() != TransferState::Idle; }

private:
    int SocketTimeout() const;
    // Every text the engine would show goes through here: nothing while a
    // stop is requested, into the innermost capture, or into an error box.
    void ShowFailure(const std::wstring& text) const;
    void ShowReplyText(const Reply& reply) const;
    // Force-closes the control socket and drops whatever was pending on it.
    void ForceCloseControl();
    // Shows the failure (when asked) and force-closes the control socket.
    void DropControlConnection(const nsSocket::CBlockingSocketException& failure, bool show);
    void ForgetPendingInput();
    // Receives until at least one complete line is queued; false when the
    // peer closed with nothing left to deliver.
    bool FillPendingLines();
    // Execute shown and classify shown; -1 (with the text, if any) on a failed exchange.
    int ExecuteShown(const std::wstring& command);
    static std::wstring BuildLogonCommand(int command, const CLogonRecord& record,
                                          const std::wstring& remoteHost);
    static std::wstring ParseDirectory(const std::wstring& replyText);
    // FEAT, and OPTS UTF8 ON where the codec asks for it.
    void NegotiateFeatures();
    void ForgetFeatures();

    enum class LoopEnd
    {
        Done,
        Failed,
        Aborted // stopped by an abort request
    };
    // Marks a transfer running, dropping any earlier abort request.
    void BeginTransfer();
    // Marks the loop's transfer ended; an aborted one sends ABOR.
    LoopEnd EndLoop(LoopEnd end);
    int SendAbort();
    bool EnsureRepresentation(const Representation& wanted);
    // AUTH TLS, the handshake and the certificate's acceptance; false when
    // the logon must stop (the connection is closed then, unless a refused
    // AUTH TLS may go on in the clear).
    bool SecureControlConnection(const CLogonRecord& record, const std::wstring& host);
    bool AcceptCertificate(const CLogonRecord& record, const std::wstring& host);
    // PBSZ 0 and PROT P.
    bool ProtectDataConnections();
    nsSocket::CTlsContext& TlsContext();
    void ForgetSecurity();
    // Opens the data connection and sends the data command. commandAccepted
    // tells whether the server answered the data command with 1xx. Over TLS
    // the data connection's handshake follows the 1xx reply.
    bool OpenDataConnection(nsSocket::IBlockingSocket& dataSocket, DataCommand kind, const std::wstring& path,
                            bool passive, bool& commandAccepted);
    bool ConnectDataSocket(nsSocket::IBlockingSocket& dataSocket, DataCommand kind, const std::wstring& path,
                           bool passive, bool& commandAccepted);
    bool SendDataCommand(DataCommand kind, const std::wstring& path);
    LoopEnd ReceiveLoop(ITransferNotification& notification, nsSocket::IBlockingSocket& dataSocket);
    LoopEnd SendLoop(ITransferNotification& notification, nsSocket::IBlockingSocket& dataSocket);
    // Shows the text and force-closes the data socket; after a stop the
    // control connection too.
    void FailDataSocket(nsSocket::IBlockingSocket& dataSocket, const std::wstring& text);
    // One receive or send of a caller-driven transfer: count is what moved; a
    // socket failure is shown, closes the data socket and gives false.
    template <typename SocketCall>
    bool MoveChunk(nsSocket::IBlockingSocket& dataSocket, int length, int& count, SocketCall call);
    // Reads the final reply of a transfer that went wrong, quietly, so the
    // next command does not take it for its own.
    void DrainFinalReply();

    std::wstring m_currentDirectory;
    unsigned m_timeout = 10;
    unsigned m_responseWait = 0;
    std::wstring m_endOfLine = L"\r\n";
    std::array<char, BufferSize> m_buffer{};
    std::deque<std::string> m_pendingLines;
    // When the reply being read must be complete: a server that trickles
    // bytes may not hold the client past its timeout.
    std::chrono::steady_clock::time_point m_replyDeadline{};
    bool m_haveReplyDeadline = false;
    // Bytes after the last line feed received, kept for the next read.
    std::string m_partialLine;
    // The TYPE last set on this connection; null until a transfer needs it.
    std::unique_ptr<Representation> m_representation;
    std::unique_ptr<nsSocket::IBlockingSocket> m_controlSocket;
    // Shared with the control socket and every socket made from it.
    std::shared_ptr<nsSocket::CStopSignal> m_stopSignal;
    ErrorCapture* m_capture = nullptr;
    // Moved to Running and back to Idle by the thread that runs a transfer;
    // Abort moves Running to AbortRequested from any thread, so checking for
    // a transfer and asking it to stop is one atomic step.
    enum class TransferState
    {
        Idle,
        Running,
        AbortRequested
    };
    std::atomic<TransferState> m_transferState{TransferState::Idle};
    // The thread that last used the control connection: the only one that
    // may send ABOR outside a transfer.
    std::atomic<std::thread::id> m_userThread{};
    bool m_restartAllowed = true;
    CLogonRecord m_logonRecord;
    CNameCodec m_names;
    Reply m_featureReply;
    // The first word of each feature line, upper-cased.
    std::vector<std::wstring> m_features;
    bool m_utf8Enabled = false;
    // Made at the first TLS logon, kept for the engine's life.
    std::unique_ptr<nsSocket::CTlsContext> m_tlsContext;
    ConnectionSecurity m_security;
    bool m_dataProtected = false;
    // The server's certificate on the control connection; each data
    // connection must show the same.
    std::string m_controlFingerprint;
    std::string m_tlsServerName;
    std::string m_tlsAlsoName;
    std::string m_newlyTrusted;
};

} // namespace nsFTP
