#pragma once
#include "platform/IStatusOutlet.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform
{

// Test status outlet: records every pane text in order.
class RecordingStatusOutlet : public IStatusOutlet
{
public:
    void SetPaneText(int pane, const std::wstring& text) override;
    std::vector<std::pair<int, std::wstring>> Texts() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, std::wstring>> m_texts;
};

} // namespace platform
