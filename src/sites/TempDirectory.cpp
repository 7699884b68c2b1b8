#include "TempDirectory.h"

#include "platform/ISettingsStore.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <vector>

namespace
{
constexpr const wchar_t* kValue = L"Tep";
}

std::wstring TemporaryDirectory(platform::ISettingsStore& store)
{
    std::vector<std::uint8_t> data;
    if (store.ReadBinary(FTPClientSettingsKey, kValue, data, TempDirectoryBufferBytes) ==
        platform::ReadResult::Ok)
    {
        // A value that fills the buffer without a zero unit (not written by
        // us) ends after 4095 units, as one we write would.
        std::u16string units;
        for (std::size_t i = 0; i + 1 < data.size() && units.size() < TempDirectoryMaxUnits; i += 2)
        {
            const auto u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (u == 0)
                break;
            units.push_back(u);
        }
        if (!units.empty())
            return platform::TextCodec::FromUtf16(units);
    }
    return QDir::tempPath().toStdWString();
}

std::wstring TemporaryDirectory()
{
    return TemporaryDirectory(platform::Services::Settings());
}

namespace
{
// Nothing (and Declined) for a path too long to read back.
platform::ChangeResult Store(platform::ISettingsStore& store, const std::wstring& path)
{
    const std::u16string units = platform::TextCodec::ToUtf16(path);
    if (units.size() > TempDirectoryMaxUnits)
        return {platform::ChangeResult::Declined, {}};
    std::vector<std::uint8_t> data;
    data.reserve(units.size() * 2 + 1);
    for (const char16_t u : units)
    {
        data.push_back(static_cast<std::uint8_t>(u));
        data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    data.push_back(0); // the first byte of the terminating zero
    // One change of its own, so it keeps whatever else the store holds now.
    return store.Change([&](platform::ISettingsStore& values)
                        { return values.WriteBinary(FTPClientSettingsKey, kValue, data); });
}
} // namespace

bool SetTemporaryDirectory(platform::ISettingsStore& store, const std::wstring& path)
{
    return Store(store, path).status == platform::ChangeResult::Stored;
}

bool SetTemporaryDirectory(const std::wstring& path)
{
    const platform::ChangeResult result = Store(platform::Services::Settings(), path);
    if (result.status == platform::ChangeResult::Failed)
        platform::Services::ShowError(result.error);
    return result.status != platform::ChangeResult::Declined;
}
