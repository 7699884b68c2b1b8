#pragma once
#include "platform/ISettingsStore.h"

#include <QString>
#include <chrono>
#include <string>

namespace platform
{
class IniValues;

// The settings file: one INI file, FTPClient/FTPClient.ini under the XDG
// config folder, in the form Qt's settings classes read and write (see
// IniDocument), readable by its owner only (it holds passwords). The folder is
// made with mode 0700.
//
// Several programs share the file. Every change reads the file, applies itself
// to what it holds at that moment and writes the whole file anew, all while
// holding an advisory lock (flock) on FTPClient.ini.lck beside it; the lock
// is waited for at most a bounded time. The new text goes to a temporary file
// that is synced and then renamed over the old one, and the folder is synced:
// a crash at any moment leaves either the old file or the new one. Reads take
// no lock, as the file is only ever replaced whole.
//
// A file with entries that cannot be read is copied to
// FTPClient.ini.damaged-<16 hex digits> (named by its damage) before anything
// replaces it, unless a copy kept before holds all of that damage; when no
// copy can be kept, nothing is saved. A file that cannot be read at all, or that its
// owner may not write, is never replaced.
class QSettingsStore : public ISettingsStore
{
public:
    QSettingsStore();
    explicit QSettingsStore(const QString& filePath);
    ~QSettingsStore() override;
    QSettingsStore(const QSettingsStore&) = delete;
    QSettingsStore& operator=(const QSettingsStore&) = delete;

    // $XDG_CONFIG_HOME/FTPClient/FTPClient.ini, or ~/.config/... without it.
    static QString DefaultFilePath();

    QString FilePath() const { return m_path; }
    QString LockFilePath() const { return m_path + QStringLiteral(".lck"); }
    // False when a change could not be saved now: the folder cannot be
    // written, or the file is read-only.
    bool IsWritable() const;
    // How long a change waits while another program changes the file.
    void SetLockTimeout(std::chrono::milliseconds timeout) { m_lockTimeout = timeout; }

    StoreDamage Read(const std::function<void(ISettingsStore& values)>& look) override;
    ChangeResult Change(const std::function<bool(ISettingsStore& values)>& change) override;
    void MarkUnreadable(const std::wstring&, const std::wstring&) override {}

    bool OpenKey(const std::wstring& key, bool create) override;
    ReadResult ReadBinary(const std::wstring& key, const std::wstring& name, std::vector<std::uint8_t>& data,
                          std::size_t limit) override;
    bool WriteBinary(const std::wstring& key, const std::wstring& name,
                     const std::vector<std::uint8_t>& data) override;
    ReadResult ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value) override;
    bool WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value) override;
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override;
    std::vector<std::wstring> ValueNames(const std::wstring& key) override;

    // Where the programs keep everything; entries elsewhere in the file count
    // as unreadable (a damaged header may have put them there).
    static constexpr const wchar_t* Home = L"Software\\FTPClient";
    // A file larger than this is not read: it cannot be ours.
    static constexpr std::size_t MaxFileSize = 64u << 20;
    static constexpr std::chrono::milliseconds DefaultLockTimeout{10000};

private:
    struct Contents
    {
        std::string bytes;
        // Set when the file exists but cannot be read.
        std::wstring error;
    };
    Contents ReadContents() const;
    // The file a change replaces: the target of the path when it is a link.
    std::string Target() const;
    bool ReadOnly() const;
    // A copy already kept that holds every damaged text serves again; otherwise
    // the bytes go to a new one named by the fingerprint.
    bool KeepCopy(const std::string& bytes, const IniValues& damage, std::wstring& copy,
                  std::wstring& error) const;
    // Writes text to a synced temporary file beside target and renames it over target.
    bool WriteWhole(const std::string& target, const std::string& text, std::wstring& error) const;
    void RemoveLeftovers(const std::string& target) const;
    std::wstring SaveError(const std::wstring& why) const;

    QString m_path;
    std::string m_file;
    std::string m_lockFile;
    std::chrono::milliseconds m_lockTimeout = DefaultLockTimeout;
};

} // namespace platform
