#pragma once
#include "platform/CountingActivitySignal.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingStatusOutlet.h"

namespace testing_support
{

// The recording services that every test program installs before its tests run.
platform::RecordingMessageBoxes& Boxes();
platform::RecordingStatusOutlet& Status();
platform::CountingActivitySignal& Activity();
// Installed as the process-wide settings store, emptied before every test.
platform::MemorySettingsStore& Settings();

// Installs the recording services (idempotent) and clears what they recorded.
void ResetServices();

} // namespace testing_support
