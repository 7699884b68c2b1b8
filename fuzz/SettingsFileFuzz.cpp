// The settings file's reader on arbitrary bytes. Whatever it reads must come
// back the same from what it writes, with nothing damaged the second time;
// every value it decodes must encode to text that decodes to the same value.
#include "platform/IniDocument.h"
#include "platform/IniValues.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::IniDocument document = platform::IniDocument::Parse(text);

    const platform::IniDocument again = platform::IniDocument::Parse(document.Serialize());
    Check(again.Entries() == document.Entries());
    Check(again.DamagedLines().empty());

    for (const auto& [path, raw] : document.Entries())
    {
        std::vector<std::uint8_t> bytes;
        if (platform::IniDocument::DecodeBytes(raw, bytes))
        {
            std::vector<std::uint8_t> back;
            Check(platform::IniDocument::DecodeBytes(platform::IniDocument::EncodeBytes(bytes), back));
            Check(back == bytes);
        }
        std::uint32_t number = 0;
        if (platform::IniDocument::DecodeNumber(raw, number))
        {
            std::uint32_t back = 0;
            Check(platform::IniDocument::DecodeNumber(platform::IniDocument::EncodeNumber(number), back));
            Check(back == number);
        }
    }

    // As the programs read it: every name listed leads to its value.
    platform::IniValues values(document, L"Software\\FTPClient");
    for (const wchar_t* key : {L"Software\\FTPClient\\Sites", L"Software\\FTPClient\\SiteOptions"})
        for (const std::wstring& name : values.ValueNames(key))
        {
            std::vector<std::uint8_t> bytes;
            Check(values.ReadBinary(key, name, bytes, 1 << 20) != platform::ReadResult::Missing);
            values.MarkUnreadable(key, name);
        }
    Check(values.Unreadable() >= static_cast<int>(document.DamagedLines().size()));
    Check(values.DamagedTexts().size() == static_cast<std::size_t>(values.Unreadable()));
    return 0;
}
