// The standard picture object: a bitmap (or icon, or metafile) wrapped in a
// component object that offers IPicture and the picture's IDispatch.
#pragma once

#include "platform/com.h"
#include "platform/gdi.h"

inline constexpr int16_t PICTYPE_UNINITIALIZED = -1;
inline constexpr int16_t PICTYPE_NONE = 0;
inline constexpr int16_t PICTYPE_BITMAP = 1;
inline constexpr int16_t PICTYPE_METAFILE = 2;
inline constexpr int16_t PICTYPE_ICON = 3;

using OLE_HANDLE = uintptr_t;

class IPicture : public IUnknown {
  public:
    virtual HRESULT get_Handle(OLE_HANDLE* handle) = 0;
    virtual HRESULT get_Type(int16_t* type) = 0;
    // In pixels.
    virtual HRESULT get_Width(int32_t* width) = 0;
    virtual HRESULT get_Height(int32_t* height) = 0;

  protected:
    ~IPicture() = default;
};

// Dispatch identifiers of the picture's own dispatch interface (all read-only).
inline constexpr DISPID DISPID_PICT_HANDLE = 0;
inline constexpr DISPID DISPID_PICT_WIDTH = 4;
inline constexpr DISPID DISPID_PICT_HEIGHT = 5;
inline constexpr DISPID DISPID_PICT_TYPE = 3;

struct PICTDESC {
    uint32_t cbSizeofstruct = sizeof(PICTDESC);
    uint32_t picType = 0;
    union {
        struct {
            HBITMAP hbitmap;
            HPALETTE hpal;
        } bmp;
        struct {
            HICON hicon;
        } icon;
        struct {
            void* hmeta;
            int32_t xExt;
            int32_t yExt;
        } wmf;
    };
    PICTDESC() : bmp{nullptr, nullptr} {}
};

// Creates a picture from the description and returns interface iid (IPicture,
// IDispatch / IPictureDisp or IUnknown). With `own` the picture deletes its
// bitmap or icon with its last reference. E_INVALIDARG for a description of the
// wrong size or type, or a bitmap picture without a bitmap; E_POINTER for null
// pointers; E_NOINTERFACE for other interfaces.
HRESULT OleCreatePictureIndirect(const PICTDESC* description, REFIID iid, bool own, void** object);
