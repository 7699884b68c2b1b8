#pragma once
#include <atomic>
#include <cstdint>

namespace nsSP
{

// Base of intrusively counted objects. The count starts at 0; the object
// deletes itself when the last reference goes. Records travel from the
// interface thread to job workers, so the count is atomic.
class RCObject
{
public:
    void AddReference();
    void RemoveReference();
    void MarkUnshareable();
    bool IsShareable() const;
    bool IsShared() const;
    int32_t ReferenceCount() const;

protected:
    RCObject();
    // A copy is a new object: it starts unreferenced and shareable.
    RCObject(const RCObject&);
    RCObject& operator=(const RCObject&);
    virtual ~RCObject();

private:
    std::atomic<int32_t> m_refCount;
    bool m_shareable;
};

} // namespace nsSP
