#pragma once
// Loads a shared library and looks up exported symbols; the one place where the
// test host differs between dlopen (Linux) and LoadLibrary (Windows).
#include <string>

namespace vsthost
{
class DynamicLibrary
{
public:
    explicit DynamicLibrary (const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary (const DynamicLibrary&) = delete;
    DynamicLibrary& operator= (const DynamicLibrary&) = delete;

    bool isLoaded() const noexcept { return handle != nullptr; }
    /** Why loading failed, when it did. */
    const std::string& getError() const noexcept { return error; }
    /** The exported symbol's address, or nullptr. */
    void* findSymbol (const char* name) const;

private:
    void* handle = nullptr;
    std::string error;
};
} // namespace vsthost
