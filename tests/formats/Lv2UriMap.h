#pragma once
// A host's URID map and unmap for the LV2 tests: a URI gets the next number the
// first time it is asked for and keeps it. Calls come from one thread at a time.
#include <lv2/urid/urid.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vrc::formats
{
class Lv2UriMap
{
public:
    Lv2UriMap() = default;
    Lv2UriMap (const Lv2UriMap&) = delete; // the features point at this one
    Lv2UriMap& operator= (const Lv2UriMap&) = delete;

    LV2_URID map (const char* uri)
    {
        const auto it = std::find (uris.begin(), uris.end(), uri);
        if (it != uris.end())
            return static_cast<LV2_URID> (it - uris.begin() + 1);
        uris.emplace_back (uri);
        return static_cast<LV2_URID> (uris.size());
    }

    const char* unmap (LV2_URID urid) const { return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr; }

    LV2_URID_Map mapData { this, [] (LV2_URID_Map_Handle h, const char* uri) { return static_cast<Lv2UriMap*> (h)->map (uri); } };
    LV2_URID_Unmap unmapData { this, [] (LV2_URID_Unmap_Handle h, LV2_URID urid) { return static_cast<Lv2UriMap*> (h)->unmap (urid); } };

private:
    std::vector<std::string> uris;
};
} // namespace vrc::formats
