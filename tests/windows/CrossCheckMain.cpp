// vrc_crosscheck: runs a fixed session against the built plug-in and compares
// the results of two builds (see CrossCheck.h).
//   vrc_crosscheck dump <dir>
//   vrc_crosscheck compare <reference dir> <candidate dir> [audio tolerance]
//   vrc_crosscheck editor <ready file> <done file>
//   vrc_crosscheck vst3dump <bundle binary> <dir>
//   vrc_crosscheck vst3compare <reference dir> <candidate dir> <reference VST2 dir>
//   vrc_crosscheck vst3editor <bundle binary>
#include "CrossCheck.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main (int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    bool ok = false;
    if (mode == "dump" && argc == 3)
        ok = crosscheck::writeDump (argv[2]);
    else if (mode == "compare" && (argc == 4 || argc == 5))
        ok = crosscheck::compareDumps (argv[2], argv[3], argc == 5 ? std::strtof (argv[4], nullptr) : 1.0e-5f);
    else if (mode == "editor" && argc == 4)
        ok = crosscheck::showEditor (argv[2], argv[3]);
    else if (mode == "vst3dump" && argc == 4)
        ok = crosscheck::writeVst3Dump (argv[2], argv[3]);
    else if (mode == "vst3compare" && argc == 5)
        ok = crosscheck::compareVst3Dumps (argv[2], argv[3], argv[4]);
    else if (mode == "vst3editor" && argc == 3)
        ok = crosscheck::checkVst3Editor (argv[2]);
    else
    {
        std::fprintf (stderr, "usage: vrc_crosscheck dump <dir> | compare <reference> <candidate> [tolerance] | editor <ready> <done>\n"
                             "       | vst3dump <bundle binary> <dir> | vst3compare <reference> <candidate> <reference VST2 dir>\n"
                             "       | vst3editor <bundle binary>\n");
        return 2;
    }
    return ok ? 0 : 1;
}
