#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// One saved site or group, held as the exact 1792-byte image that is stored:
// little-endian integers and UTF-16 text fields of 96 units, each holding at
// most 95 units and a terminating zero. A group is a record whose groupId is
// not -1; only its label and groupId carry meaning.
class SiteRecord
{
public:
    static constexpr std::size_t Size = 1792;
    static constexpr std::size_t TextUnits = 96;
    static constexpr std::size_t MaxTextLength = TextUnits - 1;

    // Byte offsets of the stored image.
    enum Offset : std::size_t
    {
        LabelOffset = 0,
        HostOffset = 192,
        PortOffset = 384,
        PassiveOffset = 388,
        LoginOffset = 392,
        PasswordOffset = 584,
        AnonymousOffset = 776,
        TimeoutOffset = 988,
        DirectoryOffset = 992,
        KeepAliveOffset = 1184,
        GroupIdOffset = 1192,
        ParentGroupIdOffset = 1196,
        ProxyHostOffset = 1204,
        ProxyUserOffset = 1396,
        ProxyPasswordOffset = 1588,
        ProxyPortOffset = 1780,
        ProxyModeOffset = 1784,
    };

    // A new record carries the defaults (see Initialise).
    SiteRecord() { Initialise(); }

    // All bytes zero, then port 21, passive 1, timeout 60, keepAlive 1,
    // groupId -1, parentGroupId -1, proxyPort 21, proxyMode 0.
    void Initialise();
    // All bytes zero, without the defaults.
    void Clear() { m_bytes.fill(0); }

    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    const std::array<std::uint8_t, Size>& Bytes() const { return m_bytes; }

    // Texts longer than 95 UTF-16 units are cut to 95 (never inside a
    // surrogate pair); characters outside the BMP take two units.
    std::wstring Label() const { return Text(LabelOffset); }
    void SetLabel(const std::wstring& text) { SetText(LabelOffset, text); }
    std::wstring Host() const { return Text(HostOffset); }
    void SetHost(const std::wstring& text) { SetText(HostOffset, text); }
    std::wstring Login() const { return Text(LoginOffset); }
    void SetLogin(const std::wstring& text) { SetText(LoginOffset, text); }
    std::wstring Password() const { return Text(PasswordOffset); }
    void SetPassword(const std::wstring& text) { SetText(PasswordOffset, text); }
    std::wstring Directory() const { return Text(DirectoryOffset); }
    void SetDirectory(const std::wstring& text) { SetText(DirectoryOffset, text); }
    std::wstring ProxyHost() const { return Text(ProxyHostOffset); }
    void SetProxyHost(const std::wstring& text) { SetText(ProxyHostOffset, text); }
    std::wstring ProxyUser() const { return Text(ProxyUserOffset); }
    void SetProxyUser(const std::wstring& text) { SetText(ProxyUserOffset, text); }
    std::wstring ProxyPassword() const { return Text(ProxyPasswordOffset); }
    void SetProxyPassword(const std::wstring& text) { SetText(ProxyPasswordOffset, text); }

    int Port() const { return Int32(PortOffset); }
    void SetPort(int value) { SetInt32(PortOffset, value); }
    int Passive() const { return Int32(PassiveOffset); }
    void SetPassive(int value) { SetInt32(PassiveOffset, value); }
    int Anonymous() const { return Int32(AnonymousOffset); }
    void SetAnonymous(int value) { SetInt32(AnonymousOffset, value); }
    int Timeout() const { return Int32(TimeoutOffset); }
    void SetTimeout(int value) { SetInt32(TimeoutOffset, value); }
    int KeepAlive() const { return Int32(KeepAliveOffset); }
    void SetKeepAlive(int value) { SetInt32(KeepAliveOffset, value); }
    int GroupId() const { return Int32(GroupIdOffset); }
    void SetGroupId(int value) { SetInt32(GroupIdOffset, value); }
    int ParentGroupId() const { return Int32(ParentGroupIdOffset); }
    void SetParentGroupId(int value) { SetInt32(ParentGroupIdOffset, value); }
    // 16 bits stored; other values keep their low 16 bits.
    int ProxyPort() const;
    void SetProxyPort(int value);
    int ProxyMode() const { return Int32(ProxyModeOffset); }
    void SetProxyMode(int value) { SetInt32(ProxyModeOffset, value); }

    bool IsGroup() const { return GroupId() != -1; }

    // One edit applied over what is stored now: every field in which after
    // differs from before is copied into current, and the fields someone else
    // changed meanwhile stay as current has them.
    static void MergeEdit(const SiteRecord& before, const SiteRecord& after, SiteRecord& current);

    // The stored form: every byte combined with 0xA7. The same call undoes it.
    static constexpr std::uint8_t Mask = 0xA7;
    static void Scramble(std::uint8_t* bytes, std::size_t count);

    friend bool operator==(const SiteRecord& a, const SiteRecord& b) { return a.m_bytes == b.m_bytes; }

private:
    std::wstring Text(std::size_t offset) const;
    void SetText(std::size_t offset, const std::wstring& text);
    int Int32(std::size_t offset) const;
    void SetInt32(std::size_t offset, int value);

    std::array<std::uint8_t, Size> m_bytes{};
};
