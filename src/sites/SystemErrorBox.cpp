#include "SystemErrorBox.h"

#include "platform/Services.h"

std::wstring SystemErrorText(const std::wstring& text)
{
    auto& errors = platform::Services::SystemErrors();
    const int code = errors.LastError();
    const std::wstring systemText = errors.Text(code);
    std::wstring message = L"Error code: " + std::to_wstring(code) + L"\n";
    if (!systemText.empty())
        message += systemText + L"\n";
    if (text.empty())
        message.pop_back();
    return message + text;
}

void ShowSystemError(const std::wstring& text)
{
    platform::Services::ShowError(SystemErrorText(text));
}
