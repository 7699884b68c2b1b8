#include "SiteRecord.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <iterator>

void SiteRecord::Initialise()
{
    m_bytes.fill(0);
    SetPort(21);
    SetPassive(1);
    SetTimeout(60);
    SetKeepAlive(1);
    SetGroupId(-1);
    SetParentGroupId(-1);
    SetProxyPort(21);
    SetProxyMode(0);
}

void SiteRecord::MergeEdit(const SiteRecord& before, const SiteRecord& after, SiteRecord& current)
{
    // Where each field of the stored image begins, reserved runs included.
    static constexpr std::size_t starts[] = {LabelOffset,
                                             HostOffset,
                                             PortOffset,
                                             PassiveOffset,
                                             LoginOffset,
                                             PasswordOffset,
                                             AnonymousOffset,
                                             780,
                                             TimeoutOffset,
                                             DirectoryOffset,
                                             KeepAliveOffset,
                                             1188,
                                             GroupIdOffset,
                                             ParentGroupIdOffset,
                                             1200,
                                             ProxyHostOffset,
                                             ProxyUserOffset,
                                             ProxyPasswordOffset,
                                             ProxyPortOffset,
                                             1782,
                                             ProxyModeOffset,
                                             1788,
                                             Size};
    for (std::size_t f = 0; f + 1 < std::size(starts); ++f)
    {
        const auto from = static_cast<std::ptrdiff_t>(starts[f]);
        const auto to = static_cast<std::ptrdiff_t>(starts[f + 1]);
        if (!std::equal(before.m_bytes.begin() + from, before.m_bytes.begin() + to,
                        after.m_bytes.begin() + from))
            std::copy(after.m_bytes.begin() + from, after.m_bytes.begin() + to,
                      current.m_bytes.begin() + from);
    }
}

void SiteRecord::Scramble(std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] ^= Mask;
}

int SiteRecord::Int32(std::size_t offset) const
{
    const std::uint32_t v = static_cast<std::uint32_t>(m_bytes[offset]) |
                            static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8 |
                            static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16 |
                            static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24;
    return static_cast<int>(v);
}

void SiteRecord::SetInt32(std::size_t offset, int value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        m_bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

int SiteRecord::ProxyPort() const
{
    return m_bytes[ProxyPortOffset] | m_bytes[ProxyPortOffset + 1] << 8;
}

void SiteRecord::SetProxyPort(int value)
{
    const auto v = static_cast<std::uint16_t>(value);
    m_bytes[ProxyPortOffset] = static_cast<std::uint8_t>(v);
    m_bytes[ProxyPortOffset + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::wstring SiteRecord::Text(std::size_t offset) const
{
    // A field without a terminating zero (not written by us) ends after 95 units.
    std::u16string units;
    for (std::size_t i = 0; i < MaxTextLength; ++i)
    {
        const auto u = static_cast<char16_t>(m_bytes[offset + 2 * i] | m_bytes[offset + 2 * i + 1] << 8);
        if (u == 0)
            break;
        units.push_back(u);
    }
    return platform::TextCodec::FromUtf16(units);
}

void SiteRecord::SetText(std::size_t offset, const std::wstring& text)
{
    // The field ends at the first zero anyway.
    const std::wstring_view view(text.c_str());
    const std::u16string units = platform::TextCodec::ToUtf16(view, MaxTextLength);
    // The rest of the field is cleared, so no trace of a longer old text stays.
    for (std::size_t i = 0; i < TextUnits; ++i)
    {
        const char16_t u = i < units.size() ? units[i] : u'\0';
        m_bytes[offset + 2 * i] = static_cast<std::uint8_t>(u);
        m_bytes[offset + 2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
}
