#pragma once
#include "StoreDamage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform
{

// Outcome of reading a value, with the distinctions callers rely on: a value
// that is absent, one larger than the caller's limit (its bytes are not
// returned), and one of the other kind (binary read as a number or back).
enum class ReadResult
{
    Ok,
    Missing,
    MoreData,
    WrongType
};

// Outcome of a change of the store.
struct ChangeResult
{
    enum Status
    {
        Stored,
        // The change itself answered false: nothing was stored.
        Declined,
        Failed
    };
    Status status = Stored;
    // With Failed: a sentence for people that names the store and the reason.
    std::wstring error;
};

// Keys holding named binary and 32-bit values, addressed by a path such as
// "Software\FTPClient\Sites". Key paths ignore ASCII case; value names are
// any text and are kept exactly as given. Every write is on disk when the call
// returns, and every read sees what other processes wrote before it.
//
// Several programs share one store. A change made of several steps, or one
// that depends on what is stored, goes through Change: it runs on the values
// as they are at that moment, and no other change can come in between. Each
// single write below is such a change of its own.
class ISettingsStore
{
public:
    virtual ~ISettingsStore() = default;

    // Runs look on the values as they are now, all from one reading, and says
    // what could not be read. What look writes is not kept.
    virtual StoreDamage Read(const std::function<void(ISettingsStore& values)>& look) = 0;
    // Runs change on the values as they are now while every other change
    // waits, and stores what it leaves in one step, unless it answers false.
    virtual ChangeResult Change(const std::function<bool(ISettingsStore& values)>& change) = 0;
    // Within Read or Change: the caller cannot use that value, so it counts as
    // damage (it is left as it is). Elsewhere it does nothing.
    virtual void MarkUnreadable(const std::wstring& key, const std::wstring& name) = 0;

    // True when the key exists, or when create is set and it could be made
    // (false then means the store cannot be written at all).
    virtual bool OpenKey(const std::wstring& key, bool create) = 0;

    // On Ok, data holds the value; otherwise data is left empty.
    virtual ReadResult ReadBinary(const std::wstring& key, const std::wstring& name,
                                  std::vector<std::uint8_t>& data, std::size_t limit) = 0;
    virtual bool WriteBinary(const std::wstring& key, const std::wstring& name,
                             const std::vector<std::uint8_t>& data) = 0;

    virtual ReadResult ReadUInt32(const std::wstring& key, const std::wstring& name,
                                  std::uint32_t& value) = 0;
    virtual bool WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value) = 0;

    // True when a value of that name was there.
    virtual bool DeleteValue(const std::wstring& key, const std::wstring& name) = 0;

    // Names of the key's values, sorted by code point.
    virtual std::vector<std::wstring> ValueNames(const std::wstring& key) = 0;
};

} // namespace platform
