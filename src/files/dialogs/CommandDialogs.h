#pragma once
#include "files/IFileCommandHost.h"

class QWidget;

// The file commands' dialogs as a window shows them: the one-line prompt, the
// attributes and properties dialogs, and the progress dialog of a job.
class CCommandDialogs : public IFileCommandHost
{
public:
    explicit CCommandDialogs(QWidget* parent) : m_parent(parent) {}

    bool Prompt(const std::wstring& title, std::wstring& text) override;
    bool ChooseMode(int preset, std::wstring& mode) override;
    void ShowProperties(const FileProperties& properties) override;
    JobResult RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination,
                     JobKind kind) override;

private:
    QWidget* m_parent;
};
