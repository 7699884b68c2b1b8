#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace nsFTP
{

// Cuts received listing text into lines. A line ends at LF; a CR right before
// the LF is dropped, so both CR LF and bare LF servers work. Text after the
// last LF is a line too once the listing is complete (Finish). Text may be
// appended in pieces as it arrives; consumed lines are released as it goes.
class CListingLines
{
public:
    // A single line longer than this is no listing entry; it is handed out
    // as an empty line (which no format accepts) and its text is not kept.
    static constexpr size_t DefaultMaxLineLength = 1 << 20;

    explicit CListingLines(size_t maxLineLength = DefaultMaxLineLength);

    // Adds received text. Bytes are added one character per byte (Latin-1),
    // so a name goes back to the server byte for byte.
    void Append(std::wstring_view text);
    void AppendBytes(std::string_view bytes);

    // No more text will come: the unterminated rest becomes the last line.
    void Finish();

    // The next complete line, without its terminator; false when none is
    // ready (before Finish) or none is left (after it).
    bool NextLine(std::wstring& line);

private:
    void Compact();

    size_t m_maxLineLength;
    std::wstring m_text;
    size_t m_readPos = 0;
    size_t m_scanPos = 0; // no LF between m_readPos and here
    bool m_finished = false;
    bool m_skipping = false; // dropping the rest of an overlong line
};

} // namespace nsFTP
