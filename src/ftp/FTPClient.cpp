#include "FTPClient.h"

#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "socket/BlockingSocketException.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <sys/socket.h>
#include <thread>

namespace nsFTP
{
namespace
{

using nsSocket::CBlockingSocketException;
using platform::Services;

// Per firewall type, six steps of (command, next step on 2xx, next step on 3xx).
// -2 ends the logon successfully, -1 ends it as failed; steps are numbered by
// the position of their first integer.
constexpr int LogonDone = -2;
constexpr int LogonFail = -1;
constexpr int LogonTable[9][18] = {
    {0, -2, 3, 1, -2, 6, 2, -2, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {3, 6, 3, 4, 6, -1, 5, -1, 9, 0, -2, 12, 1, -2, 15, 2, -2, -1},
    {3, 6, 3, 4, 6, -1, 6, -2, 9, 1, -2, 12, 2, -2, -1, 0, 0, 0},
    {7, 3, 3, 0, -2, 6, 1, -2, 9, 2, -2, -1, 0, 0, 0, 0, 0, 0},
    {3, 6, 3, 4, 6, -1, 0, -2, 9, 1, -2, 12, 2, -2, -1, 0, 0, 0},
    {6, -2, 3, 1, -2, 6, 2, -2, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {8, 6, 3, 4, 6, -1, 0, -2, 9, 1, -2, 12, 2, -2, -1, 0, 0, 0},
    {9, -1, 3, 1, -2, 6, 2, -2, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {10, -2, 3, 11, -2, 6, 2, -2, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

constexpr const wchar_t* CommandRefusedText =
    L"The command was not sent because it contains a line break or a zero character.";

bool HoldsLineBreakOrZero(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c == L'\r' || c == L'\n' || c == L'\0')
            return true;
    return false;
}

// The run of digits a reply line starts with (its code, for matching the end
// of a multi-line reply).
std::wstring LeadingDigits(const std::wstring& line)
{
    size_t n = 0;
    while (n < line.size() && line[n] >= L'0' && line[n] <= L'9')
        ++n;
    return line.substr(0, n);
}

// Host names go out as Latin-1 when they fit, else as UTF-8 (IDN-less names
// typed by the user).
std::string HostBytes(const std::wstring& host)
{
    return platform::TextCodec::FitsLatin1(host) ? platform::TextCodec::ToLatin1(host)
                                                 : platform::TextCodec::ToUtf8(host);
}

} // namespace

CFTPClient::CFTPClient(std::unique_ptr<nsSocket::IBlockingSocket> controlSocket)
    : m_controlSocket(std::move(controlSocket))
{
}

CFTPClient::~CFTPClient()
{
    if (m_transferInProgress)
        m_abortRequested = true;
    if (IsConnected())
        Quit();
}

int CFTPClient::SocketTimeout() const
{
    return m_timeout > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(m_timeout);
}

void CFTPClient::ForgetPendingInput()
{
    m_pendingLines.clear();
    m_partialLine.clear();
    m_partialLine.shrink_to_fit();
}

void CFTPClient::DropControlConnection(const CBlockingSocketException& failure, bool show)
{
    if (show)
        Services::ShowError(failure.GetText());
    m_controlSocket->ForceClose();
    ForgetPendingInput();
}

bool CFTPClient::OpenControlConnection(const std::wstring& host, unsigned short port)
{
    CloseControlConnection();
    try
    {
        m_controlSocket->Create(SOCK_STREAM);
        const std::string name = HostBytes(host);
        sockaddr_in address{};
        if (inet_pton(AF_INET, name.c_str(), &address.sin_addr) == 1)
        {
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
        }
        else
        {
            address = m_controlSocket->ResolveHost(name, port);
        }
        m_controlSocket->Connect(address, SocketTimeout());
        return true;
    }
    catch (const CBlockingSocketException& failure)
    {
        DropControlConnection(failure, true);
        return false;
    }
}

void CFTPClient::CloseControlConnection()
{
    try
    {
        m_controlSocket->Close();
    }
    catch (const CBlockingSocketException&)
    {
        m_controlSocket->ForceClose();
    }
    ForgetPendingInput();
    m_representation.reset();
}

bool CFTPClient::SendCommand(const std::wstring& command, bool show)
{
    if (!IsConnected())
        return false;
    // A line break would let a name smuggle a second command to the server.
    if (HoldsLineBreakOrZero(command))
    {
        if (show)
            Services::ShowError(CommandRefusedText);
        return false;
    }
    // One byte per character; a command holding characters beyond Latin-1
    // goes out as UTF-8 as a whole rather than with undefined bytes.
    std::string bytes = platform::TextCodec::FitsLatin1(command) ? platform::TextCodec::ToLatin1(command)
                                                                 : platform::TextCodec::ToUtf8(command);
    bytes += "\r\n";
    if (bytes.size() > static_cast<size_t>(INT_MAX))
    {
        if (show)
            Services::ShowError(L"The command is too long to be sent.");
        return false;
    }
    try
    {
        m_controlSocket->SendAll(bytes.data(), static_cast<int>(bytes.size()), SocketTimeout());
        return true;
    }
    catch (const CBlockingSocketException& failure)
    {
        DropControlConnection(failure, show);
        return false;
    }
}

bool CFTPClient::FillPendingLines()
{
    for (;;)
    {
        const int count = m_controlSocket->Receive(m_buffer.data(), BufferSize - 1, SocketTimeout());
        if (m_responseWait != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_responseWait));
        if (count <= 0)
        {
            // The peer closed: what it sent without a final line feed is still a line.
            if (m_partialLine.empty())
                return false;
            m_pendingLines.push_back(std::move(m_partialLine));
            m_partialLine.clear();
            return true;
        }
        const size_t scanFrom = m_partialLine.size();
        m_partialLine.append(m_buffer.data(), static_cast<size_t>(count));
        // Only complete lines are queued; the rest waits for the next read.
        size_t start = 0;
        for (size_t lf = m_partialLine.find('\n', scanFrom); lf != std::string::npos;
             lf = m_partialLine.find('\n', start))
        {
            m_pendingLines.push_back(m_partialLine.substr(start, lf + 1 - start));
            start = lf + 1;
        }
        if (start > 0)
            m_partialLine.erase(0, start);
        if (m_partialLine.size() > MaxReplyBytes)
            throw CBlockingSocketException(L"Unable to receive data (the reply is too long).", EMSGSIZE);
        if (!m_pendingLines.empty())
            return true;
    }
}

bool CFTPClient::ReadReplyLine(std::wstring& line, bool show)
{
    line.clear();
    if (!IsConnected())
        return false;
    if (m_pendingLines.empty())
    {
        try
        {
            if (!FillPendingLines())
            {
                if (show)
                    Services::ShowError(L"The server closed the connection.");
                m_controlSocket->ForceClose();
                ForgetPendingInput();
                return false;
            }
        }
        catch (const CBlockingSocketException& failure)
        {
            DropControlConnection(failure, show);
            return false;
        }
    }
    line = platform::TextCodec::FromLatin1(m_pendingLines.front());
    m_pendingLines.pop_front();
    if (line.size() >= 2 && line.ends_with(L"\r\n"))
        line.resize(line.size() - 2);
    else if (!line.empty() && line.back() == L'\n')
        line.pop_back();
    return true;
}

bool CFTPClient::ReadReply(Reply& reply, bool show)
{
    reply.Clear();
    std::wstring line;
    if (!ReadReplyLine(line, show))
        return false;
    std::wstring text = line;
    // Only a line that starts with a code opens a multi-line reply; anything
    // else (an SSH banner, say) is a reply of its own, however it looks.
    if (line.size() > 3 && line[3] == L'-' && LeadingDigits(line).size() == 3)
    {
        const std::wstring code = LeadingDigits(line);
        for (;;)
        {
            if (!ReadReplyLine(line, show))
                return false;
            text += L"\r\n";
            text += line;
            if (text.size() > MaxReplyBytes)
            {
                DropControlConnection(
                    CBlockingSocketException(L"Unable to receive data (the reply is too long).", EMSGSIZE),
                    show);
                return false;
            }
            if (line.size() > 3 && line[3] == L' ' && LeadingDigits(line) == code)
                break;
        }
    }
    const bool valid = reply.Set(std::move(text));
    if (show)
        Services::SetStatusText(0, reply.text);
    return valid;
}

bool CFTPClient::Execute(const std::wstring& command, Reply& reply, bool show)
{
    reply.Clear();
    if (!SendCommand(command, show))
        return false;
    return ReadReply(reply, show);
}

int CFTPClient::Classify(const Reply& reply, bool show) const
{
    int result = -1;
    if (reply.IsPositive())
        result = 0;
    else if (reply.IsRefusal())
        result = 1;
    if (result != 0 && show)
        ShowReplyText(reply);
    return result;
}

void CFTPClient::ShowReplyText(const Reply& reply)
{
    if (!reply.text.empty())
        Services::ShowError(reply.text);
}

int CFTPClient::ExecuteShown(const std::wstring& command)
{
    Reply reply;
    if (!Execute(command, reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    return Classify(reply, true);
}

int CFTPClient::Quit()
{
    Reply reply;
    if (!Execute(L"QUIT", reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    CloseControlConnection();
    return Classify(reply, true);
}

std::wstring CFTPClient::BuildLogonCommand(int command, const CLogonRecord& r, const std::wstring& remoteHost)
{
    switch (command)
    {
    case 0:
        return L"USER " + r.user;
    case 1:
        return L"PASS " + r.password;
    case 2:
        return L"ACCT " + r.account;
    case 3:
        return L"USER " + r.firewallUser;
    case 4:
        return L"PASS " + r.firewallPassword;
    case 5:
        return L"SITE " + remoteHost;
    case 6:
        return L"USER " + r.user + L"@" + remoteHost;
    case 7:
        return L"OPEN " + remoteHost;
    case 8:
        return L"USER " + r.firewallUser + L"@" + remoteHost;
    case 9:
        return L"USER " + r.user + L"@" + remoteHost + L" " + r.firewallUser;
    case 10:
        return L"USER " + r.user + L"@" + r.firewallUser + L"@" + remoteHost;
    case 11:
        return L"PASS " + r.password + L"@" + r.firewallPassword;
    default:
        return {};
    }
}

bool CFTPClient::LogOn(const CLogonRecord& record, unsigned timeout)
{
    m_logonRecord = record;
    m_timeout = timeout;
    if (record.FirewallType < 0 || record.FirewallType > 8)
    {
        Services::ShowError(L"Unknown proxy logon type " + std::to_wstring(record.FirewallType) + L".");
        return false;
    }
    const bool direct = record.FirewallType == 0;
    const std::wstring& host = direct ? record.host : record.firewallHost;
    const unsigned short port = direct ? record.port : record.firewallPort;
    const std::wstring remoteHost = record.RemoteHostText();

    if (IsConnected())
        Quit();
    if (!OpenControlConnection(host, port))
        return false;

    Reply reply;
    if (!ReadReply(reply, true) || !reply.IsPositive())
    {
        ShowReplyText(reply);
        return false;
    }

    const int* row = LogonTable[record.FirewallType];
    int step = 0;
    // Every transition leads to a later step, so six commands at most.
    for (int sent = 0; sent < 6; ++sent)
    {
        const int* current = row + step;
        if (!Execute(BuildLogonCommand(current[0], record, remoteHost), reply, true))
        {
            ShowReplyText(reply);
            return false;
        }
        int next;
        if (reply.IsPositive())
            next = current[1];
        else if (reply.IsIntermediate())
            next = current[2];
        else
        {
            ShowReplyText(reply);
            return false;
        }
        if (next == LogonDone)
        {
            m_currentDirectory.clear();
            std::wstring directory;
            return CurrentDirectory(directory) == 0;
        }
        if (next == LogonFail || next <= step || next > 15)
            break;
        step = next;
    }
    Services::ShowError(L"Logon failed.");
    return false;
}

int CFTPClient::ChangeDirectory(const std::wstring& path)
{
    Reply reply;
    if (!Execute(L"CWD " + path, reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    const int result = Classify(reply, true);
    if (result == 0)
    {
        // Only an absolute path says where we are; after a relative one the
        // server is asked again when the directory is wanted.
        if (!path.empty() && path.front() == L'/')
            m_currentDirectory = path;
        else
            m_currentDirectory.clear();
    }
    return result;
}

std::wstring CFTPClient::ParseDirectory(const std::wstring& replyText)
{
    if (replyText.size() < 5)
        return {};
    std::wstring text = replyText.substr(4);
    const size_t lineEnd = text.find_first_of(L"\r\n");
    if (lineEnd != std::wstring::npos)
        text.resize(lineEnd);
    size_t i = text.find_first_not_of(L' ');
    if (i == std::wstring::npos)
        return {};
    std::wstring directory;
    const wchar_t quote = text[i];
    if (quote == L'"' || quote == L'\'')
    {
        // A quoted path keeps its spaces; a doubled quote stands for one.
        for (++i; i < text.size(); ++i)
        {
            if (text[i] == quote)
            {
                if (i + 1 < text.size() && text[i + 1] == quote)
                {
                    directory += quote;
                    ++i;
                    continue;
                }
                break;
            }
            directory += text[i];
        }
        return directory;
    }
    const size_t end = text.find(L' ', i);
    return text.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
}

int CFTPClient::CurrentDirectory(std::wstring& path)
{
    if (!m_currentDirectory.empty())
    {
        path = m_currentDirectory;
        return 0;
    }
    Reply reply;
    if (!Execute(L"PWD", reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    if (!reply.IsPositive())
        return Classify(reply, true);
    m_currentDirectory = ParseDirectory(reply.text);
    if (m_currentDirectory.empty())
    {
        ShowReplyText(reply);
        return -1;
    }
    path = m_currentDirectory;
    return 0;
}

int CFTPClient::MakeDirectory(const std::wstring& path, bool show)
{
    Reply reply;
    if (!Execute(L"MKD " + path, reply, true))
    {
        if (show)
            ShowReplyText(reply);
        return -1;
    }
    return Classify(reply, show);
}

int CFTPClient::RemoveDirectory(const std::wstring& path)
{
    return ExecuteShown(L"RMD " + path);
}

int CFTPClient::DeleteFile(const std::wstring& path)
{
    return ExecuteShown(L"DELE " + path);
}

int CFTPClient::RenameFile(const std::wstring& from, const std::wstring& to)
{
    // Refuse a bad target before RNFR, so no half-done rename is left pending.
    if (IsConnected() && HoldsLineBreakOrZero(to))
    {
        Services::ShowError(CommandRefusedText);
        return -1;
    }
    Reply reply;
    if (!Execute(L"RNFR " + from, reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    if (reply.IsIntermediate())
        return ExecuteShown(L"RNTO " + to);
    ShowReplyText(reply);
    return reply.IsRefusal() ? 1 : -1;
}

int CFTPClient::SiteCommand(const std::wstring& argument)
{
    return ExecuteShown(L"SITE " + argument);
}

int CFTPClient::KeepAlive()
{
    Reply reply;
    if (!SendCommand(L"PWD", false) || !ReadReply(reply, false))
        return -1;
    return Classify(reply, false);
}

} // namespace nsFTP
