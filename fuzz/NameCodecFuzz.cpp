// Feeds arbitrary bytes to the names codec as a remote name (one character
// per byte, as the engine holds it) and as a local path. Under every encoding
// a name must read as something that shows on one line, must not turn into
// U+FFFD unless its bytes spell U+FFFD, and must come back to its own bytes
// when the shown text is sent back as the preset it was; local paths keep
// every byte.
#include "ftp/NameCodec.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using nsFTP::CNameCodec;
using nsFTP::NameEncoding;
using platform::TextCodec;

namespace
{
void CheckShown(const std::wstring& shown, std::string_view bytes)
{
    for (const wchar_t c : shown)
        if (CNameCodec::NeedsMakingVisible(c) || (c == L'\uFFFD' && bytes.find("\xEF\xBF\xBD") == std::string_view::npos))
            __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wire = TextCodec::FromLatin1(bytes);
    for (const NameEncoding encoding : {NameEncoding::Auto, NameEncoding::Utf8, NameEncoding::Latin1})
    {
        const CNameCodec names(encoding);
        const std::wstring shown = names.Show(wire);
        CheckShown(shown, bytes);
        std::wstring back;
        if (!names.EncodeEdited(shown, wire, back) || back != wire)
            __builtin_trap();
        // Under Latin-1 the exact reading is the bytes themselves.
        if (encoding == NameEncoding::Latin1 && (!names.Encode(names.Decode(wire), back) || back != wire))
            __builtin_trap();
        // A reply keeps its own line ends and nothing else.
        std::wstring reply = names.ShowReply(wire);
        for (size_t at = reply.find(L"\r\n"); at != std::wstring::npos; at = reply.find(L"\r\n", at))
            reply.erase(at, 2);
        CheckShown(reply, bytes);
    }
    if (TextCodec::ToPathBytes(TextCodec::FromPathBytes(bytes)) != bytes)
        __builtin_trap();
    CheckShown(CNameCodec::ShowLocalBytes(bytes), bytes);
    return 0;
}
