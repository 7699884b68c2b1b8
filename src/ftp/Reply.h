#pragma once
#include <string>

namespace nsFTP
{

// One server reply: its lines joined by CR LF and its three-character code.
struct Reply
{
    std::wstring text;
    // The first three characters of the text and a terminating zero; all zero
    // when the text does not start with a valid code.
    wchar_t ReplyCode[4] = {0, 0, 0, 0};

    // Valid: at least three characters, a first digit 1-5 and a second 0-5.
    static bool IsValidCode(const std::wstring& text)
    {
        return text.size() >= 3 && text[0] >= L'1' && text[0] <= L'5' && text[1] >= L'0' && text[1] <= L'5';
    }

    // Stores the text and takes the code from it; false when it has none.
    bool Set(std::wstring replyText)
    {
        text = std::move(replyText);
        if (!IsValidCode(text))
        {
            Clear(false);
            return false;
        }
        for (int i = 0; i < 3; ++i)
            ReplyCode[i] = text[i];
        ReplyCode[3] = 0;
        return true;
    }

    void Clear(bool alsoText = true)
    {
        if (alsoText)
            text.clear();
        for (auto& c : ReplyCode)
            c = 0;
    }

    wchar_t First() const { return ReplyCode[0]; }
    bool IsPositive() const { return First() == L'2'; }
    bool IsIntermediate() const { return First() == L'3'; }
    bool IsPreliminary() const { return First() == L'1'; }
    bool IsRefusal() const { return First() == L'4' || First() == L'5'; }
    std::wstring Code() const { return std::wstring(ReplyCode, ReplyCode[0] ? 3 : 0); }
};

} // namespace nsFTP
