#pragma once
#include "platform/IActivitySignal.h"

#include <atomic>

namespace platform
{

// Test activity signal: counts the posts.
class CountingActivitySignal : public IActivitySignal
{
public:
    void Post() override { m_count.fetch_add(1); }
    int Count() const { return m_count.load(); }
    void Reset() { m_count.store(0); }

private:
    std::atomic<int> m_count{0};
};

} // namespace platform
