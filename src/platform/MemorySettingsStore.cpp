#include "MemorySettingsStore.h"

namespace platform
{

StoreDamage MemorySettingsStore::Read(const std::function<void(ISettingsStore& values)>& look)
{
    MemorySettingsStore snapshot;
    {
        std::lock_guard lock(m_mutex);
        snapshot.m_keys = m_keys;
    }
    look(snapshot);
    StoreDamage damage;
    damage.skipped = static_cast<int>(snapshot.m_unreadable.size());
    // FNV-1a over the names marked, so the same damage gets the same print.
    std::uint64_t hash = 14695981039346656037ull;
    for (const auto& [key, name] : snapshot.m_unreadable)
        for (const wchar_t c : key + L'\\' + name + L'\n')
            hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    damage.fingerprint = damage.skipped ? hash : 0;
    return damage;
}

ChangeResult MemorySettingsStore::Change(const std::function<bool(ISettingsStore& values)>& change)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure.empty())
        return {ChangeResult::Failed, m_failure};
    MemorySettingsStore snapshot;
    snapshot.m_keys = m_keys;
    if (!change(snapshot))
        return {ChangeResult::Declined, {}};
    m_keys = std::move(snapshot.m_keys);
    return {};
}

void MemorySettingsStore::MarkUnreadable(const std::wstring& key, const std::wstring& name)
{
    std::lock_guard lock(m_mutex);
    m_unreadable.emplace(CanonicalKey(key), name);
}

void MemorySettingsStore::SetFailure(const std::wstring& error)
{
    std::lock_guard lock(m_mutex);
    m_failure = error;
}

std::wstring MemorySettingsStore::CanonicalKey(const std::wstring& key)
{
    std::wstring canonical;
    canonical.reserve(key.size());
    for (wchar_t c : key)
    {
        if (c == L'/')
            c = L'\\';
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        // Doubled, leading and trailing separators name the same key.
        if (c == L'\\' && (canonical.empty() || canonical.back() == L'\\'))
            continue;
        canonical.push_back(c);
    }
    if (!canonical.empty() && canonical.back() == L'\\')
        canonical.pop_back();
    return canonical;
}

bool MemorySettingsStore::OpenKey(const std::wstring& key, bool create)
{
    std::lock_guard lock(m_mutex);
    const std::wstring canonical = CanonicalKey(key);
    if (create)
        m_keys[canonical];
    return m_keys.count(canonical) != 0;
}

ReadResult MemorySettingsStore::ReadBinary(const std::wstring& key, const std::wstring& name,
                                           std::vector<std::uint8_t>& data, std::size_t limit)
{
    data.clear();
    std::lock_guard lock(m_mutex);
    const auto k = m_keys.find(CanonicalKey(key));
    if (k == m_keys.end())
        return ReadResult::Missing;
    const auto v = k->second.find(name);
    if (v == k->second.end())
        return ReadResult::Missing;
    if (!v->second.binary)
        return ReadResult::WrongType;
    if (v->second.bytes.size() > limit)
        return ReadResult::MoreData;
    data = v->second.bytes;
    return ReadResult::Ok;
}

bool MemorySettingsStore::WriteBinary(const std::wstring& key, const std::wstring& name,
                                      const std::vector<std::uint8_t>& data)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure.empty())
        return false;
    Value& value = m_keys[CanonicalKey(key)][name];
    value.binary = true;
    value.bytes = data;
    value.number = 0;
    return true;
}

ReadResult MemorySettingsStore::ReadUInt32(const std::wstring& key, const std::wstring& name,
                                           std::uint32_t& value)
{
    std::lock_guard lock(m_mutex);
    const auto k = m_keys.find(CanonicalKey(key));
    if (k == m_keys.end())
        return ReadResult::Missing;
    const auto v = k->second.find(name);
    if (v == k->second.end())
        return ReadResult::Missing;
    if (v->second.binary)
        return ReadResult::WrongType;
    value = v->second.number;
    return ReadResult::Ok;
}

bool MemorySettingsStore::WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure.empty())
        return false;
    Value& stored = m_keys[CanonicalKey(key)][name];
    stored.binary = false;
    stored.bytes.clear();
    stored.number = value;
    return true;
}

bool MemorySettingsStore::DeleteValue(const std::wstring& key, const std::wstring& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure.empty())
        return false;
    const auto k = m_keys.find(CanonicalKey(key));
    return k != m_keys.end() && k->second.erase(name) != 0;
}

std::vector<std::wstring> MemorySettingsStore::ValueNames(const std::wstring& key)
{
    std::lock_guard lock(m_mutex);
    std::vector<std::wstring> names;
    const auto k = m_keys.find(CanonicalKey(key));
    if (k != m_keys.end())
        for (const auto& [name, value] : k->second)
            names.push_back(name);
    return names;
}

void MemorySettingsStore::Clear()
{
    std::lock_guard lock(m_mutex);
    m_keys.clear();
    m_unreadable.clear();
    m_failure.clear();
}

} // namespace platform
