// Counts the allocations made on this thread while counting is on, through the replaceable global
// operator new that the test program (and the libraries it loads) allocate with. One per test program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocations
{
inline thread_local bool tCounting = false;
inline thread_local long tCount = 0;

// Counts the allocations of the calls made between its construction and count().
class Counter
{
public:
    Counter()
    {
        tCount = 0;
        tCounting = true;
    }
    ~Counter() { tCounting = false; }
    Counter(const Counter&) = delete;
    Counter& operator=(const Counter&) = delete;
    long count() const { return tCount; }
    void pause() { tCounting = false; }
    void resume() { tCounting = true; }
};

inline void* allocate(std::size_t size)
{
    if (tCounting)
        tCount++;
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
} // namespace allocations

// Only in the one file that includes this with ALLOCATION_COUNTER_DEFINE set.
#ifdef ALLOCATION_COUNTER_DEFINE
void* operator new(std::size_t size)
{
    return allocations::allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocations::allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
#endif
