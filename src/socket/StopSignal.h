#pragma once

namespace nsSocket
{

// Ends the waits of every socket that holds it, from any thread: an eventfd
// that each wait polls beside its own descriptor. Once raised it stays raised
// (every further wait ends at once) until it is cleared. The eventfd itself is
// the one state, so Raise, Clear and Raised need no lock.
class CStopSignal
{
public:
    // Should no eventfd be available (descriptors exhausted), the signal has no
    // handle and never ends a wait; sockets could not be made then either.
    CStopSignal();
    ~CStopSignal();
    CStopSignal(const CStopSignal&) = delete;
    CStopSignal& operator=(const CStopSignal&) = delete;

    void Raise() noexcept;
    void Clear() noexcept;
    bool Raised() const noexcept;
    // The eventfd, readable while raised; -1 when there is none.
    int Handle() const { return m_handle; }

private:
    int m_handle;
};

} // namespace nsSocket
