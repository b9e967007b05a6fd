#include "AllocationCounter.h"

#include <cerrno>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  #define OLVAR_SANITIZED_BUILD 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define OLVAR_SANITIZED_BUILD 1
#endif

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

#if OLVAR_SANITIZED_BUILD

// The sanitizer's runtime owns malloc and operator new; its hooks see every allocation.
#include <sanitizer/allocator_interface.h>

namespace
{
void onMalloc (const volatile void*, size_t) { noteAllocation(); }
void onFree (const volatile void*) {}

[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
} // namespace

#else

extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);
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

#endif
