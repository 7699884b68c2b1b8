#include "ConsoleMessageBoxes.h"

#include "TextCodec.h"

#include <cstdio>

namespace platform
{

ConsoleMessageBoxes::ConsoleMessageBoxes(BoxAnswer questionAnswer) : m_questionAnswer(questionAnswer) {}

BoxAnswer ConsoleMessageBoxes::Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons)
{
    const char* prefix = icon == BoxIcon::Error ? "error" : icon == BoxIcon::Question ? "question" : "note";
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s: %s\n", prefix, TextCodec::ToUtf8(text).c_str());
    std::fflush(stderr);
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : m_questionAnswer;
}

} // namespace platform
