#pragma once
#include "IActivitySignal.h"
#include "ICertificatePrompt.h"
#include "IMessageBoxes.h"
#include "ISettingsStore.h"
#include "IStatusOutlet.h"
#include "ISystemErrors.h"

#include <string>

namespace platform
{

// The process-wide services. Programs install theirs once at start-up, before
// any thread starts; until then console boxes, no status, no activity and the
// POSIX errors serve. Passing nullptr restores the default.
class Services
{
public:
    static IMessageBoxes& MessageBoxes();
    static IActivitySignal& Activity();
    static ISystemErrors& SystemErrors();
    // Until a program installs its settings file, settings live in a
    // process-wide memory store, so tests and tools never touch the user's file.
    static ISettingsStore& Settings();
    // Until a program installs its own, every certificate that fails the check
    // is refused without a question.
    static ICertificatePrompt& CertificatePrompt();

    static void SetMessageBoxes(IMessageBoxes* boxes);
    static void SetStatusOutlet(IStatusOutlet* outlet);
    static void SetActivity(IActivitySignal* activity);
    static void SetSystemErrors(ISystemErrors* errors);
    static void SetSettings(ISettingsStore* settings);
    static void SetCertificatePrompt(ICertificatePrompt* prompt);

    // Error icon, OK button.
    static void ShowError(const std::wstring& text);
    // Question icon, OK and Cancel; true on OK.
    static bool AskOkCancel(const std::wstring& text);

    // Status panes: ten process-wide slots, one per pane index. The slot keeps
    // the last text of its pane; the outlet is told of every change.
    static constexpr int StatusSlotCount = 10;
    static void SetStatusText(int pane, const std::wstring& text);
    static std::wstring StatusText(int pane);
};

} // namespace platform
