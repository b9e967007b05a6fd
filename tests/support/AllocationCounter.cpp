#include "AllocationCounter.h"

#include <cerrno>
#include <cstdlib>
#include <new>

extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);
}

namespace
{
thread_local bool counting = false;
thread_local size_t allocations = 0;

void noteAllocation() noexcept
{
    if (counting)
        ++allocations;
}
} // namespace

ScopedAllocationCounter::ScopedAllocationCounter()
{
    allocations = 0;
    counting = true;
}

ScopedAllocationCounter::~ScopedAllocationCounter()
{
    counting = false;
}

size_t ScopedAllocationCounter::getCount() const
{
    return allocations;
}

extern "C"
{
void* malloc (size_t size)
{
    noteAllocation();
    return __libc_malloc (size);
}

void* calloc (size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc (count, size);
}

void* realloc (void* pointer, size_t size)
{
    noteAllocation();
    return __libc_realloc (pointer, size);
}

void* aligned_alloc (size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

int posix_memalign (void** result, size_t alignment, size_t size)
{
    noteAllocation();
    *result = __libc_memalign (alignment, size);
    return *result != nullptr ? 0 : ENOMEM;
}

void free (void* pointer)
{
    __libc_free (pointer);
}
}

void* operator new (size_t size)
{
    if (auto* p = malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* operator new[] (size_t size)
{
    return operator new (size);
}

void operator delete (void* pointer) noexcept { free (pointer); }
void operator delete[] (void* pointer) noexcept { free (pointer); }
void operator delete (void* pointer, size_t) noexcept { free (pointer); }
void operator delete[] (void* pointer, size_t) noexcept { free (pointer); }
