#include "DynamicLibrary.h"

#include <dlfcn.h>

namespace vsthost
{
DynamicLibrary::DynamicLibrary (const std::string& path)
{
    // RTLD_LOCAL as hosts do: the plug-in's symbols must not leak into the host.
    handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        if (const char* message = dlerror())
            error = message;
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle != nullptr)
        dlclose (handle);
}

void* DynamicLibrary::findSymbol (const char* name) const
{
    return handle != nullptr ? dlsym (handle, name) : nullptr;
}
} // namespace vsthost
