#pragma once
#include "platform/MemorySettingsStore.h"
#include "support/CountingActivitySignal.h"
#include "support/RecordingCertificatePrompt.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingStatusOutlet.h"

namespace testing_support
{

// The recording services that every test program installs before its tests run.
platform::RecordingMessageBoxes& Boxes();
platform::RecordingStatusOutlet& Status();
platform::CountingActivitySignal& Activity();
// Installed as the process-wide settings store, emptied before every test.
platform::MemorySettingsStore& Settings();
// Answers Cancel to every certificate question until a test says otherwise.
RecordingCertificatePrompt& CertificatePrompt();

// Installs the recording services (idempotent) and clears what they recorded.
void ResetServices();

} // namespace testing_support
