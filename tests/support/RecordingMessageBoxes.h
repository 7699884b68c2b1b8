#pragma once
#include "platform/IMessageBoxes.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform
{

// Test message boxes: records every box and answers from a script (OK once the
// script is used up). Thread-safe, so workers may show boxes too.
class RecordingMessageBoxes : public IMessageBoxes
{
public:
    struct Box
    {
        std::wstring text;
        BoxIcon icon;
        BoxButtons buttons;
    };

    BoxAnswer Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons) override;

    void QueueAnswer(BoxAnswer answer);
    std::vector<Box> Boxes() const;
    std::vector<std::wstring> Texts() const;
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::deque<BoxAnswer> m_answers;
};

} // namespace platform
