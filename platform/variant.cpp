// Automation variants: clearing, copying, and converting between the types the
// control's properties and methods take.
#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/com.h"

namespace {

bool IsKnownType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_BOOL:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

bool IsObjectType(VARTYPE vt) {
    return vt == VT_DISPATCH || vt == VT_UNKNOWN;
}

IUnknown* ObjectOf(const VARIANT& v) {
    return v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal;
}

std::u16string_view TextOf(const VARIANT& v) {
    // A null BSTR is the empty string.
    return v.bstrVal ? std::u16string_view(v.bstrVal, SysStringLen(v.bstrVal))
                     : std::u16string_view();
}

HRESULT SetText(VARIANT& out, std::u16string_view text) {
    BSTR s = BStr(text).Detach();
    if (!s) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = s;
    return S_OK;
}

// ASCII text as automation text; only used for the digits of formatted numbers.
HRESULT SetAsciiText(VARIANT& out, std::string_view ascii) {
    std::u16string wide(ascii.begin(), ascii.end());
    return SetText(out, wide);
}

// --- Numbers --------------------------------------------------------------

// Rounds to the nearest integer, ties to even, whatever the floating-point
// environment's rounding mode.
double RoundHalfToEven(double x) {
    const double rounded = std::round(x);  // ties away from zero
    if (std::fabs(x - std::trunc(x)) != 0.5) return rounded;
    return 2.0 * std::round(x / 2.0);
}

template <typename Int>
HRESULT ToInteger(double x, Int& out) {
    const double r = RoundHalfToEven(x);
    // Written so that NaN fails the test too.
    if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          r <= static_cast<double>(std::numeric_limits<Int>::max()))) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<Int>(r);
    return S_OK;
}

// The smallest magnitude that rounds to infinity as a float: halfway between
// FLT_MAX and the next power of two. Anything below rounds to a finite float,
// so FLT_MAX's own shortest text (which reads back a little above FLT_MAX as a
// double) still converts.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

HRESULT ToFloat(double x, float& out) {
    if (std::isfinite(x) && std::fabs(x) >= kFloatOverflow) return DISP_E_OVERFLOW;
    out = static_cast<float>(x);
    return S_OK;
}

// Every non-object, non-string value as a double; exact for all of them.
double NumberOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_BOOL:
            return v.boolVal != VARIANT_FALSE ? -1.0 : 0.0;
        default:  // VT_EMPTY
            return 0.0;
    }
}

// A number into any non-object, non-string type.
HRESULT FromNumber(double x, VARTYPE vt, VARIANT& out) {
    HRESULT hr = S_OK;
    switch (vt) {
        case VT_I2:
            hr = ToInteger(x, out.iVal);
            break;
        case VT_I4:
            hr = ToInteger(x, out.lVal);
            break;
        case VT_R4:
            hr = ToFloat(x, out.fltVal);
            break;
        case VT_R8:
            out.dblVal = x;
            break;
        case VT_BOOL:
            out.boolVal = x != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;  // NaN is non-zero
            break;
        default:  // VT_EMPTY
            break;
    }
    if (SUCCEEDED(hr)) out.vt = vt;
    return hr;
}

// --- Text -----------------------------------------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::u16string_view text, std::string_view lowerAscii) {
    if (text.size() != lowerAscii.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(lowerAscii[i])) return false;
    }
    return true;
}

// The text of a decimal number (sign, digits, point, exponent) filling the
// whole string but for blanks, ready for std::from_chars, which reads it in the
// "C" locale whatever the process locale is. Empty when it is not one.
std::string DecimalText(std::u16string_view text) {
    text = TrimBlanks(text);
    std::string ascii;
    ascii.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\0' || c > 0x7F) return {};
        ascii += static_cast<char>(c);
    }
    // from_chars takes no '+' and also reads "inf" and "nan", which are not
    // decimal numbers: insist on a digit or point after the sign.
    const bool plus = !ascii.empty() && ascii.front() == '+';
    if (plus) ascii.erase(0, 1);
    const std::size_t first = !plus && !ascii.empty() && ascii.front() == '-' ? 1 : 0;
    if (first >= ascii.size()) return {};
    const char lead = ascii[first];
    if (!(lead == '.' || (lead >= '0' && lead <= '9'))) return {};
    return ascii;
}

// Whether a well-formed decimal number is below one in magnitude: the power of
// ten of its first significant digit plus its exponent is negative. Tells apart
// the two ways text falls outside the range of a double.
bool IsBelowOne(std::string_view decimal) {
    const std::size_t e = decimal.find_first_of("eE");
    std::string_view mantissa = decimal.substr(0, e);
    if (!mantissa.empty() && mantissa.front() == '-') mantissa.remove_prefix(1);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t leading = mantissa.find_first_not_of("0.");
    if (leading == std::string_view::npos) return true;  // zero
    const long long digitPower = leading < point ? static_cast<long long>(point - leading - 1)
                                                 : -static_cast<long long>(leading - point);

    if (e == std::string_view::npos) return digitPower < 0;
    std::string_view exponentText = decimal.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    long long exponent = 0;
    const std::errc error =
        std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent)
            .ec;
    // An exponent too long to read outweighs any number of digits.
    if (error == std::errc::result_out_of_range) return exponentText.front() == '-';
    // Far beyond any double; clamped so that the sum below cannot overflow.
    constexpr long long kFar = 1'000'000'000'000;
    exponent = std::clamp(exponent, -kFar, kFar);
    return digitPower + exponent < 0;
}

// Reads all of a well-formed `decimal` as a double. Text too large overflows;
// text too small reads as zero (from_chars reports both as out of range).
HRESULT ReadDecimal(std::string_view decimal, double& value) {
    const char* end = decimal.data() + decimal.size();
    const auto [stop, error] = std::from_chars(decimal.data(), end, value);
    if (stop != end) return DISP_E_TYPEMISMATCH;
    if (error == std::errc::result_out_of_range) {
        if (!IsBelowOne(decimal)) return DISP_E_OVERFLOW;
        value = decimal.front() == '-' ? -0.0 : 0.0;
        return S_OK;
    }
    if (error != std::errc()) return DISP_E_TYPEMISMATCH;
    return S_OK;
}

// Text into any non-object, non-string type.
HRESULT FromText(std::u16string_view text, VARTYPE vt, VARIANT& out) {
    if (vt == VT_BOOL) {
        const std::u16string_view word = TrimBlanks(text);
        const bool isTrue = EqualsIgnoringCase(word, "true");
        if (isTrue || EqualsIgnoringCase(word, "false")) {
            out.vt = VT_BOOL;
            out.boolVal = isTrue ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    const std::string decimal = DecimalText(text);
    if (decimal.empty()) return DISP_E_TYPEMISMATCH;
    double x = 0.0;
    if (HRESULT hr = ReadDecimal(decimal, x); FAILED(hr)) return hr;
    if (HRESULT hr = FromNumber(x, vt, out); FAILED(hr) || vt != VT_R4) return hr;

    // Rounding the text to a double and then to a float can miss the nearest
    // float, so read it again as a float. Where that fails the value is below
    // the float range, and the double's rounding stands.
    float nearest = 0.0f;
    const char* end = decimal.data() + decimal.size();
    const auto [stop, error] = std::from_chars(decimal.data(), end, nearest);
    if (error == std::errc() && stop == end) out.fltVal = nearest;
    return S_OK;
}

// The shortest decimal text that reads back as the same value.
template <typename Number>
HRESULT FormatNumber(Number value, VARIANT& out) {
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (error != std::errc()) return E_UNEXPECTED;  // the buffer fits every value
    return SetAsciiText(out, std::string_view(buffer.data(), end - buffer.data()));
}

// Any non-object type into text.
HRESULT ToText(const VARIANT& src, VARIANT& out) {
    switch (src.vt) {
        case VT_BSTR:
            if (!src.bstrVal) {  // stays the null (empty) string
                out.vt = VT_BSTR;
                out.bstrVal = nullptr;
                return S_OK;
            }
            return SetText(out, TextOf(src));
        case VT_I2:
            return FormatNumber(src.iVal, out);
        case VT_I4:
            return FormatNumber(src.lVal, out);
        case VT_R4:
            return FormatNumber(src.fltVal, out);
        case VT_R8:
            return FormatNumber(src.dblVal, out);
        case VT_BOOL:
            return SetText(out, src.boolVal != VARIANT_FALSE ? u"True" : u"False");
        default:  // VT_EMPTY
            return SetText(out, u"");
    }
}

// --- Objects --------------------------------------------------------------

// Either object type into either, always through QueryInterface so that the
// result is a reference of its own to the interface asked for.
HRESULT FromObject(const VARIANT& src, VARTYPE vt, VARIANT& out) {
    IUnknown* object = ObjectOf(src);
    void* result = nullptr;
    if (object) {
        const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
        // The caller's argument is the wrong kind of object: a type mismatch,
        // which is what the dispatch layer reports against the argument.
        if (FAILED(object->QueryInterface(iid, &result)) || !result) return DISP_E_TYPEMISMATCH;
    }
    out.vt = vt;
    if (vt == VT_DISPATCH) {
        out.pdispVal = static_cast<IDispatch*>(result);
    } else {
        out.punkVal = static_cast<IUnknown*>(result);
    }
    return S_OK;
}

// src converted to vt into out, which is VT_EMPTY and owns nothing. Both types
// are known.
HRESULT Convert(const VARIANT& src, VARTYPE vt, VARIANT& out) {
    if (IsObjectType(src.vt) || IsObjectType(vt)) {
        if (!IsObjectType(src.vt) || !IsObjectType(vt)) return DISP_E_TYPEMISMATCH;
        return FromObject(src, vt, out);
    }
    if (vt == VT_EMPTY) return S_OK;
    if (vt == VT_BSTR) return ToText(src, out);
    if (src.vt == VT_BSTR) return FromText(TextOf(src), vt, out);
    return FromNumber(NumberOf(src), vt, out);
}

}  // namespace

void VariantInit(VARIANT* v) {
    // Frees nothing: v may hold garbage.
    if (!v) return;
    v->vt = VT_EMPTY;
    v->dblVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_POINTER;
    if (!IsKnownType(v->vt)) return DISP_E_BADVARTYPE;
    // Emptied before releasing, so that whatever the release runs sees no
    // dangling value here.
    const VARIANT old = *v;
    v->vt = VT_EMPTY;
    v->dblVal = 0;
    switch (old.vt) {
        case VT_BSTR:
            SysFreeString(old.bstrVal);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (IUnknown* object = ObjectOf(old)) object->Release();
            break;
        default:
            break;
    }
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_POINTER;
    if (dest == src) return S_OK;
    if (!IsKnownType(src->vt)) return DISP_E_BADVARTYPE;
    if (HRESULT hr = VariantClear(dest); FAILED(hr)) return hr;

    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if (IsObjectType(src->vt)) {
        if (IUnknown* object = ObjectOf(*src)) object->AddRef();
    }
    *dest = copy;
    return S_OK;
}

// The one flag defined asks not to read an object's default value; objects are
// never read for one here, so flags change nothing.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t /*flags*/, VARTYPE vt) {
    if (!dest || !src) return E_POINTER;

    // Built apart from dest so that an in-place failure leaves src intact.
    VARIANT result;
    const HRESULT hr =
        IsKnownType(src->vt) && IsKnownType(vt) ? Convert(*src, vt, result) : DISP_E_BADVARTYPE;
    if (FAILED(hr)) {
        if (dest != src) {
            VariantClear(dest);
            dest->vt = VT_EMPTY;  // even when dest held an unknown type
        }
        return hr;
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

Variant::Variant(IDispatch* object) {
    value_.vt = VT_DISPATCH;
    value_.pdispVal = object;
    if (object) object->AddRef();
}

// Left VT_EMPTY when the string cannot be made, so that the failure shows in
// Type() rather than passing for an empty string.
Variant::Variant(std::u16string_view text) {
    SetText(value_, text);
}
