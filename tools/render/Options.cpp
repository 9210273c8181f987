#include "Options.h"

#include "AudioOutput.h"
#include "processor/ParameterDisplay.h"
#include "Settings.h"

#include <charconv>
#include <cmath>

namespace vrc::render
{

namespace
{
constexpr int maximumBlockSize = 1 << 20;

/** A whole decimal number: no trailing text, no infinities or NaN. */
std::optional<double> parseNumber (const std::string& text)
{
    // from_chars ignores the locale but does not take a leading '+'.
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars (first, last, value);
    if (first == last || error != std::errc() || end != last || ! std::isfinite (value))
        return std::nullopt;
    return value;
}

// The tool's own options; the settings' options come from the parameter table.
constexpr const char* valueOptions[] = { "--state", "--save-state", "--block", "--bits",
                                         "--plot", "--demo", "-o", "--format", "--sidechain" };
constexpr const char* flagOptions[] = { "--help", "-h", "--version", "--font-licence",
                                        "--force", "--overwrite", "--quiet", "-q" };

constexpr bool settingOptionsAreFree() noexcept
{
    for (const auto& p : parameterTable)
    {
        for (const char* own : valueOptions)
            if (detail::sameText (p.option, own))
                return false;
        for (const char* own : flagOptions)
            if (detail::sameText (p.option, own))
                return false;
    }
    return true;
}
static_assert (settingOptionsAreFree(), "a setting's option would be taken by one of the tool's own");

const ParameterInfo* findControl (const std::string& name)
{
    for (const auto& p : parameterTable)
        if (name == p.option)
            return &p;
    return nullptr;
}

bool takesValue (const std::string& name)
{
    for (const char* n : valueOptions)
        if (name == n)
            return true;
    return findControl (name) != nullptr;
}

/** The switch's values as the user writes them: "linear|exp". */
std::string curveChoices (const char* separator)
{
    return std::string (curveLabels[0]) + separator + curveLabels[1];
}

std::string applyValue (Options& o, const std::string& name, const std::string& value)
{
    const auto bad = [&] (const std::string& expected)
    { return "bad value '" + value + "' for " + name + ": expected " + expected; };

    if (const auto* control = findControl (name))
    {
        std::optional<double> v;
        if (control->enumeration)
        {
            if (value == curveLabels[0] || value == "0")
                v = 0.0;
            else if (value == curveLabels[1] || value == "1")
                v = 1.0;
            else
                return bad (curveChoices (" or "));
        }
        else
        {
            v = parseNumber (value);
            const std::string unit = unitText (control->unit);
            if (! v)
                return bad ("a number" + (unit.empty() ? unit : " in " + unit));
        }
        o.settings[static_cast<size_t> (control->id)] = *v / static_cast<double> (control->displayScale);
        return {};
    }
    if (name == "--block")
    {
        const auto v = parseNumber (value);
        if (! v || *v != std::floor (*v) || *v < 1 || *v > maximumBlockSize)
            return bad ("a whole number of samples from 1 to " + std::to_string (maximumBlockSize));
        o.blockSize = static_cast<int> (*v);
        return {};
    }
    if (name == "--bits")
    {
        if (value == "16")
            o.sampleFormat = SampleFormat::int16;
        else if (value == "24")
            o.sampleFormat = SampleFormat::int24;
        else if (value == "32f" || value == "32" || value == "float")
            o.sampleFormat = SampleFormat::float32;
        else
            return bad ("16, 24 or 32f");
        return {};
    }

    if (name == "--format")
    {
        if (value != "wav" && value != "aiff" && value != "flac")
            return bad ("wav, aiff or flac");
        o.batchExtension = "." + value;
        return {};
    }

    if (value.empty())
        return name + " needs a non-empty value";
    if (name == "--state")
        o.stateFile = value;
    else if (name == "--save-state")
        o.saveStateFile = value;
    else if (name == "--plot")
        o.plotFile = value;
    else if (name == "--sidechain")
        o.sidechainFile = value;
    else if (name == "--demo")
        o.demoDirectory = value;
    else if (name == "-o")
        o.outputDirectory = value;
    return {};
}

std::string controlHelp()
{
    // Two lines per control: what it does, then its range and default.
    constexpr size_t indent = 22;
    std::string text;
    for (const auto& p : parameterTable)
    {
        const std::string unit = unitText (p.unit);
        std::string line = std::string ("  ") + p.option + " "
                           + (p.enumeration ? curveChoices ("|") : (unit.empty() ? std::string ("X") : unit));
        line.resize (std::max (line.size() + 1, indent), ' ');
        text += line + p.summary + "\n" + std::string (indent, ' ')
                + (p.enumeration ? std::string() : "range " + userRange (p) + ", ")
                + "default " + formatUserValue (p, p.defaultValue) + "\n";
    }
    return text;
}

/** What the output's name and the sample format allow, known before any input is opened. */
std::string checkOutput (const std::string& output, std::optional<SampleFormat> sampleFormat)
{
    std::string error;
    const auto container = containerFor (output, error);
    if (! container)
        return error;
    if (auto mismatch = checkSampleFormat (*container, sampleFormat); ! mismatch.empty())
        return "cannot write '" + output + "': " + mismatch;
    return {};
}

std::string checkCombination (Options& o, const std::vector<std::string>& positional)
{
    if (! o.demoDirectory.empty())
    {
        if (! positional.empty() || ! o.outputDirectory.empty())
            return "--demo takes its output folder only; it cannot be combined with input files or -o";
        if (! o.stateFile.empty() || ! o.plotFile.empty() || ! o.saveStateFile.empty() || ! o.sidechainFile.empty())
            return "--demo writes its own state and plot; --state, --save-state, --plot and --sidechain do not apply";
        return {};
    }
    if (! o.outputDirectory.empty())
    {
        if (positional.empty())
            return "-o OUTDIR needs at least one input file";
        if (! o.plotFile.empty())
            return "--plot draws one file; it cannot be combined with -o";
        for (const auto& in : positional)
            if (in == "-")
                return "standard input ('-') can be the input of a single render only, not of -o OUTDIR";
        o.inputs = positional;
        return checkOutput ("OUTDIR/*" + o.batchExtension, o.sampleFormat);
    }
    const bool toPipe = positional.size() == 2 && positional[1] == "-";
    if (o.batchExtension != ".wav" && ! toPipe)
        return "--format applies to -o OUTDIR and to standard output; a single output's format follows its extension";
    if (toPipe && o.batchExtension == ".aiff")
        return "standard output takes WAV or FLAC (--format wav|flac); AIFF needs its sizes before the audio";
    if (positional.empty() && ! o.saveStateFile.empty() && o.sidechainFile.empty())
        return {}; // only writing a settings chunk
    if (positional.size() != 2)
        return positional.size() < 2 ? "expected an input and an output file: vrc-render IN OUT [options]"
                                     : "too many files: use -o OUTDIR IN... to render several files";
    o.inputs = { positional[0] };
    o.output = positional[1];
    if (o.inputs[0] == "-" && ! o.plotFile.empty())
        return "--plot needs a named input file (its length sets the time axis)";
    if (o.inputs[0] == "-" && o.sidechainFile == "-")
        return "standard input ('-') can be the input or the --sidechain key, not both";
    return checkOutput (o.output == "-" ? "standard output" + o.batchExtension : o.output, o.sampleFormat);
}
} // namespace

ParseResult parseOptions (const std::vector<std::string>& arguments)
{
    ParseResult result;
    auto& o = result.options;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-")
        {
            positional.push_back (arg);
            continue;
        }
        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }

        std::string name = arg, value;
        bool hasInlineValue = false;
        if (const auto eq = arg.find ('='); eq != std::string::npos && arg.rfind ("--", 0) == 0)
        {
            name = arg.substr (0, eq);
            value = arg.substr (eq + 1);
            hasInlineValue = true;
        }

        if (name == "--help" || name == "-h")
            o.showHelp = true;
        else if (name == "--version")
            o.showVersion = true;
        else if (name == "--font-licence")
            o.showFontLicence = true;
        else if (name == "--force")
            o.force = true;
        else if (name == "--overwrite")
            o.overwrite = true;
        else if (name == "--quiet" || name == "-q")
            o.quiet = true;
        else if (takesValue (name))
        {
            if (! hasInlineValue)
            {
                if (i + 1 >= arguments.size())
                {
                    result.error = name + " needs a value";
                    return result;
                }
                value = arguments[++i];
            }
            if (auto error = applyValue (o, name, value); ! error.empty())
            {
                result.error = error;
                return result;
            }
            continue;
        }
        else
        {
            result.error = "unknown option '" + name + "' (see vrc-render --help)";
            return result;
        }

        if (hasInlineValue)
        {
            result.error = name + " takes no value";
            return result;
        }
    }

    if (o.showHelp || o.showVersion || o.showFontLicence)
        return result;
    result.error = checkCombination (o, positional);
    return result;
}

std::string helpText()
{
    return std::string (R"(vrc-render: the VR-C compressor on audio files, block by block as a host runs it.

Usage:
  vrc-render IN OUT [options]          render one file
  vrc-render -o OUTDIR IN... [options] render several files in parallel into OUTDIR
                                       (each output is named after its input, as .wav
                                       or as --format chooses)
  vrc-render --demo OUTDIR             synthesise a demonstration signal, render it and write
                                       input.wav, output.wav, plot.png and settings.vstchunk
  vrc-render --save-state FILE [settings]  only write a settings chunk

Settings, in the units the panel prints (ranges and defaults are the plug-in's):
)" + controlHelp() + R"(  --state FILE        start from a settings chunk (saved by a host or by --save-state);
                      settings given as options override the chunk's values
  --save-state FILE   write the settings used as a chunk the plug-in can load
  --force             accept settings outside the ranges above (the plug-in accepts
                      them from saved chunks)

Processing and output:
  --block N           host block size in samples, 1 .. 1048576 (default 512)
  --bits 16|24|32f    output sample format (default: the input's; 24 where the
                      output format cannot store the input's, e.g. float into FLAC)
                      Output format follows OUT's extension: .wav, .aif/.aiff or .flac.
                      Inputs: any file libsndfile reads, mono or stereo: WAV (PCM of any
                      width, float, A-law, u-law, IMA and MS ADPCM), RF64, Wave64, AIFF,
                      AIFC, FLAC, Ogg Vorbis, Ogg Opus and more.
  --format wav|aiff|flac  what batch mode (-o) writes (default wav), and what goes to
                      standard output (wav or flac)
  --overwrite         replace existing output files (otherwise they are refused);
                      a replaced file keeps its permissions, and a symbolic link
                      is written through to the file it points to
  --quiet, -q         print nothing but errors
  --plot FILE.png     draw the static transfer curve and the gain reduction over time
  --sidechain FILE    the detector's key: the gain follows this file's level (mono or
                      stereo, the input's sample rate) and acts on the input; past the
                      key's end the key is silence (with a warning), a longer key is cut
  -o OUTDIR           batch mode: render every IN into OUTDIR, one processor per file,
                      as many files at once as the machine has cores
  --help, -h          this text
  --version           the version
  --font-licence      the licence of DejaVu Sans, the typeface built in for --plot

Every output is written to a temporary file beside it and renamed into place only
when complete: a failed or interrupted run leaves no partial file and never damages
an existing one. An output that is an input (the same file under any name) is refused.
IN "-" reads standard input, OUT "-" writes standard output (a WAV stream, or FLAC with
--format flac; the summary then goes to standard error). A named pipe as IN is read as
cat reads it, once a writer opens it. From a pipe, libsndfile reads WAV, AIFF and Ogg.
The input is the audio really in the file: when a header announces more than the file
holds, a FLAC frame or an Ogg page is damaged, an Ogg file chains a second stream, or
samples are NaN or infinite, a warning says what and where, the audio that decodes is
rendered (up to the first damage) and no frame is ever invented or shifted. WAV
outputs past 4 GiB are written as RF64.
A progress bar and warnings (clipping, damaged inputs) go to standard error, the
summary alone to standard output. The summary gives peak and RMS levels in dBFS (RMS
of a full-scale sine: -3 dBFS), the largest and the average gain reduction (sample by
sample, as the engine computes it), the time taken and the speed as a multiple of
real time.

Exit status: 0 on success; 1 when a file cannot be read or written; 2 for a bad command
line (found before any input is opened); 3 when every output was written but an input
was damaged or held non-finite samples (--quiet still prints one line saying why);
128 + the signal's number after SIGINT or SIGTERM (nothing partial is left behind).
)");
}

} // namespace vrc::render
