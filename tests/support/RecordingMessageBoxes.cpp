#include "RecordingMessageBoxes.h"

namespace platform
{

BoxAnswer RecordingMessageBoxes::Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons)
{
    std::lock_guard lock(m_mutex);
    m_boxes.push_back({text, icon, buttons});
    if (buttons == BoxButtons::Ok || m_answers.empty())
        return BoxAnswer::Ok;
    const BoxAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void RecordingMessageBoxes::QueueAnswer(BoxAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<RecordingMessageBoxes::Box> RecordingMessageBoxes::Boxes() const
{
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

std::vector<std::wstring> RecordingMessageBoxes::Texts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::wstring> texts;
    for (const auto& box : m_boxes)
        texts.push_back(box.text);
    return texts;
}

size_t RecordingMessageBoxes::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_boxes.size();
}

void RecordingMessageBoxes::Clear()
{
    std::lock_guard lock(m_mutex);
    m_boxes.clear();
    m_answers.clear();
}

} // namespace platform
