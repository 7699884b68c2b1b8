#pragma once
#include "platform/IShellOpener.h"

#include <mutex>
#include <vector>

namespace platform
{

// Test shell opener: records the paths it was asked to open.
class RecordingShellOpener : public IShellOpener
{
public:
    bool Open(const std::wstring& path) override
    {
        std::lock_guard lock(m_mutex);
        m_opened.push_back(path);
        return true;
    }
    std::vector<std::wstring> Opened() const
    {
        std::lock_guard lock(m_mutex);
        return m_opened;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::wstring> m_opened;
};

} // namespace platform
