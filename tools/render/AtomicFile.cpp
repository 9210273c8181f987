#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vrc::render
{

namespace
{
// The temporary files being written, by name in storage that never moves, so a
// signal handler can remove them: a slot is free (0), being filled (1) or armed (2).
constexpr int slotCount = 64;
constexpr size_t slotBytes = 4096;
std::atomic<int> slotState[slotCount];
char slotPath[slotCount][slotBytes];

int armSlot (const juce::String& path)
{
    const auto bytes = path.getNumBytesAsUTF8();
    if (bytes >= slotBytes)
        return -1;
    for (int i = 0; i < slotCount; ++i)
    {
        int expected = 0;
        if (slotState[i].compare_exchange_strong (expected, 1))
        {
            std::memcpy (slotPath[i], path.toRawUTF8(), bytes + 1);
            slotState[i].store (2);
            return i;
        }
    }
    return -1;
}

void releaseSlot (int i)
{
    if (i >= 0)
        slotState[i].store (0);
}

std::string errnoText (int e)
{
    return std::strerror (e);
}

std::string quoted (const juce::File& f)
{
    return "'" + f.getFullPathName().toStdString() + "'";
}

/** The file a chain of symbolic links ends at (which need not exist yet), so
    that writing replaces the file the link points to, and the link stays. */
juce::File followLinks (juce::File file)
{
    for (int hops = 0; hops < 40; ++hops) // the kernel's own limit for a chain of links
    {
        const auto path = file.getFullPathName();
        struct stat info {};
        if (::lstat (path.toRawUTF8(), &info) != 0 || ! S_ISLNK (info.st_mode))
            break;
        std::vector<char> link ((size_t) info.st_size + 256);
        const auto n = ::readlink (path.toRawUTF8(), link.data(), link.size());
        if (n <= 0 || (size_t) n >= link.size())
            break;
        file = file.getParentDirectory().getChildFile (juce::String::fromUTF8 (link.data(), (int) n));
    }
    return file;
}
} // namespace

std::string AtomicFile::refusalFor (const juce::File& file, const struct stat& info)
{
    const char* kind = S_ISFIFO (info.st_mode) ? "a named pipe"
                       : S_ISCHR (info.st_mode) ? "a character device"
                       : S_ISBLK (info.st_mode) ? "a block device"
                       : S_ISSOCK (info.st_mode) ? "a socket"
                       : S_ISDIR (info.st_mode) ? "a folder" : "not a regular file";
    return "cannot write " + quoted (file) + ": it is " + kind
           + ", which an output never replaces (to send audio into it, write to standard output: - > "
           + quoted (file) + ")";
}

std::string AtomicFile::checkTarget (const juce::File& file)
{
    struct stat info {};
    const auto target = followLinks (file);
    if (::lstat (target.getFullPathName().toRawUTF8(), &info) == 0 && ! S_ISREG (info.st_mode))
        return refusalFor (target, info);
    return {};
}

// A buffered stream over a file descriptor that retries short writes and keeps
// the first failure, so an error seen inside a format writer's destructor (which
// the framework's writers cannot report) is still known at commit time.
class AtomicFile::CheckedStream : public juce::OutputStream
{
public:
    CheckedStream (int fileDescriptor, std::shared_ptr<Status> s)
        : fd (fileDescriptor), status (std::move (s))
    {
        buffer.reserve (bufferSize);
    }

    ~CheckedStream() override
    {
        flushBuffer();
        if (::close (fd) != 0)
            record (errno);
    }

    void flush() override { flushBuffer(); }

    bool setPosition (juce::int64 newPosition) override
    {
        if (! flushBuffer())
            return false;
        if (::lseek (fd, static_cast<off_t> (newPosition), SEEK_SET) < 0)
        {
            record (errno);
            return false;
        }
        position = newPosition;
        return true;
    }

    juce::int64 getPosition() override { return position; }

    bool write (const void* data, size_t numBytes) override
    {
        if (! status->firstError.empty())
            return false;
        const auto* bytes = static_cast<const char*> (data);
        if (buffer.size() + numBytes > bufferSize && ! flushBuffer())
            return false;
        if (numBytes >= bufferSize)
        {
            if (! writeOut (bytes, numBytes))
                return false;
        }
        else
        {
            buffer.insert (buffer.end(), bytes, bytes + numBytes);
        }
        position += static_cast<juce::int64> (numBytes);
        return true;
    }

private:
    static constexpr size_t bufferSize = 1 << 16;

    bool flushBuffer()
    {
        const bool ok = buffer.empty() || writeOut (buffer.data(), buffer.size());
        buffer.clear();
        return ok;
    }

    bool writeOut (const char* bytes, size_t numBytes)
    {
        while (numBytes > 0)
        {
            const auto written = ::write (fd, bytes, numBytes);
            if (written < 0)
            {
                if (errno == EINTR)
                    continue;
                record (errno);
                return false;
            }
            bytes += written;
            numBytes -= static_cast<size_t> (written);
            unsynced += static_cast<std::uint64_t> (written);
        }
        // The file is synced before it is renamed into place; asking the kernel to
        // start writing each few MiB out as it comes leaves that sync little to wait for.
        if (unsynced >= syncStep)
        {
            ::sync_file_range (fd, static_cast<off_t> (syncedUpTo), static_cast<off_t> (unsynced), SYNC_FILE_RANGE_WRITE);
            syncedUpTo += unsynced;
            unsynced = 0;
        }
        return true;
    }

    void record (int e)
    {
        if (status->firstError.empty())
            status->firstError = errnoText (e);
    }

    static constexpr std::uint64_t syncStep = 8 << 20;

    int fd;
    std::uint64_t syncedUpTo = 0, unsynced = 0; // (in write order: a seek back only rewrites the header)
    std::shared_ptr<Status> status;
    std::vector<char> buffer;
    juce::int64 position = 0;
};

AtomicFile::AtomicFile (juce::File targetFile)
    : target (followLinks (std::move (targetFile)))
{
}

AtomicFile::~AtomicFile()
{
    if (! committed && temporary != juce::File())
        ::unlink (temporary.getFullPathName().toRawUTF8());
    releaseSlot (slot);
}

void AtomicFile::removeUnfinished() noexcept
{
    for (int i = 0; i < slotCount; ++i)
        if (slotState[i].load() == 2)
            ::unlink (slotPath[i]);
}

void AtomicFile::fail (const std::string& what)
{
    if (errorText.empty())
        errorText = what;
}

std::unique_ptr<juce::OutputStream> AtomicFile::open()
{
    const auto folder = target.getParentDirectory();
    if (! folder.isDirectory())
    {
        fail ("cannot write " + quoted (target) + ": folder " + quoted (folder) + " does not exist");
        return nullptr;
    }
    if (target.isDirectory())
    {
        fail ("cannot write " + quoted (target) + ": it is a folder");
        return nullptr;
    }

    // Hidden, unique per process and call, in the same folder so the final rename
    // never crosses file systems, and short, so any name the folder accepts for
    // the target also works here.
    static std::atomic<int> counter { 0 };
    temporary = folder.getChildFile (".vrc-render-" + juce::String (::getpid()) + "-" + juce::String (counter.fetch_add (1))
                                     + ".part");
    // (armed before it exists: a signal between the two removes a name not there yet, harmlessly)
    releaseSlot (slot);
    slot = armSlot (temporary.getFullPathName());
    const int fd = ::open (temporary.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        const int e = errno;
        temporary = juce::File();
        fail ("cannot write " + quoted (target) + ": " + errnoText (e));
        return nullptr;
    }
    return std::make_unique<CheckedStream> (fd, status);
}

bool AtomicFile::commit (bool overwrite)
{
    if (temporary == juce::File())
    {
        fail ("cannot write " + quoted (target) + ": nothing was written");
        return false;
    }
    if (! status->firstError.empty())
    {
        fail ("cannot write " + quoted (target) + ": " + status->firstError);
        return false;
    }

    // A full disk may only show when delayed blocks are allocated: sync before renaming.
    const auto tempPath = temporary.getFullPathName();
    const int fd = ::open (tempPath.toRawUTF8(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync (fd) != 0)
    {
        const int e = errno;
        if (fd >= 0)
            ::close (fd);
        fail ("cannot write " + quoted (target) + ": " + errnoText (e));
        return false;
    }
    ::close (fd);

    const auto targetPath = target.getFullPathName();
    int result = 0;
    struct stat existing {};
    const bool replacing = ::lstat (targetPath.toRawUTF8(), &existing) == 0;
    if (replacing && ! S_ISREG (existing.st_mode))
    {
        fail (refusalFor (target, existing));
        return false;
    }
    // A replaced file keeps its owner, group and permission bits (a shared or
    // private file stays so); when its owner cannot be kept, it is not replaced.
    if (overwrite && replacing)
    {
        if ((existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            && ::chown (tempPath.toRawUTF8(), existing.st_uid, existing.st_gid) != 0)
        {
            fail ("cannot replace " + quoted (target) + ": it belongs to another user or group, which a new file cannot keep ("
                  + errnoText (errno) + ")");
            return false;
        }
        ::chmod (tempPath.toRawUTF8(), existing.st_mode & 07777);
    }
    if (overwrite)
    {
        result = ::rename (tempPath.toRawUTF8(), targetPath.toRawUTF8());
    }
    else
    {
        result = ::renameat2 (AT_FDCWD, tempPath.toRawUTF8(), AT_FDCWD, targetPath.toRawUTF8(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS))
        {
            // File systems without no-replace renames: check, then rename.
            if (target.exists())
                errno = EEXIST;
            else
                result = ::rename (tempPath.toRawUTF8(), targetPath.toRawUTF8());
        }
    }
    if (result != 0)
    {
        const int e = errno;
        fail (e == EEXIST ? quoted (target) + " exists (--overwrite replaces it)"
                          : "cannot write " + quoted (target) + ": " + errnoText (e));
        return false;
    }
    committed = true;
    releaseSlot (slot);
    slot = -1;

    // Make the new name itself durable; a failure here loses nothing already written.
    const int dir = ::open (target.getParentDirectory().getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        ::fsync (dir);
        ::close (dir);
    }
    return true;
}

bool AtomicFile::writeAll (const void* data, size_t size, bool overwrite)
{
    auto stream = open();
    if (stream == nullptr)
        return false;
    stream->write (data, size);
    stream.reset();
    return commit (overwrite);
}

} // namespace vrc::render
