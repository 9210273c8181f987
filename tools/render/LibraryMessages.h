#pragma once
// Libraries below libsndfile write lines of their own to standard error (the MP3
// decoder's "Note:" and "Warning:"), unprefixed and without the file's name.
// While a LibraryMessages lives, what they write is taken in and passed on as
// vrc-render's own lines ("vrc-render: decoder: ..."), or dropped under --quiet.
#include <cstdio>
#include <thread>

namespace vrc::render
{

class LibraryMessages
{
public:
    explicit LibraryMessages (bool show);
    ~LibraryMessages(); // passes on the last lines, then gives standard error back

    LibraryMessages (const LibraryMessages&) = delete;
    LibraryMessages& operator= (const LibraryMessages&) = delete;

    /** Where vrc-render's own C-library writes go: the real standard error. */
    static std::FILE* ownErrors() noexcept;

private:
    std::FILE* original = nullptr;
    std::FILE* taken = nullptr;
    std::thread relay;
};

} // namespace vrc::render
