#include "IniValues.h"

#include "MemorySettingsStore.h"
#include "TextCodec.h"

#include <algorithm>

namespace platform
{
namespace
{

bool IsPlainByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not the canonical form
}

void Hash(std::uint64_t& hash, std::string_view text)
{
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    hash = (hash ^ '\n') * 1099511628211ull;
}

} // namespace

IniValues::IniValues(IniDocument& document, const std::wstring& home)
    : m_document(document), m_home(home.empty() ? std::string() : GroupOf(home) + '\\')
{
}

std::string IniValues::EncodeName(const std::wstring& name)
{
    if (name.empty())
        return "_";
    static const char hex[] = "0123456789ABCDEF";
    std::string component;
    for (const char ch : TextCodec::ToUtf8(name))
    {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlainByte(c))
        {
            component += static_cast<char>(c);
            continue;
        }
        component += '_';
        component += hex[c >> 4];
        component += hex[c & 15];
    }
    return component;
}

bool IniValues::DecodeName(std::string_view component, std::wstring& name)
{
    if (component == "_")
    {
        name.clear();
        return true;
    }
    std::string bytes;
    for (std::size_t i = 0; i < component.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(component[i]);
        if (IsPlainByte(c))
        {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        if (c != '_' || i + 2 >= component.size())
            return false;
        const int hi = HexValue(component[i + 1]);
        const int lo = HexValue(component[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    if (bytes.empty())
        return false;
    std::wstring decoded = TextCodec::FromUtf8(bytes);
    if (EncodeName(decoded) != component)
        return false;
    name = std::move(decoded);
    return true;
}

std::string IniValues::GroupOf(const std::wstring& key)
{
    const std::wstring canonical = MemorySettingsStore::CanonicalKey(key);
    std::string group;
    std::size_t start = 0;
    while (start < canonical.size())
    {
        std::size_t end = canonical.find(L'\\', start);
        if (end == std::wstring::npos)
            end = canonical.size();
        if (!group.empty())
            group += '\\';
        group += EncodeName(canonical.substr(start, end - start));
        start = end + 1;
    }
    // Group components fold to lower case, escapes included, as the
    // document folds those it reads.
    for (char& c : group)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return group;
}

std::string IniValues::PathOf(const std::wstring& key, const std::wstring& name)
{
    const std::string group = GroupOf(key);
    return group.empty() ? EncodeName(name) : group + '\\' + EncodeName(name);
}

StoreDamage IniValues::Read(const std::function<void(ISettingsStore& values)>& look)
{
    look(*this);
    StoreDamage damage;
    damage.skipped = Unreadable();
    damage.fingerprint = damage.skipped ? Fingerprint() : 0;
    return damage;
}

ChangeResult IniValues::Change(const std::function<bool(ISettingsStore& values)>& change)
{
    IniDocument before = m_document;
    if (change(*this))
        return {};
    m_document = std::move(before);
    return {ChangeResult::Declined, {}};
}

void IniValues::MarkUnreadable(const std::wstring& key, const std::wstring& name)
{
    const std::string path = PathOf(key, name);
    const std::string* raw = m_document.Find(path);
    m_marked.emplace(path, raw ? *raw : std::string());
}

bool IniValues::OpenKey(const std::wstring& key, bool create)
{
    if (create)
        return true;
    const std::string prefix = GroupOf(key) + '\\';
    const auto next = m_document.Entries().lower_bound(prefix);
    return next != m_document.Entries().end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

ReadResult IniValues::ReadBinary(const std::wstring& key, const std::wstring& name,
                                 std::vector<std::uint8_t>& data, std::size_t limit)
{
    data.clear();
    const std::string* raw = m_document.Find(PathOf(key, name));
    if (!raw)
        return ReadResult::Missing;
    std::vector<std::uint8_t> bytes;
    if (!IniDocument::DecodeBytes(*raw, bytes))
        return ReadResult::WrongType;
    if (bytes.size() > limit)
        return ReadResult::MoreData;
    data = std::move(bytes);
    return ReadResult::Ok;
}

bool IniValues::WriteBinary(const std::wstring& key, const std::wstring& name,
                            const std::vector<std::uint8_t>& data)
{
    m_document.Set(PathOf(key, name), IniDocument::EncodeBytes(data));
    return true;
}

ReadResult IniValues::ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value)
{
    const std::string* raw = m_document.Find(PathOf(key, name));
    if (!raw)
        return ReadResult::Missing;
    return IniDocument::DecodeNumber(*raw, value) ? ReadResult::Ok : ReadResult::WrongType;
}

bool IniValues::WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value)
{
    m_document.Set(PathOf(key, name), IniDocument::EncodeNumber(value));
    return true;
}

bool IniValues::DeleteValue(const std::wstring& key, const std::wstring& name)
{
    return m_document.Erase(PathOf(key, name));
}

std::vector<std::wstring> IniValues::ValueNames(const std::wstring& key)
{
    const std::string prefix = GroupOf(key) + '\\';
    std::vector<std::wstring> names;
    for (auto it = m_document.Entries().lower_bound(prefix);
         it != m_document.Entries().end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
    {
        const std::string_view rest = std::string_view(it->first).substr(prefix.size());
        std::wstring name;
        if (rest.find('\\') == std::string_view::npos && DecodeName(rest, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<const std::pair<const std::string, std::string>*> IniValues::Strays() const
{
    std::vector<const std::pair<const std::string, std::string>*> strays;
    for (const auto& entry : m_document.Entries())
    {
        const std::size_t slash = entry.first.rfind('\\');
        std::wstring name;
        if (!DecodeName(std::string_view(entry.first).substr(slash == std::string::npos ? 0 : slash + 1),
                        name) ||
            entry.first.compare(0, m_home.size(), m_home) != 0)
            strays.push_back(&entry);
    }
    return strays;
}

int IniValues::Unreadable() const
{
    return static_cast<int>(m_document.DamagedLines().size() + Strays().size() + m_marked.size());
}

std::vector<std::string> IniValues::DamagedTexts() const
{
    std::vector<std::string> texts = m_document.DamagedLines();
    for (const auto* entry : Strays())
        texts.push_back(entry->second);
    for (const auto& [path, raw] : m_marked)
        texts.push_back(raw);
    return texts;
}

std::uint64_t IniValues::Fingerprint() const
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::string& line : m_document.DamagedLines())
        Hash(hash, line);
    for (const auto* entry : Strays())
        Hash(hash, entry->first + '=' + entry->second);
    for (const auto& [path, raw] : m_marked)
        Hash(hash, path + '=' + raw);
    return hash;
}

} // namespace platform
