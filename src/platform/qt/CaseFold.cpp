#include "CaseFold.h"

#include <QString>
#include <algorithm>

namespace platform
{
namespace
{
bool IsAscii(std::wstring_view text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0 && c < 0x80; });
}
} // namespace

std::wstring CaseFold::Fold(std::wstring_view text)
{
    if (IsAscii(text))
    {
        std::wstring folded(text);
        for (auto& c : folded)
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        return folded;
    }
    return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()))
        .toCaseFolded()
        .toStdWString();
}

int CaseFold::Compare(std::wstring_view a, std::wstring_view b)
{
    const int order = Fold(a).compare(Fold(b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool CaseFold::Equal(std::wstring_view a, std::wstring_view b)
{
    return Fold(a) == Fold(b);
}

bool CaseFold::StartsWith(std::wstring_view text, std::wstring_view prefix)
{
    const std::wstring folded = Fold(text);
    const std::wstring start = Fold(prefix);
    return folded.compare(0, start.size(), start) == 0 && folded.size() >= start.size();
}

} // namespace platform
