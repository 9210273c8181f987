// Feeds arbitrary bytes to the CLAP build's state load as a host's input stream
// that hands them over in pieces of a size that varies with the input: the
// reader must return exactly the bytes, and whatever they restore must re-save
// cleanly.
#include "plugin/clap/ClapStateStream.h"
#include "FuzzedProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace
{
struct Source
{
    const std::uint8_t* data;
    std::size_t size, piece, at = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The piece size follows from the length, so the input is the state itself.
    Source source { data, size, 1 + size % 61 };
    const vrc::clap::InputStream stream { &source, [] (const vrc::clap::InputStream* s, void* buffer, std::uint64_t wanted) -> std::int64_t
                                          {
                                              auto& src = *static_cast<Source*> (s->ctx);
                                              const auto n = std::min<std::uint64_t> ({ wanted, src.piece, src.size - src.at });
                                              std::memcpy (buffer, src.data + src.at, n);
                                              src.at += n;
                                              return static_cast<std::int64_t> (n);
                                          } };
    const auto bytes = vrc::clap::readWholeStream (stream);
    if (size > vrc::clap::maxStateBytes)
        return 0;
    if (! bytes.has_value() || bytes->size() != size || ! std::equal (bytes->begin(), bytes->end(), data))
        std::abort();
    vrc::fuzz::restoreAndCheckResave (bytes->data(), bytes->size());
    return 0;
}
