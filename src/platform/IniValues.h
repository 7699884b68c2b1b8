#pragma once
#include "ISettingsStore.h"
#include "IniDocument.h"

#include <map>
#include <string_view>

namespace platform
{

// The values of a settings document as the store interface sees them. The key
// "Software\FTPClient\Sites" and the value name "Home" are the path
// software\ftpclient\sites\Home; names are escaped into that last component
// (EncodeName), binary values are "@ByteArray(...)" and numbers decimal text.
// An entry whose last component is not an escaped name cannot be reached here:
// it counts as unreadable and is kept as it is. So does, given a home key, an
// entry outside it, which a program that keeps everything there never wrote.
class IniValues : public ISettingsStore
{
public:
    explicit IniValues(IniDocument& document, const std::wstring& home = {});

    // On these values themselves: a declined change is undone.
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

    // Damaged lines of the document, stray entries (without a readable name,
    // or outside the home key), and the values marked unreadable.
    int Unreadable() const;
    // The text of each unreadable part: a damaged line, or the value of a
    // stray or marked entry. A copy of the file that holds them all holds the
    // damage.
    std::vector<std::string> DamagedTexts() const;
    // The same for every reading of the same damage, whatever else changed.
    std::uint64_t Fingerprint() const;

    // The path component a value name is stored as, and back. Letters, digits,
    // '.' and '-' stand for themselves; every other UTF-8 byte is "_XX"; the
    // empty name is "_". Decoding answers false for text not in exactly this
    // form, which would not lead back to its own value.
    static std::string EncodeName(const std::wstring& name);
    static bool DecodeName(std::string_view component, std::wstring& name);
    static std::string PathOf(const std::wstring& key, const std::wstring& name);

private:
    static std::string GroupOf(const std::wstring& key);
    std::vector<const std::pair<const std::string, std::string>*> Strays() const;

    IniDocument& m_document;
    // The home key's path and a separator; empty without one.
    std::string m_home;
    // Path -> its text when it was marked.
    std::map<std::string, std::string> m_marked;
};

} // namespace platform
