#include "SiteConnection.h"

#include "files/RemoteBrowser.h"
#include "platform/Services.h"
#include "socket/BlockingSocket.h"

#include <cwctype>

namespace
{
// The password of anonymous logons: an e-mail-shaped address, as servers ask.
const std::wstring AnonymousPassword = L"guest@tessel.local";
const std::wstring WhiteSpace = L" \t\r\n\f\v";

std::wstring Trim(const std::wstring& text)
{
    const auto first = text.find_first_not_of(WhiteSpace);
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(WhiteSpace) - first + 1);
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix)
{
    if (prefix.empty() || text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::towlower(text[i]) != std::towlower(prefix[i]))
            return false;
    return true;
}

void ClearCountPanes()
{
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
}
} // namespace

CSiteConnection::CSiteConnection()
    : m_engine(std::make_unique<nsFTP::CFTPClient>(std::make_unique<nsSocket::CBlockingSocket>())),
      m_browser(std::make_unique<CRemoteBrowser>(*this))
{
    m_currentSite.Clear();
}

CSiteConnection::~CSiteConnection()
{
    if (IsConnected())
        m_engine->Quit();
    ClearCountPanes();
}

bool CSiteConnection::IsConnected() const
{
    return m_engine->IsConnected();
}

bool CSiteConnection::Connect(const SiteRecord& site)
{
    ClearCountPanes();

    m_logon = nsFTP::CLogonRecord();
    m_logon.host = site.Host();
    m_logon.port = static_cast<std::uint16_t>(site.Port() & 0xFFFF);
    m_logon.account.clear();
    if (site.Anonymous())
    {
        m_logon.user = L"anonymous";
        m_logon.password = AnonymousPassword;
    }
    else
    {
        m_logon.user = site.Login();
        m_logon.password = site.Password();
    }
    if (site.ProxyMode() != 0)
    {
        m_logon.firewallHost = site.ProxyHost();
        m_logon.firewallUser = site.ProxyUser();
        m_logon.firewallPassword = site.ProxyPassword();
        m_logon.firewallPort = static_cast<std::uint16_t>(site.ProxyPort());
        m_logon.FirewallType = site.ProxyMode();
    }

    // A timeout of 0 or less would turn every wait into a poll that fails at once.
    const unsigned timeout = site.Timeout() > 0 ? static_cast<unsigned>(site.Timeout()) : 10;
    if (!m_engine->LogOn(m_logon, timeout))
    {
        // The engine keeps the control connection after a refused logon; a
        // site that is not logged on must not look connected to the shells
        // (keep-alive, Disconnect, the browser).
        if (m_engine->IsConnected())
        {
            nsFTP::Reply reply;
            m_engine->Execute(L"QUIT", reply, false);
            m_engine->CloseControlConnection();
        }
        return false;
    }

    m_currentSite = site;
    m_homeDirectory = CurrentDirectory();
    m_engine->SetRestartAllowed(false);
    return true;
}

void CSiteConnection::GoToInitialDirectory(const std::wstring& directory)
{
    if (!IsConnected())
        return;
    std::wstring text = Trim(directory);
    if (text.empty())
        return;
    for (auto& c : text)
        if (c == L'\\')
            c = L'/';
    // The home directory is removed only as whole folders: with home /home/u,
    // /home/user2 is not /home/u followed by "ser2".
    if (StartsWithIgnoringCase(text, m_homeDirectory) &&
        (text.size() == m_homeDirectory.size() || m_homeDirectory.back() == L'/' ||
         text[m_homeDirectory.size()] == L'/'))
        text.erase(0, m_homeDirectory.size());
    if (!text.empty() && text[0] == L'/')
        text.erase(0, 1);
    text = Trim(text);
    if (text.empty())
        return;

    const bool homeEndsWithSeparator =
        !m_homeDirectory.empty() && (m_homeDirectory.back() == L'/' || m_homeDirectory.back() == L'\\');
    const std::wstring target = m_homeDirectory + (homeEndsWithSeparator ? L"" : L"/") + text;
    if (!ChangeDirectory(target))
        ChangeDirectory(m_homeDirectory);
}

void CSiteConnection::Disconnect()
{
    if (IsConnected())
        m_engine->Quit();
    ClearCountPanes();
}

void CSiteConnection::KeepAliveTick()
{
    if (IsConnected() && m_currentSite.KeepAlive() != 0 && !IsBusy())
        m_engine->KeepAlive();
}

CSiteConnection::BusyScope::BusyScope(CSiteConnection& connection) : m_connection(connection)
{
    m_connection.m_busy.fetch_add(1);
}

CSiteConnection::BusyScope::~BusyScope()
{
    m_connection.m_busy.fetch_sub(1);
}

std::wstring CSiteConnection::CurrentDirectory()
{
    std::wstring path;
    return m_engine->CurrentDirectory(path) == 0 ? path : std::wstring();
}

bool CSiteConnection::ChangeDirectory(const std::wstring& path)
{
    return m_engine->ChangeDirectory(path) == 0;
}

bool CSiteConnection::List(const std::wstring& path,
                           std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>>& records)
{
    return m_engine->ListDirectory(path, records, m_currentSite.Passive() != 0);
}

std::unique_ptr<nsSocket::IBlockingSocket> CSiteConnection::OpenTransfer(const std::wstring& path,
                                                                         bool upload)
{
    return m_engine->OpenTransfer(path, m_currentSite.Passive() != 0, upload);
}

bool CSiteConnection::MakeDirectory(const std::wstring& path, bool showErrors)
{
    return m_engine->MakeDirectory(path, showErrors) == 0;
}

void CSiteConnection::RemoveDirectory(const std::wstring& path)
{
    m_engine->RemoveDirectory(path);
}

void CSiteConnection::DeleteFile(const std::wstring& path)
{
    m_engine->DeleteFile(path);
}

void CSiteConnection::RenameFile(const std::wstring& from, const std::wstring& to)
{
    m_engine->RenameFile(from, to);
}
