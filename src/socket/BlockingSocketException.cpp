#include "BlockingSocketException.h"

namespace nsSocket
{

std::wstring CBlockingSocketException::GetText() const
{
    std::wstring text;
    FormatText(text);
    return text;
}

bool CBlockingSocketException::FormatText(std::wstring& text) const
{
    text = m_message + L"\n\nError code: " + std::to_wstring(m_errorCode);
    return true;
}

} // namespace nsSocket
