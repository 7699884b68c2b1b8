#pragma once
#include "ISettingsStore.h"

#include <map>
#include <mutex>

namespace platform
{

// Settings held in memory: what tests and headless runs use. Thread-safe.
class MemorySettingsStore : public ISettingsStore
{
public:
    bool OpenKey(const std::wstring& key, bool create) override;
    ReadResult ReadBinary(const std::wstring& key, const std::wstring& name, std::vector<std::uint8_t>& data,
                          std::size_t limit) override;
    bool WriteBinary(const std::wstring& key, const std::wstring& name,
                     const std::vector<std::uint8_t>& data) override;
    ReadResult ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value) override;
    bool WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value) override;
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override;
    std::vector<std::wstring> ValueNames(const std::wstring& key) override;

    // Forgets every key.
    void Clear();

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

    std::mutex m_mutex;
    std::map<std::wstring, Key> m_keys;
};

} // namespace platform
