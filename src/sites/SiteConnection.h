#pragma once
#include "ftp/ConnectionSecurity.h"
#include "ftp/FTPClient.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/LogonRecord.h"
#include "ftp/NameCodec.h"
#include "ftp/RCIPtr.h"
#include "sites/SiteList.h"
#include "sites/SiteOptions.h"
#include "sites/SiteRecord.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Ties a saved site to the FTP engine. Each program's document owns one for the
// life of the process. "Connected" is the engine's control socket being open;
// there is no flag of its own.
class CSiteConnection
{
public:
    CSiteConnection();
    ~CSiteConnection();
    CSiteConnection(const CSiteConnection&) = delete;
    CSiteConnection& operator=(const CSiteConnection&) = delete;

    // Logs on to the site with its options (encryption, the trusted
    // certificate, the encoding of names). A refused logon leaves the
    // connection closed and the current site, options and home directory as
    // they were. With rememberTrust, a certificate the user chose to trust is
    // stored with the site's options (the site must be a stored one).
    bool Connect(const SiteRecord& site, const SiteOptions& options = {}, bool rememberTrust = false);
    // Changes to the site's directory, taken relative to the home directory;
    // a refused one leads back home. The directory is text as typed in Site
    // Properties; it goes out through the names codec.
    void GoToInitialDirectory(const std::wstring& directory);
    // Loads the stored sites, connects the site with that label and goes to
    // its directory. False (after an error box) for an unknown label or a group.
    bool ConnectStoredSite(const std::wstring& label);
    void Disconnect();
    // Any thread: makes every socket wait of the engine give up at once, so
    // the work that drives it ends (quietly) soon after.
    void Stop();
    // Before new work starts: a stop of earlier work no longer holds.
    void ClearStop();
    // After stopped work has ended: the connection is closed without QUIT,
    // since the server may not be answering.
    void CloseAfterStop();
    // Sends PWD quietly when connected, the site asks for keep-alives and no
    // job or search is using the engine.
    void KeepAliveTick();
    // The same PWD for a caller that already holds the engine (a worker of the
    // window), so it does not look at the busy marker.
    void KeepAliveNow();
    bool IsConnected() const;

    // What protects the connection (the lock of the status bar; skiff reads
    // it here). All clear while disconnected.
    nsFTP::ConnectionSecurity Security() const;
    // The status pane that tells it, and its text: "Encrypted: TLSv1.3,
    // <cipher>", "Not encrypted: ..." for a plain logon that sent a
    // password, empty otherwise. Posted at every connect and disconnect.
    static constexpr int SecurityPane = 4;
    static std::wstring SecurityText(const nsFTP::ConnectionSecurity& security);

    // What a connect hands to the engine for the site.
    static nsFTP::CLogonRecord LogonFor(const SiteRecord& site, const SiteOptions& options = {});
    static unsigned TimeoutFor(const SiteRecord& site);
    // The folder the site's directory text leads to from the home directory;
    // empty when it names the home directory itself.
    static std::wstring InitialDirectoryTarget(const std::wstring& home, const std::wstring& directory);
    // The password of anonymous logons.
    static const std::wstring AnonymousPassword;

    // While a job or search drives the engine from its own thread the
    // connection is busy, and the keep-alive leaves the control connection alone.
    // Taking the scope waits for a keep-alive already under way, so it may be
    // taken on the worker thread itself.
    class BusyScope
    {
    public:
        explicit BusyScope(CSiteConnection& connection);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        CSiteConnection& m_connection;
    };
    bool IsBusy() const { return m_busy.load() > 0; }

    const SiteRecord& CurrentSite() const { return m_currentSite; }
    const SiteOptions& CurrentOptions() const { return m_currentOptions; }
    // How the connected site's names read for people and typed text goes
    // out: every edge that shows or takes a remote name asks this.
    const nsFTP::CNameCodec& Names() const { return m_engine->Names(); }
    const std::wstring& HomeDirectory() const { return m_homeDirectory; }
    const nsFTP::CLogonRecord& Logon() const { return m_logon; }
    nsFTP::CFTPClient& Engine() { return *m_engine; }
    CSiteList& Sites() { return m_sites; }

    // The engine's current directory (cache or PWD), in wire form (one
    // character per byte); empty when that fails.
    std::wstring CurrentDirectory();
    // CWD; true when the server accepted it.
    bool ChangeDirectory(const std::wstring& path);

    // Engine pass-throughs; data connections use the connected site's passive flag.
    bool List(const std::wstring& path, std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>>& records);
    std::unique_ptr<nsSocket::IBlockingSocket> OpenTransfer(const std::wstring& path, bool upload);
    bool MakeDirectory(const std::wstring& path, bool showErrors);
    void RemoveDirectory(const std::wstring& path);
    void DeleteFile(const std::wstring& path);
    void RenameFile(const std::wstring& from, const std::wstring& to);

private:
    SiteRecord m_currentSite;
    SiteOptions m_currentOptions;
    std::unique_ptr<nsFTP::CFTPClient> m_engine;
    // Held by a keep-alive while it talks to the server.
    std::mutex m_keepAliveMutex;
    nsFTP::CLogonRecord m_logon;
    CSiteList m_sites;
    std::wstring m_homeDirectory;
    std::atomic<int> m_busy{0};
};
