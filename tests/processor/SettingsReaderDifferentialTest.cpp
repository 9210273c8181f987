// The settings reader against the framework's XML parser, which restored every
// session saved so far: on each input where that parser returns, both must restore
// the same values. The parser runs in a child process with a time limit, because on
// some inputs it never returns.
#include "processor/SettingsChunk.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Bytes = std::vector<std::uint8_t>;

/** The restore as it was built on the framework's parser (its checks before parsing are the reader's). */
vrc::RestoredSettings frameworkRestore (const Bytes& chunk)
{
    vrc::RestoredSettings restored;
    if (chunk.size() <= 8 || std::memcmp (chunk.data(), "VC2!", 4) != 0)
        return restored;
    std::int32_t declared = 0;
    for (int i = 0; i < 4; ++i)
        declared = static_cast<std::int32_t> (static_cast<std::uint32_t> (declared) | (std::uint32_t (chunk[(size_t) (4 + i)]) << (8 * i)));
    if (declared <= 0)
        return restored;
    auto length = std::min<size_t> ((size_t) declared, chunk.size() - 8);
    const auto* text = reinterpret_cast<const char*> (chunk.data() + 8);
    if (const void* zero = std::memchr (text, 0, length))
        length = (size_t) (static_cast<const char*> (zero) - text);
    if (! juce::CharPointer_UTF8::isValidString (text, (int) length))
        return restored;
    const auto document = juce::String::fromUTF8 (text, (int) length);
    if (! document.trimEnd().endsWithChar ('>'))
        return restored;

    const auto element = juce::parseXML (document);
    if (element == nullptr || ! element->getTagName().equalsIgnoreCase ("VeskCompSettings"))
        return restored;
    for (const auto& p : vrc::parameterTable)
        for (int i = 0; i < element->getNumAttributes(); ++i)
            if (element->getAttributeName (i).equalsIgnoreCase (p.chunkAttribute))
            {
                restored[(size_t) p.id] = vrc::readSettingsNumber (element->getAttributeValue (i).toStdString());
                break;
            }
    return restored;
}

/** frameworkRestore in a child process; nothing when it hangs or crashes. */
std::optional<vrc::RestoredSettings> frameworkRestoreWithTimeLimit (const Bytes& chunk)
{
    struct Slot
    {
        bool present;
        float value;
    };
    Slot slots[vrc::numParameters] {};

    int fds[2];
    if (pipe (fds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0)
    {
        close (fds[0]);
        const auto r = frameworkRestore (chunk);
        for (size_t i = 0; i < r.size(); ++i)
            slots[i] = { r[i].has_value(), r[i].value_or (0.0f) };
        const auto written = write (fds[1], slots, sizeof slots);
        _exit (written == (ssize_t) sizeof slots ? 0 : 1);
    }
    close (fds[1]);

    size_t received = 0;
    pollfd ready { fds[0], POLLIN, 0 };
    while (received < sizeof slots && poll (&ready, 1, 2000) > 0)
    {
        const auto n = read (fds[0], reinterpret_cast<char*> (slots) + received, sizeof slots - received);
        if (n <= 0)
            break;
        received += (size_t) n;
    }
    close (fds[0]);
    kill (child, SIGKILL);
    waitpid (child, nullptr, 0);
    if (received != sizeof slots)
        return std::nullopt;

    vrc::RestoredSettings r;
    for (size_t i = 0; i < r.size(); ++i)
        if (slots[i].present)
            r[i] = slots[i].value;
    return r;
}

Bytes chunkWithText (const std::string& text)
{
    Bytes c { 'V', 'C', '2', '!' };
    for (int shift = 0; shift < 32; shift += 8)
        c.push_back ((std::uint8_t) (text.size() >> shift));
    c.insert (c.end(), text.begin(), text.end());
    c.insert (c.end(), { 0, 0 });
    return c;
}

std::vector<std::pair<std::string, Bytes>> filesIn (const std::string& folder)
{
    std::vector<std::pair<std::string, Bytes>> files;
    for (const auto& entry : std::filesystem::directory_iterator (std::string (VRC_TEST_DATA_DIR) + "/" + folder))
    {
        if (! entry.is_regular_file())
            continue;
        std::ifstream in (entry.path(), std::ios::binary);
        files.emplace_back (entry.path().filename().string(), Bytes (std::istreambuf_iterator<char> (in), {}));
    }
    return files;
}

/** Compares both readers on each input; returns how many the framework could not finish. */
int expectSameRestore (const std::vector<std::pair<std::string, Bytes>>& inputs)
{
    int unfinished = 0;
    for (const auto& [name, chunk] : inputs)
    {
        const auto ours = vrc::readSettingsChunk (chunk.data(), (int) chunk.size());
        const auto theirs = frameworkRestoreWithTimeLimit (chunk);
        if (! theirs.has_value())
        {
            ++unfinished;
            continue;
        }
        EXPECT_EQ (ours, *theirs) << name;
    }
    return unfinished;
}

// What sessions and other tools put into chunks: each feature the framework's
// parser accepted, and ways a text can be damaged.
const char* const restoreCases[] = {
    "<VeskCompSettings gain=\"6\" ratio=\"0.75\" thresold=\"-20\" attack=\"0.00999999978\" release=\"0.5\" knee=\"0.5\" drywet=\"1\" curve=\"0\"/>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VeskCompSettings gain=\"1\"/>",
    "  <!-- saved by hand --> <?app keep?> <VeskCompSettings gain='2' ratio=\"0.6\"/> trailing",
    "<VeskCompSettings gain=\"3\"><child knee=\"1\"/>text<!-- c --><![CDATA[<x>]]></VeskCompSettings>",
    "<VeskCompSettings gain=\"3\"></Other>",
    "<VESKCOMPSETTINGS GAIN=\"4\" Knee=\"0.3\"/>",
    "<VeskCompSettings gain=\"4\" gain=\"5\"/>",
    "<VeskCompSettings gain=\"&#53;&#x2E;5\" ratio=\"&amp;1\" knee=\"&lt;\" attack=\"&unknown;3\"/>",
    "<VeskCompSettings gain=\" 12abc\" knee=\"abc\" ratio=\"+0.7e0\" attack=\"1e-3\" curve=\"nan\" drywet=\"-inf\"/>",
    "<VeskCompSettings gain=\"3\" ratio=5 />",
    "<VeskCompSettings gain=\"3\" ratio />",
    "<VeskCompSettings gain=\"3\" <!-- >",
    "<VeskCompSettings gain=\"3\"",
    "<VeskCompSettings gain=\"3>",
    "< VeskCompSettings gain=\"7\"/>",
    "<VeskCompSettings gain=\"3\">a&b</VeskCompSettings>",
    "<VeskCompSettings gain=\"3\">&<c/>;</VeskCompSettings>",
    "<VeskCompSettings gain=\"3\">&<c>;</VeskCompSettings>",
    "<VeskCompSettings gain=\"3\"><a><b><c></c></b></a>",
    "<VeskCompSettings gain=\"3\"><a <b/></a></VeskCompSettings>",
    "<VeskCompSettings gain=\"3\"><a></ <x></VeskCompSettings>",
    "<!DOCTYPE x [<!ELEMENT x ANY>]><VeskCompSettings gain=\"8\"/>",
    "<!DOCTYPE x <VeskCompSettings gain=\"8\"/>",
    "<VeskCompSettings gain=\"1\" knee=\"\xc3\xa9\" ratio=\"0.5\xe2\x80\x83\"/>",
    "<VeskCompSettings gain=\"&#x1F600;2\" knee=\"&#0;7\" attack=\"&#12345678901234;\"/>",
    "<Other gain=\"3\"/>",
    "<VeskCompSettings gain=\"3\"><?x?></VeskCompSettings>",
    "<VeskCompSettings gain=\"3\">t<?x?><i/></VeskCompSettings>",
    "<VeskCompSettings gain=\"3\"\rratio=\"0.6\"\r\n/>",
    "<VeskCompSettings gain='2' ratio='0.6'/>",
    "<VeskCompSettings gain=\"&#x000000035;\" ratio=\"&#9;0.6\" knee=\"&#x00000031;\"/>",
    "<VeskCompSettings gain=\"3\"><a><b>< >x&y;</b></a></VeskCompSettings>",
};
} // namespace

TEST (SettingsReaderAgainstTheFramework, RestoreCasesGoldenChunksAndFindings)
{
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const char* text : restoreCases)
        inputs.emplace_back (text, chunkWithText (text));
    for (const auto& folder : { "", "findings" })
        for (auto& file : filesIn (folder))
            if (file.first.size() > 9 && file.first.substr (file.first.size() - 9) == ".vstchunk")
                inputs.push_back (std::move (file));

    expectSameRestore (inputs);
}

TEST (SettingsReaderAgainstTheFramework, FuzzCorpus)
{
    const auto corpus = filesIn ("settings-corpus");
    ASSERT_GT (corpus.size(), 100u);
    const int unfinished = expectSameRestore (corpus);
    std::cout << corpus.size() - (size_t) unfinished << " inputs compared, " << unfinished
              << " on which the framework's parser did not finish\n";
    EXPECT_LT (unfinished, (int) corpus.size() / 10) << "the framework could not finish too many inputs to compare";
}
