#include "SizeText.h"

#include <cstdio>

std::wstring SizeText(std::int64_t bytes)
{
    if (bytes == 0 || bytes == -1 || bytes == 0xFFFFFFFFLL)
        return {};
    wchar_t text[64];
    if (bytes < 1024)
        std::swprintf(text, 64, L"%lld B", static_cast<long long>(bytes));
    else if (bytes < 1048576)
        std::swprintf(text, 64, L"%.2f Kb", static_cast<double>(bytes) * 0.0009765625);
    else
        std::swprintf(text, 64, L"%.2f Mb", static_cast<double>(bytes) * 0.0009765625 * 0.0009765625);
    return text;
}

std::wstring SizeWithBytes(std::int64_t bytes)
{
    if (bytes < 0)
        return {};
    const std::wstring text = SizeText(bytes);
    return text + (text.empty() ? L"(" : L" (") + std::to_wstring(bytes) + L" bytes)";
}
