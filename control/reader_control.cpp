#include "control/reader_control.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "control/module_state.h"
#include "control/type_library.h"
#include "platform/codepage.h"
#include "platform/ui.h"

namespace zeph::control {

using namespace reader_dispid;
namespace {

// Rows of a picture read at a time into the 24-bit buffer.
constexpr size_t kBandBytes = size_t{1} << 20;

// A variant to fill: callers hand in storage that may hold anything.
void Reset(VARIANT* v) {
    if (v) VariantInit(v);
}

HRESULT ReturnText(std::string_view text, VARIANT* result) {
    if (!result) return S_OK;
    const std::u16string wide = platform::WidenWindows1252(text);
    BSTR s = SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    if (!s) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = s;
    return S_OK;
}

void ReturnI4(int32_t value, VARIANT* result) {
    if (!result) return;
    result->vt = VT_I4;
    result->lVal = value;
}

void ReturnR4(float value, VARIANT* result) {
    if (!result) return;
    result->vt = VT_R4;
    result->fltVal = value;
}

// The zero of a property's type, for a control without a configuration.
HRESULT ReturnZero(VARTYPE type, VARIANT* result) {
    if (!result) return S_OK;
    switch (type) {
        case VT_BOOL:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
            return S_OK;
        case VT_DISPATCH:
            result->vt = VT_DISPATCH;
            result->pdispVal = nullptr;
            return S_OK;
        case VT_R4:
            ReturnR4(0.0f, result);
            return S_OK;
        default:
            ReturnI4(0, result);
            return S_OK;
    }
}

DialogTemplate AboutDialog() {
    DialogTemplate d;
    d.title = "About ZephBarcodeReader Control";
    d.width = 260;
    d.height = 55;
    d.fontName = "MS Sans Serif";
    d.fontSize = 8;
    d.items = {
        {DialogItem::Kind::kIcon, "", 1, 10, 10, 20, 20},
        {DialogItem::Kind::kText, "ZephBarcodeReader Control, Version 1.0", 0, 40, 10, 170, 8},
        {DialogItem::Kind::kText, "Reads one-dimensional barcodes in pictures", 0, 40, 25, 170, 8},
        {DialogItem::Kind::kButton, "OK", IDOK, 221, 7, 32, 14},
    };
    return d;
}

}  // namespace

CZephBarcodeReaderCtrl* CZephBarcodeReaderCtrl::Create(std::string_view configuration) {
    return new (std::nothrow) CZephBarcodeReaderCtrl(configuration);
}

CZephBarcodeReaderCtrl::CZephBarcodeReaderCtrl(std::string_view configuration)
    : config(XR_ParseConfig(configuration)) {
    ObjectCreated();
}

CZephBarcodeReaderCtrl::~CZephBarcodeReaderCtrl() {
    // The crew's threads run the module's code: they end before it may go.
    crew.reset();
    raster = GreyRaster{};
    XR_FreeConfig(std::move(config));
    XR_FreePatternTables();
    // Released before the module's object count drops.
    memoryDC.reset();
    picture.Reset();
    ObjectDestroyed();
}

HRESULT CZephBarcodeReaderCtrl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDispatchIid) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

uint32_t CZephBarcodeReaderCtrl::AddRef() {
    return ++references_;
}

uint32_t CZephBarcodeReaderCtrl::Release() {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT CZephBarcodeReaderCtrl::GetTypeInfoCount(uint32_t* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CZephBarcodeReaderCtrl::GetIDsOfNames(REFIID iid, const OLECHAR* const* names,
                                              uint32_t count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    const Member* member = names[0] ? FindMember(std::u16string_view(names[0])) : nullptr;
    ids[0] = member ? member->id : DISPID_UNKNOWN;
    if (!member) hr = DISP_E_UNKNOWNNAME;
    // Further names are the member's parameters: the indexed methods have one.
    for (uint32_t i = 1; i < count; ++i) {
        const bool isIndex = member && member->kind == MemberKind::kMethod &&
                             member->type != VT_EMPTY && names[i] &&
                             IsIndexParameter(std::u16string_view(names[i]));
        ids[i] = isIndex ? 0 : DISPID_UNKNOWN;
        if (!isIndex) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT CZephBarcodeReaderCtrl::Invoke(DISPID id, REFIID iid, LCID, uint16_t flags,
                                       DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                       uint32_t* argError) {
    // Nothing may be thrown across the interface: texts and the about box
    // allocate.
    try {
        return InvokeMember(id, iid, flags, params, result, argError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT CZephBarcodeReaderCtrl::InvokeMember(DISPID id, REFIID iid, uint16_t flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             uint32_t* argError) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const Member* member = FindMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    const uint32_t argc = params ? params->cArgs : 0;
    if (argc > 0 && !params->rgvarg) return DISP_E_BADPARAMCOUNT;
    const uint32_t named = params ? params->cNamedArgs : 0;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (named > 0 && !(put && named == 1 && params->rgdispidNamedArgs &&
                       params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
        return DISP_E_PARAMNOTFOUND;
    }
    if (argError) *argError = 0;

    if (member->kind == MemberKind::kMethod) {
        if (put) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
        if (member->type == VT_EMPTY) {
            if (argc != 0) return DISP_E_BADPARAMCOUNT;
            Reset(result);
            ShowAboutBox();
            return S_OK;
        }
        if (argc != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT index;
        const HRESULT hr = VariantChangeType(&index, &params->rgvarg[0], 0, VT_I2);
        if (FAILED(hr)) return hr;
        Reset(result);
        return CallMethod(id, index.iVal, result);
    }

    if (put) {
        if (member->kind == MemberKind::kReadOnlyProperty) return CTL_E_SETNOTSUPPORTED;
        if (argc != 1) return DISP_E_BADPARAMCOUNT;
        return PutProperty(id, &params->rgvarg[0]);
    }
    if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
    if (argc != 0) return DISP_E_BADPARAMCOUNT;
    Reset(result);
    return GetProperty(id, result);
}

HRESULT CZephBarcodeReaderCtrl::GetProperty(DISPID id, VARIANT* result) {
    if (id == kNbCodesFound) {
        // Without a configuration no search can run, picture or not.
        ReturnI4(config ? DecodeIfPending() : -1, result);
        return S_OK;
    }
    if (!config) return ReturnZero(FindMember(id)->type, result);
    if (!result) return S_OK;
    switch (id) {
        case kThoroughMode:
        case kExtendedSearch:
            result->vt = VT_BOOL;
            result->boolVal = (id == kThoroughMode ? thoroughMode : extendedSearch) ? VARIANT_TRUE
                                                                                    : VARIANT_FALSE;
            return S_OK;
        case kSearchThreads:
            ReturnI4(searchThreads, result);
            return S_OK;
        case kPicture: {
            result->vt = VT_DISPATCH;
            result->pdispVal = nullptr;
            if (!picture) return S_OK;
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(picture.As(IID_IDispatch, dispatch)))
                result->pdispVal = dispatch.Detach();
            return S_OK;
        }
        case kProtocolMask:
            ReturnI4(config->protocolMask, result);
            return S_OK;
        case kConfidenceThreshold:
            ReturnR4(config->minConfidence, result);
            return S_OK;
        case kContrastSensitivity:
            ReturnR4(config->sensitivity, result);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CZephBarcodeReaderCtrl::PutProperty(DISPID id, VARIANT* value) {
    if (!config) return E_OUTOFMEMORY;
    if (id == kPicture) {
        // Any object is taken as it is: one that is no picture only
        // invalidates the results. No object changes nothing.
        if (value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) {
            if (value->punkVal) {
                ComPtr<IUnknown> object = ComPtr<IUnknown>::Share(value->punkVal);
                ComPtr<IPicture> asPicture;
                if (FAILED(object.As(IID_IPicture, asPicture))) {
                    decodedFlag = 0;
                    modified_ = true;
                    return S_OK;
                }
                if (ReadPicture(*asPicture.Get())) {
                    picture = std::move(asPicture);
                    decodedFlag = 0;
                    modified_ = true;
                }
            }
            return S_OK;
        }
        if (value->vt == VT_EMPTY) return S_OK;
        return DISP_E_TYPEMISMATCH;
    }
    const Member* member = FindMember(id);
    VARIANT converted;
    const HRESULT hr = VariantChangeType(&converted, value, 0, member->type);
    if (FAILED(hr)) return hr;
    switch (id) {
        case kThoroughMode:
            // Takes effect at the next search; no modified mark.
            thoroughMode = converted.boolVal != VARIANT_FALSE;
            return S_OK;
        case kExtendedSearch:
            extendedSearch = converted.boolVal != VARIANT_FALSE;
            return S_OK;
        case kSearchThreads:
            if (converted.lVal < 1 || converted.lVal > kMostSearchThreads) return E_INVALIDARG;
            searchThreads = converted.lVal;
            return S_OK;
        case kProtocolMask:
            config->protocolMask = converted.lVal;
            break;
        case kConfidenceThreshold:
            config->minConfidence = converted.fltVal;
            break;
        case kContrastSensitivity:
            config->sensitivity = converted.fltVal;
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
    modified_ = true;
    return S_OK;
}

bool CZephBarcodeReaderCtrl::ReadPicture(IPicture& source) {
    int16_t type = PICTYPE_NONE;
    if (FAILED(source.get_Type(&type)) || type != PICTYPE_BITMAP) return false;
    OLE_HANDLE handle = 0;
    if (FAILED(source.get_Handle(&handle))) return false;
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(handle);
    BITMAP size;
    if (GetObject(bitmap, sizeof(size), &size) == 0) return false;

    // The new device context replaces the kept one only when the pixels were read.
    std::unique_ptr<GdiDeviceContext, DcRelease> dc(CreateCompatibleDC(nullptr));
    if (!dc) return false;
    BITMAPINFO info;
    if (GetDIBits(dc.get(), bitmap, 0, 0, {}, &info, DIB_RGB_COLORS) == 0) return false;
    const int32_t width = info.bmiHeader.biWidth;
    const int32_t height = info.bmiHeader.biHeight;
    if (width < 0 || height < 0) return false;
    // A grey bitmap is read as its own 8-bit rows and colour table, each grey
    // as the 24-bit rows would give it; every other as 24-bit rows.
    const bool indexed = size.bmBitsPixel == 8;
    info.bmiHeader.biBitCount = indexed ? 8 : 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t pixelBytes = indexed ? 1 : 3;

    // The rows are read and converted a band at a time, so that a large
    // picture is not held a second time as 24-bit rows.
    const size_t stride = (pixelBytes * static_cast<size_t>(width) + 3) / 4 * 4;
    const int32_t band = static_cast<int32_t>(
        std::clamp<size_t>(stride == 0 ? 1 : kBandBytes / stride, 1, std::max(height, 1)));
    if (!dibBits.Ensure(stride * static_cast<size_t>(band))) return false;
    dibBitsSize = static_cast<int32_t>(dibBits.size());
    const auto readBand = [&](int32_t bottom) {
        const int32_t lines = std::min(band, height - bottom);
        return GetDIBits(dc.get(), bitmap, static_cast<uint32_t>(bottom),
                         static_cast<uint32_t>(lines), dibBits.span(), &info,
                         DIB_RGB_COLORS) == lines
                   ? lines
                   : -1;
    };
    // The first band is read before the raster changes: a bitmap whose rows
    // cannot be read leaves the previous raster and results as they were.
    int32_t lines = height > 0 ? readBand(0) : 0;
    if (lines < 0 || XR_RasterResize(width, height, raster) != 1) return false;
    std::array<int32_t, kGreyLevels> greys{};
    if (indexed) {
        for (size_t i = 0; i < greys.size(); ++i) {
            const uint32_t c = info.bmiColors[i];
            greys[i] =
                static_cast<int32_t>((c & 0xFF) + 6 * (c >> 8 & 0xFF) + 3 * (c >> 16 & 0xFF));
        }
    }
    const auto convert = [&](int32_t bottom, int32_t lines) {
        return indexed ? XR_RasterBandFromIndexedRows(dibBits.span(), stride, bottom, lines, greys,
                                                      raster)
                       : XR_RasterBandFromBgrRows(dibBits.span(), stride, bottom, lines, raster);
    };
    for (int32_t bottom = 0;;) {
        if (convert(bottom, lines) != 1) break;
        bottom += lines;
        if (bottom >= height) {
            memoryDC = std::move(dc);
            return true;
        }
        lines = readBand(bottom);
        if (lines < 0) break;
    }
    // A later band failed (a bitmap does not change while it is read, so this
    // is not expected): the raster is part old, part new, and is emptied
    // rather than searched.
    XR_RasterResize(0, 0, raster);
    return false;
}

zeph::WorkCrew* CZephBarcodeReaderCtrl::Crew() {
    if (searchThreads <= 1) return nullptr;
    if (crewFor != searchThreads) {
        crew.reset();
        crewFor = 0;
        try {
            crew = std::make_unique<zeph::WorkCrew>(searchThreads);
            crewFor = searchThreads;
        } catch (const std::exception&) {  // no crew: the search runs on this thread
        }
    }
    return crew.get();
}

int32_t CZephBarcodeReaderCtrl::DecodeIfPending() {
    if (decodedFlag == 0) {
        const bool shared = int64_t{raster.width} * raster.height >= kLeastSharedSearchPixels;
        if (config) config->crew = shared ? Crew() : nullptr;
        if (extendedSearch) {
            matchCount = XR_SearchExtended(raster.Values(), raster.height, raster.width, kMaxGrey,
                                           config.get(), results, kMaxMatches, thoroughMode);
        } else if (thoroughMode) {
            matchCount = XR_SearchThorough(raster.Values(), raster.height, raster.width, kMaxGrey,
                                           config.get(), results, kMaxMatches);
        } else {
            matchCount = XR_Search(raster.Values(), raster.height, raster.width, kMaxGrey,
                                   config.get(), results);
        }
        if (config) config->crew = nullptr;
        decodedFlag = 1;
    }
    return matchCount;
}

HRESULT CZephBarcodeReaderCtrl::CallMethod(DISPID id, int16_t index, VARIANT* result) {
    const int32_t count = DecodeIfPending();
    const bool inRange = index >= 1 && index <= count;
    const MatchRecord* r = inRange ? &results[static_cast<size_t>(index - 1)] : nullptr;
    // Cx, Cy, Startx, Starty, Stopx and Stopy, in dispatch identifier order.
    static constexpr std::array<int32_t MatchRecord::*, 6> kPoints = {
        &MatchRecord::centreX, &MatchRecord::centreY, &MatchRecord::startX,
        &MatchRecord::startY,  &MatchRecord::stopX,   &MatchRecord::stopY};
    if (id >= kCx && id <= kStopy) {
        ReturnI4(r ? r->*kPoints[static_cast<size_t>(id - kCx)] : 0, result);
        return S_OK;
    }
    switch (id) {
        case kData:
            return ReturnText(r ? XR_TextOf(r->data) : "", result);
        case kBarcodeType:
            return ReturnText(r ? XR_TextOf(r->barcodeType) : "", result);
        case kSymbology:
            return ReturnText(r ? XR_TextOf(r->symbology) : "", result);
        case kDataDescriptor:
            return ReturnText(r ? XR_TextOf(r->descriptor) : "", result);
        case kRawData:
            return ReturnText(r ? XR_TextOf(r->rawData) : "", result);
        case kConfidence:
            ReturnR4(r ? r->confidence : 0.0f, result);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

void CZephBarcodeReaderCtrl::Draw(HDC dc, const RECT& bounds) const {
    FillRect(dc, &bounds, GetStockObject(BLACK_BRUSH));
    HICON icon = LoadIcon(ModuleInstance(), 1);
    if (icon) {
        DrawIcon(dc, (bounds.left + bounds.right - 32) / 2, (bounds.top + bounds.bottom - 32) / 2,
                 icon);
    }
}

void CZephBarcodeReaderCtrl::ShowAboutBox() const {
    ShowModalDialog(AboutDialog());
}

std::array<uint8_t, 4> CZephBarcodeReaderCtrl::SaveState() const {
    return {uint8_t(kStateMajor & 0xFF), uint8_t(kStateMajor >> 8), uint8_t(kStateMinor & 0xFF),
            uint8_t(kStateMinor >> 8)};
}

bool CZephBarcodeReaderCtrl::LoadState(std::span<const uint8_t> state) {
    // Only the version is kept; the settings stay as constructed.
    if (state.size() < 4) return false;
    const int major = state[0] | (state[1] << 8);
    return major == kStateMajor;
}

}  // namespace zeph::control
