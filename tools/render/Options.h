#pragma once
// The command line of vrc-render, parsed into plain values. Parsing checks the
// syntax and the numbers themselves; whether files exist or settings fit their
// ranges is decided later, where the files and the settings are known. The
// eight settings' options, units, ranges and help lines come from the
// parameter table.
#include "processor/Parameters.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vrc::render
{

/** Sample formats an output file can be written in. */
enum class SampleFormat
{
    int16,
    int24,
    float32
};

struct Options
{
    std::vector<std::string> inputs;       // IN, or the inputs of batch mode
    std::string output;                    // OUT in single-file mode
    std::string outputDirectory;           // -o OUTDIR: batch mode
    std::string demoDirectory;             // --demo OUTDIR

    // Settings given on the command line, in the engine's physical units
    // (dry/wet already divided by 100), by host parameter index.
    std::array<std::optional<double>, numParameters> settings {};
    std::string stateFile, saveStateFile, plotFile;
    std::string sidechainFile;             // --sidechain: the detector's key

    std::optional<SampleFormat> sampleFormat; // unset: follow the input
    std::string batchExtension = ".wav";      // --format: what batch mode writes
    int blockSize = 512;
    bool force = false;
    bool overwrite = false;
    bool quiet = false;
    bool showHelp = false;
    bool showVersion = false;
    bool showFontLicence = false;
};

struct ParseResult
{
    Options options;
    std::string error; // empty when the command line is well formed
};

/** Parses argv (without the program name). */
ParseResult parseOptions (const std::vector<std::string>& arguments);

/** The --help text. */
std::string helpText();

} // namespace vrc::render
