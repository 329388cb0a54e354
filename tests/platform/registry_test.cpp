#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/activation.h"
#include "platform/registry.h"
#include "tests/platform/scoped_registry.h"

namespace {

namespace fs = std::filesystem;
using zeph::platform::ClassRegistration;
using zeph::platform::RegisterClass;
using zeph::platform::RegisterTypeLibrary;
using zeph::platform::RegistryDelete;
using zeph::platform::RegistryRead;
using zeph::platform::RegistryRoot;
using zeph::platform::RegistryValues;
using zeph::platform::RegistryWrite;
using zeph::platform::UnregisterClass;
using zeph::platform::UnregisterTypeLibrary;

// {0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9} and a neighbour.
constexpr CLSID kClassA = {
    0x0A1B2C3D, 0x4E5F, 0x4061, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
constexpr CLSID kClassB = {
    0x0A1B2C3E, 0x4E5F, 0x4061, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
constexpr GUID kLibrary = {
    0x0A1B2C3F, 0x4E5F, 0x4061, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
constexpr std::string_view kClassAText = "{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}";
constexpr std::string_view kLibraryText = "{0A1B2C3F-4E5F-4061-8293-A4B5C6D7E8F9}";

// Each test gets a fresh registry in its own temporary folder.
class RegistryTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(registry_.Root().empty()); }

    std::vector<std::string> Tree() const { return registry_.Tree(); }

    void WriteRaw(const std::string& key, std::string_view bytes) const {
        const fs::path path = root_ / key;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string ReadRaw(const std::string& key) const {
        std::ifstream file(root_ / key, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    zeph::test::ScopedRegistry registry_;
    const fs::path& root_ = registry_.Root();
};

// ---------------------------------------------------------------------------
// Root

TEST(RegistryRootTest, FollowsTheEnvironmentInOrder) {
    using zeph::test::ScopedEnv;
    {
        ScopedEnv registry("ZEPH_REGISTRY", "/srv/zeph-reg");
        ScopedEnv data("XDG_DATA_HOME", "/data");
        EXPECT_EQ(RegistryRoot(), fs::path("/srv/zeph-reg"));
    }
    {
        ScopedEnv registry("ZEPH_REGISTRY", nullptr);
        ScopedEnv data("XDG_DATA_HOME", "/data");
        EXPECT_EQ(RegistryRoot(), fs::path("/data/zeph/registry"));
    }
    {
        ScopedEnv registry("ZEPH_REGISTRY", "");
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(RegistryRoot(), fs::path("/home/someone/.local/share/zeph/registry"));
    }
    {
        // A relative XDG_DATA_HOME is not a valid setting and falls back to HOME.
        ScopedEnv registry("ZEPH_REGISTRY", nullptr);
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(RegistryRoot(), fs::path("/home/someone/.local/share/zeph/registry"));
    }
}

// ---------------------------------------------------------------------------
// Keys

TEST_F(RegistryTest, WrittenValuesReadBackExactly) {
    const RegistryValues values = {
        {"module", "/opt/zeph/lib/libZeph Reader.so"}, {"equation", "a=b=c"},       {"empty", ""},
        {"text", "Prüfung \xE2\x9C\x93 \t tab"},       {"end", "not the end line"},
    };
    ASSERT_TRUE(RegistryWrite("CLSID/{X}", values));
    EXPECT_EQ(RegistryRead("CLSID/{X}"), values);

    // A key without values exists and differs from a missing one.
    ASSERT_TRUE(RegistryWrite("Flags/Present", {}));
    const std::optional<RegistryValues> empty = RegistryRead("Flags/Present");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST_F(RegistryTest, WriteReplacesTheWholeKey) {
    ASSERT_TRUE(RegistryWrite("Key", {{"a", "1"}, {"b", "2"}}));
    ASSERT_TRUE(RegistryWrite("Key", {{"b", "3"}}));
    EXPECT_EQ(RegistryRead("Key"), (RegistryValues{{"b", "3"}}));
}

TEST_F(RegistryTest, MissingKeysReadAbsent) {
    EXPECT_FALSE(RegistryRead("ProgID/Nobody.Here"));
    ASSERT_TRUE(RegistryWrite("ProgID/Somebody", {{"clsid", "x"}}));
    EXPECT_FALSE(RegistryRead("ProgID/Somebody/Deeper"));
    EXPECT_FALSE(RegistryRead("ProgID"));  // a folder, not a key
}

TEST_F(RegistryTest, WritesLeaveOnlyTheKeyFiles) {
    ASSERT_TRUE(RegistryWrite("A/B/C", {{"x", "1"}}));
    ASSERT_TRUE(RegistryWrite("A/B/C", {{"x", "2"}}));
    ASSERT_TRUE(RegistryWrite("A/D", {{"y", "1"}}));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"A", "A/B", "A/B/C", "A/D"}));
}

TEST_F(RegistryTest, DeleteRemovesTheKeyAndTheFoldersItEmptied) {
    ASSERT_TRUE(RegistryWrite("A/B/C", {{"x", "1"}}));
    ASSERT_TRUE(RegistryWrite("A/D", {{"y", "1"}}));

    ASSERT_TRUE(RegistryDelete("A/B/C"));
    EXPECT_FALSE(RegistryRead("A/B/C"));
    EXPECT_TRUE(RegistryRead("A/D"));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"A", "A/D"}));

    ASSERT_TRUE(RegistryDelete("A/D"));
    EXPECT_TRUE(Tree().empty());
    EXPECT_TRUE(fs::is_directory(root_));  // the root itself stays

    // Keys that never existed, also below a missing folder, are gone already.
    EXPECT_TRUE(RegistryDelete("A/D"));
    EXPECT_TRUE(RegistryDelete("Never/Was/Here"));
}

// ---------------------------------------------------------------------------
// Damaged files

TEST_F(RegistryTest, EveryTruncatedWriteReadsAbsent) {
    ASSERT_TRUE(RegistryWrite("CLSID/{T}", {{"module", "/lib/a.so"}, {"endpoint", "x"}}));
    const std::string whole = ReadRaw("CLSID/{T}");
    ASSERT_FALSE(whole.empty());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        WriteRaw("CLSID/{T}", std::string_view(whole).substr(0, length));
        EXPECT_FALSE(RegistryRead("CLSID/{T}")) << "prefix of " << length << " bytes";
    }
    WriteRaw("CLSID/{T}", whole);
    EXPECT_TRUE(RegistryRead("CLSID/{T}"));
}

TEST_F(RegistryTest, DamagedFilesReadAbsent) {
    ASSERT_TRUE(RegistryWrite("Good", {{"name", "value"}}));
    const std::string good = ReadRaw("Good");
    const std::string header = good.substr(0, good.find('\n') + 1);
    ASSERT_TRUE(RegistryRead("Good"));

    const std::vector<std::string> damaged = {
        std::string("\x7f"
                    "ELF\x02\x01\x01\0\0\0",
                    10),
        "random text\nwithout any structure",
        "name=value\nend\n",                              // no header
        "zeph-registry 2\nname=value\nend\n",             // another format
        header + "name value\nend\n",                     // line without '='
        header + "=value\nend\n",                         // empty name
        header + "name=1\nname=2\nend\n",                 // one name twice
        header + "name=value\nend\nname=late\n",          // text after the end line
        header + "name=value\nend\nend\n",                // two end lines
        header + "name=value\r\nend\n",                   // carriage return
        header + std::string("name=val\0ue\nend\n", 16),  // NUL inside a value
        header + "name=value\n\nend\n",                   // empty line
        header + std::string(70000, 'x') + "=1\nend\n",   // far too big for a key
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        WriteRaw("Damaged", damaged[i]);
        EXPECT_FALSE(RegistryRead("Damaged")) << "case " << i;
    }
}

// ---------------------------------------------------------------------------
// Rejected input

TEST_F(RegistryTest, UnsafeKeysAreRejectedAndTouchNothing) {
    const std::vector<std::string> keys = {
        "",
        "/etc/passwd",
        "..",
        "../escape",
        "A/../../escape",
        "A/..",
        "A/./B",
        ".hidden",
        "A//B",
        "A/",
        "A\nB",
        std::string("A\0B", 3),
        "A B",
        "A\\B",
        "A:B",
        "A*",
        std::string(201, 'k'),
    };
    for (const std::string& key : keys) {
        SCOPED_TRACE(testing::PrintToString(key));
        EXPECT_FALSE(RegistryWrite(key, {{"a", "1"}}));
        EXPECT_FALSE(RegistryRead(key));
        EXPECT_FALSE(RegistryDelete(key));
    }
    EXPECT_TRUE(Tree().empty());
    EXPECT_FALSE(fs::exists(root_.parent_path() / "escape"));
}

TEST_F(RegistryTest, MultiLineOrNamelessValuesAreRejectedAndKeepTheOldKey) {
    const RegistryValues old = {{"module", "/lib/old.so"}};
    ASSERT_TRUE(RegistryWrite("Key", old));
    const std::vector<RegistryValues> bad = {
        {{"module", "/lib/new.so\nclsid={X}"}},
        {{"module", "/lib/new.so\r"}},
        {{"mod\nule", "x"}},
        {{"", "x"}},
        {{"a=b", "x"}},
        {{"module", std::string("nul\0inside", 10)}},
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(RegistryWrite("Key", bad[i])) << "case " << i;
        EXPECT_FALSE(RegistryWrite("Fresh", bad[i])) << "case " << i;
    }
    EXPECT_EQ(RegistryRead("Key"), old);
    EXPECT_FALSE(RegistryRead("Fresh"));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Key"}));
}

TEST_F(RegistryTest, FailedWritesLeaveNoTemporaryFile) {
    // A folder where the key file should go makes the final rename fail.
    fs::create_directories(root_ / "Blocked");
    EXPECT_FALSE(RegistryWrite("Blocked", {{"a", "1"}}));
    // A file where a folder of the key should go stops it earlier.
    WriteRaw("File", "not a folder");
    EXPECT_FALSE(RegistryWrite("File/Key", {{"a", "1"}}));
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Blocked", "File"}));
}

// ---------------------------------------------------------------------------
// Atomic replacement

TEST_F(RegistryTest, ReadersNeverSeeAHalfWrittenKey) {
    const std::string padding(3000, 'p');  // more than one write() of a careless writer
    ASSERT_TRUE(RegistryWrite("Busy", {{"first", "0"}, {"last", "0"}, {"pad", padding}}));

    std::atomic<bool> done{false};
    std::atomic<int> absent{0}, torn{0}, reads{0};
    std::thread reader([&] {
        while (!done) {
            const std::optional<RegistryValues> values = RegistryRead("Busy");
            ++reads;
            if (!values) {
                ++absent;
            } else if (values->size() != 3 || values->at("first") != values->at("last")) {
                ++torn;
            }
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 1; i <= 60; ++i) {
                const std::string stamp = std::to_string(w * 1000 + i);
                EXPECT_TRUE(
                    RegistryWrite("Busy", {{"first", stamp}, {"last", stamp}, {"pad", padding}}));
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(absent.load(), 0);
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Busy"}));
}

// ---------------------------------------------------------------------------
// Classes and type libraries

ClassRegistration SampleClass(const CLSID& clsid, std::string progId) {
    ClassRegistration r;
    r.clsid = clsid;
    r.progId = std::move(progId);
    r.typeName = "Sample Control";
    r.modulePath = "/opt/zeph/lib/libSample.so";
    r.threadingModel = "Both";
    r.miscStatus = 131473;
    r.typeLibrary = kLibrary;
    r.typeLibraryVersion = "2.3";
    return r;
}

TEST_F(RegistryTest, RegisteredClassIsFoundByItsProgIdAndNamesItsModule) {
    ASSERT_TRUE(RegisterClass(SampleClass(kClassA, "Zeph.Sample.1")));

    CLSID found;
    ASSERT_EQ(CLSIDFromProgID(u"Zeph.Sample.1", &found), S_OK);
    EXPECT_EQ(found, kClassA);

    const std::optional<RegistryValues> values = RegistryRead("CLSID/" + std::string(kClassAText));
    ASSERT_TRUE(values);
    EXPECT_EQ(values->at("module"), "/opt/zeph/lib/libSample.so");
    EXPECT_EQ(values->at("progid"), "Zeph.Sample.1");
    EXPECT_EQ(values->at("typename"), "Sample Control");
    EXPECT_EQ(values->at("threadingmodel"), "Both");
    EXPECT_EQ(values->at("miscstatus"), "131473");
    EXPECT_EQ(values->at("typelib"), kLibraryText);
    EXPECT_EQ(values->at("typelibversion"), "2.3");
    EXPECT_EQ(values->count("insertable"), 0u) << "only classes that ask for it";

    zeph::platform::ClassRegistration insertable = SampleClass(kClassA, "Zeph.Sample.1");
    insertable.insertable = true;
    ASSERT_TRUE(RegisterClass(insertable));
    EXPECT_EQ(RegistryRead("CLSID/" + std::string(kClassAText))->at("insertable"), "1");
    ASSERT_TRUE(UnregisterClass(kClassA, "Zeph.Sample.1"));
    EXPECT_FALSE(RegistryRead("CLSID/" + std::string(kClassAText)));
}

TEST_F(RegistryTest, RegisterThenUnregisterLeavesNothingBehind) {
    ASSERT_TRUE(
        RegisterTypeLibrary(kLibrary, "2.3", "Sample library", "/opt/zeph/lib/libSample.so"));
    ASSERT_TRUE(RegisterClass(SampleClass(kClassA, "Zeph.Sample.1")));
    ASSERT_FALSE(Tree().empty());

    EXPECT_TRUE(UnregisterClass(kClassA, "Zeph.Sample.1"));
    EXPECT_TRUE(UnregisterTypeLibrary(kLibrary, "2.3"));
    EXPECT_TRUE(Tree().empty());
    CLSID found;
    EXPECT_EQ(CLSIDFromProgID(u"Zeph.Sample.1", &found), CO_E_CLASSSTRING);

    // Unregistering again is no failure: the keys are gone.
    EXPECT_TRUE(UnregisterClass(kClassA, "Zeph.Sample.1"));
    EXPECT_TRUE(UnregisterTypeLibrary(kLibrary, "2.3"));
}

TEST_F(RegistryTest, UnregisterRemovesOnlyTheProgIdsOfItsClass) {
    // Version 1 of the name moved to class B; version 2 is still class A's.
    ASSERT_TRUE(RegisterClass(SampleClass(kClassA, "Zeph.Sample.1")));
    ASSERT_TRUE(RegisterClass(SampleClass(kClassB, "Zeph.Sample.1")));
    ASSERT_TRUE(RegisterClass(SampleClass(kClassA, "Zeph.Sample.2")));

    // Class A's own record names version 2, so it goes even when the caller
    // passes the other name.
    EXPECT_TRUE(UnregisterClass(kClassA, "Zeph.Sample.1"));
    CLSID found;
    EXPECT_EQ(CLSIDFromProgID(u"Zeph.Sample.2", &found), CO_E_CLASSSTRING);
    ASSERT_EQ(CLSIDFromProgID(u"Zeph.Sample.1", &found), S_OK);
    EXPECT_EQ(found, kClassB);

    // With no name given, the recorded one is used.
    EXPECT_TRUE(UnregisterClass(kClassB, ""));
    EXPECT_TRUE(Tree().empty());
}

TEST_F(RegistryTest, InvalidRegistrationsWriteNothing) {
    ClassRegistration relative = SampleClass(kClassA, "Zeph.Sample.1");
    relative.modulePath = "lib/libSample.so";
    ClassRegistration nested = SampleClass(kClassA, "Zeph/Sample");
    ClassRegistration unnamed = SampleClass(kClassA, "");
    ClassRegistration multiLine = SampleClass(kClassA, "Zeph.Sample.1");
    multiLine.typeName = "Sample\nmodule=/tmp/evil.so";

    for (const ClassRegistration& r : {relative, nested, unnamed, multiLine}) {
        EXPECT_FALSE(RegisterClass(r)) << r.progId << " " << r.modulePath;
    }
    EXPECT_FALSE(RegisterTypeLibrary(kLibrary, "../2.3", "help", "/lib/a.so"));
    EXPECT_FALSE(RegisterTypeLibrary(kLibrary, "2/3", "help", "/lib/a.so"));
    EXPECT_FALSE(RegisterTypeLibrary(kLibrary, "2.3", "help\nmore", "/lib/a.so"));
    EXPECT_FALSE(RegisterTypeLibrary(kLibrary, "2.3", "help", "relative.so"));
    EXPECT_TRUE(Tree().empty());
}

TEST_F(RegistryTest, FailedProgIdWriteRestoresTheClassKey) {
    ASSERT_TRUE(RegisterClass(SampleClass(kClassA, "Zeph.Sample.1")));
    const std::string classKey = "CLSID/" + std::string(kClassAText);
    const std::optional<RegistryValues> before = RegistryRead(classKey);
    ASSERT_TRUE(before);

    // A folder in place of the new ProgID key makes its write fail.
    fs::create_directories(root_ / "ProgID" / "Zeph.Sample.2");
    ClassRegistration moved = SampleClass(kClassA, "Zeph.Sample.2");
    moved.modulePath = "/opt/zeph/lib/libMoved.so";
    EXPECT_FALSE(RegisterClass(moved));
    EXPECT_EQ(RegistryRead(classKey), before);

    // Without an earlier registration the class key goes again.
    fs::create_directories(root_ / "ProgID" / "Zeph.Other");
    EXPECT_FALSE(RegisterClass(SampleClass(kClassB, "Zeph.Other")));
    EXPECT_FALSE(RegistryRead("CLSID/{0A1B2C3E-4E5F-4061-8293-A4B5C6D7E8F9}"));
}

TEST_F(RegistryTest, TypeLibraryKeyHoldsItsHelpAndModule) {
    ASSERT_TRUE(
        RegisterTypeLibrary(kLibrary, "2.3", "Sample library", "/opt/zeph/lib/libSample.so"));
    ASSERT_TRUE(RegisterTypeLibrary(kLibrary, "1.0", "Old library", "/opt/zeph/lib/libOld.so"));
    const std::string base = "TypeLib/" + std::string(kLibraryText);
    const std::optional<RegistryValues> values = RegistryRead(base + "/2.3");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->at("helpstring"), "Sample library");
    EXPECT_EQ(values->at("module"), "/opt/zeph/lib/libSample.so");

    // Versions are separate keys.
    EXPECT_TRUE(UnregisterTypeLibrary(kLibrary, "2.3"));
    EXPECT_FALSE(RegistryRead(base + "/2.3"));
    EXPECT_TRUE(RegistryRead(base + "/1.0"));
}

}  // namespace
