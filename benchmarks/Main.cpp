// olvar-benchmark: the cost per stereo frame of Olvar's processBlock next to a hand-written
// floor, JUCE's IIR cascade and peer equalisers, as a table and a CSV file; with --memory,
// resident memory per instance instead.

#include "Entries.h"
#include "Memory.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace
{
void printUsage()
{
    std::cout <<
        "usage: olvar-benchmark [options]\n"
        "  --csv PATH        where the table goes as CSV (default olvar-benchmark.csv)\n"
        "  --runs N          timed runs per entry (default 101)\n"
        "  --warm-up N       untimed runs first (default 20)\n"
        "  --frames N        frames per run (default 12288)\n"
        "  --vst3 PATH       the Olvar VST3 bundle (default: the one built with this program)\n"
        "  --memory          measure resident memory per instance instead\n"
        "  --instances N     instances for --memory (default 100)\n";
}

std::string csvField (const std::string& text)
{
    if (text.find_first_of (",\"\n") == std::string::npos)
        return text;

    std::string quoted = "\"";

    for (const auto c : text)
        quoted += (c == '"') ? std::string ("\"\"") : std::string (1, c);

    return quoted + "\"";
}

// The row each entry is compared with: Olvar in process, double, same block size, same controls
// (steady for entries without a control mode).
const olvarbench::Row* referenceFor (const std::vector<olvarbench::Row>& rows, const olvarbench::Row& row)
{
    const auto controls = row.controls.empty() ? std::string ("steady") : row.controls;

    for (const auto& candidate : rows)
        if (candidate.entry == "Olvar processBlock" && candidate.path == "in process" && candidate.precision == "double"
            && candidate.blockSize == row.blockSize && candidate.controls == controls && candidate.measured)
            return &candidate;

    return nullptr;
}

std::string fixed (double value, int decimals)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision (decimals) << value;
    return text.str();
}
} // namespace

int main (int argc, char** argv)
{
    // Measuring must not ask the internet about updates: every instance's check goes to a
    // closed loopback port unless the caller chose an endpoint.
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 0);

    olvarbench::EntryOptions options;
    options.vst3Bundle = OLVAR_VST3_BUNDLE;
    std::string csvPath = "olvar-benchmark.csv";
    std::string probeVariant;
    bool memory = false;
    int instances = 100;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string
        {
            if (i + 1 >= argc)
            {
                std::cerr << "olvar-benchmark: " << arg << " needs a value\n";
                std::exit (2);
            }

            return argv[++i];
        };
        const auto number = [&] (int minimum)
        {
            const auto text = value();
            const auto parsed = std::atoi (text.c_str());

            if (parsed < minimum)
            {
                std::cerr << "olvar-benchmark: " << arg << " must be at least " << minimum << "\n";
                std::exit (2);
            }

            return parsed;
        };

        if (arg == "-h" || arg == "--help") { printUsage(); return 0; }
        else if (arg == "--csv") csvPath = value();
        else if (arg == "--runs") options.timing.runs = number (1);
        else if (arg == "--warm-up") options.timing.warmUpRuns = number (0);
        else if (arg == "--frames") options.timing.framesPerRun = number (512);
        else if (arg == "--vst3") options.vst3Bundle = value();
        else if (arg == "--memory") memory = true;
        else if (arg == "--instances") instances = number (2);
        else if (arg == "--memory-probe") probeVariant = value();
        else
        {
            std::cerr << "olvar-benchmark: unknown option " << arg << "\n";
            printUsage();
            return 2;
        }
    }

    if (! probeVariant.empty())
        return olvarbench::memoryProbe (probeVariant, options.vst3Bundle, instances);

    if (memory)
        return olvarbench::reportMemory (juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName().toStdString(),
                                         options.vst3Bundle, instances, std::cout);

    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    std::cout << "olvar-benchmark: " << juce::SystemStats::getCpuModel() << ", " << options.timing.runs << " runs of "
              << options.timing.framesPerRun << " frames per entry after " << options.timing.warmUpRuns
              << " warm-up runs, 48 kHz\n";
    const auto rows = olvarbench::runAllEntries (options, std::cout);

    std::ostringstream table;
    table << "\n" << std::left << std::setw (32) << "entry" << std::setw (11) << "path" << std::setw (8) << "prec"
          << std::right << std::setw (6) << "block" << "  " << std::left << std::setw (26) << "controls" << std::right
          << std::setw (9) << "min ns" << std::setw (11) << "median ns" << std::setw (10) << "x Olvar" << "  note\n";

    std::ofstream csv (csvPath);
    csv << "entry,path,precision,block,controls,min_ns_per_frame,median_ns_per_frame,ratio_to_olvar_double,note\n";

    for (const auto& row : rows)
    {
        const auto* reference = referenceFor (rows, row);
        const bool haveRatio = row.measured && reference != nullptr && reference->result.medianNs > 0.0;
        const auto ratio = haveRatio ? row.result.medianNs / reference->result.medianNs : 0.0;

        table << std::left << std::setw (32) << row.entry << std::setw (11) << row.path << std::setw (8) << row.precision
              << std::right << std::setw (6) << row.blockSize << "  " << std::left << std::setw (26) << row.controls
              << std::right;

        if (row.measured)
            table << std::setw (9) << fixed (row.result.minNs, 2) << std::setw (11) << fixed (row.result.medianNs, 2)
                  << std::setw (10) << (haveRatio ? fixed (ratio, 2) : std::string ("-"));
        else
            table << std::setw (9) << "-" << std::setw (11) << "-" << std::setw (10) << "-";

        table << "  " << row.note << "\n";

        csv << csvField (row.entry) << "," << csvField (row.path) << "," << row.precision << "," << row.blockSize << ","
            << csvField (row.controls) << ","
            << (row.measured ? fixed (row.result.minNs, 3) : "") << ","
            << (row.measured ? fixed (row.result.medianNs, 3) : "") << ","
            << (haveRatio ? fixed (ratio, 3) : "") << "," << csvField (row.note) << "\n";
    }

    table << "\nns per stereo frame; x Olvar = median / median of Olvar in process, double precision, same block size"
             " and controls (steady for entries without a control mode).\n";
    std::cout << table.str() << "CSV: " << csvPath << "\n";
    return csv.good() ? 0 : 1;
}
