#include "RCObject.h"

namespace nsSP
{

RCObject::RCObject() : m_refCount(0), m_shareable(true) {}

RCObject::RCObject(const RCObject&) : m_refCount(0), m_shareable(true) {}

RCObject& RCObject::operator=(const RCObject&)
{
    return *this;
}

RCObject::~RCObject() = default;

void RCObject::AddReference()
{
    m_refCount.fetch_add(1, std::memory_order_relaxed);
}

void RCObject::RemoveReference()
{
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

void RCObject::MarkUnshareable()
{
    m_shareable = false;
}

bool RCObject::IsShareable() const
{
    return m_shareable;
}

bool RCObject::IsShared() const
{
    return m_refCount.load(std::memory_order_relaxed) > 1;
}

int32_t RCObject::ReferenceCount() const
{
    return m_refCount.load(std::memory_order_relaxed);
}

} // namespace nsSP
