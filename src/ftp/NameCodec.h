#pragma once
#include <string>
#include <string_view>

namespace nsFTP
{

// How a site's names are read and written: "Encoding:" in Site Properties.
enum class NameEncoding
{
    Auto,  // names: UTF-8 where valid, else Latin-1; typed text: UTF-8
    Utf8,  // the same, and OPTS UTF8 ON even where FEAT does not offer it
    Latin1 // every name read and typed text written as Latin-1; no OPTS UTF8
};

// The one place where remote names turn into text for people and typed text
// into remote names. Everything that shows or takes a name calls it.
//
// A remote name's identity is its bytes. The engine holds them as wide text
// with one character per byte (0-255), the "wire form" that listings, PWD and
// replies give and every command sends back byte for byte. Keep a name in
// that form for anything sent to the server (CWD, RETR, DELE, RNFR, SITE
// CHMOD, paths joined from names); never re-encode it on its way back.
//
// Reading (Decode, Show): a path or name is taken apart at "/" and each part
// is read on its own, so one folder in Latin-1 does not spoil its neighbours.
// Under Auto and UTF-8 a part that is valid UTF-8 (no overlong forms, no
// surrogates, nothing past U+10FFFF) reads as UTF-8, any other part as
// Latin-1, one character per byte; so every name reads as something and
// nothing becomes U+FFFD. Under Latin-1 every part reads as Latin-1.
//
// Writing (Encode): typed text becomes UTF-8 bytes, or under Latin-1 one byte
// per character, which fails for characters past U+00FF.
//
// Usage, for a record or row of the current site:
//     const nsFTP::CNameCodec& names = connection.Names();
//     label->setText(QString::fromStdWString(names.Show(record.Name)));
//     std::wstring wire;
//     if (!names.Encode(typed, wire)) ShowError(names.CannotEncodeText(typed));
//     else engine.MakeDirectory(RemotePath::Join(folder, wire), true);
// Local names (bytes on disk, held with TextCodec::FromPathBytes) are shown
// with ShowLocal, by the Auto rule whatever the site says.
//
// Cheap to copy; no state beyond the encoding, so any thread may use one.
class CNameCodec
{
public:
    explicit CNameCodec(NameEncoding encoding = NameEncoding::Auto) : m_encoding(encoding) {}
    NameEncoding Encoding() const { return m_encoding; }

    // Wire form to text, exactly: control characters stay as they are. For
    // comparisons, sorting, and output that escapes them itself (JSON).
    std::wstring Decode(std::wstring_view wire) const;
    // Wire form to text for widgets, boxes, status texts and prompts' presets:
    // Decode, then control characters made visible (MakeVisible), so a name
    // never breaks a line and always shows.
    std::wstring Show(std::wstring_view wire) const;
    // A server reply for the status bar or a box: Show of each line, the
    // reply's own CR LF line ends kept.
    std::wstring ShowReply(std::wstring_view wire) const;

    // Typed text to wire form. False (wire untouched) when the site is
    // Latin-1 and the text holds a character past U+00FF.
    bool Encode(std::wstring_view typed, std::wstring& wire) const;
    // A typed path that began as a shown preset (the Go prompt, Move To): the
    // leading parts the user left as Show(preset) showed them keep the
    // preset's own bytes, so a folder whose name is not UTF-8 is still
    // reached; the rest is encoded. False as Encode.
    bool EncodeEdited(std::wstring_view typed, std::wstring_view presetWire, std::wstring& wire) const;
    // "\"%s\" cannot be written in Latin-1, the encoding chosen for this site."
    static std::wstring CannotEncodeText(std::wstring_view typed);

    // A local path held as TextCodec::FromPathBytes gives it, for people: its
    // bytes read part by part by the Auto rule, control characters visible.
    static std::wstring ShowLocal(std::wstring_view path);
    // The same for a path as bytes.
    static std::wstring ShowLocalBytes(std::string_view bytes);

    // C0 controls and DEL become their Control Pictures (U+2400-U+241F,
    // U+2421); C1 controls become "\x85"; the line and paragraph separators
    // and the bidirectional overrides and isolates become "\u2028" and so on.
    static std::wstring MakeVisible(std::wstring text);
    static bool NeedsMakingVisible(wchar_t c);

    // "auto", "utf-8", "latin-1": the stored and command-line names.
    static const char* Name(NameEncoding encoding);
    // Ignores case; also takes "utf8" and "latin1". False for anything else.
    static bool Parse(std::string_view text, NameEncoding& encoding);

    friend bool operator==(const CNameCodec& a, const CNameCodec& b) { return a.m_encoding == b.m_encoding; }

private:
    // Appends the reading of one part (no "/" in it) of a wire text.
    void DecodePart(std::wstring_view part, std::wstring& text) const;

    NameEncoding m_encoding;
};

} // namespace nsFTP
