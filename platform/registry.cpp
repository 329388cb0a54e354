// The component registry: one small text file per key under RegistryRoot().
//
//   zeph-registry 1
//   name=value
//   ...
//   end
//
// A file is trusted only when it is complete: the header, well-formed lines and
// the final "end" line with its newline. Because every value line holds a '='
// and "end" does not, no proper prefix of a written file can pass, so a write
// cut short reads as absent ("not registered"), never as a shorter key.
#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace zeph::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "zeph-registry 1";
constexpr std::string_view kEnd = "end";
// Keys hold a handful of short values; anything bigger is not one of ours.
constexpr std::size_t kMaxFileSize = 64 * 1024;
// Leaves room for the temporary name (".<segment>.XXXXXX") within NAME_MAX.
constexpr std::size_t kMaxSegment = 200;
constexpr std::size_t kMaxKey = 1024;

// Value names of the keys written here.
constexpr const char* kClassModule = kClassModuleValue;
constexpr const char* kClassProgId = "progid";
constexpr const char* kClassTypeName = "typename";
constexpr const char* kClassThreading = "threadingmodel";
constexpr const char* kClassMiscStatus = "miscstatus";
constexpr const char* kClassInsertable = "insertable";
constexpr const char* kClassTypeLibrary = "typelib";
constexpr const char* kClassTypeLibraryVersion = "typelibversion";
constexpr const char* kProgIdClass = kProgIdClassValue;
constexpr const char* kLibraryHelp = "helpstring";
constexpr const char* kLibraryModule = "module";

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closing explicitly lets the writer see a late write error.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

// A file that is removed again unless Keep() is called: failed writes leave
// nothing behind.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Keep() { path_.clear(); }

  private:
    std::string path_;
};

bool IsSegmentCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) return true;  // UTF-8 text: any byte of it is fine in a file name
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("._-+{}@~").find(c) != std::string_view::npos;
}

// A leading '.' is refused too: it keeps "." and ".." out and reserves dot
// names for the temporary files, so no key can collide with one.
bool SegmentValid(std::string_view segment) {
    if (segment.empty() || segment.size() > kMaxSegment || segment.front() == '.') return false;
    if (segment.find("..") != std::string_view::npos) return false;
    for (char c : segment) {
        if (!IsSegmentCharacter(c)) return false;
    }
    return true;
}

struct KeyLocation {
    fs::path root;
    fs::path file;
    std::size_t folders = 0;  // folders between root and file
};

std::optional<KeyLocation> Locate(std::string_view key) {
    if (key.empty() || key.size() > kMaxKey) return std::nullopt;
    KeyLocation location{RegistryRoot(), {}, 0};
    if (location.root.empty()) return std::nullopt;
    location.file = location.root;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = key.find('/', start);
        const std::string_view segment = key.substr(start, slash - start);
        if (!SegmentValid(segment)) return std::nullopt;
        location.file /= std::string(segment);
        if (slash == std::string_view::npos) break;
        ++location.folders;
        start = slash + 1;
    }
    return location;
}

bool IsSingleLine(std::string_view text) {
    return text.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

std::optional<std::string> Serialize(const RegistryValues& values) {
    std::string text;
    text.append(kHeader).push_back('\n');
    for (const auto& [name, value] : values) {
        if (name.empty() || name.find('=') != std::string::npos || !IsSingleLine(name) ||
            !IsSingleLine(value)) {
            return std::nullopt;
        }
        text.append(name).append("=").append(value).push_back('\n');
    }
    text.append(kEnd).push_back('\n');
    return text;
}

std::optional<RegistryValues> Parse(std::string_view text) {
    if (text.empty() || text.back() != '\n') return std::nullopt;
    text.remove_suffix(1);
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (lines.size() < 2 || lines.front() != kHeader || lines.back() != kEnd) return std::nullopt;

    RegistryValues values;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos || !IsSingleLine(line)) {
            return std::nullopt;
        }
        const bool added =
            values
                .emplace(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)))
                .second;
        if (!added) return std::nullopt;  // a name twice: not something Write produces
    }
    return values;
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string text;
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxFileSize) return std::nullopt;
    }
    return text;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t wrote = ::write(fd, data.data(), data.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

// Makes the rename itself durable; a failure here loses nothing already
// visible, so it is not reported.
void SyncFolder(const fs::path& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.Get());
}

std::optional<fs::path> HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home);
    // No HOME (daemons, sanitised environments): ask the password database.
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || !*found->pw_dir) {
        return std::nullopt;
    }
    return fs::path(found->pw_dir);
}

bool DeleteIfPointingAt(const std::string& progId, const CLSID& clsid) {
    if (!SegmentValid(progId)) return true;  // no such key can exist
    const std::string key = "ProgID/" + progId;
    const std::optional<RegistryValues> values = RegistryRead(key);
    if (!values) return true;
    const auto it = values->find(kProgIdClass);
    GUID target;
    if (it == values->end() || !GuidFromString(it->second, target) || !(target == clsid)) {
        return true;  // another class owns this name now
    }
    return RegistryDelete(key);
}

}  // namespace

std::filesystem::path RegistryRoot() {
    if (const char* root = std::getenv("ZEPH_REGISTRY"); root && *root) return fs::path(root);
    fs::path base;
    // Relative values of XDG_DATA_HOME are invalid by its convention and ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (std::optional<fs::path> home = HomeFolder()) {
        base = *home / ".local" / "share";
    } else {
        return {};
    }
    return base / "zeph" / "registry";
}

bool RegistryWrite(std::string_view key, const RegistryValues& values) {
    try {
        const std::optional<KeyLocation> location = Locate(key);
        if (!location) return false;
        const std::optional<std::string> text = Serialize(values);
        if (!text) return false;

        const fs::path folder = location->file.parent_path();
        const std::string leaf = location->file.filename().string();
        // A concurrent delete may remove an empty folder between creating it
        // and creating the file in it; creating again is then enough.
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::error_code error;
            fs::create_directories(folder, error);
            if (error) return false;

            std::string pattern = (folder / ("." + leaf + ".XXXXXX")).string();
            FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
            if (!fd) {
                if (errno == ENOENT) continue;
                return false;
            }
            TemporaryFile temporary(pattern);
            // mkostemp makes the file private; keys are meant to be readable
            // by every client of a shared registry.
            if (::fchmod(fd.Get(), 0644) != 0 || !WriteAll(fd.Get(), *text) ||
                ::fsync(fd.Get()) != 0 || !fd.Close()) {
                return false;
            }
            if (::rename(temporary.Path().c_str(), location->file.c_str()) != 0) return false;
            temporary.Keep();
            SyncFolder(folder);
            return true;
        }
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<RegistryValues> RegistryRead(std::string_view key) {
    try {
        const std::optional<KeyLocation> location = Locate(key);
        if (!location) return std::nullopt;
        const std::optional<std::string> text = ReadSmallFile(location->file);
        if (!text) return std::nullopt;
        return Parse(*text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool RegistrySegmentValid(std::string_view segment) {
    return SegmentValid(segment);
}

bool RegistryDelete(std::string_view key) {
    try {
        const std::optional<KeyLocation> location = Locate(key);
        if (!location) return false;
        if (::unlink(location->file.c_str()) != 0) {
            const int error = errno;
            if (error == ENOENT || error == ENOTDIR) return true;
            // A folder where a key would be is no key; it is not ours to remove.
            struct stat info {};
            return error == EISDIR && ::lstat(location->file.c_str(), &info) == 0 &&
                   S_ISDIR(info.st_mode);
        }
        // Tidy up folders left empty, never above the root; rmdir refuses
        // folders that still hold something, which ends the walk.
        fs::path folder = location->file.parent_path();
        for (std::size_t i = 0; i < location->folders; ++i) {
            if (::rmdir(folder.c_str()) != 0) break;
            folder = folder.parent_path();
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool RegisterClass(const ClassRegistration& registration) {
    try {
        if (!SegmentValid(registration.progId) || registration.modulePath.empty() ||
            registration.modulePath.front() != '/') {
            return false;
        }
        const std::string clsid = GuidToString(registration.clsid);
        const std::string classKey = "CLSID/" + clsid;
        RegistryValues classValues = {
            {kClassModule, registration.modulePath},
            {kClassProgId, registration.progId},
            {kClassTypeName, registration.typeName},
            {kClassThreading, registration.threadingModel},
            {kClassMiscStatus, std::to_string(registration.miscStatus)},
            {kClassTypeLibrary, GuidToString(registration.typeLibrary)},
            {kClassTypeLibraryVersion, registration.typeLibraryVersion},
        };
        if (registration.insertable) classValues.emplace(kClassInsertable, "1");
        const std::optional<RegistryValues> previous = RegistryRead(classKey);
        if (!RegistryWrite(classKey, classValues)) return false;
        if (!RegistryWrite("ProgID/" + registration.progId, {{kProgIdClass, clsid}})) {
            // Half a registration would name a class nobody can find by name;
            // put the class key back as it was.
            if (previous) {
                RegistryWrite(classKey, *previous);
            } else {
                RegistryDelete(classKey);
            }
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool UnregisterClass(const CLSID& clsid, std::string_view progId) {
    try {
        const std::string classKey = "CLSID/" + GuidToString(clsid);
        // The ProgID recorded with the class goes too, so that a caller who
        // does not know it (or passes an old one) still leaves nothing behind.
        std::vector<std::string> progIds;
        if (!progId.empty()) progIds.emplace_back(progId);
        if (const std::optional<RegistryValues> values = RegistryRead(classKey)) {
            const auto it = values->find(kClassProgId);
            if (it != values->end() && !it->second.empty() && it->second != progId) {
                progIds.push_back(it->second);
            }
        }
        bool clean = true;
        for (const std::string& name : progIds)
            clean = DeleteIfPointingAt(name, clsid) && clean;
        return RegistryDelete(classKey) && clean;
    } catch (const std::exception&) {
        return false;
    }
}

bool RegisterTypeLibrary(const GUID& library, std::string_view version, std::string_view helpString,
                         std::string_view modulePath) {
    try {
        if (!SegmentValid(version) || modulePath.empty() || modulePath.front() != '/') return false;
        return RegistryWrite(
            "TypeLib/" + GuidToString(library) + "/" + std::string(version),
            {{kLibraryHelp, std::string(helpString)}, {kLibraryModule, std::string(modulePath)}});
    } catch (const std::exception&) {
        return false;
    }
}

bool UnregisterTypeLibrary(const GUID& library, std::string_view version) {
    try {
        if (!SegmentValid(version)) return false;
        return RegistryDelete("TypeLib/" + GuidToString(library) + "/" + std::string(version));
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace zeph::platform
