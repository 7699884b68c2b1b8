#include "ConsoleMessageBoxes.h"

#include "TextCodec.h"

#include <cstdio>

namespace platform
{

ConsoleMessageBoxes::ConsoleMessageBoxes(BoxAnswer questionAnswer) : m_questionAnswer(questionAnswer) {}

std::string ConsoleMessageBoxes::TerminalText(const std::wstring& text)
{
    static const char hex[] = "0123456789abcdef";
    std::wstring safe;
    safe.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (!control || c == L'\n' || c == L'\t')
        {
            safe.push_back(c);
            continue;
        }
        safe += L"\\x";
        safe.push_back(static_cast<wchar_t>(hex[(c >> 4) & 0xF]));
        safe.push_back(static_cast<wchar_t>(hex[c & 0xF]));
    }
    return TextCodec::ToUtf8(safe);
}

BoxAnswer ConsoleMessageBoxes::Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons)
{
    const char* prefix = icon == BoxIcon::Error ? "error" : icon == BoxIcon::Question ? "question" : "note";
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s: %s\n", prefix, TerminalText(text).c_str());
    std::fflush(stderr);
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : m_questionAnswer;
}

} // namespace platform
