#include "PcmContainer.h"

#include <algorithm>
#include <cstring>

namespace vrc::render
{

namespace
{
// Every chunk walked moves forward by at least 8 bytes, so the walk ends at the
// file's end anyway; the cap only keeps a file of empty chunks quick.
constexpr int maximumChunks = 4096;
constexpr std::uint32_t noSize = 0xffffffffu;
// A format chunk is 16 to 40 bytes and an AIFF COMM chunk 18 to about 60; more is not one we can use.
constexpr std::uint32_t maximumFormatBytes = 256;

std::uint32_t le32 (const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((std::uint32_t) p[3] << 24); }
std::uint16_t le16 (const std::uint8_t* p) { return (std::uint16_t) (p[0] | (p[1] << 8)); }
std::uint32_t be32 (const std::uint8_t* p) { return ((std::uint32_t) p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
std::uint16_t be16 (const std::uint8_t* p) { return (std::uint16_t) ((p[0] << 8) | p[1]); }
std::uint64_t le64 (const std::uint8_t* p) { return le32 (p) | ((std::uint64_t) le32 (p + 4) << 32); }

class FileBytes
{
public:
    explicit FileBytes (const juce::File& f) : stream (f), size (stream.failedToOpen() ? 0 : stream.getTotalLength()) {}

    /** n bytes at offset, or false when the file ends first. */
    bool read (std::int64_t offset, void* dest, size_t n)
    {
        if (offset < 0 || offset + (std::int64_t) n > size || ! stream.setPosition (offset))
            return false;
        return stream.read (dest, (int) n) == (int) n;
    }

    juce::FileInputStream stream;
    const std::int64_t size;
};

void put (juce::MemoryOutputStream& out, const char* id, std::uint32_t size, bool bigEndian)
{
    out.write (id, 4);
    bigEndian ? out.writeIntBigEndian ((int) size) : out.writeInt ((int) size);
}

void putBody (juce::MemoryOutputStream& out, const juce::MemoryBlock& body)
{
    out.write (body.getData(), body.getSize());
    if ((body.getSize() & 1) != 0)
        out.writeByte (0);
}

void scanWav (FileBytes& in, bool rf64, PcmContainer& c)
{
    juce::MemoryBlock fmt;
    std::optional<std::uint64_t> ds64Data;
    std::optional<std::uint64_t> claimedBytes;
    bool haveData = false;
    std::int64_t pos = 12;
    for (int i = 0; i < maximumChunks && pos + 8 <= in.size; ++i)
    {
        std::uint8_t h[8];
        in.read (pos, h, 8);
        const std::uint32_t size = le32 (h + 4);
        const std::int64_t body = pos + 8;
        if (std::memcmp (h, "ds64", 4) == 0 && size >= 28)
        {
            std::uint8_t d[16];
            if (in.read (body, d, 16))
                ds64Data = le64 (d + 8);
        }
        else if (std::memcmp (h, "fmt ", 4) == 0)
        {
            fmt.setSize (std::min (size, maximumFormatBytes));
            if (size < 16 || size > maximumFormatBytes || ! in.read (body, fmt.getData(), size))
            {
                c.error = "its format chunk is damaged";
                return;
            }
        }
        else if (std::memcmp (h, "data", 4) == 0 && ! haveData)
        {
            haveData = true;
            c.dataStart = body;
            const std::int64_t available = in.size - body;
            // 0 or all ones with audio after it: a writer that never came back to fill it in.
            const bool open = size == noSize || (size == 0 && available > 0);
            if (rf64 && size == noSize && ds64Data && (*ds64Data != 0 || available == 0))
                claimedBytes = ds64Data;
            else if (! open)
                claimedBytes = size;
            c.dataBytes = claimedBytes ? (std::int64_t) std::min<std::uint64_t> (*claimedBytes, (std::uint64_t) available) : available;
            if (! claimedBytes || *claimedBytes >= (std::uint64_t) available || fmt.getSize() > 0)
                break; // the audio runs to the end of the file, or everything needed is known
            pos = body + (std::int64_t) *claimedBytes + (std::int64_t) (*claimedBytes & 1);
            continue;
        }
        pos = body + size + (size & 1);
    }

    if (fmt.getSize() == 0 || ! haveData)
    {
        c.error = fmt.getSize() == 0 ? "it has no format chunk" : "it has no audio data chunk";
        return;
    }
    auto* f = static_cast<std::uint8_t*> (fmt.getData());
    c.channels = le16 (f + 2);
    c.bytesPerFrame = static_cast<int> (static_cast<std::int64_t> (c.channels) * le16 (f + 14) / 8); // 16-bit fields: no int overflow
    // The speaker mask is of no use here, and the framework turns odd masks into
    // channel types that do not exist: mono and stereo need none.
    if (le16 (f) == 0xfffe && fmt.getSize() >= 24)
        std::memset (f + 20, 0, 4);
    if (c.bytesPerFrame > 0 && claimedBytes)
        c.claimedFrames = *claimedBytes / (std::uint64_t) c.bytesPerFrame;

    // Always the 64-bit form, so a large input reads as it is.
    juce::MemoryOutputStream out (c.header, false);
    put (out, "RF64", noSize, false);
    out.write ("WAVE", 4);
    put (out, "ds64", 28, false);
    const std::int64_t headerSize = 12 + 36 + 8 + (std::int64_t) ((fmt.getSize() + 1) & ~(size_t) 1) + 8;
    out.writeInt64 (headerSize + c.dataBytes - 8);
    out.writeInt64 (c.dataBytes);
    out.writeInt64 (0);
    out.writeInt (0);
    put (out, "fmt ", (std::uint32_t) fmt.getSize(), false);
    putBody (out, fmt);
    put (out, "data", noSize, false);
}

void scanAiff (FileBytes& in, bool aifc, PcmContainer& c)
{
    juce::MemoryBlock comm;
    std::optional<std::uint64_t> ssndBytes;
    bool haveData = false;
    std::int64_t pos = 12;
    for (int i = 0; i < maximumChunks && pos + 8 <= in.size; ++i)
    {
        std::uint8_t h[8];
        in.read (pos, h, 8);
        const std::uint32_t size = be32 (h + 4);
        const std::int64_t body = pos + 8;
        if (std::memcmp (h, "COMM", 4) == 0)
        {
            comm.setSize (std::min (size, maximumFormatBytes));
            if (size < 18 || size > maximumFormatBytes || ! in.read (body, comm.getData(), size))
            {
                c.error = "its COMM chunk is damaged";
                return;
            }
        }
        else if (std::memcmp (h, "SSND", 4) == 0 && ! haveData)
        {
            std::uint8_t o[4];
            if (! in.read (body, o, 4))
                break;
            haveData = true;
            c.dataStart = std::min (in.size, body + 8 + (std::int64_t) be32 (o));
            const std::int64_t available = in.size - c.dataStart;
            if (size != noSize && (size != 0 || available == 0))
                ssndBytes = size >= 8 + be32 (o) ? size - 8 - be32 (o) : 0;
            c.dataBytes = ssndBytes ? (std::int64_t) std::min<std::uint64_t> (*ssndBytes, (std::uint64_t) available) : available;
            if (! ssndBytes || *ssndBytes >= (std::uint64_t) available || comm.getSize() > 0)
                break;
        }
        pos = body + size + (size & 1);
    }

    if (comm.getSize() == 0 || ! haveData)
    {
        c.error = comm.getSize() == 0 ? "it has no COMM chunk" : "it has no SSND chunk";
        return;
    }
    auto* m = static_cast<std::uint8_t*> (comm.getData());
    c.channels = be16 (m);
    c.bytesPerFrame = static_cast<int> (static_cast<std::int64_t> (c.channels) * be16 (m + 6) / 8);
    const std::uint32_t commFrames = be32 (m + 2);
    if (commFrames != noSize && (commFrames != 0 || c.dataBytes == 0))
        c.claimedFrames = commFrames;
    else if (ssndBytes && c.bytesPerFrame > 0)
        c.claimedFrames = *ssndBytes / (std::uint64_t) c.bytesPerFrame;

    // AIFF sizes are 32 bits; the framework also reads the FORM size as signed.
    c.dataBytes = std::min<std::int64_t> (c.dataBytes, 0x7fff0000);
    if (c.bytesPerFrame > 0)
    {
        std::uint64_t frames = (std::uint64_t) c.dataBytes / (std::uint64_t) c.bytesPerFrame;
        if (c.claimedFrames)
            frames = std::min (frames, *c.claimedFrames);
        c.dataBytes = (std::int64_t) frames * c.bytesPerFrame;
        const auto f = (std::uint32_t) frames;
        const std::uint8_t bytes[4] = { (std::uint8_t) (f >> 24), (std::uint8_t) (f >> 16), (std::uint8_t) (f >> 8), (std::uint8_t) f };
        std::memcpy (m + 2, bytes, 4);
    }

    juce::MemoryOutputStream out (c.header, false);
    const auto commPadded = (std::uint32_t) ((comm.getSize() + 1) & ~(size_t) 1);
    put (out, "FORM", (std::uint32_t) (4 + 8 + commPadded + 16 + c.dataBytes), true);
    out.write (aifc ? "AIFC" : "AIFF", 4);
    put (out, "COMM", (std::uint32_t) comm.getSize(), true);
    putBody (out, comm);
    put (out, "SSND", (std::uint32_t) (8 + c.dataBytes), true);
    out.writeInt (0);
    out.writeInt (0);
}

/** The clean header, then bytes [dataStart, dataStart + dataBytes) of the file. */
class CleanStream : public juce::InputStream
{
public:
    CleanStream (const juce::File& f, const PcmContainer& c)
        : header (c.header), file (f), dataStart (c.dataStart), total ((std::int64_t) c.header.getSize() + c.dataBytes)
    {
    }

    bool failed() const { return file.failedToOpen(); }
    juce::int64 getTotalLength() override { return total; }
    bool isExhausted() override { return position >= total; }
    juce::int64 getPosition() override { return position; }

    bool setPosition (juce::int64 p) override
    {
        position = std::clamp<juce::int64> (p, 0, total);
        return true;
    }

    int read (void* dest, int n) override
    {
        auto* out = static_cast<char*> (dest);
        int done = 0;
        const auto headerSize = (std::int64_t) header.getSize();
        n = (int) std::min<std::int64_t> (std::max (n, 0), total - position);
        if (position < headerSize && n > 0)
        {
            const int k = (int) std::min<std::int64_t> (n, headerSize - position);
            std::memcpy (out, static_cast<const char*> (header.getData()) + position, (size_t) k);
            done += k;
            position += k;
        }
        if (done < n && file.setPosition (dataStart + position - headerSize))
        {
            const int k = file.read (out + done, n - done);
            done += std::max (k, 0);
            position += std::max (k, 0);
        }
        return done;
    }

private:
    juce::MemoryBlock header;
    juce::FileInputStream file;
    std::int64_t dataStart, total, position = 0;
};
} // namespace

PcmContainer scanPcmContainer (const juce::File& file)
{
    PcmContainer c;
    FileBytes in (file);
    std::uint8_t h[12];
    if (! in.read (0, h, 12))
        return c;
    const bool wav = (std::memcmp (h, "RIFF", 4) == 0 || std::memcmp (h, "RF64", 4) == 0 || std::memcmp (h, "BW64", 4) == 0)
                     && std::memcmp (h + 8, "WAVE", 4) == 0;
    const bool aiff = std::memcmp (h, "FORM", 4) == 0 && (std::memcmp (h + 8, "AIFF", 4) == 0 || std::memcmp (h + 8, "AIFC", 4) == 0);
    c.recognised = wav || aiff;
    c.isAiff = aiff;
    if (wav)
        scanWav (in, std::memcmp (h, "RIFF", 4) != 0, c);
    else if (aiff)
        scanAiff (in, std::memcmp (h + 8, "AIFC", 4) == 0, c);
    return c;
}

std::unique_ptr<juce::InputStream> openCleanStream (const juce::File& file, const PcmContainer& container)
{
    auto s = std::make_unique<CleanStream> (file, container);
    if (s->failed())
        return nullptr;
    return s;
}

} // namespace vrc::render
