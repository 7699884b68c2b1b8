#pragma once
#include "IMessageBoxes.h"

#include <mutex>
#include <string>

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

    // The text as UTF-8 for a terminal: line breaks stay, every other control
    // character becomes \xNN, so a server's reply cannot drive the terminal.
    static std::string TerminalText(const std::wstring& text);

private:
    BoxAnswer m_questionAnswer;
    std::mutex m_mutex;
};

} // namespace platform
