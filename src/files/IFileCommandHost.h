#pragma once
#include "FileProperties.h"
#include "TransferJob.h"

#include <memory>
#include <string>

class CTransferList;

// The dialogs the file commands need, so the commands hold no widget: each
// program passes its own, tests pass scripted answers. Yes-or-no questions go
// through the platform's message boxes.
class IFileCommandHost
{
public:
    virtual ~IFileCommandHost() = default;
    // The one-line prompt: text holds the preset and, after OK, exactly what
    // was typed. False on Cancel.
    virtual bool Prompt(const std::wstring& title, std::wstring& text) = 0;
    // The attributes dialog, its boxes set from preset (a CFileMode value);
    // after OK, mode holds the manual value as typed. False on Cancel.
    virtual bool ChooseMode(int preset, std::wstring& mode) = 0;
    virtual void ShowProperties(const FileProperties& properties) = 0;
    // Runs the job behind its progress dialog (whose replace questions are
    // the host's too) and returns how it ended.
    virtual JobResult RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination,
                             JobKind kind) = 0;
};
