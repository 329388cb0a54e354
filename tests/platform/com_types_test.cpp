// Identifiers, automation strings, variants and the RAII holders. Run under
// AddressSanitizer as well: several cases prove freeing and releasing only by
// leaving nothing behind.
#include <gtest/gtest.h>

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"

namespace {

// ---------------------------------------------------------------------------
// Helpers

// An object whose reference count the test watches. It lives on the stack, so
// Release never destroys it; refs starts at 1 for the test's own reference.
class CountingObject final : public IDispatch {
  public:
    explicit CountingObject(bool dispatchable = true) : dispatchable_(dispatchable) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        ++queries;
        lastIid = iid;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
        } else if (iid == IID_IDispatch && dispatchable_) {
            *object = static_cast<IDispatch*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const*, uint32_t, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                   uint32_t*) override {
        return E_NOTIMPL;
    }

    uint32_t refs = 1;
    int queries = 0;
    IID lastIid;

  private:
    bool dispatchable_;
};

IUnknown* AsUnknown(CountingObject& object) {
    return static_cast<IUnknown*>(&object);
}

// A VT_UNKNOWN variant holding a reference of its own.
Variant HoldingUnknown(IUnknown* object) {
    Variant v;
    v.Get()->vt = VT_UNKNOWN;
    v.Get()->punkVal = object;
    if (object) object->AddRef();
    return v;
}

Variant Holding(VARTYPE vt, double number) {
    switch (vt) {
        case VT_I2:
            return Variant(static_cast<int16_t>(number));
        case VT_I4:
            return Variant(static_cast<int32_t>(number));
        case VT_R4:
            return Variant(static_cast<float>(number));
        default:
            return Variant(number);
    }
}

struct Converted {
    HRESULT hr;
    Variant value;
};

// src converted into a separate variant that starts out with a stale payload,
// so that a conversion which forgets to write its value shows.
Converted ChangeType(const Variant& src, VARTYPE vt) {
    Converted out{E_FAIL, Variant()};
    out.value.Get()->lVal = 0x5A5A5A5A;
    out.hr = VariantChangeType(out.value.Get(), src.Get(), 0, vt);
    return out;
}

// The number held by a numeric or boolean variant.
double NumberIn(const Variant& v) {
    const VARIANT& raw = *v.Get();
    switch (raw.vt) {
        case VT_I2:
            return raw.iVal;
        case VT_I4:
            return raw.lVal;
        case VT_R4:
            return raw.fltVal;
        case VT_R8:
            return raw.dblVal;
        case VT_BOOL:
            return raw.boolVal;
        default:
            ADD_FAILURE() << "not a number: vt " << raw.vt;
            return std::nan("");
    }
}

std::u16string_view TextIn(const Variant& v) {
    EXPECT_EQ(v.Type(), VT_BSTR);
    if (v.Type() != VT_BSTR || !v.Get()->bstrVal) return {};
    return {v.Get()->bstrVal, SysStringLen(v.Get()->bstrVal)};
}

uint32_t PrefixOf(BSTR s) {
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(s) - sizeof bytes, sizeof bytes);
    return bytes;
}

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

const std::vector<VARTYPE> kNonObjectTypes = {VT_EMPTY, VT_I2,   VT_I4,  VT_R4,
                                              VT_R8,    VT_BOOL, VT_BSTR};

// ---------------------------------------------------------------------------
// Identifiers

const GUID kSample{0x6B29FC40, 0xCA47, 0x1067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}};

TEST(Guid, FormatsAsUpperCaseHexInBraces) {
    EXPECT_EQ(GuidToString(kSample), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    // Small fields keep their leading zeros.
    const GUID small{0x1, 0x2, 0x3, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
    EXPECT_EQ(GuidToString(small), "{00000001-0002-0003-0001-020304050607}");
}

TEST(Guid, ReadsBracedOrBareTextInEitherCase) {
    for (std::string_view text :
         {"{6B29FC40-CA47-1067-B31D-00DD010662DA}", "6B29FC40-CA47-1067-B31D-00DD010662DA",
          "{6b29fc40-ca47-1067-b31d-00dd010662da}", "6b29Fc40-cA47-1067-b31D-00dD010662Da"}) {
        GUID parsed;
        EXPECT_TRUE(GuidFromString(text, parsed)) << text;
        EXPECT_EQ(parsed, kSample) << text;
    }
}

TEST(Guid, TextRoundTripsForVariedValues) {
    std::mt19937 random(1234);
    for (int i = 0; i < 500; ++i) {
        GUID guid;
        guid.Data1 = static_cast<uint32_t>(random());
        guid.Data2 = static_cast<uint16_t>(random());
        guid.Data3 = static_cast<uint16_t>(random());
        for (uint8_t& byte : guid.Data4) {
            byte = static_cast<uint8_t>(random());
        }

        const std::string text = GuidToString(guid);
        GUID parsed;
        ASSERT_TRUE(GuidFromString(text, parsed)) << text;
        EXPECT_EQ(parsed, guid) << text;
        std::string lower = text;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        GUID parsedLower;
        ASSERT_TRUE(GuidFromString(lower, parsedLower)) << lower;
        EXPECT_EQ(parsedLower, guid) << lower;
    }
}

TEST(Guid, RejectsMalformedTextAndLeavesTheGuidUntouched) {
    const std::string_view bad[] = {
        "",
        "{}",
        "{",
        "}",
        "{6B29FC40-CA47-1067-B31D-00DD010662DA",  // unbalanced braces
        "6B29FC40-CA47-1067-B31D-00DD010662DA}",
        "{{6B29FC40-CA47-1067-B31D-00DD010662DA}}",
        "(6B29FC40-CA47-1067-B31D-00DD010662DA)",   // wrong brackets
        "{6B29FC4-CA47-1067-B31D-00DD010662DA}",    // a group one digit short
        "{6B29FC400-CA47-1067-B31D-00DD010662DA}",  // ... or long
        "{6B29FC40-CA47-1067-B31D-00DD010662D}",
        "{6B29FC40-CA47-1067-B31D-00DD010662DAA}",
        "{6B29FC40-CA47-1067-B31D0-0DD010662DA}",  // dash moved
        "{6B29FC40CA47-1067-B31D-00DD010662DA0}",  // dash missing, length kept
        "6B29FC40CA471067B31D00DD010662DA",        // no dashes at all
        "{6B29FC40_CA47_1067_B31D_00DD010662DA}",  // wrong separator
        "{6B29FC4G-CA47-1067-B31D-00DD010662DA}",  // not hex
        "{6B29FC40-CA47-1067-B31D-00DD010662DZ}",
        "{+B29FC40-CA47-1067-B31D-00DD010662DA}",  // signs are not digits
        "{6B29FC40-CA47--067-B31D-00DD010662DA}",
        " {6B29FC40-CA47-1067-B31D-00DD010662DA}",  // blanks
        "{6B29FC40-CA47-1067-B31D-00DD010662DA} ",
        "{ 6B29FC4-CA47-1067-B31D-00DD010662DA}",
    };
    for (std::string_view text : bad) {
        GUID guid = IID_IPicture;
        EXPECT_FALSE(GuidFromString(text, guid)) << "'" << text << "'";
        EXPECT_EQ(guid, IID_IPicture) << "'" << text << "'";
    }
}

TEST(Guid, StandardInterfaceIdentifiers) {
    EXPECT_EQ(IID_NULL, GUID{});
    EXPECT_EQ(GuidToString(IID_NULL), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(GuidToString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IPicture), "{7BF80980-BF32-101A-8BBB-00AA00300CAB}");
    EXPECT_EQ(GuidToString(IID_IPictureDisp), "{7BF80981-BF32-101A-8BBB-00AA00300CAB}");
}

// ---------------------------------------------------------------------------
// Automation strings

TEST(Bstr, PrefixHoldsTheByteCountBeforeTerminatedCharacters) {
    BSTR s = SysAllocString(u"barcode");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(PrefixOf(s), 14u);
    EXPECT_EQ(SysStringLen(s), 7u);
    EXPECT_EQ(std::u16string_view(s), u"barcode");  // reads up to the terminator
    EXPECT_EQ(s[7], u'\0');
    SysFreeString(s);
}

TEST(Bstr, ExplicitLengthKeepsEmbeddedNulsAndStopsWhereTold) {
    const std::u16string_view withNuls(u"a\0b\0c", 5);
    BSTR s = SysAllocStringLen(withNuls.data(), 5);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    EXPECT_EQ(PrefixOf(s), 10u);
    EXPECT_EQ(std::u16string_view(s, 5), withNuls);
    EXPECT_EQ(s[5], u'\0');
    SysFreeString(s);

    BSTR head = SysAllocStringLen(u"abcdef", 3);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(SysStringLen(head), 3u);
    EXPECT_EQ(std::u16string_view(head), u"abc");
    SysFreeString(head);
}

TEST(Bstr, NoTextGivesZeroedCharacters) {
    BSTR s = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 4u);
    for (int i = 0; i <= 4; ++i) {
        EXPECT_EQ(s[i], u'\0') << i;
    }
    SysFreeString(s);
}

TEST(Bstr, EmptyTextIsAStringOfItsOwn) {
    BSTR a = SysAllocString(u"");
    BSTR b = SysAllocStringLen(nullptr, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(SysStringLen(a), 0u);
    EXPECT_EQ(PrefixOf(a), 0u);
    EXPECT_EQ(a[0], u'\0');
    SysFreeString(a);
    SysFreeString(b);
}

TEST(Bstr, NullAndOverlongRequestsGiveNull) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    // Lengths whose byte count does not fit the 32-bit prefix.
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, std::numeric_limits<uint32_t>::max()), nullptr);
}

TEST(Bstr, CopiesAreIndependentOfTheSource) {
    std::u16string source = u"scan";
    BSTR s = SysAllocString(source.c_str());
    ASSERT_NE(s, nullptr);
    source[0] = u'X';
    EXPECT_EQ(std::u16string_view(s), u"scan");
    SysFreeString(s);
}

TEST(BStrHolder, OwnsACopyOfTheText) {
    const std::u16string text(u"a\0b", 3);
    BStr held(text);
    ASSERT_NE(held.Get(), nullptr);
    EXPECT_NE(held.Get(), text.data());
    EXPECT_EQ(held.Length(), 3u);
    EXPECT_EQ(held.View(), text);

    BStr empty(u"");
    ASSERT_NE(empty.Get(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);

    BStr none;
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_TRUE(none.View().empty());
}

TEST(BStrHolder, MoveAttachAndDetachPassOwnership) {
    BStr first(u"one");
    const BSTR raw = first.Get();
    BStr second(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), raw);

    BStr third(u"two");
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_EQ(third.View(), u"one");

    // A detached string is the caller's to free; freeing it twice or never
    // shows under AddressSanitizer.
    BSTR detached = third.Detach();
    EXPECT_EQ(detached, raw);
    EXPECT_EQ(third.Get(), nullptr);
    SysFreeString(detached);

    BStr attached = BStr::Attach(SysAllocString(u"three"));
    EXPECT_EQ(attached.View(), u"three");
}

// ---------------------------------------------------------------------------
// Variants: numbers

TEST(VariantNumbers, WidenExactly) {
    Converted i4 = ChangeType(Variant(int16_t{959}), VT_I4);
    ASSERT_EQ(i4.hr, S_OK);
    EXPECT_EQ(i4.value.Type(), VT_I4);
    EXPECT_EQ(i4.value.Get()->lVal, 959);

    Converted lowest = ChangeType(Variant(int16_t{-32768}), VT_I4);
    ASSERT_EQ(lowest.hr, S_OK);
    EXPECT_EQ(lowest.value.Get()->lVal, -32768);

    Converted r8 = ChangeType(Variant(int32_t{-2147483647 - 1}), VT_R8);
    ASSERT_EQ(r8.hr, S_OK);
    EXPECT_EQ(r8.value.Type(), VT_R8);
    EXPECT_EQ(r8.value.Get()->dblVal, -2147483648.0);

    Converted fromFloat = ChangeType(Variant(0.1f), VT_R8);
    ASSERT_EQ(fromFloat.hr, S_OK);
    EXPECT_EQ(fromFloat.value.Get()->dblVal, static_cast<double>(0.1f));

    // Integers a float cannot hold become the nearest float.
    Converted r4 = ChangeType(Variant(int32_t{16777217}), VT_R4);
    ASSERT_EQ(r4.hr, S_OK);
    EXPECT_EQ(r4.value.Type(), VT_R4);
    EXPECT_EQ(r4.value.Get()->fltVal, 16777216.0f);
    Converted small = ChangeType(Variant(int16_t{-959}), VT_R4);
    ASSERT_EQ(small.hr, S_OK);
    EXPECT_EQ(small.value.Get()->fltVal, -959.0f);
}

TEST(VariantNumbers, DoubleToFloatRoundsOrOverflows) {
    Converted r4 = ChangeType(Variant(0.81), VT_R4);
    ASSERT_EQ(r4.hr, S_OK);
    EXPECT_EQ(r4.value.Type(), VT_R4);
    EXPECT_EQ(r4.value.Get()->fltVal, 0.81f);

    for (double edge : {static_cast<double>(FLT_MAX), -static_cast<double>(FLT_MAX)}) {
        Converted c = ChangeType(Variant(edge), VT_R4);
        ASSERT_EQ(c.hr, S_OK) << edge;
        EXPECT_EQ(c.value.Get()->fltVal, static_cast<float>(edge));
    }
    for (double huge : {1e40, -1e40, DBL_MAX, 3.5e38}) {
        Converted c = ChangeType(Variant(huge), VT_R4);
        EXPECT_EQ(c.hr, DISP_E_OVERFLOW) << huge;
        EXPECT_EQ(c.value.Type(), VT_EMPTY) << huge;
    }

    // Too small for a float is zero, not an overflow; infinity stays itself.
    Converted tiny = ChangeType(Variant(1e-50), VT_R4);
    ASSERT_EQ(tiny.hr, S_OK);
    EXPECT_EQ(tiny.value.Get()->fltVal, 0.0f);
    Converted infinite = ChangeType(Variant(-HUGE_VAL), VT_R4);
    ASSERT_EQ(infinite.hr, S_OK);
    EXPECT_EQ(infinite.value.Get()->fltVal, -HUGE_VALF);
}

TEST(VariantNumbers, RoundHalfToEvenIntoIntegers) {
    struct Case {
        double in;
        int expected;
    };
    const Case cases[] = {
        {2.5, 2},
        {3.5, 4},
        {0.5, 0},
        {1.5, 2},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {-3.5, -4},
        {2.4999999, 2},
        {2.5000001, 3},
        {-2.5000001, -3},
        {7.0, 7},
        {0.49999999999999994, 0},  // the largest double below one half
    };
    for (VARTYPE vt : {VT_I2, VT_I4}) {
        for (const Case& c : cases) {
            Converted r = ChangeType(Variant(c.in), vt);
            ASSERT_EQ(r.hr, S_OK) << c.in;
            EXPECT_EQ(r.value.Type(), vt);
            EXPECT_EQ(NumberIn(r.value), c.expected) << c.in << " to vt " << vt;
        }
    }
    Converted fromFloat = ChangeType(Variant(6.5f), VT_I2);
    ASSERT_EQ(fromFloat.hr, S_OK);
    EXPECT_EQ(fromFloat.value.Get()->iVal, 6);
}

TEST(VariantNumbers, IntegersOverflowOutsideTheirRange) {
    struct Case {
        double in;
        VARTYPE vt;
        std::optional<double> expected;  // empty: overflows
    };
    const Case cases[] = {
        {32767.0, VT_I2, 32767},
        {32767.49, VT_I2, 32767},
        {32767.5, VT_I2, std::nullopt},  // rounds up to 32768
        {-32768.5, VT_I2, -32768},       // rounds to the even -32768
        {-32769.0, VT_I2, std::nullopt},
        {40000.0, VT_I2, std::nullopt},
        {2147483647.0, VT_I4, 2147483647},
        {2147483647.5, VT_I4, std::nullopt},
        {-2147483648.5, VT_I4, -2147483648.0},
        {-2147483649.0, VT_I4, std::nullopt},
        {1e10, VT_I4, std::nullopt},
        {-1e300, VT_I4, std::nullopt},
    };
    for (const Case& c : cases) {
        Converted r = ChangeType(Variant(c.in), c.vt);
        if (c.expected) {
            ASSERT_EQ(r.hr, S_OK) << c.in;
            EXPECT_EQ(NumberIn(r.value), *c.expected) << c.in;
        } else {
            EXPECT_EQ(r.hr, DISP_E_OVERFLOW) << c.in;
            EXPECT_EQ(r.value.Type(), VT_EMPTY) << c.in;
        }
    }

    Converted narrowed = ChangeType(Variant(int32_t{40000}), VT_I2);
    EXPECT_EQ(narrowed.hr, DISP_E_OVERFLOW);
    Converted fits = ChangeType(Variant(int32_t{-32768}), VT_I2);
    ASSERT_EQ(fits.hr, S_OK);
    EXPECT_EQ(fits.value.Get()->iVal, -32768);

    for (double special : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(ChangeType(Variant(special), VT_I4).hr, DISP_E_OVERFLOW) << special;
        EXPECT_EQ(ChangeType(Variant(static_cast<float>(special)), VT_I2).hr, DISP_E_OVERFLOW);
    }
}

// ---------------------------------------------------------------------------
// Variants: booleans

TEST(VariantBooleans, NumbersAreTrueUnlessZero) {
    struct Case {
        VARTYPE vt;
        double in;
        bool expected;
    };
    const Case cases[] = {
        {VT_I2, 0, false},    {VT_I2, 5, true},      {VT_I4, -1, true},
        {VT_I4, 0, false},    {VT_R4, 0.25, true},   {VT_R4, 0.0, false},
        {VT_R8, -0.0, false}, {VT_R8, 1e-300, true}, {VT_R8, std::nan(""), true},
    };
    for (const Case& c : cases) {
        Converted r = ChangeType(Holding(c.vt, c.in), VT_BOOL);
        ASSERT_EQ(r.hr, S_OK) << c.in;
        EXPECT_EQ(r.value.Type(), VT_BOOL);
        EXPECT_EQ(r.value.Get()->boolVal, c.expected ? VARIANT_TRUE : VARIANT_FALSE)
            << c.in << " as vt " << c.vt;
    }
}

TEST(VariantBooleans, BooleansAreMinusOneOrZero) {
    for (VARTYPE vt : {VT_I2, VT_I4, VT_R4, VT_R8}) {
        Converted t = ChangeType(Variant(true), vt);
        ASSERT_EQ(t.hr, S_OK);
        EXPECT_EQ(t.value.Type(), vt);
        EXPECT_EQ(NumberIn(t.value), -1.0) << "vt " << vt;
        Converted f = ChangeType(Variant(false), vt);
        ASSERT_EQ(f.hr, S_OK);
        EXPECT_EQ(NumberIn(f.value), 0.0) << "vt " << vt;
    }
    // Any non-zero boolean is true, even one a careless caller set to 1.
    Variant loose(true);
    loose.Get()->boolVal = 1;
    EXPECT_EQ(NumberIn(ChangeType(loose, VT_I4).value), -1.0);
}

TEST(VariantBooleans, TextFormsOfBooleans) {
    EXPECT_EQ(TextIn(ChangeType(Variant(true), VT_BSTR).value), u"True");
    EXPECT_EQ(TextIn(ChangeType(Variant(false), VT_BSTR).value), u"False");

    struct Case {
        std::u16string_view text;
        bool expected;
    };
    const Case cases[] = {
        {u"True", true},   {u"true", true}, {u"TRUE", true}, {u"tRuE", true}, {u" False\t", false},
        {u"false", false}, {u"1", true},    {u"0", false},   {u"-2.5", true}, {u"0.0", false},
    };
    for (const Case& c : cases) {
        Converted r = ChangeType(Variant(c.text), VT_BOOL);
        ASSERT_EQ(r.hr, S_OK) << Narrow(c.text);
        EXPECT_EQ(r.value.Get()->boolVal, c.expected ? VARIANT_TRUE : VARIANT_FALSE)
            << Narrow(c.text);
    }
    for (std::u16string_view text : {u"yes", u"", u"truex", u"t", u"True False"}) {
        EXPECT_EQ(ChangeType(Variant(text), VT_BOOL).hr, DISP_E_TYPEMISMATCH) << Narrow(text);
    }
    // The words are booleans only: they are not numbers.
    EXPECT_EQ(ChangeType(Variant(u"True"), VT_I4).hr, DISP_E_TYPEMISMATCH);
}

// ---------------------------------------------------------------------------
// Variants: text

TEST(VariantText, ReadsDecimalNumbers) {
    struct Case {
        std::u16string_view text;
        VARTYPE vt;
        double expected;
    };
    const Case cases[] = {
        {u"959", VT_I4, 959},
        {u" 42 ", VT_I4, 42},
        {u"\t-7\t", VT_I2, -7},
        {u"+3", VT_I4, 3},
        {u"2.5", VT_I4, 2},
        {u"3.5", VT_I2, 4},
        {u"1e3", VT_I4, 1000},
        {u"1E-2", VT_R8, 0.01},
        {u".5", VT_R8, 0.5},
        {u"5.", VT_R8, 5},
        {u"-0.25", VT_R8, -0.25},
        {u"32767", VT_I2, 32767},
        {u"3.4028235e38", VT_R4, FLT_MAX},  // FLT_MAX, though a little above it as a double
        {u"0.81", VT_R4, 0.81f},
        {u"0.81", VT_R8, 0.81},
    };
    for (const Case& c : cases) {
        Converted r = ChangeType(Variant(c.text), c.vt);
        ASSERT_EQ(r.hr, S_OK) << Narrow(c.text);
        EXPECT_EQ(r.value.Type(), c.vt);
        EXPECT_EQ(NumberIn(r.value), c.expected) << Narrow(c.text);
    }
}

TEST(VariantText, RejectsWhatIsNotADecimalNumber) {
    const std::u16string embeddedNul{u'1', u'\0', u'2'};
    const std::u16string_view bad[] = {
        u"",         u"   ", u"abc",      u"12abc", u"1 2", u"0x10", u"inf",
        u"-inf",     u"nan", u"infinity", u"--1",   u"+-1", u"-+1",  u"++1",
        u"1,5",      u"1e",  u"e5",       u".",     u"-",   u"+",    u"1.2.3",
        u"\u0661",  // Arabic-Indic one
        u"\uFF11",  // full-width one
        embeddedNul,
    };
    for (std::u16string_view text : bad) {
        for (VARTYPE vt : {VT_I2, VT_I4, VT_R4, VT_R8}) {
            Converted r = ChangeType(Variant(text), vt);
            EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH) << "'" << Narrow(text) << "' to vt " << vt;
            EXPECT_EQ(r.value.Type(), VT_EMPTY);
        }
    }
    // A null string reads as empty text.
    Variant nullText(u"");
    SysFreeString(nullText.Get()->bstrVal);
    nullText.Get()->bstrVal = nullptr;
    EXPECT_EQ(ChangeType(nullText, VT_I4).hr, DISP_E_TYPEMISMATCH);
}

TEST(VariantText, OutOfRangeTextOverflows) {
    EXPECT_EQ(ChangeType(Variant(u"40000"), VT_I2).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"2147483648"), VT_I4).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"1e40"), VT_R4).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"1e400"), VT_R8).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"-1e400"), VT_R8).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"0.5e99999999999999999999"), VT_R8).hr, DISP_E_OVERFLOW);
    EXPECT_EQ(ChangeType(Variant(u"1e400x"), VT_R8).hr, DISP_E_TYPEMISMATCH);

    Converted top = ChangeType(Variant(u"2147483647"), VT_I4);
    ASSERT_EQ(top.hr, S_OK);
    EXPECT_EQ(top.value.Get()->lVal, 2147483647);
}

TEST(VariantText, TextTooSmallReadsAsZero) {
    const std::u16string manyZeros = u"0." + std::u16string(400, u'0') + u"1";
    const std::u16string_view tiny[] = {u"1e-400", u"-1e-400", u"12345e-99999999999999999999",
                                        manyZeros};
    for (std::u16string_view text : tiny) {
        for (VARTYPE vt : {VT_R8, VT_R4}) {
            Converted r = ChangeType(Variant(text), vt);
            ASSERT_EQ(r.hr, S_OK) << Narrow(text) << " to vt " << vt;
            EXPECT_EQ(NumberIn(r.value), 0.0) << Narrow(text) << " to vt " << vt;
            EXPECT_EQ(std::signbit(NumberIn(r.value)), text.front() == u'-') << Narrow(text);
        }
    }
    // Within a double's range but below a float's.
    Converted belowFloat = ChangeType(Variant(u"-1e-50"), VT_R4);
    ASSERT_EQ(belowFloat.hr, S_OK);
    EXPECT_EQ(belowFloat.value.Get()->fltVal, 0.0f);
    EXPECT_TRUE(std::signbit(belowFloat.value.Get()->fltVal));

    // Small yet within a double's range is not zero.
    Converted subnormal = ChangeType(Variant(u"1e-310"), VT_R8);
    ASSERT_EQ(subnormal.hr, S_OK);
    EXPECT_GT(subnormal.value.Get()->dblVal, 0.0);
}

TEST(VariantText, NumbersFormatAsShortestText) {
    EXPECT_EQ(TextIn(ChangeType(Variant(int32_t{959}), VT_BSTR).value), u"959");
    EXPECT_EQ(TextIn(ChangeType(Variant(int16_t{-32768}), VT_BSTR).value), u"-32768");
    EXPECT_EQ(TextIn(ChangeType(Variant(int32_t{-2147483647 - 1}), VT_BSTR).value), u"-2147483648");
    EXPECT_EQ(TextIn(ChangeType(Variant(0.81), VT_BSTR).value), u"0.81");
    EXPECT_EQ(TextIn(ChangeType(Variant(2.0), VT_BSTR).value), u"2");
    EXPECT_EQ(TextIn(ChangeType(Variant(0.1 + 0.2), VT_BSTR).value), u"0.30000000000000004");
    // A float is written with a float's digits, not those of the nearest double.
    EXPECT_EQ(TextIn(ChangeType(Variant(0.81f), VT_BSTR).value), u"0.81");
    EXPECT_EQ(TextIn(ChangeType(Variant(0.1f), VT_BSTR).value), u"0.1");
}

TEST(VariantText, FormattedNumbersReadBackUnchanged) {
    std::vector<double> doubles = {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -0.0, 1e21, 1e-7};
    // 7.038531e-26 reads back wrong when rounded to a double first.
    std::vector<float> floats = {FLT_MAX, -FLT_MAX, FLT_MIN,      FLT_TRUE_MIN,
                                 -0.0f,   3e-39f,   7.038531e-26f};
    std::mt19937_64 random(42);
    while (doubles.size() < 5000) {
        const uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) doubles.push_back(d);
    }
    while (floats.size() < 5000) {
        const auto bits = static_cast<uint32_t>(random());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f)) floats.push_back(f);
    }

    for (double d : doubles) {
        Converted text = ChangeType(Variant(d), VT_BSTR);
        ASSERT_EQ(text.hr, S_OK) << d;
        Converted back = ChangeType(text.value, VT_R8);
        ASSERT_EQ(back.hr, S_OK) << Narrow(TextIn(text.value));
        EXPECT_EQ(std::memcmp(&back.value.Get()->dblVal, &d, sizeof d), 0)
            << Narrow(TextIn(text.value));
    }
    for (float f : floats) {
        Converted text = ChangeType(Variant(f), VT_BSTR);
        ASSERT_EQ(text.hr, S_OK) << f;
        Converted back = ChangeType(text.value, VT_R4);
        ASSERT_EQ(back.hr, S_OK) << Narrow(TextIn(text.value));
        EXPECT_EQ(std::memcmp(&back.value.Get()->fltVal, &f, sizeof f), 0)
            << Narrow(TextIn(text.value));
    }
}

TEST(VariantText, TextToTextIsACopy) {
    const std::u16string_view withNul(u"x\0y", 3);
    Variant src(withNul);
    Converted r = ChangeType(src, VT_BSTR);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_NE(r.value.Get()->bstrVal, src.Get()->bstrVal);
    EXPECT_EQ(TextIn(r.value), withNul);
}

// ---------------------------------------------------------------------------
// Variants: empty

TEST(VariantEmpty, IsZeroFalseOrEmptyText) {
    for (VARTYPE vt : {VT_I2, VT_I4, VT_R4, VT_R8}) {
        Converted r = ChangeType(Variant(), vt);
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.value.Type(), vt);
        EXPECT_EQ(NumberIn(r.value), 0.0) << "vt " << vt;
    }
    Converted b = ChangeType(Variant(), VT_BOOL);
    ASSERT_EQ(b.hr, S_OK);
    EXPECT_EQ(b.value.Type(), VT_BOOL);
    EXPECT_EQ(b.value.Get()->boolVal, VARIANT_FALSE);

    Converted text = ChangeType(Variant(), VT_BSTR);
    ASSERT_EQ(text.hr, S_OK);
    ASSERT_NE(text.value.Get()->bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(text.value.Get()->bstrVal), 0u);
}

TEST(VariantEmpty, AnyValueCanBeEmptied) {
    std::vector<Variant> values;
    values.emplace_back(int16_t{1});
    values.emplace_back(2.5);
    values.emplace_back(true);
    values.emplace_back(u"text");
    values.emplace_back();
    for (const Variant& v : values) {
        Converted r = ChangeType(v, VT_EMPTY);
        EXPECT_EQ(r.hr, S_OK) << "vt " << v.Type();
        EXPECT_EQ(r.value.Type(), VT_EMPTY);
    }
}

// ---------------------------------------------------------------------------
// Variants: argument checks and in-place conversion

TEST(VariantChangeType, RejectsUnknownTypesAndNullPointers) {
    VARIANT unknown;
    unknown.vt = 7;  // a date, which this stand-in does not support
    Variant dest(u"old");
    EXPECT_EQ(VariantChangeType(dest.Get(), &unknown, 0, VT_I4), DISP_E_BADVARTYPE);
    EXPECT_EQ(dest.Type(), VT_EMPTY);

    Variant number(int32_t{5});
    for (VARTYPE vt : {VARTYPE{1}, VARTYPE{7}, VARTYPE{12}, VARTYPE{0x2003}}) {
        Converted r = ChangeType(number, vt);
        EXPECT_EQ(r.hr, DISP_E_BADVARTYPE) << "vt " << vt;
        EXPECT_EQ(r.value.Type(), VT_EMPTY);
    }

    EXPECT_EQ(VariantChangeType(nullptr, number.Get(), 0, VT_I2), E_POINTER);
    EXPECT_EQ(VariantChangeType(dest.Get(), nullptr, 0, VT_I2), E_POINTER);
    EXPECT_EQ(VariantClear(nullptr), E_POINTER);
    EXPECT_EQ(VariantCopy(nullptr, number.Get()), E_POINTER);
    EXPECT_EQ(VariantCopy(dest.Get(), nullptr), E_POINTER);
}

TEST(VariantChangeType, FailureInPlaceLeavesTheValue) {
    Variant text(u"abc");
    const BSTR before = text.Get()->bstrVal;
    EXPECT_EQ(VariantChangeType(text.Get(), text.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(text.Type(), VT_BSTR);
    EXPECT_EQ(text.Get()->bstrVal, before);
    EXPECT_EQ(TextIn(text), u"abc");

    Variant big(int32_t{40000});
    EXPECT_EQ(VariantChangeType(big.Get(), big.Get(), 0, VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(big.Type(), VT_I4);
    EXPECT_EQ(big.Get()->lVal, 40000);

    Variant real(1.25);
    EXPECT_EQ(VariantChangeType(real.Get(), real.Get(), 0, 7), DISP_E_BADVARTYPE);
    EXPECT_EQ(real.Type(), VT_R8);
    EXPECT_EQ(real.Get()->dblVal, 1.25);
}

TEST(VariantChangeType, SuccessInPlaceReplacesTheValue) {
    Variant text(u" 959 ");
    ASSERT_EQ(VariantChangeType(text.Get(), text.Get(), 0, VT_I2), S_OK);
    EXPECT_EQ(text.Type(), VT_I2);
    EXPECT_EQ(text.Get()->iVal, 959);

    Variant number(0.81);
    ASSERT_EQ(VariantChangeType(number.Get(), number.Get(), 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextIn(number), u"0.81");
}

TEST(VariantChangeType, SeparateDestIsClearedWhateverTheOutcome) {
    CountingObject held;
    Variant src(u"abc");
    Variant dest(&held);
    ASSERT_EQ(held.refs, 2u);
    EXPECT_EQ(VariantChangeType(dest.Get(), src.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(dest.Type(), VT_EMPTY);
    EXPECT_EQ(held.refs, 1u);
    EXPECT_EQ(TextIn(src), u"abc");

    Variant again(&held);
    ASSERT_EQ(held.refs, 2u);
    Variant number(int16_t{12});
    ASSERT_EQ(VariantChangeType(again.Get(), number.Get(), 0, VT_R8), S_OK);
    EXPECT_EQ(held.refs, 1u);
    EXPECT_EQ(again.Get()->dblVal, 12.0);
}

// ---------------------------------------------------------------------------
// Variants: objects

TEST(VariantObjects, DispatchToUnknownAsksForIUnknown) {
    CountingObject object;
    {
        Variant src(&object);
        ASSERT_EQ(object.refs, 2u);
        Converted r = ChangeType(src, VT_UNKNOWN);
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.value.Type(), VT_UNKNOWN);
        EXPECT_EQ(r.value.Get()->punkVal, AsUnknown(object));
        EXPECT_EQ(object.queries, 1);
        EXPECT_EQ(object.lastIid, IID_IUnknown);
        EXPECT_EQ(object.refs, 3u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantObjects, UnknownToDispatchAsksForIDispatch) {
    CountingObject object;
    {
        Variant src = HoldingUnknown(AsUnknown(object));
        Converted r = ChangeType(src, VT_DISPATCH);
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.value.Type(), VT_DISPATCH);
        EXPECT_EQ(r.value.Get()->pdispVal, &object);
        EXPECT_EQ(object.lastIid, IID_IDispatch);
        EXPECT_EQ(object.refs, 3u);

        // Same type: still a reference of its own.
        Converted same = ChangeType(r.value, VT_DISPATCH);
        ASSERT_EQ(same.hr, S_OK);
        EXPECT_EQ(same.value.Get()->pdispVal, &object);
        EXPECT_EQ(object.refs, 4u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantObjects, ObjectWithoutIDispatchIsATypeMismatch) {
    CountingObject plain(/*dispatchable=*/false);
    {
        Variant src = HoldingUnknown(AsUnknown(plain));
        Converted r = ChangeType(src, VT_DISPATCH);
        EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(r.value.Type(), VT_EMPTY);
        EXPECT_EQ(plain.refs, 2u);
    }
    EXPECT_EQ(plain.refs, 1u);
}

TEST(VariantObjects, InPlaceConversionTradesOneReferenceForAnother) {
    CountingObject object;
    {
        Variant v(&object);
        ASSERT_EQ(VariantChangeType(v.Get(), v.Get(), 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(v.Type(), VT_UNKNOWN);
        EXPECT_EQ(v.Get()->punkVal, AsUnknown(object));
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantObjects, NullObjectBecomesNullOfTheTargetType) {
    Converted unknown = ChangeType(Variant(static_cast<IDispatch*>(nullptr)), VT_UNKNOWN);
    ASSERT_EQ(unknown.hr, S_OK);
    EXPECT_EQ(unknown.value.Type(), VT_UNKNOWN);
    EXPECT_EQ(unknown.value.Get()->punkVal, nullptr);

    Converted dispatch = ChangeType(HoldingUnknown(nullptr), VT_DISPATCH);
    ASSERT_EQ(dispatch.hr, S_OK);
    EXPECT_EQ(dispatch.value.Type(), VT_DISPATCH);
    EXPECT_EQ(dispatch.value.Get()->pdispVal, nullptr);
}

TEST(VariantObjects, DoNotMixWithOtherTypes) {
    CountingObject object;
    Variant dispatch(&object);
    Variant unknown = HoldingUnknown(AsUnknown(object));
    for (VARTYPE vt : kNonObjectTypes) {
        EXPECT_EQ(ChangeType(dispatch, vt).hr, DISP_E_TYPEMISMATCH) << "vt " << vt;
        EXPECT_EQ(ChangeType(unknown, vt).hr, DISP_E_TYPEMISMATCH) << "vt " << vt;
    }
    EXPECT_EQ(object.queries, 0);
    EXPECT_EQ(object.refs, 3u);

    std::vector<Variant> values;
    values.emplace_back();
    values.emplace_back(int32_t{1});
    values.emplace_back(true);
    values.emplace_back(u"object");
    for (const Variant& v : values) {
        EXPECT_EQ(ChangeType(v, VT_DISPATCH).hr, DISP_E_TYPEMISMATCH) << "vt " << v.Type();
        EXPECT_EQ(ChangeType(v, VT_UNKNOWN).hr, DISP_E_TYPEMISMATCH) << "vt " << v.Type();
    }
}

// ---------------------------------------------------------------------------
// Variants: clearing and copying

TEST(VariantClear, ReleasesObjectsAndFreesStrings) {
    CountingObject object;
    VARIANT v;
    v.vt = VT_DISPATCH;
    v.pdispVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(VariantClear(&v), S_OK);  // nothing left to release
    EXPECT_EQ(object.refs, 1u);

    v.vt = VT_UNKNOWN;
    v.punkVal = AsUnknown(object);
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object.refs, 1u);

    // Freed, or AddressSanitizer reports a leak.
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"gone");
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);

    v.vt = 7;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(v.vt, 7);
}

TEST(VariantClear, InitFreesNothing) {
    BStr owned(u"still mine");
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = owned.Get();
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(owned.View(), u"still mine");  // a use after free if Init had freed it
}

TEST(VariantCopy, DuplicatesStringsAndSharesObjects) {
    const std::u16string_view withNul(u"a\0b", 3);
    Variant text(withNul);
    Variant textCopy;
    ASSERT_EQ(VariantCopy(textCopy.Get(), text.Get()), S_OK);
    EXPECT_NE(textCopy.Get()->bstrVal, text.Get()->bstrVal);
    EXPECT_EQ(TextIn(textCopy), withNul);

    CountingObject object;
    {
        Variant original(&object);
        Variant copy;
        ASSERT_EQ(VariantCopy(copy.Get(), original.Get()), S_OK);
        EXPECT_EQ(copy.Type(), VT_DISPATCH);
        EXPECT_EQ(copy.Get()->pdispVal, &object);
        EXPECT_EQ(object.refs, 3u);
    }
    EXPECT_EQ(object.refs, 1u);

    Variant real(0.81);
    Variant realCopy;
    ASSERT_EQ(VariantCopy(realCopy.Get(), real.Get()), S_OK);
    EXPECT_EQ(realCopy.Type(), VT_R8);
    EXPECT_EQ(realCopy.Get()->dblVal, 0.81);

    Variant nullText(u"");
    SysFreeString(nullText.Get()->bstrVal);
    nullText.Get()->bstrVal = nullptr;
    Variant nullCopy(int32_t{3});
    ASSERT_EQ(VariantCopy(nullCopy.Get(), nullText.Get()), S_OK);
    EXPECT_EQ(nullCopy.Type(), VT_BSTR);
    EXPECT_EQ(nullCopy.Get()->bstrVal, nullptr);
}

TEST(VariantCopy, ClearsTheDestFirst) {
    CountingObject old;
    Variant dest(&old);
    ASSERT_EQ(old.refs, 2u);
    Variant number(int32_t{5});
    ASSERT_EQ(VariantCopy(dest.Get(), number.Get()), S_OK);
    EXPECT_EQ(old.refs, 1u);
    EXPECT_EQ(dest.Type(), VT_I4);
    EXPECT_EQ(dest.Get()->lVal, 5);

    Variant overwritten(u"freed, or a leak");
    ASSERT_EQ(VariantCopy(overwritten.Get(), number.Get()), S_OK);
    EXPECT_EQ(overwritten.Type(), VT_I4);

    // Copying onto itself must not free what it is about to copy.
    Variant self(u"same");
    EXPECT_EQ(VariantCopy(self.Get(), self.Get()), S_OK);
    EXPECT_EQ(TextIn(self), u"same");

    VARIANT unknown;
    unknown.vt = 7;
    EXPECT_EQ(VariantCopy(dest.Get(), &unknown), DISP_E_BADVARTYPE);
}

// ---------------------------------------------------------------------------
// Holders

TEST(VariantHolder, ConstructorsSetTypeAndValue) {
    EXPECT_EQ(Variant(int16_t{-2}).Get()->iVal, -2);
    EXPECT_EQ(Variant(int16_t{-2}).Type(), VT_I2);
    EXPECT_EQ(Variant(int32_t{70000}).Get()->lVal, 70000);
    EXPECT_EQ(Variant(int32_t{70000}).Type(), VT_I4);
    EXPECT_EQ(Variant(0.5f).Type(), VT_R4);
    EXPECT_EQ(Variant(0.5).Type(), VT_R8);
    EXPECT_EQ(Variant(true).Get()->boolVal, VARIANT_TRUE);
    EXPECT_EQ(Variant(false).Get()->boolVal, VARIANT_FALSE);

    // A literal and a BSTR are text, not booleans.
    EXPECT_EQ(TextIn(Variant(u"literal")), u"literal");
    BStr owned(u"owned");
    EXPECT_EQ(TextIn(Variant(owned.Get())), u"owned");
    const std::u16string_view withNul(u"p\0q", 3);
    Variant text(withNul);
    EXPECT_NE(text.Get()->bstrVal, withNul.data());
    EXPECT_EQ(TextIn(text), withNul);
    Variant empty(std::u16string_view{});
    ASSERT_EQ(empty.Type(), VT_BSTR);
    EXPECT_NE(empty.Get()->bstrVal, nullptr);
}

TEST(VariantHolder, HoldsAReferenceOfItsOwn) {
    CountingObject object;
    {
        Variant v(&object);
        EXPECT_EQ(v.Type(), VT_DISPATCH);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantHolder, MovesWithoutCounting) {
    CountingObject object;
    {
        Variant first(&object);
        Variant second(std::move(first));
        EXPECT_EQ(first.Type(), VT_EMPTY);
        EXPECT_EQ(second.Get()->pdispVal, &object);
        EXPECT_EQ(object.refs, 2u);

        Variant third(u"text");
        third = std::move(second);
        EXPECT_EQ(third.Get()->pdispVal, &object);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(ComPtrHolder, ShareAddsAReferenceAttachTakesOne) {
    CountingObject object;
    {
        auto shared = ComPtr<IDispatch>::Share(&object);
        EXPECT_EQ(shared.Get(), &object);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);

    object.AddRef();
    {
        auto attached = ComPtr<IDispatch>::Attach(&object);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);

    EXPECT_FALSE(ComPtr<IDispatch>::Share(nullptr));
}

TEST(ComPtrHolder, CopiesCountAndMovesDoNot) {
    CountingObject object;
    CountingObject other;
    {
        auto first = ComPtr<IDispatch>::Share(&object);
        ComPtr<IDispatch> second = first;
        EXPECT_EQ(object.refs, 3u);
        ComPtr<IDispatch> third = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(third.Get(), &object);
        EXPECT_EQ(object.refs, 3u);

        auto elsewhere = ComPtr<IDispatch>::Share(&other);
        second = elsewhere;
        EXPECT_EQ(object.refs, 2u);
        EXPECT_EQ(other.refs, 3u);

        const ComPtr<IDispatch>& alias = second;
        second = alias;
        EXPECT_EQ(other.refs, 3u);

        third = nullptr;
        EXPECT_EQ(object.refs, 1u);
    }
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(other.refs, 1u);
}

TEST(ComPtrHolder, DetachGivesTheReferenceAway) {
    CountingObject object;
    auto held = ComPtr<IDispatch>::Share(&object);
    IDispatch* raw = held.Detach();
    EXPECT_EQ(raw, &object);
    EXPECT_FALSE(held);
    EXPECT_EQ(object.refs, 2u);
    raw->Release();
    EXPECT_EQ(object.refs, 1u);
}

TEST(ComPtrHolder, PutReleasesThenLendsTheSlot) {
    CountingObject before;
    CountingObject after;
    auto held = ComPtr<IUnknown>::Share(AsUnknown(before));
    ASSERT_EQ(before.refs, 2u);
    ASSERT_EQ(after.QueryInterface(IID_IUnknown, held.PutVoid()), S_OK);
    EXPECT_EQ(before.refs, 1u);
    EXPECT_EQ(after.refs, 2u);
    EXPECT_EQ(held.Get(), AsUnknown(after));
    held.Reset();
    EXPECT_EQ(after.refs, 1u);
}

TEST(ComPtrHolder, AsAsksForAnotherInterface) {
    CountingObject object;
    CountingObject plain(/*dispatchable=*/false);
    {
        auto unknown = ComPtr<IUnknown>::Share(AsUnknown(object));
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(unknown.As(IID_IDispatch, dispatch), S_OK);
        EXPECT_EQ(dispatch.Get(), &object);
        EXPECT_EQ(object.lastIid, IID_IDispatch);
        EXPECT_EQ(object.refs, 3u);

        // A refusal leaves the target empty, having released what it held.
        auto plainUnknown = ComPtr<IUnknown>::Share(AsUnknown(plain));
        EXPECT_EQ(plainUnknown.As(IID_IDispatch, dispatch), E_NOINTERFACE);
        EXPECT_FALSE(dispatch);
        EXPECT_EQ(object.refs, 2u);
        EXPECT_EQ(plain.refs, 2u);

        ComPtr<IUnknown> none;
        EXPECT_EQ(none.As(IID_IDispatch, dispatch), E_POINTER);
    }
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(plain.refs, 1u);
}

}  // namespace
