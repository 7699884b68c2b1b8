#pragma once
#include "IMessageBoxes.h"

#include <mutex>

namespace platform
{

// Message boxes for headless tools: the text goes to stderr. Questions get the
// answer given at construction, since nobody is there to press a button.
class ConsoleMessageBoxes : public IMessageBoxes
{
public:
    explicit ConsoleMessageBoxes(BoxAnswer questionAnswer = BoxAnswer::Cancel);
    BoxAnswer Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons) override;
    void SetQuestionAnswer(BoxAnswer answer) { m_questionAnswer = answer; }

private:
    BoxAnswer m_questionAnswer;
    std::mutex m_mutex;
};

} // namespace platform
