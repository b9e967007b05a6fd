#pragma once

#include <juce_events/juce_events.h>

namespace juce
{
// JUCE's own message dispatch on Linux; MessageManager only exposes it for modal loops.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

// Runs the message loop for a while, so async callbacks (modal results, repaints) happen.
inline void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    do
    {
        while (juce::dispatchNextMessageOnSystemQueue (true)) {}
        juce::Thread::sleep (1);
    }
    while (juce::Time::getMillisecondCounter() < end);
}
