#pragma once
#include "platform/ISettingsStore.h"

#include <QString>
#include <memory>
#include <mutex>

class QSettings;

namespace platform
{

// The settings file: one INI file, FTPClient/FTPClient.ini under the XDG
// config folder, readable by its owner only (it holds passwords). Each write
// is synced at once under the file's lock, so two programs writing together
// keep both their changes; each read first picks up what others wrote.
// Value names are escaped into keys that the INI format keeps as they are.
class QSettingsStore : public ISettingsStore
{
public:
    QSettingsStore();
    explicit QSettingsStore(const QString& filePath);
    ~QSettingsStore() override;

    // $XDG_CONFIG_HOME/FTPClient/FTPClient.ini, or ~/.config/... without it.
    static QString DefaultFilePath();

    QString FilePath() const { return m_path; }
    // False when the file could not be created or is not writable.
    bool IsWritable() const { return m_writable; }

    bool OpenKey(const std::wstring& key, bool create) override;
    ReadResult ReadBinary(const std::wstring& key, const std::wstring& name, std::vector<std::uint8_t>& data,
                          std::size_t limit) override;
    bool WriteBinary(const std::wstring& key, const std::wstring& name,
                     const std::vector<std::uint8_t>& data) override;
    ReadResult ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value) override;
    bool WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value) override;
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override;
    std::vector<std::wstring> ValueNames(const std::wstring& key) override;

    // The key a value name is stored under, and back. Letters, digits, '.'
    // and '-' stand for themselves; every other UTF-8 byte is "_XX"; the
    // empty name is "_". Decoding answers false for text that is not in
    // exactly this form.
    static QString EncodeName(const std::wstring& name);
    static bool DecodeName(const QString& key, std::wstring& name);

private:
    bool Commit();
    void Refresh();
    QString GroupOf(const std::wstring& key) const;

    QString m_path;
    bool m_writable = false;
    std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace platform
