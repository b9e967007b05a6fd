#include "RealtimeProbe.h"

#include <cerrno>
#include <cstdlib>
#include <new>

#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>
#include <malloc.h>
#include <pthread.h>
#include <semaphore.h>

#if defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  #define OLVAR_PROBE_SANITIZED 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define OLVAR_PROBE_SANITIZED 1
#endif

namespace
{
thread_local bool watching = false;
thread_local size_t allocations = 0;
thread_local size_t locks = 0;

// OLVAR_VALIDATE_TRACE_ALLOCATIONS=1 prints where each allocation that a probe sees comes from.
const bool traceAllocations = std::getenv ("OLVAR_VALIDATE_TRACE_ALLOCATIONS") != nullptr;

void noteAllocation() noexcept
{
    if (! watching)
        return;

    ++allocations;

    if (traceAllocations)
    {
        watching = false;
        void* frames[32];
        backtrace_symbols_fd (frames, backtrace (frames, 32), 2);
        write (2, "--\n", 3);
        watching = true;
    }
}

[[maybe_unused]] void noteLock() noexcept
{
    if (watching)
        ++locks;
}
} // namespace

ScopedRealtimeProbe::ScopedRealtimeProbe()
{
    allocations = 0;
    locks = 0;
    watching = true;
}

ScopedRealtimeProbe::~ScopedRealtimeProbe() { watching = false; }
size_t ScopedRealtimeProbe::getAllocations() const { return allocations; }
size_t ScopedRealtimeProbe::getLocks() const { return locks; }

#if OLVAR_PROBE_SANITIZED

#include <sanitizer/allocator_interface.h>

namespace
{
void onMalloc (const volatile void*, size_t) { noteAllocation(); }
void onFree (const volatile void*) {}

const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
} // namespace

bool ScopedRealtimeProbe::canCountLocks() { return false; }
bool allocationHooksInstalled() { return hooksInstalled != 0; }
size_t currentHeapBytes() { return __sanitizer_get_current_allocated_bytes(); }

#else

bool ScopedRealtimeProbe::canCountLocks() { return true; }
bool allocationHooksInstalled() { return true; }
size_t currentHeapBytes() { return mallinfo2().uordblks; }

extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);

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

void* memalign (size_t alignment, size_t size)
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

void* operator new[] (size_t size) { return operator new (size); }
void operator delete (void* pointer) noexcept { free (pointer); }
void operator delete[] (void* pointer) noexcept { free (pointer); }
void operator delete (void* pointer, size_t) noexcept { free (pointer); }
void operator delete[] (void* pointer, size_t) noexcept { free (pointer); }

// The locking calls, forwarded to the C library's own. Resolved on first use: dlsym itself
// takes no pthread lock, so this cannot recurse.
namespace
{
template <typename Function>
Function next (Function& cached, const char* name)
{
    if (cached == nullptr)
        cached = reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));

    return cached;
}
} // namespace

extern "C"
{
int pthread_mutex_lock (pthread_mutex_t* m)
{
    noteLock();
    static int (*real) (pthread_mutex_t*) = nullptr;
    return next (real, "pthread_mutex_lock") (m);
}

int pthread_mutex_trylock (pthread_mutex_t* m)
{
    noteLock();
    static int (*real) (pthread_mutex_t*) = nullptr;
    return next (real, "pthread_mutex_trylock") (m);
}

int pthread_mutex_timedlock (pthread_mutex_t* m, const struct timespec* t)
{
    noteLock();
    static int (*real) (pthread_mutex_t*, const struct timespec*) = nullptr;
    return next (real, "pthread_mutex_timedlock") (m, t);
}

int pthread_rwlock_rdlock (pthread_rwlock_t* l)
{
    noteLock();
    static int (*real) (pthread_rwlock_t*) = nullptr;
    return next (real, "pthread_rwlock_rdlock") (l);
}

int pthread_rwlock_wrlock (pthread_rwlock_t* l)
{
    noteLock();
    static int (*real) (pthread_rwlock_t*) = nullptr;
    return next (real, "pthread_rwlock_wrlock") (l);
}

int pthread_spin_lock (pthread_spinlock_t* l)
{
    noteLock();
    static int (*real) (pthread_spinlock_t*) = nullptr;
    return next (real, "pthread_spin_lock") (l);
}

int sem_wait (sem_t* s)
{
    noteLock();
    static int (*real) (sem_t*) = nullptr;
    return next (real, "sem_wait") (s);
}
}

#endif
