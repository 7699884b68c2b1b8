#pragma once
#include "ISettingsStore.h"

#include <map>
#include <mutex>
#include <set>

namespace platform
{

// Settings held in memory: what tests and headless runs use. Thread-safe; a
// change runs on a copy that replaces the values when it answers true.
class MemorySettingsStore : public ISettingsStore
{
public:
    MemorySettingsStore() = default;
    MemorySettingsStore(const MemorySettingsStore&) = delete;
    MemorySettingsStore& operator=(const MemorySettingsStore&) = delete;

    StoreDamage Read(const std::function<void(ISettingsStore& values)>& look) override;
    ChangeResult Change(const std::function<bool(ISettingsStore& values)>& change) override;
    void MarkUnreadable(const std::wstring& key, const std::wstring& name) override;
    bool OpenKey(const std::wstring& key, bool create) override;
    ReadResult ReadBinary(const std::wstring& key, const std::wstring& name, std::vector<std::uint8_t>& data,
                          std::size_t limit) override;
    bool WriteBinary(const std::wstring& key, const std::wstring& name,
                     const std::vector<std::uint8_t>& data) override;
    ReadResult ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value) override;
    bool WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value) override;
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override;
    std::vector<std::wstring> ValueNames(const std::wstring& key) override;

    // Forgets every key, and any failure set below.
    void Clear();
    // For tests: while the text is set, every write and change fails with it.
    void SetFailure(const std::wstring& error);

    // The form a key path is kept in: ASCII letters folded, separators unified.
    static std::wstring CanonicalKey(const std::wstring& key);

private:
    struct Value
    {
        bool binary = true;
        std::vector<std::uint8_t> bytes;
        std::uint32_t number = 0;
    };
    using Key = std::map<std::wstring, Value>;

    // Held through a whole change, so other threads' writes wait for it.
    std::recursive_mutex m_mutex;
    std::map<std::wstring, Key> m_keys;
    std::set<std::pair<std::wstring, std::wstring>> m_unreadable;
    std::wstring m_failure;
};

} // namespace platform
