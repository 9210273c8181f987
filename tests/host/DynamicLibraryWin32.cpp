#include "DynamicLibrary.h"

#include <windows.h>

namespace vsthost
{
DynamicLibrary::DynamicLibrary (const std::string& path)
{
    handle = reinterpret_cast<void*> (LoadLibraryA (path.c_str()));
    if (handle == nullptr)
        error = "LoadLibrary failed with error " + std::to_string (GetLastError());
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle != nullptr)
        FreeLibrary (static_cast<HMODULE> (handle));
}

void* DynamicLibrary::findSymbol (const char* name) const
{
    return handle != nullptr ? reinterpret_cast<void*> (GetProcAddress (static_cast<HMODULE> (handle), name)) : nullptr;
}
} // namespace vsthost
