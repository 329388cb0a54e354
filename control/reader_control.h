// The reader control: one reader of the engine behind the dispatch interface
// `_DZephBarcodeReader`. A picture put converts the picture to a grey raster at
// once; the search runs on the first request for a result after it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "engine/core/reusable_buffer.h"
#include "engine/parallel/work_crew.h"
#include "engine/reader.h"
#include "platform/com.h"
#include "platform/gdi.h"
#include "platform/picture.h"

namespace zeph::control {

class CZephBarcodeReaderCtrl final : public IDispatch {
  public:
    // Creates a control with one reference, or nullptr when memory runs out.
    // Its reader is configured from `configuration` (empty: every default);
    // a configuration that cannot be made leaves the control without one.
    static CZephBarcodeReaderCtrl* Create(std::string_view configuration = "");

    HRESULT QueryInterface(REFIID iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetIDsOfNames(REFIID iid, const OLECHAR* const* names, uint32_t count, LCID lcid,
                          DISPID* ids) override;
    // Never throws: a failed allocation is E_OUTOFMEMORY.
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, uint32_t* argError) override;

    // Paints the control: black, with its icon in the middle.
    void Draw(HDC dc, const RECT& bounds) const;
    // Whether a setting or the picture changed since construction.
    bool Modified() const { return modified_; }

    // Saved state: the version number only; no setting is saved or restored.
    static constexpr uint16_t kStateMajor = 1;
    static constexpr uint16_t kStateMinor = 0;
    std::array<uint8_t, 4> SaveState() const;
    // False for state of another major version; the settings never change.
    bool LoadState(std::span<const uint8_t> state);

  private:
    explicit CZephBarcodeReaderCtrl(std::string_view configuration);
    ~CZephBarcodeReaderCtrl();

    HRESULT InvokeMember(DISPID id, REFIID iid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                         uint32_t* argError);
    HRESULT GetProperty(DISPID id, VARIANT* result);
    HRESULT PutProperty(DISPID id, VARIANT* value);
    HRESULT CallMethod(DISPID id, int16_t index, VARIANT* result);
    bool ReadPicture(IPicture& picture);
    // Runs the search a new picture is waiting for; returns the match count.
    int32_t DecodeIfPending();
    // The crew for searchThreads threads; none for one thread, or when no
    // thread can be started.
    zeph::WorkCrew* Crew();
    void ShowAboutBox() const;

    std::atomic<uint32_t> references_{1};
    bool modified_ = false;

    // Members of the control, as the reader keeps them.
    bool thoroughMode = false;
    bool extendedSearch = true;
    int32_t searchThreads = 1;
    // The threads searches spread over, made when first needed for
    // searchThreads threads (crewFor); they end with the control.
    std::unique_ptr<zeph::WorkCrew> crew;
    int32_t crewFor = 0;
    // Reallocated when a band's size changes, its bytes left as they were:
    // GetDIBits overwrites every one it hands over.
    zeph::ReusableBuffer<uint8_t> dibBits;
    int32_t dibBitsSize = 0;
    struct DcRelease {
        void operator()(HDC dc) const { DeleteDC(dc); }
    };
    std::unique_ptr<GdiDeviceContext, DcRelease> memoryDC;
    ComPtr<IPicture> picture;
    GreyRaster raster;  // rasterSize, rasterHeight and rasterWidth live in it
    ReaderConfigPtr config;
    std::array<MatchRecord, kMaxMatches> results{};
    int32_t decodedFlag = 1;
    int32_t matchCount = 0;
};

}  // namespace zeph::control
