// Writes the bundle's Turtle description (manifest.ttl, VR-C.ttl) into the
// folder given, from the same port and plug-in tables the binary is built from.
// Run at build time; needs nothing but the tables.
#include "plugin/lv2/Lv2Ports.h"

#include "Lv2Namespaces.h" // generated from the installed LV2 core bundle

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/port-props/port-props.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace
{
using namespace vrc::lv2;

const char* const prefixes = "@prefix doap:   <" VRC_NS_DOAP "> .\n"
                             "@prefix foaf:   <" VRC_NS_FOAF "> .\n"
                             "@prefix lv2:    <" LV2_CORE_PREFIX "> .\n"
                             "@prefix pprops: <" LV2_PORT_PROPS_PREFIX "> .\n"
                             "@prefix rdf:    <" VRC_NS_RDF "> .\n"
                             "@prefix rdfs:   <" VRC_NS_RDFS "> .\n"
                             "@prefix state:  <" LV2_STATE_PREFIX "> .\n"
                             "@prefix ui:     <" LV2_UI_PREFIX "> .\n"
                             "@prefix units:  <" LV2_UNITS_PREFIX "> .\n"
                             "@prefix urid:   <" LV2_URID_PREFIX "> .\n\n";

const char* const binary = "VR-C.so";
const char* const description = "VR-C.ttl";

/** The shortest text that reads back as the same float, always as a decimal. */
std::string decimal (float v)
{
    char text[32];
    const auto end = std::to_chars (text, text + sizeof text, v).ptr;
    std::string s (text, end);
    if (s.find_first_of (".e") == std::string::npos)
        s += ".0";
    return s;
}

const char* unitName (Unit u)
{
    switch (u)
    {
        case Unit::db: return "units:db";
        case Unit::seconds: return "units:s";
        case Unit::percent: return "units:pc";
        case Unit::none: break;
    }
    return nullptr;
}

void settingPort (std::ostream& out, std::uint32_t index)
{
    const auto& p = settingPorts[index];
    out << "    lv2:port [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << index
        << " ;\n        lv2:symbol \"" << p.symbol << "\" ;\n        lv2:name \"" << p.name << "\" ;\n";
    if (p.enumeration)
    {
        out << "        lv2:default " << static_cast<int> (p.defaultValue) << " ;\n        lv2:minimum "
            << static_cast<int> (p.minimum) << " ;\n        lv2:maximum " << static_cast<int> (p.maximum)
            << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration ;\n";
        for (int v = 0; v < 2; ++v)
            out << "        lv2:scalePoint [ rdfs:label \"" << vrc::curveLabels[v] << "\" ; rdf:value " << v << " ] ;\n";
    }
    else
    {
        out << "        lv2:default " << decimal (p.defaultValue) << " ;\n        lv2:minimum " << decimal (p.minimum)
            << " ;\n        lv2:maximum " << decimal (p.maximum) << " ;\n";
        if (p.logarithmic)
            out << "        lv2:portProperty pprops:logarithmic ;\n";
        if (const char* unit = unitName (p.unit))
            out << "        units:unit " << unit << " ;\n";
    }
    out << "    ] ;\n";
}

void audioPort (std::ostream& out, std::uint32_t index, const char* direction, const char* symbol, int n, bool key)
{
    out << "    lv2:port [\n        a lv2:AudioPort , lv2:" << direction << " ;\n        lv2:index " << index
        << " ;\n        lv2:symbol \"" << symbol << "_" << n << "\" ;\n        lv2:name \"" << (key ? "Key " : "")
        << (direction[0] == 'I' ? "In " : "Out ") << n << "\" ;\n";
    if (key)
        out << "        lv2:portProperty lv2:isSideChain ;\n";
    out << "    ] ;\n";
}

void plugin (std::ostream& out, const Variant& v)
{
    out << "<" << v.uri << ">\n"
        << "    a lv2:Plugin , lv2:CompressorPlugin , doap:Project ;\n"
        << "    doap:name \"" << v.name << "\" ;\n"
        << "    doap:license <LICENSE> ;\n"
        << "    doap:maintainer [ a foaf:Person ; foaf:name \"veskara\" ] ;\n"
        << "    lv2:project <urn:veskara:vr-c:project> ;\n"
        << "    lv2:minorVersion 2 ;\n    lv2:microVersion 0 ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    ui:ui <" << uiUri << "> ;\n";
    for (std::uint32_t i = 0; i < settingPorts.size(); ++i)
        settingPort (out, i);
    out << "    lv2:port [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << enabledPort
        << " ;\n        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n        lv2:designation lv2:enabled ;\n"
        << "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n"
        << "        lv2:portProperty lv2:integer , lv2:toggled ;\n    ] ;\n";
    out << "    lv2:port [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " << latencyPort
        << " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n        lv2:designation lv2:latency ;\n"
        << "        lv2:minimum 0 ;\n        lv2:maximum 8192 ;\n        units:unit units:frame ;\n"
        << "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI ;\n    ] ;\n";
    auto index = firstAudioPort;
    for (int c = 1; c <= v.inputs; ++c)
        audioPort (out, index++, "InputPort", "in", c, false);
    for (int c = 1; c <= v.outputs; ++c)
        audioPort (out, index++, "OutputPort", "out", c, false);
    for (int c = 1; c <= v.keyInputs; ++c)
        audioPort (out, index++, "InputPort", "key", c, true);
    out << "    rdfs:comment \"A dynamics compressor with two transfer curves.\" .\n\n";
}

bool writeFile (const std::string& path, const std::string& text)
{
    std::ofstream file (path, std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool> (file);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: " << argv[0] << " BUNDLE_FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];

    std::ostringstream manifest;
    manifest << prefixes;
    for (const auto& v : variants)
        manifest << "<" << v.uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary << "> ;\n    rdfs:seeAlso <"
                 << description << "> .\n\n";
    manifest << "<" << uiUri << ">\n    a ui:X11UI ;\n    lv2:binary <" << binary << "> ;\n    rdfs:seeAlso <"
             << description << "> .\n";

    std::ostringstream dsp;
    dsp << prefixes;
    dsp << "<urn:veskara:vr-c:project>\n    a doap:Project ;\n    doap:name \"VR-C\" ;\n"
        << "    doap:license <LICENSE> ;\n"
        << "    doap:maintainer [ a foaf:Person ; foaf:name \"veskara\" ] .\n\n";
    for (const auto& v : variants)
        plugin (dsp, v);
    // The editor needs the instance it edits, a parent window, and idle calls
    // on the host's UI thread (which runs the editor's message loop).
    dsp << "<" << uiUri << ">\n    a ui:X11UI ;\n    lv2:binary <" << binary << "> ;\n"
        << "    lv2:requiredFeature ui:parent , ui:idleInterface , <" LV2_INSTANCE_ACCESS_URI "> ;\n"
        << "    lv2:optionalFeature ui:resize , ui:noUserResize , ui:touch ;\n"
        << "    lv2:extensionData ui:idleInterface .\n";

    if (! writeFile (folder + "/manifest.ttl", manifest.str()) || ! writeFile (folder + "/" + description, dsp.str()))
    {
        std::cerr << "cannot write into " << folder << "\n";
        return 1;
    }
    return 0;
}
