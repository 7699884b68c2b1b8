#include "StopSignal.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace nsSocket
{

CStopSignal::CStopSignal() : m_handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CStopSignal::~CStopSignal()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

void CStopSignal::Raise() noexcept
{
    const std::uint64_t one = 1;
    // Fails only when the counter is already huge, that is, raised.
    [[maybe_unused]] const ssize_t written = ::write(m_handle, &one, sizeof one);
}

void CStopSignal::Clear() noexcept
{
    // One read takes the whole count back to zero.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t taken = ::read(m_handle, &count, sizeof count);
}

bool CStopSignal::Raised() const noexcept
{
    pollfd entry{m_handle, POLLIN, 0};
    return m_handle >= 0 && ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

} // namespace nsSocket
