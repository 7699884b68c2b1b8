#pragma once
#include <cstdint>

namespace nsFTP
{

// Source or sink of the bytes of an engine-driven transfer. The buffer is the
// client's own I/O buffer, so blocks are handed over without copying.
class ITransferNotification
{
public:
    // A block received by a receiving transfer.
    virtual void OnBytesReceived(const char* buffer, int count) = 0;
    // Before each block of a sending transfer: fill at most capacity bytes and
    // set count; a count of 0 ends the transfer.
    virtual void OnPreBytesSend(char* buffer, std::uint32_t capacity, std::uint32_t& count) = 0;
    // True when the sink will take no more; the transfer then fails.
    virtual bool IsFull() const { return false; }

protected:
    ~ITransferNotification() = default;
};

} // namespace nsFTP
