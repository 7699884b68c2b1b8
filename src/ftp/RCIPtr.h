#pragma once
#include "RCObject.h"

#include <utility>

namespace nsSP
{

// Reference-counting pointer for classes that know nothing of counting: the
// count lives in a holder that owns the pointee.
template <class T> class RCIPtr
{
public:
    explicit RCIPtr(T* realPtr = nullptr) : m_counter(new CountHolder(realPtr)) { Init(); }

    RCIPtr(const RCIPtr& other) : m_counter(other.m_counter) { Init(); }

    RCIPtr(RCIPtr&& other) noexcept : m_counter(std::exchange(other.m_counter, nullptr)) {}

    ~RCIPtr()
    {
        if (m_counter)
            m_counter->RemoveReference();
    }

    RCIPtr& operator=(const RCIPtr& other)
    {
        if (m_counter != other.m_counter)
        {
            CountHolder* old = m_counter;
            m_counter = other.m_counter;
            Init();
            if (old)
                old->RemoveReference();
        }
        return *this;
    }

    RCIPtr& operator=(RCIPtr&& other) noexcept
    {
        if (this != &other)
        {
            if (m_counter)
                m_counter->RemoveReference();
            m_counter = std::exchange(other.m_counter, nullptr);
        }
        return *this;
    }

    T* get() const { return m_counter ? m_counter->m_pointee : nullptr; }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return get() != nullptr; }

    // Number of pointers sharing the pointee (0 for a moved-from pointer).
    int UseCount() const { return m_counter ? m_counter->ReferenceCount() : 0; }

private:
    struct CountHolder : public RCObject
    {
        explicit CountHolder(T* pointee) : m_pointee(pointee) {}
        ~CountHolder() override { delete m_pointee; }
        CountHolder(const CountHolder&) = delete;
        CountHolder& operator=(const CountHolder&) = delete;
        T* m_pointee;
    };

    void Init()
    {
        if (!m_counter)
            return;
        if (!m_counter->IsShareable())
            m_counter = new CountHolder(m_counter->m_pointee ? new T(*m_counter->m_pointee) : nullptr);
        m_counter->AddReference();
    }

    CountHolder* m_counter;
};

} // namespace nsSP
