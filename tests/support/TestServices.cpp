#include "TestServices.h"

#include "platform/Services.h"

namespace testing_support
{

platform::RecordingMessageBoxes& Boxes()
{
    static platform::RecordingMessageBoxes boxes;
    return boxes;
}

platform::RecordingStatusOutlet& Status()
{
    static platform::RecordingStatusOutlet status;
    return status;
}

platform::CountingActivitySignal& Activity()
{
    static platform::CountingActivitySignal activity;
    return activity;
}

platform::MemorySettingsStore& Settings()
{
    static platform::MemorySettingsStore settings;
    return settings;
}

RecordingCertificatePrompt& CertificatePrompt()
{
    static RecordingCertificatePrompt prompt;
    return prompt;
}

void ResetServices()
{
    platform::Services::SetCertificatePrompt(&CertificatePrompt());
    CertificatePrompt().Clear();
    platform::Services::SetMessageBoxes(&Boxes());
    platform::Services::SetStatusOutlet(&Status());
    platform::Services::SetActivity(&Activity());
    platform::Services::SetSettings(&Settings());
    Boxes().Clear();
    Status().Clear();
    Activity().Reset();
    Settings().Clear();
}

} // namespace testing_support
