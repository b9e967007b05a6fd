#pragma once

#include <functional>
#include <vector>

namespace olvarbench
{
struct Measurement
{
    double minNs = 0.0;    // fastest run, ns per stereo frame
    double medianNs = 0.0; // median run, ns per stereo frame
};

struct TimingOptions
{
    int framesPerRun = 12288; // a multiple of both block sizes; fits the core's cache in double
    int warmUpRuns = 20;
    int runs = 101;
};

// Runs `process` over the same stereo test signal in consecutive blocks of `blockSize`
// frames, in place, and returns the time per frame. The input is copied into the working
// buffers before each run, outside the timed part, so every entry pays only for itself.
template <typename Sample>
Measurement measureBlocks (int blockSize, const TimingOptions& options,
                           const std::function<void (Sample* left, Sample* right, int numFrames, long blockIndex)>& process);

// The shared test material: pink-ish noise plus a few partials, peaking near 0.5.
const std::vector<double>& testSignal (int channel, int numFrames);
} // namespace olvarbench
