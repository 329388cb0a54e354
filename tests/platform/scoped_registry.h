// Test helpers: an environment variable set for one scope, and a fresh, empty
// registry in a temporary folder that ZEPH_REGISTRY points at while it lives.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace zeph::test {

// Sets (or, for nullptr, removes) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        Set(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

  private:
    void Set(const char* value) {
        if (value) {
            setenv(name_, value, 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

class ScopedRegistry {
  public:
    ScopedRegistry() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zeph-registry-XXXXXX").string();
        if (mkdtemp(pattern.data())) root_ = pattern;
        env_.emplace("ZEPH_REGISTRY", root_.c_str());
    }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;
    ~ScopedRegistry() {
        env_.reset();
        std::error_code error;
        if (!root_.empty()) std::filesystem::remove_all(root_, error);
    }

    // Empty when the folder could not be made.
    const std::filesystem::path& Root() const { return root_; }

    // Every file and folder below the root, relative to it, in sorted order.
    std::vector<std::string> Tree() const {
        std::vector<std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
            entries.push_back(std::filesystem::relative(entry.path(), root_).string());
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }

  private:
    std::filesystem::path root_;
    std::optional<ScopedEnv> env_;
};

}  // namespace zeph::test
