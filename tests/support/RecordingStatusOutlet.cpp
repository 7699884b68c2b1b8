#include "RecordingStatusOutlet.h"

namespace platform
{

void RecordingStatusOutlet::SetPaneText(int pane, const std::wstring& text)
{
    std::lock_guard lock(m_mutex);
    m_texts.emplace_back(pane, text);
}

std::vector<std::pair<int, std::wstring>> RecordingStatusOutlet::Texts() const
{
    std::lock_guard lock(m_mutex);
    return m_texts;
}

void RecordingStatusOutlet::Clear()
{
    std::lock_guard lock(m_mutex);
    m_texts.clear();
}

} // namespace platform
