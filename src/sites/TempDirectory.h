#pragma once
#include <cstddef>
#include <string>

namespace platform
{
class ISettingsStore;
}

// The folder files are downloaded into before they are opened: the "Tep"
// value under the Settings key, UTF-16 units and one zero byte (2n+1 bytes).

constexpr const wchar_t* FTPClientSettingsKey = L"Software\\FTPClient\\Settings";
constexpr std::size_t TempDirectoryBufferBytes = 8192;
// The longest path that fits the buffer with its terminating zero.
constexpr std::size_t TempDirectoryMaxUnits = TempDirectoryBufferBytes / 2 - 1;

// The stored path as it stands, or the system's temporary folder when none is
// stored, it is empty or it does not fit the buffer.
std::wstring TemporaryDirectory(platform::ISettingsStore& store);
std::wstring TemporaryDirectory();

// An empty path brings the system's folder back. A path longer than 4095
// UTF-16 units could not be read back, so it is not stored: false then, and
// false when the store could not be written.
bool SetTemporaryDirectory(platform::ISettingsStore& store, const std::wstring& path);
// The Set Temp Directory command's form: false only for a path too long to
// store, which the caller tells; a store that could not be written is told
// here, in an error box with the reason.
bool SetTemporaryDirectory(const std::wstring& path);
