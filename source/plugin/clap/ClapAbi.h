#pragma once
// The part of the CLAP 1.2 binary interface VR-C uses, declared by the project
// (no CLAP headers are packaged). Layouts follow the published C ABI; the
// layout test (tests/clap) pins sizes and offsets on x86-64.
#include <cstdint>

#if defined(_WIN32)
 #define VRC_CLAP_ABI __cdecl
#else
 #define VRC_CLAP_ABI
#endif

namespace vrc::clap
{
using Id = std::uint32_t;
constexpr Id invalidId = 0xffffffffu;

struct Version
{
    std::uint32_t major, minor, revision;
};
/** The interface version this build implements; hosts accept any 1.x. */
constexpr Version version { 1, 2, 0 };

struct Host;
struct Plugin;
struct Process;

struct PluginDescriptor
{
    Version clapVersion;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manualUrl;
    const char* supportUrl;
    const char* version;
    const char* description;
    const char* const* features; // null-terminated list
};

struct Plugin
{
    const PluginDescriptor* desc;
    void* pluginData;
    bool (VRC_CLAP_ABI* init) (const Plugin*);
    void (VRC_CLAP_ABI* destroy) (const Plugin*);
    bool (VRC_CLAP_ABI* activate) (const Plugin*, double sampleRate, std::uint32_t minFrames, std::uint32_t maxFrames);
    void (VRC_CLAP_ABI* deactivate) (const Plugin*);
    bool (VRC_CLAP_ABI* startProcessing) (const Plugin*);
    void (VRC_CLAP_ABI* stopProcessing) (const Plugin*);
    void (VRC_CLAP_ABI* reset) (const Plugin*);
    std::int32_t (VRC_CLAP_ABI* process) (const Plugin*, const Process*);
    const void* (VRC_CLAP_ABI* getExtension) (const Plugin*, const char* id);
    void (VRC_CLAP_ABI* onMainThread) (const Plugin*);
};

struct Host
{
    Version clapVersion;
    void* hostData;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (VRC_CLAP_ABI* getExtension) (const Host*, const char* id);
    void (VRC_CLAP_ABI* requestRestart) (const Host*);
    void (VRC_CLAP_ABI* requestProcess) (const Host*);
    void (VRC_CLAP_ABI* requestCallback) (const Host*);
};

struct PluginFactory
{
    std::uint32_t (VRC_CLAP_ABI* getPluginCount) (const PluginFactory*);
    const PluginDescriptor* (VRC_CLAP_ABI* getPluginDescriptor) (const PluginFactory*, std::uint32_t index);
    const Plugin* (VRC_CLAP_ABI* createPlugin) (const PluginFactory*, const Host*, const char* pluginId);
};
inline constexpr const char* pluginFactoryId = "clap.plugin-factory";

struct PluginEntry
{
    Version clapVersion;
    bool (VRC_CLAP_ABI* init) (const char* pluginPath);
    void (VRC_CLAP_ABI* deinit)();
    const void* (VRC_CLAP_ABI* getFactory) (const char* factoryId);
};

// Events -------------------------------------------------------------------
struct EventHeader
{
    std::uint32_t size; // of the whole event
    std::uint32_t time; // frame within the block
    std::uint16_t spaceId;
    std::uint16_t type;
    std::uint32_t flags;
};
constexpr std::uint16_t coreEventSpace = 0;
constexpr std::uint16_t eventParamValue = 5;
constexpr std::uint16_t eventParamGestureBegin = 7;
constexpr std::uint16_t eventParamGestureEnd = 8;

struct EventParamValue
{
    EventHeader header;
    Id paramId;
    void* cookie;
    std::int32_t noteId;
    std::int16_t portIndex, channel, key;
    double value;
};

struct EventParamGesture
{
    EventHeader header;
    Id paramId;
};

struct InputEvents
{
    void* ctx;
    std::uint32_t (VRC_CLAP_ABI* size) (const InputEvents*);
    const EventHeader* (VRC_CLAP_ABI* get) (const InputEvents*, std::uint32_t index);
};

struct OutputEvents
{
    void* ctx;
    bool (VRC_CLAP_ABI* tryPush) (const OutputEvents*, const EventHeader*);
};

// Processing ---------------------------------------------------------------
struct AudioBuffer
{
    float** data32;
    double** data64;
    std::uint32_t channelCount;
    std::uint32_t latency;
    std::uint64_t constantMask;
};

struct Process
{
    std::int64_t steadyTime;
    std::uint32_t framesCount;
    const void* transport;
    const AudioBuffer* audioInputs;
    AudioBuffer* audioOutputs;
    std::uint32_t audioInputsCount;
    std::uint32_t audioOutputsCount;
    const InputEvents* inEvents;
    const OutputEvents* outEvents;
};
constexpr std::int32_t processError = 0;
constexpr std::int32_t processContinue = 1;

// Extensions -----------------------------------------------------------------
constexpr std::uint32_t nameSize = 256;
constexpr std::uint32_t pathSize = 1024;

inline constexpr const char* extAudioPorts = "clap.audio-ports";
inline constexpr const char* portMono = "mono";
inline constexpr const char* portStereo = "stereo";
constexpr std::uint32_t audioPortIsMain = 1u << 0;

struct AudioPortInfo
{
    Id id;
    char name[nameSize];
    std::uint32_t flags;
    std::uint32_t channelCount;
    const char* portType;
    Id inPlacePair;
};

struct PluginAudioPorts
{
    std::uint32_t (VRC_CLAP_ABI* count) (const Plugin*, bool isInput);
    bool (VRC_CLAP_ABI* get) (const Plugin*, std::uint32_t index, bool isInput, AudioPortInfo* info);
};

inline constexpr const char* extParams = "clap.params";
constexpr std::uint32_t paramIsStepped = 1u << 0;
constexpr std::uint32_t paramIsAutomatable = 1u << 5;
constexpr std::uint32_t paramIsEnum = 1u << 16;
constexpr std::uint32_t paramRescanValues = 1u << 0;

struct ParamInfo
{
    Id id;
    std::uint32_t flags;
    void* cookie;
    char name[nameSize];
    char module[pathSize];
    double minValue, maxValue, defaultValue;
};

struct PluginParams
{
    std::uint32_t (VRC_CLAP_ABI* count) (const Plugin*);
    bool (VRC_CLAP_ABI* getInfo) (const Plugin*, std::uint32_t index, ParamInfo* info);
    bool (VRC_CLAP_ABI* getValue) (const Plugin*, Id, double* value);
    bool (VRC_CLAP_ABI* valueToText) (const Plugin*, Id, double value, char* text, std::uint32_t capacity);
    bool (VRC_CLAP_ABI* textToValue) (const Plugin*, Id, const char* text, double* value);
    void (VRC_CLAP_ABI* flush) (const Plugin*, const InputEvents*, const OutputEvents*);
};

struct HostParams
{
    void (VRC_CLAP_ABI* rescan) (const Host*, std::uint32_t flags);
    void (VRC_CLAP_ABI* clear) (const Host*, Id, std::uint32_t flags);
    void (VRC_CLAP_ABI* requestFlush) (const Host*);
};

struct InputStream
{
    void* ctx;
    /** Bytes read, 0 at the end, -1 on an error. */
    std::int64_t (VRC_CLAP_ABI* read) (const InputStream*, void* buffer, std::uint64_t size);
};

struct OutputStream
{
    void* ctx;
    /** Bytes written, -1 on an error. */
    std::int64_t (VRC_CLAP_ABI* write) (const OutputStream*, const void* buffer, std::uint64_t size);
};

inline constexpr const char* extState = "clap.state";
struct PluginState
{
    bool (VRC_CLAP_ABI* save) (const Plugin*, const OutputStream*);
    bool (VRC_CLAP_ABI* load) (const Plugin*, const InputStream*);
};

inline constexpr const char* extLatency = "clap.latency";
struct PluginLatency
{
    std::uint32_t (VRC_CLAP_ABI* get) (const Plugin*);
};

inline constexpr const char* extTail = "clap.tail";
struct PluginTail
{
    std::uint32_t (VRC_CLAP_ABI* get) (const Plugin*);
};

inline constexpr const char* extGui = "clap.gui";
inline constexpr const char* windowApiX11 = "x11";
inline constexpr const char* windowApiWin32 = "win32";

struct Window
{
    const char* api;
    union
    {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct GuiResizeHints
{
    bool canResizeHorizontally;
    bool canResizeVertically;
    bool preserveAspectRatio;
    std::uint32_t aspectRatioWidth;
    std::uint32_t aspectRatioHeight;
};

struct PluginGui
{
    bool (VRC_CLAP_ABI* isApiSupported) (const Plugin*, const char* api, bool isFloating);
    bool (VRC_CLAP_ABI* getPreferredApi) (const Plugin*, const char** api, bool* isFloating);
    bool (VRC_CLAP_ABI* create) (const Plugin*, const char* api, bool isFloating);
    void (VRC_CLAP_ABI* destroy) (const Plugin*);
    bool (VRC_CLAP_ABI* setScale) (const Plugin*, double scale);
    bool (VRC_CLAP_ABI* getSize) (const Plugin*, std::uint32_t* width, std::uint32_t* height);
    bool (VRC_CLAP_ABI* canResize) (const Plugin*);
    bool (VRC_CLAP_ABI* getResizeHints) (const Plugin*, GuiResizeHints*);
    bool (VRC_CLAP_ABI* adjustSize) (const Plugin*, std::uint32_t* width, std::uint32_t* height);
    bool (VRC_CLAP_ABI* setSize) (const Plugin*, std::uint32_t width, std::uint32_t height);
    bool (VRC_CLAP_ABI* setParent) (const Plugin*, const Window*);
    bool (VRC_CLAP_ABI* setTransient) (const Plugin*, const Window*);
    void (VRC_CLAP_ABI* suggestTitle) (const Plugin*, const char* title);
    bool (VRC_CLAP_ABI* show) (const Plugin*);
    bool (VRC_CLAP_ABI* hide) (const Plugin*);
};

inline constexpr const char* extTimerSupport = "clap.timer-support";
struct PluginTimerSupport
{
    void (VRC_CLAP_ABI* onTimer) (const Plugin*, Id timerId);
};
struct HostTimerSupport
{
    bool (VRC_CLAP_ABI* registerTimer) (const Host*, std::uint32_t periodMs, Id* timerId);
    bool (VRC_CLAP_ABI* unregisterTimer) (const Host*, Id timerId);
};

inline constexpr const char* extPosixFdSupport = "clap.posix-fd-support";
constexpr std::uint32_t posixFdRead = 1u << 0;
constexpr std::uint32_t posixFdError = 1u << 2;
struct PluginPosixFdSupport
{
    void (VRC_CLAP_ABI* onFd) (const Plugin*, int fd, std::uint32_t flags);
};
struct HostPosixFdSupport
{
    bool (VRC_CLAP_ABI* registerFd) (const Host*, int fd, std::uint32_t flags);
    bool (VRC_CLAP_ABI* modifyFd) (const Host*, int fd, std::uint32_t flags);
    bool (VRC_CLAP_ABI* unregisterFd) (const Host*, int fd);
};
} // namespace vrc::clap
