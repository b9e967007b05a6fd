#pragma once

#include <cstddef>

// Counts heap allocations made by the calling thread while a counter is alive. Linking
// AllocationCounter.cpp replaces operator new and the malloc family for the whole test
// program, so allocations inside JUCE or the C library are seen too.
class ScopedAllocationCounter
{
public:
    ScopedAllocationCounter();
    ~ScopedAllocationCounter();

    size_t getCount() const;

    ScopedAllocationCounter (const ScopedAllocationCounter&) = delete;
    ScopedAllocationCounter& operator= (const ScopedAllocationCounter&) = delete;
};
