#include "Services.h"

#include "ConsoleMessageBoxes.h"
#include "MemorySettingsStore.h"
#include "PosixSystemErrors.h"

#include <array>
#include <mutex>

namespace platform
{
namespace
{

class SilentActivity : public IActivitySignal
{
public:
    void Post() override {}
};

class RefusingCertificatePrompt : public ICertificatePrompt
{
public:
    bool TrustCertificate(const CertificateQuestion&) override { return false; }
};

ConsoleMessageBoxes g_consoleBoxes;
RefusingCertificatePrompt g_refusingPrompt;
PosixSystemErrors g_posixErrors;
SilentActivity g_silentActivity;
MemorySettingsStore g_memorySettings;

IMessageBoxes* g_boxes = nullptr;
IStatusOutlet* g_outlet = nullptr;
IActivitySignal* g_activity = nullptr;
ISystemErrors* g_errors = nullptr;
ISettingsStore* g_settings = nullptr;
ICertificatePrompt* g_prompt = nullptr;

std::mutex g_statusMutex;
std::array<std::wstring, Services::StatusSlotCount> g_statusSlots;

} // namespace

IMessageBoxes& Services::MessageBoxes()
{
    return g_boxes ? *g_boxes : g_consoleBoxes;
}
IActivitySignal& Services::Activity()
{
    return g_activity ? *g_activity : g_silentActivity;
}
ISystemErrors& Services::SystemErrors()
{
    return g_errors ? *g_errors : g_posixErrors;
}
ISettingsStore& Services::Settings()
{
    return g_settings ? *g_settings : g_memorySettings;
}

ICertificatePrompt& Services::CertificatePrompt()
{
    return g_prompt ? *g_prompt : g_refusingPrompt;
}
void Services::SetCertificatePrompt(ICertificatePrompt* prompt)
{
    g_prompt = prompt;
}

void Services::SetMessageBoxes(IMessageBoxes* boxes)
{
    g_boxes = boxes;
}
void Services::SetStatusOutlet(IStatusOutlet* outlet)
{
    g_outlet = outlet;
}
void Services::SetActivity(IActivitySignal* activity)
{
    g_activity = activity;
}
void Services::SetSystemErrors(ISystemErrors* errors)
{
    g_errors = errors;
}
void Services::SetSettings(ISettingsStore* settings)
{
    g_settings = settings;
}

void Services::ShowError(const std::wstring& text)
{
    MessageBoxes().Show(text, BoxIcon::Error, BoxButtons::Ok);
}

bool Services::AskOkCancel(const std::wstring& text)
{
    return MessageBoxes().Show(text, BoxIcon::Question, BoxButtons::OkCancel) == BoxAnswer::Ok;
}

void Services::SetStatusText(int pane, const std::wstring& text)
{
    if (pane < 0 || pane >= StatusSlotCount)
        return;
    {
        std::lock_guard lock(g_statusMutex);
        g_statusSlots[pane] = text;
    }
    if (g_outlet)
        g_outlet->SetPaneText(pane, text);
}

std::wstring Services::StatusText(int pane)
{
    if (pane < 0 || pane >= StatusSlotCount)
        return {};
    std::lock_guard lock(g_statusMutex);
    return g_statusSlots[pane];
}

std::wstring CertificateQuestion::Text() const
{
    std::wstring text = L"Host: " + host + L"\nSubject: " + subject + L"\nIssuer: " + issuer +
                        L"\nValid from: " + validFrom + L"\nValid until: " + validUntil +
                        L"\nSHA-256 fingerprint: " + fingerprint;
    for (const auto& problem : problems)
        text += L"\n" + problem;
    return text;
}

} // namespace platform
