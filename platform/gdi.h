// Bitmaps and drawing: reference-counted bitmaps owning their pixels, memory
// device contexts to read them as 24-bit rows, and a memory drawing surface
// with the few drawing calls a control needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

struct GdiBitmap;
struct GdiDeviceContext;
struct GdiBrush;
struct GdiIcon;
using HBITMAP = GdiBitmap*;
using HDC = GdiDeviceContext*;
using HBRUSH = GdiBrush*;
using HICON = GdiIcon*;
using HPALETTE = void*;
// Identifies a loaded module for its resources.
using HINSTANCE = const void*;

// ---------------------------------------------------------------------------
// Bitmaps

// A bitmap of width x height pixels from 24-bit blue-green-red rows, bottom row
// first, `stride` bytes per row. nullptr for sizes that do not fit the rows,
// sizes of 0 or below, or when memory runs out.
HBITMAP CreateBitmap24(int32_t width, int32_t height, std::span<const uint8_t> rows, size_t stride);
// The same from rows already in the bitmap's own layout (each padded to a
// multiple of 4 bytes, `size` bytes in all), which the bitmap takes over
// instead of copying: a large picture is then held once. nullptr, the rows
// freed, when `size` does not fit the sizes or the sizes are refused as above.
// `companion`, when given, is kept until the pixels are freed: the owner's
// record of the memory they take, say.
HBITMAP AdoptBitmap24(int32_t width, int32_t height, std::unique_ptr<uint8_t[]> rows, size_t size,
                      std::shared_ptr<const void> companion = nullptr);
// The same for a grey bitmap: 8-bit rows, each padded to a multiple of 4
// bytes, whose colour table is the grey ramp (entry g is blue, green and red
// g). A grey picture is then held at one byte a pixel.
HBITMAP AdoptBitmapGrey8(int32_t width, int32_t height, std::unique_ptr<uint8_t[]> rows,
                         size_t size, std::shared_ptr<const void> companion = nullptr);
// Drops the creator's reference; the pixels go with the last reference.
bool DeleteObject(HBITMAP bitmap);
// Shares a bitmap: one more reference, dropped by DeleteObject.
HBITMAP RetainBitmap(HBITMAP bitmap);

struct BITMAP {
    int32_t bmType = 0;
    int32_t bmWidth = 0;
    int32_t bmHeight = 0;
    int32_t bmWidthBytes = 0;
    uint16_t bmPlanes = 0;
    uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};

// Writes the bitmap's description into `out` (size bytes available); returns
// the bytes written, 0 for a null bitmap or a buffer smaller than BITMAP.
int GetObject(HBITMAP bitmap, int size, void* out);

// ---------------------------------------------------------------------------
// Device contexts and reading pixels

// A memory device context; `like` may be nullptr. DeleteDC releases it.
HDC CreateCompatibleDC(HDC like);
bool DeleteDC(HDC dc);

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t DIB_RGB_COLORS = 0;

struct BITMAPINFOHEADER {
    uint32_t biSize = sizeof(BITMAPINFOHEADER);
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = BI_RGB;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// Entries of an 8-bit bitmap's colour table.
inline constexpr uint32_t kGreyLevels = 256;

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    // 0x00RRGGBB, as many as biClrUsed says (none for 24-bit rows).
    uint32_t bmiColors[kGreyLevels] = {};
};

// With empty `bits`: fills info's header with the bitmap's size, its bits per
// pixel (24, or 8 for a grey bitmap, whose 256 colours biClrUsed then counts),
// BI_RGB and the image size, and returns non-zero. With `bits`: copies rows
// [startScan, startScan + scanLines) as BI_RGB rows of the header's bits per
// pixel, bottom row first, each padded to 4 bytes, and returns the rows
// copied. 24-bit rows come from any bitmap (a grey one's greys as equal blue,
// green and red); 8-bit rows from a grey bitmap only, with its colour table in
// bmiColors. 0 when the header asks for another format or `bits` is too small
// for the rows.
int GetDIBits(HDC dc, HBITMAP bitmap, uint32_t startScan, uint32_t scanLines,
              std::span<uint8_t> bits, BITMAPINFO* info, uint32_t usage);

// ---------------------------------------------------------------------------
// Drawing

struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline constexpr int BLACK_BRUSH = 4;
inline constexpr int WHITE_BRUSH = 0;

// A memory device context with a surface of its own, initially white, that
// drawing calls paint into. DeleteDC releases it.
HDC CreateDrawingSurface(int32_t width, int32_t height);
// The surface's pixel as 0x00RRGGBB; 0xFFFFFFFF outside the surface or for a
// context without one.
uint32_t GetPixel(HDC dc, int32_t x, int32_t y);

// Stock brushes live as long as the process; never deleted.
HBRUSH GetStockObject(int stockBrush);
// Fills the rectangle (right and bottom excluded), clipped to the surface;
// non-zero on success.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Icons: a module registers its icon resources by id; LoadIcon finds them.
// The pixels are 0xAARRGGBB, row by row from the top; fully transparent pixels
// are not drawn.
HICON CreateIconFromPixels(int32_t width, int32_t height, std::span<const uint32_t> argb);
bool DestroyIcon(HICON icon);
// The icon's size in pixels; false for a null icon or null outputs.
bool GetIconSize(HICON icon, int32_t* width, int32_t* height);
// The registry of icon resources keeps the icon until the module is unregistered.
void RegisterIconResource(HINSTANCE module, int id, HICON icon);
void UnregisterIconResources(HINSTANCE module);
HICON LoadIcon(HINSTANCE module, int id);
// Draws the icon with its top-left corner at (x, y); non-zero on success.
int DrawIcon(HDC dc, int32_t x, int32_t y, HICON icon);
