#pragma once

#include <juce_core/juce_core.h>

namespace olvar::render
{

// A file written under a hidden temporary name in its target's folder and renamed to the
// target only when complete, so the target name never holds a half-written file. The
// temporary file goes when this object does, unless committed, and also when the process
// is interrupted (see removePendingFilesOnSignals).
class PendingFile
{
public:
    explicit PendingFile (const juce::File& target);
    ~PendingFile();

    const juce::File& getTarget() const { return target; }
    const juce::File& getTemporary() const { return temporary; }

    // Atomically replaces the target (an existing file under its name too).
    bool commit (juce::String& error);

private:
    juce::File target, temporary;
    int slot = -1;
    bool committed = false;

    JUCE_DECLARE_NON_COPYABLE (PendingFile)
};

// On SIGINT, SIGTERM and SIGHUP, deletes the temporary files of live PendingFiles, then
// lets the signal end the process as it would have.
void removePendingFilesOnSignals();

} // namespace olvar::render
