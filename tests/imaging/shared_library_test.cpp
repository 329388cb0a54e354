// Libraries opened on first use: their functions bound by name, and the reason
// given when the library or one of its functions is missing.
#include "imaging/shared_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using zeph::imaging::detail::Library;
using zeph::imaging::detail::OpenLibrary;
using zeph::imaging::detail::SymbolBinder;

struct MathFunctions {
    double (*cos)(double) = nullptr;
    double (*sqrt)(double) = nullptr;
};

constexpr const char* kMath = "libm.so.6";

TEST(SharedLibrary, BindsEveryFunctionOfALibraryThatHasThem) {
    const Library<MathFunctions> math(kMath, [](SymbolBinder& bind, MathFunctions& f) {
        return bind("cos", f.cos) && bind("sqrt", f.sqrt);
    });
    std::string error;
    const MathFunctions* f = math.Get(error);
    ASSERT_NE(f, nullptr) << error;
    EXPECT_EQ(f->cos(0.0), 1.0);
    EXPECT_EQ(f->sqrt(6.25), 2.5);
    EXPECT_TRUE(error.empty());
}

TEST(SharedLibrary, NamesTheFirstMissingFunction) {
    const Library<MathFunctions> math(kMath, [](SymbolBinder& bind, MathFunctions& f) {
        return bind("cos", f.cos) && bind("zeph_no_such_function", f.sqrt) &&
               bind("zeph_nor_this_one", f.sqrt);
    });
    std::string error;
    EXPECT_EQ(math.Get(error), nullptr);
    EXPECT_EQ(error, "libm.so.6 has no zeph_no_such_function");
    // Asked again, the same answer: the library is not opened twice.
    std::string again;
    EXPECT_EQ(math.Get(again), nullptr);
    EXPECT_EQ(again, error);
}

TEST(SharedLibrary, NamesALibraryThatCannotBeOpened) {
    std::string error;
    EXPECT_EQ(OpenLibrary("libzeph-no-such-library.so.0", error), nullptr);
    EXPECT_EQ(error.rfind("cannot load libzeph-no-such-library.so.0: ", 0), 0u) << error;

    bool bound = false;
    const Library<MathFunctions> missing("libzeph-no-such-library.so.0",
                                         [&](SymbolBinder&, MathFunctions&) {
                                             bound = true;
                                             return true;
                                         });
    std::string why;
    EXPECT_EQ(missing.Get(why), nullptr);
    EXPECT_FALSE(bound);
    EXPECT_EQ(why.rfind("cannot load libzeph-no-such-library.so.0", 0), 0u) << why;
}

}  // namespace
