#include "SiteConnection.h"

#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/CaseFold.h"
#include "socket/BlockingSocket.h"

namespace
{
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
    // Same length compared, so the prefix removed is exactly as long as the home.
    return !prefix.empty() && text.size() >= prefix.size() &&
           platform::CaseFold::Equal(std::wstring_view(text).substr(0, prefix.size()), prefix);
}

void ClearCountPanes()
{
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
    platform::Services::SetStatusText(CSiteConnection::SecurityPane, L"");
}
} // namespace

// An e-mail-shaped address of 18 characters, as anonymous servers ask.
const std::wstring CSiteConnection::AnonymousPassword = L"guest@tessel.local";

CSiteConnection::CSiteConnection()
    : m_engine(std::make_unique<nsFTP::CFTPClient>(std::make_unique<nsSocket::CBlockingSocket>()))
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

nsFTP::ConnectionSecurity CSiteConnection::Security() const
{
    return IsConnected() ? m_engine->Security() : nsFTP::ConnectionSecurity();
}

std::wstring CSiteConnection::SecurityText(const nsFTP::ConnectionSecurity& security)
{
    if (security.encrypted)
        return L"Encrypted: " + platform::TextCodec::FromLatin1(security.protocol) + L", " +
               platform::TextCodec::FromLatin1(security.cipher);
    if (security.passwordInClear)
        return L"Not encrypted: the password and the files go over the network in the clear.";
    return {};
}

nsFTP::CLogonRecord CSiteConnection::LogonFor(const SiteRecord& site, const SiteOptions& options)
{
    nsFTP::CLogonRecord logon;
    logon.encryption = options.Encryption();
    logon.trustedFingerprint = options.TrustedFingerprint();
    logon.host = site.Host();
    logon.port = static_cast<std::uint16_t>(site.Port() & 0xFFFF);
    logon.account.clear();
    if (site.Anonymous())
    {
        logon.user = L"anonymous";
        logon.password = AnonymousPassword;
    }
    else
    {
        logon.user = site.Login();
        logon.password = site.Password();
    }
    // Without a proxy mode the proxy fields stay at their defaults, so an
    // earlier proxied connect leaves nothing behind.
    if (site.ProxyMode() != 0)
    {
        logon.firewallHost = site.ProxyHost();
        logon.firewallUser = site.ProxyUser();
        logon.firewallPassword = site.ProxyPassword();
        logon.firewallPort = static_cast<std::uint16_t>(site.ProxyPort());
        logon.FirewallType = site.ProxyMode();
    }
    return logon;
}

unsigned CSiteConnection::TimeoutFor(const SiteRecord& site)
{
    // 0 would fail every wait at once, and a negative value read as unsigned
    // would wait for ever.
    return site.Timeout() > 0 ? static_cast<unsigned>(site.Timeout()) : 10;
}

bool CSiteConnection::Connect(const SiteRecord& site, const SiteOptions& options, bool rememberTrust)
{
    ClearCountPanes();
    m_logon = LogonFor(site, options);
    const nsFTP::CNameCodec previous = m_engine->Names();
    // The logon already needs it: it decides on OPTS UTF8.
    m_engine->SetNameCodec(nsFTP::CNameCodec(options.Encoding()));
    const bool loggedOn = m_engine->LogOn(m_logon, TimeoutFor(site));
    // Remembered even when the logon failed later (a mistyped password):
    // the user was asked about this certificate once.
    const std::string trusted = m_engine->NewlyTrustedFingerprint();
    if (rememberTrust && !trusted.empty())
    {
        SiteOptions stored = options;
        stored.SetTrustedFingerprint(trusted);
        m_sites.SetOptions(site.Label(), stored);
    }
    if (!loggedOn)
    {
        m_engine->SetNameCodec(previous);
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
    m_currentOptions = options;
    m_homeDirectory = CurrentDirectory();
    m_engine->SetRestartAllowed(false);
    platform::Services::SetStatusText(SecurityPane, SecurityText(Security()));
    return true;
}

std::wstring CSiteConnection::InitialDirectoryTarget(const std::wstring& home, const std::wstring& directory)
{
    std::wstring text = Trim(directory);
    for (auto& c : text)
        if (c == L'\\')
            c = L'/';
    // The home directory is removed only as whole folders: with home /home/u,
    // /home/user2 is not /home/u followed by "ser2".
    if (StartsWithIgnoringCase(text, home) &&
        (text.size() == home.size() || home.back() == L'/' || text[home.size()] == L'/'))
        text.erase(0, home.size());
    if (!text.empty() && text[0] == L'/')
        text.erase(0, 1);
    text = Trim(text);
    if (text.empty())
        return {};

    const bool homeEndsWithSeparator = !home.empty() && (home.back() == L'/' || home.back() == L'\\');
    return home + (homeEndsWithSeparator ? L"" : L"/") + text;
}

void CSiteConnection::GoToInitialDirectory(const std::wstring& directory)
{
    if (!IsConnected())
        return;
    std::wstring typed = Trim(directory);
    for (auto& c : typed)
        if (c == L'\\')
            c = L'/';
    // Typed as text; the home directory's own parts keep their bytes.
    std::wstring wire;
    if (!Names().EncodeEdited(typed, m_homeDirectory, wire))
    {
        platform::Services::ShowError(nsFTP::CNameCodec::CannotEncodeText(typed));
        return;
    }
    const std::wstring target = InitialDirectoryTarget(m_homeDirectory, wire);
    if (target.empty())
        return;
    // Without a home directory (its PWD failed) there is nowhere to go back to.
    if (!ChangeDirectory(target) && !m_homeDirectory.empty() && IsConnected())
        ChangeDirectory(m_homeDirectory);
}

bool CSiteConnection::ConnectStoredSite(const std::wstring& label)
{
    m_sites.LoadSites();
    const SiteRecord* found = m_sites.FindSite(label);
    if (!found)
    {
        platform::Services::ShowError(L"No site is labelled \"" + label + L"\".");
        return false;
    }
    if (found->IsGroup())
    {
        platform::Services::ShowError(L"\"" + found->Label() + L"\" is a group, not a site.");
        return false;
    }
    const SiteRecord site = *found;
    const SiteOptions* stored = m_sites.OptionsAt(m_sites.FindIndex(label));
    const SiteOptions options = stored ? *stored : SiteOptions();
    if (!Connect(site, options, true))
        return false;
    GoToInitialDirectory(site.Directory());
    return true;
}

void CSiteConnection::Disconnect()
{
    if (IsConnected())
        m_engine->Quit();
    ClearCountPanes();
}

void CSiteConnection::Stop()
{
    m_engine->RequestStop();
}

void CSiteConnection::ClearStop()
{
    m_engine->ClearStop();
}

void CSiteConnection::CloseAfterStop()
{
    m_engine->CloseControlConnection();
    ClearCountPanes();
}

void CSiteConnection::KeepAliveTick()
{
    // A job taking the engine waits on this lock, so it never meets a PWD
    // half-way; a tick that finds the engine in use simply sends nothing.
    std::unique_lock lock(m_keepAliveMutex, std::try_to_lock);
    if (!lock.owns_lock() || IsBusy())
        return;
    KeepAliveNow();
}

void CSiteConnection::KeepAliveNow()
{
    if (IsConnected() && m_currentSite.KeepAlive() != 0)
        m_engine->KeepAlive();
}

CSiteConnection::BusyScope::BusyScope(CSiteConnection& connection) : m_connection(connection)
{
    m_connection.m_busy.fetch_add(1);
    std::lock_guard wait(m_connection.m_keepAliveMutex);
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
