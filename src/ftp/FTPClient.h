#pragma once
#include "LogonRecord.h"
#include "Reply.h"
#include "Representation.h"
#include "socket/IBlockingSocket.h"

#include <array>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace nsSocket
{
class CBlockingSocketException;
}

namespace nsFTP
{

// The FTP protocol engine: the control connection, its replies, logon and
// the one-line commands. No socket exception leaves it: failures are shown in
// an error box (unless the caller asked for quiet), the socket is force-closed
// and the operation returns failure.
//
// One-reply operations return 0 for a 2xx reply, 1 for 4xx/5xx and -1 for
// anything else or a failed exchange. Used by one thread at a time.
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

    // Logon
    bool LogOn(const CLogonRecord& record, unsigned timeout);
    const CLogonRecord& LogonRecord() const { return m_logonRecord; }

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

    unsigned Timeout() const { return m_timeout; }
    void SetTimeout(unsigned seconds) { m_timeout = seconds; }
    unsigned ResponseWait() const { return m_responseWait; }
    void SetResponseWait(unsigned milliseconds) { m_responseWait = milliseconds; }
    const std::wstring& EndOfLine() const { return m_endOfLine; }

    bool RestartAllowed() const { return m_restartAllowed; }
    void SetRestartAllowed(bool allowed) { m_restartAllowed = allowed; }
    bool TransferInProgress() const { return m_transferInProgress; }

private:
    int SocketTimeout() const;
    // Shows the failure (when asked), force-closes the control socket and
    // drops whatever was pending on it.
    void DropControlConnection(const nsSocket::CBlockingSocketException& failure, bool show);
    void ForgetPendingInput();
    // Receives until at least one complete line is queued; false when the
    // peer closed with nothing left to deliver.
    bool FillPendingLines();
    // Execute shown and classify shown; -1 (with the text, if any) on a failed exchange.
    int ExecuteShown(const std::wstring& command);
    static void ShowReplyText(const Reply& reply);
    static std::wstring BuildLogonCommand(int command, const CLogonRecord& record,
                                          const std::wstring& remoteHost);
    static std::wstring ParseDirectory(const std::wstring& replyText);

    std::wstring m_currentDirectory;
    unsigned m_timeout = 10;
    unsigned m_responseWait = 0;
    std::wstring m_endOfLine = L"\r\n";
    std::array<char, BufferSize> m_buffer{};
    std::deque<std::string> m_pendingLines;
    // Bytes after the last line feed received, kept for the next read.
    std::string m_partialLine;
    // The TYPE last set on this connection; null until a transfer needs it.
    std::unique_ptr<Representation> m_representation;
    std::unique_ptr<nsSocket::IBlockingSocket> m_controlSocket;
    bool m_transferInProgress = false;
    bool m_abortRequested = false;
    bool m_restartAllowed = true;
    CLogonRecord m_logonRecord;
};

} // namespace nsFTP
