#include "PosixSystemErrors.h"

#include "TextCodec.h"

#include <cerrno>
#include <cstring>

namespace platform
{

int PosixSystemErrors::LastError() const
{
    return errno;
}

void PosixSystemErrors::SetLastError(int code)
{
    errno = code;
}

std::wstring PosixSystemErrors::Text(int code) const
{
    if (code == 0)
        return {};
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not be in buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0)
        return {};
    return TextCodec::FromUtf8(text);
}

} // namespace platform
