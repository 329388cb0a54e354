// The component registry: one small text file per key under the registry
// root, written atomically (temporary file, then rename). A missing, partial or
// damaged key reads as absent, that is "not registered".
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com.h"

namespace zeph::platform {

using RegistryValues = std::map<std::string, std::string>;

// $ZEPH_REGISTRY when set, else ${XDG_DATA_HOME:-$HOME/.local/share}/zeph/registry.
std::filesystem::path RegistryRoot();

// Keys are '/'-separated paths such as "CLSID/{...}" or "ProgID/NAME"; names
// and values are single-line texts. Write replaces the whole key.
bool RegistryWrite(std::string_view key, const RegistryValues& values);
std::optional<RegistryValues> RegistryRead(std::string_view key);
// True when the key is gone afterwards (also when it never existed).
bool RegistryDelete(std::string_view key);
// Whether the text can be one segment of a key (a ProgID, for instance): no
// separators, no leading dot, no "..", at most 200 bytes.
bool RegistrySegmentValid(std::string_view segment);

// Value names of the class keys: the module of a CLSID key, the class of a
// ProgID key.
inline constexpr const char* kClassModuleValue = "module";
inline constexpr const char* kProgIdClassValue = "clsid";

// What a control module registers for one creatable class.
struct ClassRegistration {
    CLSID clsid;
    std::string progId;
    std::string typeName;
    std::string modulePath;  // absolute path of the shared library
    std::string threadingModel = "Apartment";
    uint32_t miscStatus = 0;
    // Offered to containers that insert objects: the class key then holds an
    // "insertable" value.
    bool insertable = false;
    GUID typeLibrary;
    std::string typeLibraryVersion;  // "major.minor"
};

// Writes the ProgID key and the CLSID key; false when either write fails.
bool RegisterClass(const ClassRegistration& registration);
// Removes both keys; false when a key stays behind.
bool UnregisterClass(const CLSID& clsid, std::string_view progId);
// The type library key: its version and module.
bool RegisterTypeLibrary(const GUID& library, std::string_view version, std::string_view helpString,
                         std::string_view modulePath);
bool UnregisterTypeLibrary(const GUID& library, std::string_view version);

}  // namespace zeph::platform
