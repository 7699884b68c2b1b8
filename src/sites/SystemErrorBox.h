#pragma once
#include <string>

// Shows "Error code: %d\n%s\n%s" (the calling thread's last system error, the
// system's text for it and the caller's text, usually a local path) in an error
// box; without a system text only the code line and the caller's text.
void ShowSystemError(const std::wstring& text);
