#pragma once

#include <cstddef>

// Counts heap allocations and lock acquisitions made by the calling thread while a probe is
// alive. Plain builds replace malloc and the pthread locking calls for the whole program, so
// calls from inside a loaded bundle are seen too; sanitizer builds, whose runtimes own those
// symbols, count allocations through the sanitizer's hooks and cannot count locks.
class ScopedRealtimeProbe
{
public:
    ScopedRealtimeProbe();
    ~ScopedRealtimeProbe();

    size_t getAllocations() const;
    size_t getLocks() const;

    static bool canCountLocks();

    ScopedRealtimeProbe (const ScopedRealtimeProbe&) = delete;
    ScopedRealtimeProbe& operator= (const ScopedRealtimeProbe&) = delete;
};

// Bytes the heap holds now (for leak checks across rounds of work).
size_t currentHeapBytes();

// Whether allocations are seen at all (the sanitizer hooks could be refused).
bool allocationHooksInstalled();
