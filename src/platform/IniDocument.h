#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform
{

// The text of the settings file: "key=value" lines in the INI form of Qt's
// settings classes. Reading takes that form whatever wrote it ([section]
// headers, comments, quoting, escapes). Writing puts every entry under a
// header of its own (the first header twice), which Qt reads like one section:
// a header that cannot be read leaves the lines after it in the section
// before, so no single damaged header moves a line elsewhere.
//
// A path is the key's components joined by '\'; all but the last are folded
// to ASCII lower case, as key paths ignore case. Values are kept as the text
// found and decoded on request, so whatever this program does not understand
// is written back as it was.
class IniDocument
{
public:
    // Any bytes. Lines that are neither a header, a comment nor key=value,
    // headers that cannot be read, and the earlier lines of a key given twice
    // are set aside as damaged; every other line is read. Lines end at CR or
    // LF, so a broken quote never reaches past its own line.
    static IniDocument Parse(std::string_view text);
    std::string Serialize() const;

    // Path -> the value's text as it stands in the file.
    const std::map<std::string, std::string>& Entries() const { return m_entries; }
    const std::string* Find(const std::string& path) const;
    void Set(const std::string& path, std::string raw);
    bool Erase(const std::string& path);
    // The damaged lines, in file order.
    const std::vector<std::string>& DamagedLines() const { return m_damaged; }

    // The canonical form of a key path written with '\' or '/'; empty when
    // it has no component, or one that a line could not carry back as it is
    // (blanks at its ends, a bracket, '=', a leading ';' or '#').
    static std::string CanonicalPath(std::string_view key);

    // Value forms: "@ByteArray(...)" for bytes, decimal text for numbers (the
    // signed form of the same 32 bits is read too). Decoding answers false for
    // any other form: a list, an unknown escape, broken UTF-8, a character
    // above 255 in bytes, an open quote.
    static std::string EncodeBytes(const std::vector<std::uint8_t>& bytes);
    static bool DecodeBytes(std::string_view raw, std::vector<std::uint8_t>& bytes);
    static std::string EncodeNumber(std::uint32_t value);
    static bool DecodeNumber(std::string_view raw, std::uint32_t& value);

private:
    std::map<std::string, std::string> m_entries;
    std::vector<std::string> m_damaged;
};

} // namespace platform
