#pragma once

#include "Timing.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace olvarbench
{
struct Row
{
    std::string entry;     // what ran
    std::string path;      // how it was called: in process, VST3, LV2
    std::string precision; // single or double
    int blockSize = 0;
    std::string controls;  // steady, or main changing every block
    bool measured = false;
    Measurement result;
    std::string note;      // settings, or why the entry could not run
};

struct EntryOptions
{
    TimingOptions timing;
    std::string vst3Bundle;
    std::vector<int> blockSizes { 32, 512 };
};

// Runs every entry and returns the rows in table order; progress goes to `log`.
std::vector<Row> runAllEntries (const EntryOptions& options, std::ostream& log);
} // namespace olvarbench
