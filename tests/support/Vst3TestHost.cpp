#include "Vst3TestHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vst3host
{
using namespace Steinberg;

namespace
{
bool sameIid (const TUID a, const TUID b)
{
    return std::memcmp (a, b, sizeof (TUID)) == 0;
}

template <typename Interface>
Interface* query (FUnknown* object, const TUID iid)
{
    void* result = nullptr;
    if (object == nullptr || object->queryInterface (iid, &result) != kResultOk)
        return nullptr;
    return static_cast<Interface*> (result);
}

template <typename Interface>
void releaseAndClear (Interface*& object)
{
    if (object != nullptr)
        object->release();
    object = nullptr;
}
} // namespace

// Windows hosts call InitDll before anything else and ExitDll last; Linux hosts
// call ModuleEntry and ModuleExit. The framework sets itself up in those.
Vst3Module::Vst3Module (const std::string& binaryPath) : library (binaryPath)
{
    if (! library.isLoaded())
    {
        problem = "cannot load " + binaryPath + ": " + library.getError();
        return;
    }
#if defined(_WIN32)
    if (auto initDll = reinterpret_cast<bool (*)()> (library.findSymbol ("InitDll")))
        entered = initDll();
#else
    if (auto moduleEntry = reinterpret_cast<bool (*) (void*)> (library.findSymbol ("ModuleEntry")))
        entered = moduleEntry (nullptr);
#endif
    if (! entered)
    {
        problem = "the module's entry function is missing or failed";
        return;
    }
    auto getFactory = reinterpret_cast<GetFactoryProc> (library.findSymbol ("GetPluginFactory"));
    pluginFactory = getFactory != nullptr ? getFactory() : nullptr;
    if (pluginFactory == nullptr)
        problem = "GetPluginFactory is missing or returned no factory";
}

Vst3Module::~Vst3Module()
{
    releaseAndClear (pluginFactory);
    if (! entered)
        return;
#if defined(_WIN32)
    if (auto exitDll = reinterpret_cast<bool (*)()> (library.findSymbol ("ExitDll")))
        exitDll();
#else
    if (auto moduleExit = reinterpret_cast<bool (*)()> (library.findSymbol ("ModuleExit")))
        moduleExit();
#endif
}

tresult PLUGIN_API MemoryStream::queryInterface (const TUID queried, void** obj)
{
    if (sameIid (queried, FUnknown_iid) || sameIid (queried, IBStream_iid))
    {
        *obj = static_cast<IBStream*> (this);
        return kResultOk;
    }
    if (shape.sizeable && shape.endless == 0 && sameIid (queried, ISizeableStream_iid))
    {
        *obj = static_cast<ISizeableStream*> (this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API MemoryStream::read (void* buffer, int32 numBytes, int32* numBytesRead)
{
    if (numBytes < 0)
        return kInvalidArgument;
    auto count = std::min (static_cast<size_t> (numBytes), size() - position);
    if (shape.piece != 0)
        count = std::min (count, shape.piece);
    if (shape.endless != 0)
        std::memset (buffer, 'x', count);
    else if (count > 0)
        std::memcpy (buffer, bytes.data() + position, count);
    position += count;
    if (numBytesRead != nullptr)
        *numBytesRead = static_cast<int32> (count);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::write (void* buffer, int32 numBytes, int32* numBytesWritten)
{
    if (numBytes < 0 || shape.endless != 0)
        return kInvalidArgument;
    const auto count = static_cast<size_t> (numBytes);
    if (bytes.size() < position + count)
        bytes.resize (position + count);
    if (count > 0)
        std::memcpy (bytes.data() + position, buffer, count);
    position += count;
    if (numBytesWritten != nullptr)
        *numBytesWritten = numBytes;
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek (int64 pos, int32 mode, int64* result)
{
    const auto base = mode == kIBSeekCur ? static_cast<int64> (position)
                      : mode == kIBSeekEnd ? static_cast<int64> (size())
                                           : 0;
    if (base + pos < 0 || base + pos > static_cast<int64> (size()))
        return kInvalidArgument;
    position = static_cast<size_t> (base + pos);
    if (result != nullptr)
        *result = static_cast<int64> (position);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell (int64* pos)
{
    if (pos == nullptr)
        return kInvalidArgument;
    *pos = static_cast<int64> (position);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::getStreamSize (int64& streamSize)
{
    streamSize = static_cast<int64> (bytes.size());
    return kResultOk;
}

Vst3Instance::Vst3Instance (const Vst3Module& module)
{
    auto* factory = module.factory();
    if (factory == nullptr)
        return;
    for (int32 i = 0; i < factory->countClasses() && component == nullptr; ++i)
    {
        PClassInfo info {};
        if (factory->getClassInfo (i, &info) == kResultOk && std::strcmp (info.category, kVstAudioEffectClass) == 0)
            factory->createInstance (info.cid, Vst::IComponent_iid, reinterpret_cast<void**> (&component));
    }
    if (component == nullptr || component->initialize (nullptr) != kResultOk)
        return;
    processor = query<Vst::IAudioProcessor> (component, Vst::IAudioProcessor_iid);

    TUID controllerId {};
    if (component->getControllerClassId (controllerId) != kResultOk
        || factory->createInstance (controllerId, Vst::IEditController_iid, reinterpret_cast<void**> (&controller)) != kResultOk
        || controller == nullptr)
    {
        controller = nullptr;
        return;
    }
    if (controller->initialize (nullptr) != kResultOk)
    {
        releaseAndClear (controller);
        return;
    }

    // Component and controller talk through their connection points; a host
    // connects them directly (or through proxies) in both directions.
    componentPoint = query<Vst::IConnectionPoint> (component, Vst::IConnectionPoint_iid);
    controllerPoint = query<Vst::IConnectionPoint> (controller, Vst::IConnectionPoint_iid);
    if (componentPoint != nullptr && controllerPoint != nullptr)
    {
        componentPoint->connect (controllerPoint);
        controllerPoint->connect (componentPoint);
    }
    MemoryStream state (getState());
    controller->setComponentState (&state);
}

Vst3Instance::~Vst3Instance()
{
    if (componentPoint != nullptr && controllerPoint != nullptr)
    {
        componentPoint->disconnect (controllerPoint);
        controllerPoint->disconnect (componentPoint);
    }
    releaseAndClear (componentPoint);
    releaseAndClear (controllerPoint);
    if (controller != nullptr)
        controller->terminate();
    releaseAndClear (controller);
    releaseAndClear (processor);
    if (component != nullptr)
        component->terminate();
    releaseAndClear (component);
}

std::vector<unsigned char> Vst3Instance::getState() const
{
    MemoryStream stream;
    if (component == nullptr || component->getState (&stream) != kResultOk)
        return {};
    return stream.data();
}

bool Vst3Instance::setState (const std::vector<unsigned char>& state) const
{
    MemoryStream forComponent (state), forController (state);
    if (component == nullptr || controller == nullptr || component->setState (&forComponent) != kResultOk)
        return false;
    // The framework's controller takes its values from the shared processor and
    // then answers with its SDK base class's "not implemented": not a failure.
    controller->setComponentState (&forController);
    return true;
}

std::string asciiText (const Vst::TChar* text, size_t maxLength)
{
    std::string result;
    for (size_t i = 0; i < maxLength && text[i] != 0; ++i)
    {
        const auto unit = static_cast<unsigned> (static_cast<char16_t> (text[i]));
        if (unit >= 0x20 && unit < 0x7f)
        {
            result += static_cast<char> (unit);
            continue;
        }
        char escaped[8];
        std::snprintf (escaped, sizeof (escaped), "\\u%04x", unit);
        result += escaped;
    }
    return result;
}
} // namespace vst3host
