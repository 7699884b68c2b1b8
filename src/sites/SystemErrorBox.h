#pragma once
#include <string>

// "Error code: %d\n%s\n%s": the calling thread's last system error, the
// system's text for it and the caller's text, usually a local path; without a
// system text only the code line and the caller's text, and without a caller's
// text no last line.
std::wstring SystemErrorText(const std::wstring& text);

// Shows SystemErrorText in an error box.
void ShowSystemError(const std::wstring& text);
