#pragma once

#include <iosfwd>
#include <string>

namespace olvarbench
{
// Resident memory per instance: each variant (in process or VST3, with or without editors)
// runs in a child process of this program, so one variant's freed memory cannot hide another's.
int reportMemory (const std::string& self, const std::string& vst3Bundle, int count, std::ostream& out);

// The child's side: builds `count` instances of one variant and prints
// "rss-kB <before> <after-first> <after-all>" on stdout.
int memoryProbe (const std::string& variant, const std::string& vst3Bundle, int count);
} // namespace olvarbench
