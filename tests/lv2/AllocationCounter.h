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

// Kept out of line: inlined into the containers, it leads the compiler into false overflow warnings.
[[gnu::noinline]] inline void* allocateOrNull(std::size_t size, std::size_t alignment = 0)
{
    if (tCounting)
        tCount++;
    if (alignment > alignof(std::max_align_t))
        return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    return std::malloc(size != 0 ? size : 1);
}

[[gnu::noinline]] inline void* allocate(std::size_t size, std::size_t alignment = 0)
{
    void* p = allocateOrNull(size, alignment);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
} // namespace allocations

// Only in the one file that includes this with ALLOCATION_COUNTER_DEFINE set. Every form is replaced, so
// that no allocation is freed by another allocator than made it.
#ifdef ALLOCATION_COUNTER_DEFINE
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocations::allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocations::allocateOrNull(size);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return allocations::allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return allocations::allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
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
