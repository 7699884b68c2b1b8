#pragma once
#include "platform/ISystemErrors.h"

#include <map>

namespace platform
{

// Test system errors: a settable last error and a table of texts.
class FakeSystemErrors : public ISystemErrors
{
public:
    int LastError() const override { return m_last; }
    void SetLastError(int code) override { m_last = code; }
    std::wstring Text(int code) const override
    {
        auto it = m_texts.find(code);
        return it == m_texts.end() ? std::wstring() : it->second;
    }
    void SetText(int code, const std::wstring& text) { m_texts[code] = text; }

private:
    int m_last = 0;
    std::map<int, std::wstring> m_texts;
};

} // namespace platform
