// The names codec: how remote bytes read for people under each encoding, and
// how typed text becomes bytes again.
#include "ftp/NameCodec.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

using nsFTP::CNameCodec;
using nsFTP::NameEncoding;
using platform::TextCodec;

namespace
{
std::wstring Wire(std::string_view bytes)
{
    return TextCodec::FromLatin1(bytes);
}
} // namespace

// Every name reads as something, nothing becomes U+FFFD, and nothing breaks a line.
TEST(NameCodec, ReadsEachPartAsUtf8WhereValidElseLatin1)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        std::wstring autoShown;   // Auto and UTF-8
        std::wstring latin1Shown; // Latin-1
    };
    const Case cases[] = {
        {"UTF-8", "caf\xC3\xA9.txt", L"caf\u00E9.txt", L"caf\u00C3\u00A9.txt"},
        {"UTF-8 beyond Latin-1", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", L"\u65E5\u672C\u8A9E.txt",
         L"\u00E6\\x97\u00A5\u00E6\\x9C\u00AC\u00E8\u00AA\\x9E.txt"},
        {"Latin-1", "R\xE9pertoire", L"R\u00E9pertoire", L"R\u00E9pertoire"},
        {"invalid UTF-8", "\xFF\xFE", L"\u00FF\u00FE", L"\u00FF\u00FE"},
        {"overlong form of /", "a\xC0\xAF", L"a\u00C0\u00AF", L"a\u00C0\u00AF"},
        {"surrogate spelt in UTF-8", "\xED\xA0\x80", L"\u00ED\u00A0\\x80", L"\u00ED\u00A0\\x80"},
        {"NUL, CR, LF, DEL", std::string("a\0b\rc\nd\x7F", 8), L"a\u2400b\u240Dc\u240Ad\u2421",
         L"a\u2400b\u240Dc\u240Ad\u2421"},
        {"C1 control in UTF-8", "x\xC2\x85y", L"x\\x85y", L"x\u00C2\\x85y"},
        {"line separator and right-to-left override", "\xE2\x80\xA8\xE2\x80\xAEgpj.exe",
         L"\\u2028\\u202Egpj.exe", L"\u00E2\\x80\u00A8\u00E2\\x80\u00AEgpj.exe"},
        {"parts read on their own", "/R\xE9pertoire/caf\xC3\xA9", L"/R\u00E9pertoire/caf\u00E9",
         L"/R\u00E9pertoire/caf\u00C3\u00A9"},
    };
    const CNameCodec automatic(NameEncoding::Auto);
    const CNameCodec utf8(NameEncoding::Utf8);
    const CNameCodec latin1(NameEncoding::Latin1);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(automatic.Show(Wire(c.bytes)), c.autoShown);
        EXPECT_EQ(utf8.Show(Wire(c.bytes)), c.autoShown);
        EXPECT_EQ(latin1.Show(Wire(c.bytes)), c.latin1Shown);
        // Under Latin-1 the exact reading is the bytes themselves.
        EXPECT_EQ(latin1.Decode(Wire(c.bytes)), Wire(c.bytes));
    }
    // The exact reading keeps control characters for output that escapes them itself.
    EXPECT_EQ(automatic.Decode(Wire("a\nb\xC3\xA9")), L"a\nb\u00E9");
    // A reply keeps its line ends, and only those.
    EXPECT_EQ(automatic.ShowReply(Wire("250-caf\xC3\xA9\r\n250 x\ny")), L"250-caf\u00E9\r\n250 x\u240Ay");
    // Local paths read by the Auto rule whatever the site says.
    EXPECT_EQ(CNameCodec::ShowLocal(TextCodec::FromPathBytes("/tmp/R\xE9pertoire/\xC3\xBC")),
              L"/tmp/R\u00E9pertoire/\u00FC");
}

TEST(NameCodec, WritesTypedTextAsUtf8OrLatin1AndKeepsTheBytesOfAnUneditedPreset)
{
    const CNameCodec automatic(NameEncoding::Auto);
    const CNameCodec latin1(NameEncoding::Latin1);
    std::wstring wire;
    ASSERT_TRUE(automatic.Encode(L"\u00FCber \u65E5.txt", wire));
    EXPECT_EQ(wire, Wire("\xC3\xBC" "ber \xE6\x97\xA5.txt"));
    ASSERT_TRUE(latin1.Encode(L"\u00FCber.txt", wire));
    EXPECT_EQ(wire, Wire("\xFC" "ber.txt"));
    wire = L"kept";
    EXPECT_FALSE(latin1.Encode(L"\u65E5.txt", wire));
    EXPECT_EQ(wire, L"kept");

    // A preset the user extended: the Latin-1 folder keeps its byte, what was
    // added is UTF-8; an edited part and everything after it is encoded anew.
    const std::wstring preset = Wire("/R\xE9pertoire/sub");
    ASSERT_TRUE(automatic.EncodeEdited(L"/R\u00E9pertoire/sub/\u00E9t\u00E9", preset, wire));
    EXPECT_EQ(wire, Wire("/R\xE9pertoire/sub/\xC3\xA9t\xC3\xA9"));
    ASSERT_TRUE(automatic.EncodeEdited(L"/R\u00E9pertoires/sub", preset, wire));
    EXPECT_EQ(wire, Wire("/R\xC3\xA9pertoires/sub"));
    // A name with a control character is reached through its shown form.
    const std::wstring controlled = Wire("/a\x01" "b");
    ASSERT_TRUE(automatic.EncodeEdited(automatic.Show(controlled), controlled, wire));
    EXPECT_EQ(wire, controlled);
}

TEST(NameCodec, EncodingNamesReadAsStoredAndTyped)
{
    NameEncoding encoding = NameEncoding::Auto;
    for (const auto& [text, expected] : {std::pair<const char*, NameEncoding>{"latin-1", NameEncoding::Latin1},
                                         {"UTF-8", NameEncoding::Utf8},
                                         {"utf8", NameEncoding::Utf8},
                                         {"Latin1", NameEncoding::Latin1},
                                         {"auto", NameEncoding::Auto}})
    {
        ASSERT_TRUE(CNameCodec::Parse(text, encoding)) << text;
        EXPECT_EQ(encoding, expected);
        NameEncoding again = NameEncoding::Auto;
        ASSERT_TRUE(CNameCodec::Parse(CNameCodec::Name(expected), again));
        EXPECT_EQ(again, expected);
    }
    EXPECT_FALSE(CNameCodec::Parse("koi8-r", encoding));
}
