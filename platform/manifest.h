// Registration-free activation: manifests that name component classes and
// the module files serving them, for clients that find no registration.
#pragma once

#include <string>
#include <vector>

#include "platform/com.h"

namespace zeph::platform {

struct ManifestClass {
    std::string progId;  // may be empty: creatable by CLSID only
    CLSID clsid;
    std::string module;  // absolute
};

// The classes of the manifest at `path`; empty when there is none or when any
// part of it is damaged, as a half-understood manifest must not register
// anything. Lines "name=value": progid, clsid, module (a path, relative to the
// manifest's folder unless absolute); one class per block of lines, blocks
// separated by an empty line; lines starting with '#' are comments.
std::vector<ManifestClass> ReadManifest(const std::string& path);

// The manifests consulted, in order, when the registry has no usable answer:
// "<executable>.manifest" beside /proc/self/exe (a build tree, or a program
// shipped with its own), then the one installed beside the component modules,
// found from the executable's folder as the installed layout places it.
// Empty when the executable cannot be found.
std::vector<std::string> ManifestPaths();

// The first of them: the manifest beside the executable.
std::string ManifestPath();

}  // namespace zeph::platform
