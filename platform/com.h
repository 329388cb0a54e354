// The component model the reader control is reached through: result codes,
// class and interface identifiers, reference-counted interfaces, automation
// strings and variants, and RAII holders so that no caller frees by hand.
//
// The names follow the component model the control was first written for, so
// that control and clients read the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// ---------------------------------------------------------------------------
// Result codes

using HRESULT = int32_t;

constexpr HRESULT MakeHresult(uint32_t code) {
    return static_cast<HRESULT>(code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHresult(0x8002000Fu);
inline constexpr HRESULT CTL_E_SETNOTSUPPORTED = MakeHresult(0x800A017Fu);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3u);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// ---------------------------------------------------------------------------
// Identifiers

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

// "{6B29FC40-CA47-1067-B31D-00DD010662DA}": upper-case hex in braces.
std::string GuidToString(const GUID& guid);
// Accepts the form above (braces optional, either letter case); false otherwise.
bool GuidFromString(std::string_view text, GUID& guid);

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IPicture;
extern const IID IID_IPictureDisp;

// ---------------------------------------------------------------------------
// Interfaces. Objects are destroyed through Release only.

class IUnknown {
  public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

  protected:
    ~IUnknown() = default;
};

// ---------------------------------------------------------------------------
// Automation strings: length-prefixed UTF-16, NUL-terminated.

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

// A new string holding `text` (NUL-terminated), or nullptr for nullptr or when
// memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// A new string of `length` characters copied from `text` (or left zeroed when
// text is nullptr); nullptr when memory runs out.
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
// Characters held, not counting the terminator; 0 for nullptr.
uint32_t SysStringLen(BSTR text);

// ---------------------------------------------------------------------------
// Variants

using VARTYPE = uint16_t;
enum : VARTYPE {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
};

using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

class IDispatch;

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        int16_t iVal;
        int32_t lVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IDispatch* pdispVal;
        IUnknown* punkVal;
    };
    VARIANT() : dblVal(0) {}
};

void VariantInit(VARIANT* v);
// Frees a string, releases an object; leaves VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// Deep copy: strings duplicated, objects AddRef'ed. dest is cleared first.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src to type vt into dest (dest may be src). Numbers convert with
// rounding half to even and range checks (DISP_E_OVERFLOW); strings parse as
// numbers in the "C" locale (DISP_E_TYPEMISMATCH when they do not); booleans
// are 0 / -1; objects convert only to VT_DISPATCH / VT_UNKNOWN through
// QueryInterface. Unknown types give DISP_E_BADVARTYPE.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);

// ---------------------------------------------------------------------------
// Late binding

using DISPID = int32_t;
using LCID = uint32_t;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_ABOUTBOX = -552;

inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
inline constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

// Arguments in reverse order, as the component model passes them.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    uint32_t cArgs = 0;
    uint32_t cNamedArgs = 0;
};

struct EXCEPINFO;  // never filled here; callers pass nullptr

class IDispatch : public IUnknown {
  public:
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, uint32_t count,
                                  LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, uint32_t* argError) = 0;

  protected:
    ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
  public:
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
};

// ---------------------------------------------------------------------------
// RAII holders

// Holds one reference to a component object.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }
    // For out-parameters: releases what is held and exposes the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Asks the held object for another interface.
    template <typename U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.PutVoid());
    }

  private:
    T* p_ = nullptr;
};

// Owns one automation string.
class BStr {
  public:
    BStr() = default;
    explicit BStr(std::u16string_view text);
    static BStr Attach(BSTR s) {
        BStr b;
        b.s_ = s;
        return b;
    }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    BStr(BStr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    BStr& operator=(BStr&& o) noexcept {
        std::swap(s_, o.s_);
        return *this;
    }
    ~BStr() { SysFreeString(s_); }

    BSTR Get() const { return s_; }
    BSTR Detach() { return std::exchange(s_, nullptr); }
    uint32_t Length() const { return SysStringLen(s_); }
    std::u16string_view View() const { return s_ ? std::u16string_view(s_, Length()) : u""; }

  private:
    BSTR s_ = nullptr;
};

// Owns one variant and clears it on destruction.
class Variant {
  public:
    Variant() = default;
    explicit Variant(int16_t v) { value_.vt = VT_I2, value_.iVal = v; }
    explicit Variant(int32_t v) { value_.vt = VT_I4, value_.lVal = v; }
    explicit Variant(float v) { value_.vt = VT_R4, value_.fltVal = v; }
    explicit Variant(double v) { value_.vt = VT_R8, value_.dblVal = v; }
    explicit Variant(bool v) {
        value_.vt = VT_BOOL, value_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    // Adds a reference of its own to the object.
    explicit Variant(IDispatch* object);
    // Copies the text into a new automation string.
    explicit Variant(std::u16string_view text);
    // Copies NUL-terminated text (a BSTR holding NULs needs the form above).
    // Without it, a string literal or BSTR would silently pick Variant(bool).
    explicit Variant(const OLECHAR* text)
        : Variant(text ? std::u16string_view(text) : std::u16string_view()) {}
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& o) noexcept : value_(o.value_) { o.value_.vt = VT_EMPTY; }
    Variant& operator=(Variant&& o) noexcept {
        std::swap(value_, o.value_);
        return *this;
    }
    ~Variant() { VariantClear(&value_); }

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    VARTYPE Type() const { return value_.vt; }

  private:
    VARIANT value_;
};
