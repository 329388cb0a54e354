#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/activation.h"
#include "platform/registry.h"
#include "tests/platform/scoped_registry.h"
#include "tests/platform/test_module.h"

#ifndef ZEPH_TEST_MODULE
#error "ZEPH_TEST_MODULE must name the built test component module"
#endif
#ifndef ZEPH_TEST_MODULE_NO_EXPORTS_PATH
#error "ZEPH_TEST_MODULE_NO_EXPORTS_PATH must name the test module built without its exports"
#endif

namespace {

namespace fs = std::filesystem;
using namespace zeph::test_module;
using zeph::platform::ClassRegistration;
using zeph::platform::RegistryRead;
using zeph::platform::RegistryWrite;

constexpr const char* kModule = ZEPH_TEST_MODULE;
constexpr const char* kModuleWithoutExports = ZEPH_TEST_MODULE_NO_EXPORTS_PATH;

// Classes the test module does not serve. kUnlistedClsid is never registered
// anywhere; kManifestOnlyClsid appears only in the manifest test.
constexpr CLSID kOtherClsid = {
    0x6E1D2F30, 0x1A2B, 0x4C3D, {0x9E, 0x8F, 0x70, 0x61, 0x52, 0x43, 0x34, 0x25}};
constexpr CLSID kUnlistedClsid = {
    0x6E1D2F31, 0x1A2B, 0x4C3D, {0x9E, 0x8F, 0x70, 0x61, 0x52, 0x43, 0x34, 0x25}};
constexpr CLSID kManifestOnlyClsid = {
    0x6E1D2F32, 0x1A2B, 0x4C3D, {0x9E, 0x8F, 0x70, 0x61, 0x52, 0x43, 0x34, 0x25}};

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

// Whether the module is mapped into the process now. The probe's own
// reference is dropped again at once.
bool IsLoaded(const char* path) {
    return Library(dlopen(path, RTLD_NOW | RTLD_NOLOAD)) != nullptr;
}

// Why a module can stay mapped after its last reference went: the toolchain
// may have marked it unloadable.
constexpr const char* kPinnedHint =
    "module still mapped; a module marked NODELETE (GCC unique symbols: build the module's code "
    "with -fno-gnu-unique) can never be unloaded";

// The answer of the loaded test module's DllCanUnloadNow, asked directly.
HRESULT AskCanUnloadNow() {
    const Library library(dlopen(kModule, RTLD_NOW | RTLD_NOLOAD));
    if (!library) return E_UNEXPECTED;
    auto canUnloadNow = reinterpret_cast<HRESULT (*)()>(dlsym(library.get(), "DllCanUnloadNow"));
    return canUnloadNow ? canUnloadNow() : E_UNEXPECTED;
}

// Calls the test object's one method through late binding; nullopt when any
// step of the call fails.
std::optional<int32_t> CallDouble(IDispatch* object, int32_t value) {
    const OLECHAR* names[] = {kDoubleName};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return std::nullopt;
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = value;
    DISPPARAMS params;
    params.rgvarg = &argument;
    params.cArgs = 1;
    VARIANT result;
    if (FAILED(
            object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr)) ||
        result.vt != VT_I4) {
        return std::nullopt;
    }
    return result.lVal;
}

HRESULT Create(const CLSID& clsid, ComPtr<IDispatch>& object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid());
}

// A failing call must leave the out-pointer null, whatever it held before.
void* Sentinel() {
    static int marker;
    return &marker;
}

bool Register(const CLSID& clsid, const std::string& progId, const std::string& module) {
    ClassRegistration registration;
    registration.clsid = clsid;
    registration.progId = progId;
    registration.typeName = "Test object";
    registration.modulePath = module;
    return zeph::platform::RegisterClass(registration);
}

// Each test runs with a fresh registry and the calling thread initialised;
// tests that end the last initialisation themselves call EndCom().
class ActivationTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(registry_.Root().empty());
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        initialized_ = true;
    }
    void TearDown() override {
        if (initialized_) CoUninitialize();
    }
    void EndCom() {
        ASSERT_TRUE(initialized_);
        CoUninitialize();
        initialized_ = false;
    }
    void BeginCom() {
        ASSERT_FALSE(initialized_);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        initialized_ = true;
    }

    zeph::test::ScopedRegistry registry_;
    bool initialized_ = false;
};

// ---------------------------------------------------------------------------
// Creating objects

TEST_F(ActivationTest, SelfRegisteredModuleIsCreatedByProgIdAndUnregistersCleanly) {
    {
        const Library library(dlopen(kModule, RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(library) << dlerror();
        auto registerServer =
            reinterpret_cast<HRESULT (*)()>(dlsym(library.get(), "DllRegisterServer"));
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);
    }

    const std::optional<zeph::platform::RegistryValues> key =
        RegistryRead("CLSID/" + GuidToString(kClsid));
    ASSERT_TRUE(key);
    EXPECT_EQ(key->at("module"), fs::canonical(kModule).string());

    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kProgIdW, &clsid), S_OK);
    EXPECT_EQ(clsid, kClsid);
    ComPtr<IDispatch> object;
    ASSERT_EQ(Create(clsid, object), S_OK);
    ASSERT_TRUE(object);
    EXPECT_EQ(CallDouble(object.Get(), 21), 42);
    EXPECT_EQ(CallDouble(object.Get(), -7), -14);
    object.Reset();

    {
        const Library library(dlopen(kModule, RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(library);
        auto unregisterServer =
            reinterpret_cast<HRESULT (*)()>(dlsym(library.get(), "DllUnregisterServer"));
        ASSERT_TRUE(unregisterServer);
        EXPECT_EQ(unregisterServer(), S_OK);
    }
    EXPECT_EQ(CLSIDFromProgID(kProgIdW, &clsid), CO_E_CLASSSTRING);
    EXPECT_TRUE(registry_.Tree().empty());
}

TEST_F(ActivationTest, RegistryEntryCreatesObjectsAnsweringTheRequestedInterface) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));

    ComPtr<IDispatch> object;
    ASSERT_EQ(Create(kClsid, object), S_OK);
    EXPECT_EQ(CallDouble(object.Get(), 5), 10);

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(
        CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.PutVoid()),
        S_OK);
    ComPtr<IDispatch> again;
    ASSERT_EQ(unknown.As(IID_IDispatch, again), S_OK);
    EXPECT_EQ(CallDouble(again.Get(), 1), 2);
    EXPECT_NE(again.Get(), object.Get());  // a new object per call

    // An interface the class lacks: the object's refusal, and no pointer.
    void* refused = Sentinel();
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &refused),
              E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
}

TEST_F(ActivationTest, ModuleReportsBusyWhileAnyObjectLives) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(Create(kClsid, first), S_OK);
    ASSERT_EQ(Create(kClsid, second), S_OK);
    EXPECT_EQ(AskCanUnloadNow(), S_FALSE);
    first.Reset();
    EXPECT_EQ(AskCanUnloadNow(), S_FALSE);
    second.Reset();
    // Also shows that activation released the class factory it asked for.
    EXPECT_EQ(AskCanUnloadNow(), S_OK);
}

// ---------------------------------------------------------------------------
// Unloading

TEST_F(ActivationTest, LastCoUninitializeUnloadsOnlyIdleModules) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    ASSERT_FALSE(IsLoaded(kModule));
    ComPtr<IDispatch> object;
    ASSERT_EQ(Create(kClsid, object), S_OK);
    ASSERT_TRUE(IsLoaded(kModule));

    EndCom();  // the object still lives: its module must stay
    EXPECT_TRUE(IsLoaded(kModule));
    EXPECT_EQ(CallDouble(object.Get(), 3), 6);
    object.Reset();

    BeginCom();
    EndCom();
    EXPECT_FALSE(IsLoaded(kModule)) << kPinnedHint;

    // And it loads again on demand.
    BeginCom();
    ASSERT_EQ(Create(kClsid, object), S_OK);
    EXPECT_EQ(CallDouble(object.Get(), 4), 8);
}

TEST_F(ActivationTest, ModulesStayUntilTheLastThreadUninitializes) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    {
        ComPtr<IDispatch> object;
        ASSERT_EQ(Create(kClsid, object), S_OK);
    }

    // Another thread's whole use ends while this one's goes on.
    std::thread([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);  // counted per thread
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        CoUninitialize();  // one too many: ignored, it must not end ours
    }).join();
    EXPECT_TRUE(IsLoaded(kModule));

    // Now this thread ends first and the other thread is the last.
    std::promise<void> started, mayEnd;
    std::thread other([&] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        started.set_value();
        mayEnd.get_future().wait();
        CoUninitialize();
    });
    started.get_future().wait();
    EndCom();
    EXPECT_TRUE(IsLoaded(kModule));
    mayEnd.set_value();
    other.join();
    EXPECT_FALSE(IsLoaded(kModule)) << kPinnedHint;
}

TEST_F(ActivationTest, EverySpellingOfAModulePathLoadsAndUnloadsTheModule) {
    const fs::path module = fs::canonical(kModule);
    const fs::path dotted = module.parent_path() / "." / module.filename();
    const fs::path link = registry_.Root() / "link-to-module.so";
    fs::create_symlink(module, link);

    std::vector<ComPtr<IDispatch>> objects;
    for (const fs::path& path : {module, dotted, link}) {
        ASSERT_TRUE(Register(kClsid, kProgId, path.string()));
        ComPtr<IDispatch> object;
        ASSERT_EQ(Create(kClsid, object), S_OK) << path;
        objects.push_back(object);
    }
    EXPECT_EQ(AskCanUnloadNow(), S_FALSE);
    objects.clear();
    EndCom();
    EXPECT_FALSE(IsLoaded(kModule)) << kPinnedHint;
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(ActivationTest, ClassesWithoutAModuleFileAreNotRegistered) {
    const fs::path missing = registry_.Root() / "no-such-module.so";
    const fs::path folder = registry_.Root() / "folder.so";
    fs::create_directory(folder);

    struct Case {
        const char* what;
        std::optional<fs::path> module;  // nullopt: leave the class unregistered
    };
    for (const Case& c :
         {Case{"unregistered class", std::nullopt}, Case{"missing module file", missing},
          Case{"module is a folder", folder}}) {
        SCOPED_TRACE(c.what);
        if (c.module) {
            ASSERT_TRUE(Register(kOtherClsid, "Zeph.Other", c.module->string()));
        }
        void* object = Sentinel();
        const CLSID& clsid = c.module ? kOtherClsid : kUnlistedClsid;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
    }

    // A damaged class key is no registration, even naming a good module.
    ASSERT_TRUE(Register(kOtherClsid, "Zeph.Other", kModule));
    const fs::path key = registry_.Root() / "CLSID" / GuidToString(kOtherClsid);
    fs::resize_file(key, fs::file_size(key) - 2);
    void* object = Sentinel();
    EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ActivationTest, ModulesThatCannotServeTheClassMakeItUnavailable) {
    // The library itself is sound and only lacks the entry points, so the
    // failure below is about the exports and not about loading.
    {
        const Library bare(dlopen(kModuleWithoutExports, RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(bare) << dlerror();
        ASSERT_EQ(dlsym(bare.get(), "DllGetClassObject"), nullptr);
    }
    const fs::path notLibrary = registry_.Root() / "not-a-library.so";
    std::ofstream(notLibrary) << "this is text, not a shared library\n";

    struct Case {
        const char* what;
        CLSID clsid;
        std::string module;
    };
    for (const Case& c : {Case{"module without exports", kOtherClsid, kModuleWithoutExports},
                          Case{"file that is no library", kOtherClsid, notLibrary.string()},
                          Case{"module refusing the class", kOtherClsid, kModule}}) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Register(c.clsid, "Zeph.Other", c.module));
        void* object = Sentinel();
        EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
                  CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
    }
}

// A failed creation says, for people, which module files were tried, who
// named them and why each failed; a success leaves no reason behind.
TEST_F(ActivationTest, FailuresNameTheModulesTried) {
    const fs::path missing = registry_.Root() / "deleted-module.so";
    ASSERT_TRUE(Register(kOtherClsid, "Zeph.Other", missing.string()));
    void* object = Sentinel();
    EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
              REGDB_E_CLASSNOTREG);
    std::string why = zeph::platform::LastActivationFailure();
    EXPECT_NE(why.find(missing.string() + " (registered): no such file"), std::string::npos) << why;

    ASSERT_TRUE(Register(kOtherClsid, "Zeph.Other", kModuleWithoutExports));
    EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    why = zeph::platform::LastActivationFailure();
    EXPECT_NE(why.find("no DllGetClassObject"), std::string::npos) << why;

    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Zeph.Nowhere", &clsid), CO_E_CLASSSTRING);
    why = zeph::platform::LastActivationFailure();
    EXPECT_NE(why.find("Zeph.Nowhere"), std::string::npos) << why;
    EXPECT_NE(why.find(registry_.Root().string()), std::string::npos) << why;
    EXPECT_NE(why.find(zeph::platform::ManifestPath()), std::string::npos) << why;

    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    ComPtr<IDispatch> created;
    ASSERT_EQ(Create(kClsid, created), S_OK);
    EXPECT_EQ(zeph::platform::LastActivationFailure(), "");
}

// The manifest beside the program comes first, then the one installed in the
// modules' folder, found from the program's folder.
TEST_F(ActivationTest, ManifestsBesideTheProgramThenInTheModulesFolder) {
    const std::vector<std::string> paths = zeph::platform::ManifestPaths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], zeph::platform::ManifestPath());
    EXPECT_EQ(paths[0], fs::read_symlink("/proc/self/exe").string() + ".manifest");
    const fs::path installed(paths[1]);
    EXPECT_TRUE(installed.is_absolute());
    EXPECT_EQ(installed, installed.lexically_normal());
    EXPECT_EQ(installed.filename(), "ZephBarcodeReader.manifest");
    EXPECT_EQ(installed.parent_path().filename(), "zephbarcode");
}

TEST_F(ActivationTest, AggregationIsRefused) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    ComPtr<IDispatch> outer;
    ASSERT_EQ(Create(kClsid, outer), S_OK);

    void* object = Sentinel();
    EXPECT_EQ(CoCreateInstance(kClsid, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    outer.Reset();
    EXPECT_EQ(AskCanUnloadNow(), S_OK);  // no object was made on the side
}

TEST_F(ActivationTest, NullOutPointersAreRefused) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, nullptr),
              E_POINTER);

    CLSID clsid = kOtherClsid;
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_POINTER);
    EXPECT_EQ(clsid, CLSID{});
    EXPECT_EQ(CLSIDFromProgID(kProgIdW, nullptr), E_POINTER);
}

TEST_F(ActivationTest, OnlyInProcessContextsFindTheClass) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    constexpr uint32_t kLocalServer = 4;
    void* object = Sentinel();
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, kLocalServer, IID_IDispatch, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    ComPtr<IDispatch> created;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER | kLocalServer, IID_IDispatch,
                               created.PutVoid()),
              S_OK);
    EXPECT_TRUE(created);
}

TEST_F(ActivationTest, InitializationIsCountedPerThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);  // the fixture's came first
    CoUninitialize();
    int reserved = 0;
    EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
}

// ---------------------------------------------------------------------------
// ProgIDs

TEST_F(ActivationTest, UnknownOrIllegalProgIdsAreNoClassString) {
    ASSERT_TRUE(Register(kClsid, kProgId, kModule));
    // A key that a name with a '/' would reach if it were not refused.
    ASSERT_TRUE(RegistryWrite("ProgID/Zeph/Nested", {{"clsid", GuidToString(kClsid)}}));
    // A ProgID key whose class is not a GUID.
    ASSERT_TRUE(RegistryWrite("ProgID/Zeph.Broken", {{"clsid", "{not-a-guid}"}}));

    const std::u16string names[] = {
        u"Zeph.Nobody",     u"",
        u"Zeph/Nested",     u"..",
        u".Zeph",           u"Zeph..Double",
        u"Zeph Object",     u"Zeph\nObject",
        u"Zeph.Broken",
        u"Zeph.\xD800Lone",  // high surrogate without its pair
        u"Zeph.\xDC00Lone",  // low surrogate on its own
    };
    for (const std::u16string& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        CLSID clsid = kOtherClsid;
        EXPECT_EQ(CLSIDFromProgID(name.c_str(), &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(clsid, CLSID{});
    }
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(kProgIdW, &clsid), S_OK);  // the fixture is sound
}

TEST_F(ActivationTest, ProgIdIsLookedUpAsUtf8) {
    // U+00FC, U+20AC and U+1D537 take two, three and four bytes of UTF-8.
    ASSERT_TRUE(Register(kOtherClsid,
                         "Zeph.Pr\xC3\xBC"
                         "fung.\xE2\x82\xAC.\xF0\x9D\x94\xB7",
                         kModule));
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"Zeph.Pr\u00FCfung.\u20AC.\U0001D537", &clsid), S_OK);
    EXPECT_EQ(clsid, kOtherClsid);
    EXPECT_EQ(CLSIDFromProgID(u"Zeph.Prufung.\u20AC.\U0001D537", &clsid), CO_E_CLASSSTRING);
}

// ---------------------------------------------------------------------------
// Manifest

// Writes the manifest beside the test executable for one scope.
class ScopedManifest {
  public:
    explicit ScopedManifest(const std::string& text) : path_(zeph::platform::ManifestPath()) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
    }
    ScopedManifest(const ScopedManifest&) = delete;
    ScopedManifest& operator=(const ScopedManifest&) = delete;
    ~ScopedManifest() {
        std::error_code error;
        fs::remove(path_, error);
    }

  private:
    std::string path_;
};

class ScopedWorkingFolder {
  public:
    explicit ScopedWorkingFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;
    ~ScopedWorkingFolder() {
        std::error_code error;
        fs::current_path(old_, error);
    }

  private:
    fs::path old_;
};

// One test for everything the manifest does: the manifest is a single file per
// executable, and test runners may run the cases of this program in parallel
// processes. Other tests avoid its ProgID and its classes' failures.
TEST_F(ActivationTest, ManifestRegistersClassesTheRegistryLacks) {
    const std::string manifestPath = zeph::platform::ManifestPath();
    ASSERT_EQ(fs::path(manifestPath).extension(), ".manifest");
    ASSERT_TRUE(fs::equivalent(fs::path(manifestPath).replace_extension(), "/proc/self/exe"));

    const std::string clsid = GuidToString(kClsid);
    const fs::path module = fs::canonical(kModule);
    const fs::path folder = fs::path(manifestPath).parent_path();
    const char16_t* progId = u"Zeph.TestObject.Manifest";

    auto expectCreated = [&] {
        CLSID found;
        ASSERT_EQ(CLSIDFromProgID(progId, &found), S_OK);
        EXPECT_EQ(found, kClsid);
        ComPtr<IDispatch> object;
        ASSERT_EQ(Create(kClsid, object), S_OK);
        EXPECT_EQ(CallDouble(object.Get(), 50), 100);
    };
    auto expectNotRegistered = [&] {
        CLSID found;
        EXPECT_EQ(CLSIDFromProgID(progId, &found), CO_E_CLASSSTRING);
        void* object = Sentinel();
        EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
    };

    {
        SCOPED_TRACE("absolute module path, comments, two classes");
        const ScopedManifest manifest(
            "# classes of this program\n"
            "progid=Zeph.Elsewhere\n"
            "clsid=" +
            GuidToString(kManifestOnlyClsid) +
            "\n"
            "module=/nonexistent/libElsewhere.so\n"
            "\n\n"
            "  progid = Zeph.TestObject.Manifest\n"
            "# the module's own comment\n"
            "clsid=" +
            clsid +
            "\r\n"
            "module=" +
            module.string() + "\n");
        expectCreated();
        void* object = Sentinel();
        EXPECT_EQ(CoCreateInstance(kManifestOnlyClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   &object),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);

        // The registry answers first when it knows the name.
        ASSERT_TRUE(RegistryWrite("ProgID/Zeph.TestObject.Manifest",
                                  {{"clsid", GuidToString(kOtherClsid)}}));
        CLSID found;
        ASSERT_EQ(CLSIDFromProgID(progId, &found), S_OK);
        EXPECT_EQ(found, kOtherClsid);
        ASSERT_TRUE(zeph::platform::RegistryDelete("ProgID/Zeph.TestObject.Manifest"));
    }
    {
        // A registration whose module was deleted, or replaced by a file that
        // does not load, must not hide the module the manifest names.
        SCOPED_TRACE("stale registration");
        const ScopedManifest manifest("progid=Zeph.TestObject.Manifest\nclsid=" + clsid +
                                      "\nmodule=" + module.string() + "\n");
        const fs::path deleted = registry_.Root() / "deleted.so";
        const fs::path broken = registry_.Root() / "broken.so";
        std::ofstream(broken) << "not a library\n";
        for (const fs::path& stale : {deleted, broken}) {
            ASSERT_TRUE(Register(kClsid, "Zeph.TestObject.Manifest", stale.string()));
            expectCreated();
        }
        ASSERT_TRUE(zeph::platform::UnregisterClass(kClsid, "Zeph.TestObject.Manifest"));
    }
    {
        SCOPED_TRACE("stale registration and a manifest naming a missing module");
        const fs::path gone = folder / "gone.so";
        const ScopedManifest manifest("progid=Zeph.TestObject.Manifest\nclsid=" + clsid +
                                      "\nmodule=gone.so\n");
        const fs::path deleted = registry_.Root() / "deleted.so";
        ASSERT_TRUE(Register(kClsid, "Zeph.TestObject.Manifest", deleted.string()));
        void* object = Sentinel();
        EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
        const std::string why = zeph::platform::LastActivationFailure();
        EXPECT_NE(why.find(deleted.string() + " (registered)"), std::string::npos) << why;
        EXPECT_NE(why.find(gone.string() + " (manifest " + manifestPath + ")"), std::string::npos)
            << why;
        ASSERT_TRUE(zeph::platform::UnregisterClass(kClsid, "Zeph.TestObject.Manifest"));
    }
    {
        SCOPED_TRACE("module path relative to the manifest's folder");
        const std::string relative = fs::relative(module, folder).string();
        ASSERT_FALSE(relative.empty());
        ASSERT_FALSE(fs::path(relative).is_absolute());
        const ScopedManifest manifest("progid=Zeph.TestObject.Manifest\nclsid=" + clsid +
                                      "\nmodule=" + relative + "\n");
        // Not relative to the working folder.
        const ScopedWorkingFolder elsewhere(registry_.Root());
        expectCreated();
    }
    const std::string good =
        "progid=Zeph.TestObject.Manifest\nclsid=" + clsid + "\nmodule=" + module.string() + "\n";
    const std::vector<std::string> damaged = {
        good + "garbage line\n",
        good + "version=2\n",
        "progid=Zeph.TestObject.Manifest\nclsid={3F2C9A10-7B4E}\nmodule=" + module.string() + "\n",
        "progid=Zeph.TestObject.Manifest\nclsid=" + clsid + "\n",
        "progid=Zeph.TestObject.Manifest\nmodule=" + module.string() + "\n",
        "progid=Zeph.TestObject.Manifest\nclsid=" + clsid + "\nclsid=" + clsid +
            "\nmodule=" + module.string() + "\n",
        good + "\n" + good,
        "progid=Zeph/TestObject\nclsid=" + clsid + "\nmodule=" + module.string() + "\n",
        good.substr(0, good.size() / 2),
        std::string("\x7f"
                    "ELF\x02\x01\x01\0\0\0",
                    10) +
            good,
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged manifest " + std::to_string(i));
        const ScopedManifest manifest(damaged[i]);
        expectNotRegistered();
    }
    {
        SCOPED_TRACE("no manifest");
        expectNotRegistered();
    }
}

}  // namespace
