#pragma once
#include <cerrno>
#include <string>

namespace nsSocket
{

// The one exception of the socket layer: a fixed English message and the
// system error code (errno) at the moment of failure.
class CBlockingSocketException
{
public:
    explicit CBlockingSocketException(std::wstring message, int errorCode = errno)
        : m_errorCode(errorCode), m_message(std::move(message))
    {
    }
    virtual ~CBlockingSocketException() = default;

    // "%s\n\nError code: %d" of the message and the code.
    virtual std::wstring GetText() const;
    virtual bool FormatText(std::wstring& text) const;

    int ErrorCode() const { return m_errorCode; }
    const std::wstring& Message() const { return m_message; }

private:
    int m_errorCode;
    std::wstring m_message;
};

} // namespace nsSocket
