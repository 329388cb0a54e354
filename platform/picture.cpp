// The standard picture: one reference-counted object offering IPicture and a
// read-only dispatch interface (Handle, Type, Width, Height).
#include "platform/picture.h"

#include <atomic>
#include <limits>
#include <new>
#include <string_view>

namespace {

struct Property {
    std::u16string_view name;
    DISPID id;
};
constexpr Property kProperties[] = {
    {u"Handle", DISPID_PICT_HANDLE},
    {u"Type", DISPID_PICT_TYPE},
    {u"Width", DISPID_PICT_WIDTH},
    {u"Height", DISPID_PICT_HEIGHT},
};

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
}

// Compares a NUL-terminated name with `wanted`, ignoring the case of ASCII
// letters (the only letters the property names hold).
bool SameName(const OLECHAR* name, std::u16string_view wanted) {
    for (char16_t c : wanted) {
        if (*name == 0 || FoldAscii(*name) != FoldAscii(c)) return false;
        ++name;
    }
    return *name == 0;
}

DISPID FindProperty(const OLECHAR* name) {
    if (!name) return DISPID_UNKNOWN;
    for (const Property& p : kProperties) {
        if (SameName(name, p.name)) return p.id;
    }
    return DISPID_UNKNOWN;
}

bool IsProperty(DISPID id) {
    for (const Property& p : kProperties) {
        if (p.id == id) return true;
    }
    return false;
}

bool Offers(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IPicture || iid == IID_IDispatch ||
           iid == IID_IPictureDisp;
}

class Picture final : public IPicture, public IDispatch {
  public:
    // `description` is valid. Takes the bitmap's reference when owned, one of its own otherwise.
    Picture(const PICTDESC& description, bool own)
        : type_(static_cast<int16_t>(description.picType)), ownsIcon_(own) {
        switch (type_) {
            case PICTYPE_BITMAP:
                bitmap_ = own ? description.bmp.hbitmap : RetainBitmap(description.bmp.hbitmap);
                break;
            case PICTYPE_ICON:
                icon_ = description.icon.hicon;
                break;
            default:
                metafile_ = description.wmf.hmeta;
                metafileWidth_ = description.wmf.xExt;
                metafileHeight_ = description.wmf.yExt;
                break;
        }
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // IUnknown, shared by both interfaces; IPicture stands for the object's identity.
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPicture) {
            *object = static_cast<IPicture*>(this);
        } else if (iid == IID_IDispatch || iid == IID_IPictureDisp) {
            *object = static_cast<IDispatch*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override {
        const uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    // IPicture
    HRESULT get_Handle(OLE_HANDLE* handle) override {
        if (!handle) return E_POINTER;
        *handle = Handle();
        return S_OK;
    }
    HRESULT get_Type(int16_t* type) override {
        if (!type) return E_POINTER;
        *type = type_;
        return S_OK;
    }
    HRESULT get_Width(int32_t* width) override {
        if (!width) return E_POINTER;
        int32_t height = 0;
        return Size(*width, height);
    }
    HRESULT get_Height(int32_t* height) override {
        if (!height) return E_POINTER;
        int32_t width = 0;
        return Size(width, *height);
    }

    // IDispatch
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    // names[0] is the member; any further names would be its parameters', and
    // the properties take none, so those are always unknown.
    HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (count == 0) return S_OK;
        if (!names || !ids) return E_POINTER;
        ids[0] = FindProperty(names[0]);
        HRESULT hr = ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
        for (uint32_t i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID iid, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO*, uint32_t*) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!IsProperty(id)) return DISP_E_MEMBERNOTFOUND;
        // Read-only properties: any put, or a plain method call, finds no member.
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 ||
            (flags & DISPATCH_PROPERTYGET) == 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!params || !result) return E_POINTER;
        if (params->cArgs != 0 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
        int32_t value = 0;
        const HRESULT hr = Get(id, value);
        if (FAILED(hr)) return hr;
        result->vt = VT_I4;
        result->lVal = value;
        return S_OK;
    }

  private:
    ~Picture() {
        if (bitmap_) DeleteObject(bitmap_);
        if (icon_ && ownsIcon_) DestroyIcon(icon_);
    }

    OLE_HANDLE Handle() const {
        switch (type_) {
            case PICTYPE_BITMAP:
                return reinterpret_cast<OLE_HANDLE>(bitmap_);
            case PICTYPE_ICON:
                return reinterpret_cast<OLE_HANDLE>(icon_);
            default:
                return reinterpret_cast<OLE_HANDLE>(metafile_);
        }
    }

    HRESULT Size(int32_t& width, int32_t& height) const {
        switch (type_) {
            case PICTYPE_BITMAP: {
                BITMAP description;
                if (GetObject(bitmap_, sizeof(description), &description) == 0) return E_FAIL;
                width = description.bmWidth;
                height = description.bmHeight;
                return S_OK;
            }
            case PICTYPE_ICON:
                return GetIconSize(icon_, &width, &height) ? S_OK : E_FAIL;
            default:
                width = metafileWidth_;
                height = metafileHeight_;
                return S_OK;
        }
    }

    HRESULT Get(DISPID id, int32_t& value) const {
        int32_t width = 0;
        int32_t height = 0;
        switch (id) {
            case DISPID_PICT_HANDLE: {
                // A 32-bit value cannot carry a 64-bit address: the handle is
                // given only when it fits (sign-extended), never truncated.
                const auto handle = static_cast<intptr_t>(Handle());
                if (handle < std::numeric_limits<int32_t>::min() ||
                    handle > std::numeric_limits<int32_t>::max()) {
                    return DISP_E_OVERFLOW;
                }
                value = static_cast<int32_t>(handle);
                return S_OK;
            }
            case DISPID_PICT_TYPE:
                value = type_;
                return S_OK;
            case DISPID_PICT_WIDTH:
            case DISPID_PICT_HEIGHT: {
                const HRESULT hr = Size(width, height);
                value = id == DISPID_PICT_WIDTH ? width : height;
                return hr;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    std::atomic<uint32_t> references_{1};
    int16_t type_;
    bool ownsIcon_;
    HBITMAP bitmap_ = nullptr;  // one reference, dropped with the picture
    HICON icon_ = nullptr;
    void* metafile_ = nullptr;  // opaque; never freed here
    int32_t metafileWidth_ = 0;
    int32_t metafileHeight_ = 0;
};

HRESULT CheckDescription(const PICTDESC& description) {
    if (description.cbSizeofstruct != sizeof(PICTDESC)) return E_INVALIDARG;
    switch (description.picType) {
        case static_cast<uint32_t>(PICTYPE_BITMAP):
            return description.bmp.hbitmap ? S_OK : E_INVALIDARG;
        case static_cast<uint32_t>(PICTYPE_ICON):
            return description.icon.hicon ? S_OK : E_INVALIDARG;
        case static_cast<uint32_t>(PICTYPE_METAFILE):
            return description.wmf.hmeta ? S_OK : E_INVALIDARG;
        default:
            return E_INVALIDARG;
    }
}

}  // namespace

HRESULT OleCreatePictureIndirect(const PICTDESC* description, REFIID iid, bool own, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!description) return E_POINTER;
    if (const HRESULT hr = CheckDescription(*description); FAILED(hr)) return hr;
    // Checked before the picture exists: on failure the caller keeps what it owns.
    if (!Offers(iid)) return E_NOINTERFACE;
    auto* picture = new (std::nothrow) Picture(*description, own);
    if (!picture) return E_OUTOFMEMORY;
    const HRESULT hr = picture->QueryInterface(iid, object);
    picture->Release();
    return hr;
}
