#pragma once
#include "files/TransferJob.h"
#include "platform/IMessageBoxes.h"

#include <cstdio>
#include <string>

namespace nsCli
{

// Shows a transfer job on a terminal: a progress bar on stderr when it is a
// terminal, replace questions answered by the command line (or asked on a
// terminal), and after the first failed item the question whether to go on,
// asked on a terminal and otherwise answered yes.
class CConsoleJobHost : public ITransferJobHost, public platform::IMessageBoxes
{
public:
    enum class Replace
    {
        Ask,
        Always,
        Never
    };

    CConsoleJobHost(JobKind kind, Replace replace, std::FILE* in, std::FILE* err, bool showBar);

    void ItemText(const std::wstring& path) override;
    void SetRange(std::int64_t total) override;
    void Progress(std::int64_t value) override;
    bool AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                    const std::wstring& localText) override;
    bool AskGoOn(const std::wstring& text) override;
    void Ended(JobResult result) override;
    // Error boxes of the job start on a line of their own, then go to the
    // boxes that were installed before.
    platform::BoxAnswer Show(const std::wstring& text, platform::BoxIcon icon,
                             platform::BoxButtons buttons) override;

    int Questions() const { return m_questions; }
    platform::IMessageBoxes& PreviousBoxes() const { return m_boxes; }

private:
    void EndBarLine();

    JobKind m_kind;
    Replace m_replace;
    std::FILE* m_in;
    std::FILE* m_err;
    bool m_showBar;
    bool m_barDrawn = false;
    std::int64_t m_total = 0;
    int m_questions = 0;
    platform::IMessageBoxes& m_boxes;
};

} // namespace nsCli
