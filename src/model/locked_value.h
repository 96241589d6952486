#pragma once
#include <mutex>
#include <utility>

// A value that several threads share, read and written only as whole copies
// under its own lock.
template <typename T> class locked_value {
public:
    T Get() const {
        std::lock_guard lock(m_lock);
        return m_value;
    }
    void Set(T value) {
        std::lock_guard lock(m_lock);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_lock;
    T m_value; // guarded by m_lock
};
