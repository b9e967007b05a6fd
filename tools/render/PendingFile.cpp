#include "PendingFile.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace olvar::render
{
namespace
{
// Paths a signal handler may read: fixed storage, published through an atomic flag.
struct PendingSlot
{
    char path[4096] {};
    volatile std::sig_atomic_t inUse = 0;
};

std::array<PendingSlot, 4> pendingSlots;

int claimSlot (const juce::File& file)
{
    const auto path = file.getFullPathName().toStdString();

    if (path.size() >= sizeof (PendingSlot::path))
        return -1;

    for (size_t i = 0; i < pendingSlots.size(); ++i)
    {
        if (pendingSlots[i].inUse == 0)
        {
            std::memcpy (pendingSlots[i].path, path.c_str(), path.size() + 1);
            pendingSlots[i].inUse = 1;
            return (int) i;
        }
    }

    return -1;
}

void releaseSlot (int slot)
{
    if (slot >= 0)
        pendingSlots[(size_t) slot].inUse = 0;
}

void removePendingFilesAndReraise (int signalNumber)
{
    for (auto& slot : pendingSlots)
        if (slot.inUse != 0)
            ::unlink (slot.path);

    std::signal (signalNumber, SIG_DFL);
    std::raise (signalNumber);
}
} // namespace

PendingFile::PendingFile (const juce::File& targetFile)
    : target (targetFile)
{
    auto& random = juce::Random::getSystemRandom();

    do
    {
        temporary = target.getSiblingFile ("." + target.getFileName() + ".tmp-"
                                           + juce::String::toHexString (random.nextInt64()));
    } while (temporary.exists());

    slot = claimSlot (temporary);
}

PendingFile::~PendingFile()
{
    if (! committed)
        temporary.deleteFile();

    releaseSlot (slot);
}

bool PendingFile::commit (juce::String& error)
{
    // rename() replaces an existing target in one step; no moment without a complete file.
    if (std::rename (temporary.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
    {
        error = "cannot rename " + temporary.getFullPathName() + " to " + target.getFullPathName() + ": "
                + juce::String (std::strerror (errno));
        return false;
    }

    committed = true;
    releaseSlot (slot);
    slot = -1;
    return true;
}

void removePendingFilesOnSignals()
{
    for (const auto signalNumber : { SIGINT, SIGTERM, SIGHUP })
        std::signal (signalNumber, removePendingFilesAndReraise);
}

} // namespace olvar::render
