#include "FTPClient.h"

#include "ListingSink.h"

#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "socket/BlockingSocketException.h"
#include "socket/CertificateInfo.h"
#include "socket/StopSignal.h"
#include "socket/TlsChannel.h"
#include "socket/TlsContext.h"

#include <algorithm>
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
    : m_controlSocket(std::move(controlSocket)), m_stopSignal(std::make_shared<nsSocket::CStopSignal>())
{
    m_controlSocket->SetStopSignal(m_stopSignal);
}

CFTPClient::ErrorCapture::ErrorCapture(CFTPClient& client) : m_client(client), m_outer(client.m_capture)
{
    m_client.m_capture = this;
}

CFTPClient::ErrorCapture::~ErrorCapture()
{
    m_client.m_capture = m_outer;
}

std::wstring CFTPClient::ErrorCapture::Joined() const
{
    std::wstring joined;
    for (size_t i = 0; i < m_texts.size(); ++i)
        joined += (i > 0 ? L"\n" : L"") + m_texts[i];
    return joined;
}

CFTPClient::~CFTPClient()
{
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

void CFTPClient::ForgetSecurity()
{
    m_security = {};
    m_dataProtected = false;
    m_controlFingerprint.clear();
}

void CFTPClient::ForceCloseControl()
{
    m_controlSocket->ForceClose();
    ForgetSecurity();
    ForgetPendingInput();
    ForgetFeatures();
    // The server's folder ends with the connection; a remembered one would
    // let commands act as if still connected.
    m_currentDirectory.clear();
}

void CFTPClient::DropControlConnection(const CBlockingSocketException& failure, bool show)
{
    if (show)
        ShowFailure(failure.GetText());
    ForceCloseControl();
}

void CFTPClient::RequestStop() noexcept
{
    m_stopSignal->Raise();
}

bool CFTPClient::StopRequested() const noexcept
{
    return m_stopSignal->Raised();
}

void CFTPClient::ClearStop() noexcept
{
    m_stopSignal->Clear();
}

void CFTPClient::ShowFailure(const std::wstring& text) const
{
    // Whoever stopped the operation knows why it failed.
    if (StopRequested())
        return;
    if (m_capture)
        m_capture->m_texts.push_back(text);
    else
        Services::ShowError(text);
}

void CFTPClient::ShowReplyText(const Reply& reply) const
{
    // Replies carry names: shown as the codec reads them.
    if (!reply.text.empty())
        ShowFailure(m_names.ShowReply(reply.text));
}

bool CFTPClient::OpenControlConnection(const std::wstring& host, unsigned short port)
{
    CloseControlConnection();
    m_userThread.store(std::this_thread::get_id());
    // A new connection starts wherever the server puts it.
    m_currentDirectory.clear();
    // A zero would cut the name short and connect somewhere else.
    if (host.empty() || HoldsLineBreakOrZero(host))
    {
        ShowFailure(L"The host name '" + platform::TextCodec::FromLatin1(HostBytes(host).c_str()) +
                    L"' is not valid.");
        return false;
    }
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
    ForgetSecurity();
    ForgetPendingInput();
    ForgetFeatures();
    m_representation.reset();
    m_currentDirectory.clear();
}

bool CFTPClient::SendCommand(const std::wstring& command, bool show)
{
    if (!IsConnected())
        return false;
    m_userThread.store(std::this_thread::get_id());
    // A line break would let a name smuggle a second command to the server.
    if (HoldsLineBreakOrZero(command))
    {
        if (show)
            ShowFailure(CommandRefusedText);
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
            ShowFailure(L"The command is too long to be sent.");
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
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        m_haveReplyDeadline ? m_replyDeadline : Clock::now() + std::chrono::seconds(SocketTimeout());
    for (;;)
    {
        int wait = SocketTimeout();
        if (wait > 0)
        {
            const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now()).count();
            if (left <= 0)
                throw CBlockingSocketException(L"Unable to receive data (receive timeout).", ETIMEDOUT);
            wait = static_cast<int>(std::min<long long>(left, wait));
        }
        const int count = m_controlSocket->Receive(m_buffer.data(), BufferSize - 1, wait);
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
                    ShowFailure(L"The server closed the connection.");
                ForceCloseControl();
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
    // The whole reply, all its lines, must come within the timeout.
    m_replyDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(SocketTimeout());
    m_haveReplyDeadline = true;
    struct DeadlineEnd
    {
        bool& active;
        ~DeadlineEnd() { active = false; }
    } deadlineEnd{m_haveReplyDeadline};
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
        Services::SetStatusText(0, m_names.ShowReply(reply.text));
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
    m_newlyTrusted.clear();
    if (record.FirewallType < 0 || record.FirewallType > 8)
    {
        ShowFailure(L"Unknown proxy logon type " + std::to_wstring(record.FirewallType) + L".");
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
    if (record.encryption != Encryption::Plain && !SecureControlConnection(record, host))
        return false;
    m_security.passwordInClear = !m_security.encrypted && record.SendsPassword();

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
            if (m_security.encrypted && !ProtectDataConnections())
                return false;
            m_currentDirectory.clear();
            // Before PWD: a server that switches to UTF-8 then names the
            // home folder as it will name everything after.
            NegotiateFeatures();
            std::wstring directory;
            return CurrentDirectory(directory) == 0;
        }
        if (next == LogonFail || next <= step || next > 15)
            break;
        step = next;
    }
    ShowFailure(L"Logon failed.");
    return false;
}

void CFTPClient::ForgetFeatures()
{
    m_featureReply.Clear();
    m_features.clear();
    m_utf8Enabled = false;
}

void CFTPClient::NegotiateFeatures()
{
    ForgetFeatures();
    Reply reply;
    // Quiet about the answer: many servers do not know FEAT (500), and an
    // old server that does not know OPTS UTF8 is still fine to use. A lost
    // connection is shown, and the PWD after it then fails.
    if (!Execute(L"FEAT", reply, true))
        return;
    if (reply.IsPositive())
    {
        m_featureReply = reply;
        // RFC 2389: the lines between the first and the last, each a space
        // and a feature. Servers differ in the space, so any line counts.
        size_t start = reply.text.find(L"\r\n");
        while (start != std::wstring::npos)
        {
            start += 2;
            const size_t end = reply.text.find(L"\r\n", start);
            if (end == std::wstring::npos)
                break; // the closing line
            std::wstring line = reply.text.substr(start, end - start);
            const size_t first = line.find_first_not_of(L' ');
            if (first != std::wstring::npos)
            {
                std::wstring name = line.substr(first, line.find(L' ', first) - first);
                for (auto& c : name)
                    if (c >= L'a' && c <= L'z')
                        c = static_cast<wchar_t>(c - L'a' + L'A');
                m_features.push_back(std::move(name));
            }
            start = end;
        }
    }
    const NameEncoding encoding = m_names.Encoding();
    const bool ask =
        encoding == NameEncoding::Utf8 || (encoding == NameEncoding::Auto && HasFeature(L"UTF8"));
    if (ask && Execute(L"OPTS UTF8 ON", reply, true))
        m_utf8Enabled = reply.IsPositive();
}

bool CFTPClient::HasFeature(std::wstring_view name) const
{
    return std::any_of(m_features.begin(), m_features.end(),
                       [&](const std::wstring& feature)
                       {
                           return feature.size() == name.size() &&
                                  std::equal(feature.begin(), feature.end(), name.begin(),
                                             [](wchar_t a, wchar_t b) {
                                                 return a == ((b >= L'a' && b <= L'z') ? b - L'a' + L'A' : b);
                                             });
                       });
}

nsSocket::CTlsContext& CFTPClient::TlsContext()
{
    if (!m_tlsContext)
        m_tlsContext = std::make_unique<nsSocket::CTlsContext>();
    return *m_tlsContext;
}

bool CFTPClient::SecureControlConnection(const CLogonRecord& record, const std::wstring& host)
{
    Reply reply;
    if (!Execute(L"AUTH TLS", reply, true))
    {
        ShowReplyText(reply);
        return false;
    }
    if (!reply.IsPositive())
    {
        if (record.encryption == Encryption::Auto && IsConnected())
            return true;
        // Nothing of the user's has been sent yet, and nothing will be.
        ShowFailure(
            L"The server does not offer FTP over TLS; it answered AUTH TLS with:\n" + reply.text +
            L"\n\nThe site requires encryption, so the logon stopped before the user name and password "
            L"were sent.");
        if (IsConnected())
        {
            Reply ignored;
            Execute(L"QUIT", ignored, false);
            CloseControlConnection();
        }
        return false;
    }
    // Whatever came after the 234 reply came in the clear, where anyone on
    // the way could have put it: it is dropped, never read as a reply.
    ForgetPendingInput();
    m_tlsServerName = HostBytes(host);
    m_tlsAlsoName = record.FirewallType != 0 ? HostBytes(record.host) : std::string();
    try
    {
        m_controlSocket->StartTls(TlsContext(), m_tlsServerName, m_tlsAlsoName, nullptr, SocketTimeout());
    }
    catch (const CBlockingSocketException& failure)
    {
        DropControlConnection(failure, true);
        return false;
    }
    if (!AcceptCertificate(record, host))
    {
        ForceCloseControl();
        return false;
    }
    const nsSocket::CTlsChannel& channel = *m_controlSocket->Tls();
    m_controlFingerprint = channel.PeerFingerprint();
    m_security.encrypted = true;
    m_security.protocol = channel.Protocol();
    m_security.cipher = channel.Cipher();
    return true;
}

bool CFTPClient::AcceptCertificate(const CLogonRecord& record, const std::wstring& host)
{
    using Problem = nsSocket::CCertificateInfo::Problem;
    const nsSocket::CCertificateInfo info = m_controlSocket->Tls()->PeerCertificate();
    if (info.fingerprint.empty())
    {
        ShowFailure(L"The server sent no certificate, so it cannot be told apart from an impostor. The "
                    L"connection was closed.");
        return false;
    }
    if (info.Trusted())
        return true;
    if (info.Has(Problem::WeakKey))
    {
        // A key that can be broken protects nothing, whoever vouches for it.
        ShowFailure(L"The certificate of " + host + L" cannot be trusted: its key is too weak (" +
                    info.keyType + L", " + std::to_wstring(info.keyBits) +
                    L" bits). The connection was closed.");
        return false;
    }
    const std::string seen = nsSocket::CCertificateInfo::NormalFingerprint(info.fingerprint);
    const std::string remembered = nsSocket::CCertificateInfo::NormalFingerprint(record.trustedFingerprint);
    if (!remembered.empty())
    {
        if (remembered == seen)
            return true;
        ShowFailure(
            L"WARNING: the certificate of " + host +
            L" has changed since you chose to trust it. Someone may be listening in, or the server's "
            L"certificate was replaced.\n\nTrusted fingerprint: " +
            platform::TextCodec::FromLatin1(record.trustedFingerprint) + L"\nFingerprint now: " +
            platform::TextCodec::FromLatin1(info.fingerprint) +
            L"\n\nThe connection was refused. If the change is expected, clear the trusted certificate "
            L"in Site Properties and connect again.");
        return false;
    }
    platform::CertificateQuestion question;
    question.host = host;
    question.subject = info.subject;
    question.issuer = info.issuer;
    question.validFrom = info.validFrom;
    question.validUntil = info.validUntil;
    question.fingerprint = platform::TextCodec::FromLatin1(info.fingerprint);
    question.problems = info.ProblemTexts(host);
    // Stop wins over an answer that comes too late.
    if (StopRequested() || !Services::CertificatePrompt().TrustCertificate(question) || StopRequested())
        return false;
    m_newlyTrusted = info.fingerprint;
    return true;
}

bool CFTPClient::ProtectDataConnections()
{
    for (const wchar_t* command : {L"PBSZ 0", L"PROT P"})
    {
        Reply reply;
        if (!Execute(command, reply, true) || !reply.IsPositive())
        {
            if (!reply.text.empty())
                ShowFailure(L"The server will not protect data connections; it answered " +
                            std::wstring(command) + L" with:\n" + reply.text);
            return false;
        }
    }
    m_dataProtected = true;
    return true;
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
        ShowFailure(CommandRefusedText);
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
    // While a transfer owns the control connection a PWD would take its reply.
    if (TransferInProgress())
        return -1;
    Reply reply;
    if (!SendCommand(L"PWD", false) || !ReadReply(reply, false))
        return -1;
    return Classify(reply, false);
}

// ---- Data connections and transfers ----

std::wstring CFTPClient::DataCommandText(DataCommand kind, const std::wstring& path)
{
    switch (kind)
    {
    case LIST:
        return path.empty() ? L"LIST" : L"LIST " + path;
    case NLST:
        return path.empty() ? L"NLST" : L"NLST " + path;
    case RETR:
        return L"RETR " + path;
    case STOR:
        return L"STOR " + path;
    case STOU:
        return L"STOU " + path;
    case APPE:
        return L"APPE " + path;
    }
    return {};
}

int CFTPClient::SetRepresentation(const Representation& representation)
{
    std::wstring text;
    switch (representation.type)
    {
    case Representation::ASCII:
        text = L"TYPE A";
        break;
    case Representation::EBCDIC:
        text = L"TYPE E";
        break;
    case Representation::Image:
        text = L"TYPE I";
        break;
    case Representation::Local:
        text = L"TYPE L 0";
        break;
    default:
        return -1;
    }
    if (representation.type == Representation::ASCII || representation.type == Representation::EBCDIC)
    {
        switch (representation.format)
        {
        case Representation::NonPrint:
            // Non-print is the default format; several servers refuse it spelt out.
            break;
        case Representation::Telnet:
            text += L" T";
            break;
        case Representation::CarriageControl:
            text += L" C";
            break;
        default:
            return -1;
        }
    }
    return ExecuteShown(text);
}

bool CFTPClient::ParsePassiveReply(const std::wstring& text, std::uint32_t& address, std::uint16_t& port)
{
    int state = 0;
    int counter = 4;
    std::uint32_t number = 0;
    bool haveDigit = false;
    std::uint32_t parsedAddress = 0;
    std::uint32_t parsedPort = 0;
    for (wchar_t c : text)
    {
        if (state == 4)
            break;
        if (state == 0)
        {
            if (c == L'(')
                state = 1;
            continue;
        }
        if (c >= L'0' && c <= L'9')
        {
            number = number * 10 + static_cast<std::uint32_t>(c - L'0');
            haveDigit = true;
            // Every field is one byte; anything larger is not a PASV reply.
            if (number > 255)
                return false;
            continue;
        }
        if (!haveDigit)
            return false;
        if (state == 1 && c == L',')
        {
            --counter;
            parsedAddress |= number << (8 * counter);
            if (counter == 0)
                state = 2;
        }
        else if (state == 2 && c == L',')
        {
            parsedPort = number * 256;
            state = 3;
        }
        else if (state == 3 && c == L')')
        {
            parsedPort += number;
            state = 4;
        }
        else
            return false;
        number = 0;
        haveDigit = false;
    }
    if (state != 4)
        return false;
    address = parsedAddress;
    port = static_cast<std::uint16_t>(parsedPort);
    return true;
}

int CFTPClient::EnterPassive(std::uint32_t& address, std::uint16_t& port)
{
    Reply reply;
    if (!Execute(L"PASV", reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    if (reply.IsPositive() && !ParsePassiveReply(reply.text, address, port))
    {
        ShowReplyText(reply);
        return -1;
    }
    return Classify(reply, true);
}

int CFTPClient::SendPort(const std::wstring& address, std::uint16_t port)
{
    std::wstring text =
        L"PORT " + address + L"," + std::to_wstring(port / 256 % 256) + L"," + std::to_wstring(port % 256);
    for (auto& c : text)
        if (c == L'.')
            c = L',';
    return ExecuteShown(text);
}

bool CFTPClient::EnsureRepresentation(const Representation& wanted)
{
    if (!m_representation)
        m_representation = std::make_unique<Representation>();
    if (*m_representation == wanted)
        return true;
    if (SetRepresentation(wanted) != 0)
        return false;
    // The control connection may have been lost on the way.
    if (!m_representation)
        m_representation = std::make_unique<Representation>();
    *m_representation = wanted;
    return true;
}

bool CFTPClient::SendDataCommand(DataCommand kind, const std::wstring& path)
{
    Reply reply;
    if (!Execute(DataCommandText(kind, path), reply, true) || !reply.IsPreliminary())
    {
        ShowReplyText(reply);
        return false;
    }
    return true;
}

bool CFTPClient::OpenDataConnection(nsSocket::IBlockingSocket& dataSocket, DataCommand kind,
                                    const std::wstring& path, bool passive, bool& commandAccepted)
{
    if (!ConnectDataSocket(dataSocket, kind, path, passive, commandAccepted))
        return false;
    if (!m_dataProtected)
        return true;
    // The server starts its side once it has answered the data command.
    try
    {
        dataSocket.StartTls(TlsContext(), m_tlsServerName, m_tlsAlsoName, m_controlSocket.get(),
                            SocketTimeout());
    }
    catch (const CBlockingSocketException& failure)
    {
        FailDataSocket(dataSocket, failure.GetText());
        return false;
    }
    // Whoever answers on the data port must be the server we logged on to.
    if (dataSocket.Tls()->PeerFingerprint() != m_controlFingerprint)
    {
        FailDataSocket(dataSocket, L"The data connection showed another certificate than the control "
                                   L"connection; it was refused.");
        return false;
    }
    return true;
}

bool CFTPClient::ConnectDataSocket(nsSocket::IBlockingSocket& dataSocket, DataCommand kind,
                                   const std::wstring& path, bool passive, bool& commandAccepted)
{
    commandAccepted = false;
    if (passive)
    {
        std::uint32_t address = 0;
        std::uint16_t port = 0;
        if (EnterPassive(address, port) != 0)
            return false;
        try
        {
            dataSocket.Create(SOCK_STREAM);
            // Only the port is taken from the reply: the data connection goes
            // to the host we are already talking to, never to one a server names.
            sockaddr_in target{};
            m_controlSocket->PeerAddress(target);
            target.sin_port = htons(port);
            dataSocket.Connect(target, SocketTimeout());
        }
        catch (const CBlockingSocketException& failure)
        {
            FailDataSocket(dataSocket, failure.GetText());
            return false;
        }
        commandAccepted = SendDataCommand(kind, path);
        return commandAccepted;
    }

    auto listener = m_controlSocket->NewSocket();
    sockaddr_in local{};
    std::uint16_t port = 0;
    std::wstring addressText;
    try
    {
        listener->Create(SOCK_STREAM);
        // Listen only on the interface the control connection uses.
        m_controlSocket->LocalAddress(local);
        sockaddr_in bindAddress = local;
        bindAddress.sin_port = 0;
        listener->Bind(bindAddress);
        sockaddr_in chosen{};
        listener->LocalAddress(chosen);
        port = ntohs(chosen.sin_port);
        listener->Listen();
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        addressText = platform::TextCodec::FromLatin1(text);
    }
    catch (const CBlockingSocketException& failure)
    {
        FailDataSocket(*listener, failure.GetText());
        return false;
    }
    if (SendPort(addressText, port) != 0 || !SendDataCommand(kind, path))
    {
        listener->ForceClose();
        return false;
    }
    commandAccepted = true;
    try
    {
        sockaddr_in peer{};
        const bool accepted = listener->Accept(dataSocket, peer, SocketTimeout());
        listener->ForceClose();
        if (!accepted)
        {
            dataSocket.ForceClose();
            return false;
        }
        // Only the server may connect to the port we announced.
        sockaddr_in server{};
        m_controlSocket->PeerAddress(server);
        if (peer.sin_addr.s_addr != server.sin_addr.s_addr)
        {
            FailDataSocket(dataSocket,
                           L"The data connection came from another host than the server; it was refused.");
            return false;
        }
        return true;
    }
    catch (const CBlockingSocketException& failure)
    {
        listener->ForceClose();
        FailDataSocket(dataSocket, failure.GetText());
        return false;
    }
}

void CFTPClient::FailDataSocket(nsSocket::IBlockingSocket& dataSocket, const std::wstring& text)
{
    ShowFailure(text);
    dataSocket.ForceClose();
    // After a stop the server's state is unknown: the control connection goes too.
    if (StopRequested())
        ForceCloseControl();
}

void CFTPClient::BeginTransfer()
{
    // A request left from before this transfer does not count.
    m_transferState.store(TransferState::Running);
}

CFTPClient::LoopEnd CFTPClient::EndLoop(LoopEnd end)
{
    // From here an abort finds no transfer; one that came too late to stop
    // this loop is dropped with it rather than left for the next transfer.
    m_transferState.store(TransferState::Idle);
    if (end == LoopEnd::Aborted)
        SendAbort();
    return end;
}

CFTPClient::LoopEnd CFTPClient::ReceiveLoop(ITransferNotification& notification,
                                            nsSocket::IBlockingSocket& dataSocket)
{
    BeginTransfer();
    try
    {
        int count = dataSocket.Receive(m_buffer.data(), BufferSize, SocketTimeout());
        while (count != 0)
        {
            notification.OnBytesReceived(m_buffer.data(), count);
            if (notification.IsFull())
            {
                FailDataSocket(dataSocket,
                               L"The transfer was stopped: the server sent more data than can be kept.");
                return EndLoop(LoopEnd::Failed);
            }
            if (m_transferState.load() == TransferState::AbortRequested)
                return EndLoop(LoopEnd::Aborted);
            count = dataSocket.Receive(m_buffer.data(), BufferSize, SocketTimeout());
        }
    }
    catch (const CBlockingSocketException& failure)
    {
        FailDataSocket(dataSocket, failure.GetText());
        return EndLoop(LoopEnd::Failed);
    }
    return EndLoop(LoopEnd::Done);
}

CFTPClient::LoopEnd CFTPClient::SendLoop(ITransferNotification& notification,
                                         nsSocket::IBlockingSocket& dataSocket)
{
    BeginTransfer();
    try
    {
        for (;;)
        {
            std::uint32_t count = 0;
            notification.OnPreBytesSend(m_buffer.data(), BufferSize, count);
            if (m_transferState.load() == TransferState::AbortRequested)
                return EndLoop(LoopEnd::Aborted);
            if (count == 0)
                break;
            if (count > BufferSize)
                count = BufferSize;
            dataSocket.SendAll(m_buffer.data(), static_cast<int>(count), SocketTimeout());
        }
    }
    catch (const CBlockingSocketException& failure)
    {
        FailDataSocket(dataSocket, failure.GetText());
        return EndLoop(LoopEnd::Failed);
    }
    return EndLoop(LoopEnd::Done);
}

void CFTPClient::DrainFinalReply()
{
    Reply reply;
    ReadReply(reply, false);
}

bool CFTPClient::TransferData(ITransferNotification& notification, DataCommand kind, const std::wstring& path,
                              const Representation& representation, bool passive)
{
    if (TransferInProgress() || !IsConnected())
        return false;
    if (!EnsureRepresentation(representation))
        return false;
    auto dataSocket = m_controlSocket->NewSocket();
    bool commandAccepted = false;
    if (!OpenDataConnection(*dataSocket, kind, path, passive, commandAccepted))
    {
        dataSocket->ForceClose();
        if (commandAccepted)
            DrainFinalReply();
        return false;
    }
    LoopEnd end = LoopEnd::Failed;
    if (kind == LIST || kind == NLST || kind == RETR)
        end = ReceiveLoop(notification, *dataSocket);
    else if (kind == STOR || kind == STOU || kind == APPE)
        end = SendLoop(notification, *dataSocket);
    // Closing is what tells the server that an upload is complete.
    try
    {
        dataSocket->Close();
    }
    catch (const CBlockingSocketException& failure)
    {
        FailDataSocket(*dataSocket, failure.GetText());
        if (end == LoopEnd::Done)
            end = LoopEnd::Failed;
    }
    if (end == LoopEnd::Done)
    {
        Reply reply;
        if (ReadReply(reply, true) && reply.IsPositive())
            return true;
        ShowReplyText(reply);
        return false;
    }
    if (end == LoopEnd::Failed)
        DrainFinalReply();
    return false;
}

bool CFTPClient::ListDirectory(const std::wstring& path, std::vector<nsSP::RCIPtr<CFTPFileStatus>>& entries,
                               bool passive)
{
    // Lines are parsed as they arrive; bare LF line ends and an unterminated
    // last line are entries too.
    CListingSink sink(path);
    if (!TransferData(sink, LIST, path, {Representation::ASCII, Representation::NonPrint}, passive))
        return false;
    sink.Finish();
    entries = std::move(sink.Entries());
    return true;
}

std::unique_ptr<nsSocket::IBlockingSocket> CFTPClient::OpenTransfer(const std::wstring& path, bool passive,
                                                                    bool upload)
{
    if (TransferInProgress() || !IsConnected())
        return nullptr;
    auto dataSocket = m_controlSocket->NewSocket();
    if (!EnsureRepresentation({Representation::Image, Representation::NonPrint}))
        return nullptr;
    bool commandAccepted = false;
    if (!OpenDataConnection(*dataSocket, upload ? STOR : RETR, path, passive, commandAccepted))
    {
        dataSocket->ForceClose();
        if (commandAccepted)
            DrainFinalReply();
        return nullptr;
    }
    BeginTransfer();
    return dataSocket;
}

template <typename SocketCall>
bool CFTPClient::MoveChunk(nsSocket::IBlockingSocket& dataSocket, int length, int& count, SocketCall call)
{
    count = 0;
    if (length <= 0)
        return true;
    try
    {
        count = call();
        return true;
    }
    catch (const CBlockingSocketException& failure)
    {
        // The transfer stays open: its final reply is CloseTransfer's to read.
        FailDataSocket(dataSocket, failure.GetText());
        return false;
    }
}

bool CFTPClient::ReadTransferChunk(nsSocket::IBlockingSocket& dataSocket, char* buffer, int capacity,
                                   int& count)
{
    return MoveChunk(dataSocket, capacity, count,
                     [&] { return dataSocket.Receive(buffer, capacity, SocketTimeout()); });
}

bool CFTPClient::WriteTransferChunk(nsSocket::IBlockingSocket& dataSocket, const char* bytes, int length,
                                    int& count)
{
    return MoveChunk(dataSocket, length, count,
                     [&] { return dataSocket.SendAll(bytes, length, SocketTimeout()); });
}

bool CFTPClient::CloseTransfer(std::unique_ptr<nsSocket::IBlockingSocket> dataSocket, bool show)
{
    if (!dataSocket)
        return true;
    // An abort asked for during a caller-driven transfer ends with it.
    m_transferState.store(TransferState::Idle);
    try
    {
        // A transfer given up is cut off: over TLS an orderly end would wait
        // for the rest of a download.
        if (show)
            dataSocket->Close();
        else
            dataSocket->ForceClose();
    }
    catch (const CBlockingSocketException& failure)
    {
        if (show)
            ShowFailure(failure.GetText());
        dataSocket->ForceClose();
    }
    dataSocket.reset();
    Reply reply;
    if (ReadReply(reply, true) && reply.IsPositive())
        return true;
    if (show)
        ShowReplyText(reply);
    return false;
}

int CFTPClient::Abort()
{
    // During a transfer only its loop may talk to the server: ask it to stop.
    TransferState seen = TransferState::Running;
    if (m_transferState.compare_exchange_strong(seen, TransferState::AbortRequested) ||
        seen == TransferState::AbortRequested)
        return 0;
    // No transfer runs. Another thread must not use the control connection
    // (nor leave a request behind for the next transfer): nothing to stop.
    if (std::this_thread::get_id() != m_userThread.load())
        return 0;
    return SendAbort();
}

int CFTPClient::SendAbort()
{
    Reply reply;
    if (!Execute(L"ABOR", reply, true))
    {
        ShowReplyText(reply);
        return -1;
    }
    // A server that was still transferring first answers for the transfer
    // (426), then for ABOR itself; both replies must be read to stay in step.
    if (reply.Code() == L"426")
    {
        Reply second;
        if (!ReadReply(second, true))
        {
            ShowReplyText(second);
            return -1;
        }
        reply = second;
    }
    return Classify(reply, true);
}

} // namespace nsFTP
