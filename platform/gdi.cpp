// Bitmaps, device contexts, a drawing surface and icons, all in process memory.
//
// Reference counts and the "held by the resource table" mark live inside the
// objects themselves: the control module and its clients each link their own
// copy of this file, and a bitmap made by one copy is read and released by the
// other, so no per-copy side table may be consulted.
#include "platform/gdi.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

struct GdiBitmap {
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;                      // row bytes, padded to 4
    uint16_t bitsPerPixel = 24;             // 24: blue-green-red; 8: greys
    std::shared_ptr<const void> companion;  // let go after the pixels
    std::unique_ptr<uint8_t[]> pixels;      // stride * height bytes, bottom row first
    std::atomic<uint32_t> references{1};
};

struct GdiDeviceContext {
    // Empty for a plain memory context; otherwise width x height 0x00RRGGBB
    // pixels, top row first.
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> surface;
};

struct GdiBrush {
    uint32_t color;  // 0x00RRGGBB
};

struct GdiIcon {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> argb;  // top row first
    // Set once the resource table owns the icon: DestroyIcon then refuses it.
    std::atomic<bool> heldByResources{false};
};

namespace {

constexpr uint32_t kInvalidColor = 0xFFFFFFFFu;
constexpr uint32_t kWhite = 0x00FFFFFFu;

size_t PaddedStride(int32_t width, size_t bytesPerPixel) {
    return (static_cast<size_t>(width) * bytesPerPixel + 3) & ~size_t{3};
}

// The padded row size of a bitmap of a positive size; 0 when the row size or
// the image size would not fit the 32 bits they are reported in (BITMAP,
// BITMAPINFOHEADER).
size_t BitmapStride(int32_t width, int32_t height, size_t bytesPerPixel = 3) {
    const size_t padded = PaddedStride(width, bytesPerPixel);
    if (padded > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
        padded > std::numeric_limits<uint32_t>::max() / static_cast<size_t>(height)) {
        return 0;
    }
    return padded;
}

// The part of [from, to) that lies in [0, limit); 64-bit so that no bound overflows.
struct Range {
    int64_t begin;
    int64_t end;
    bool Empty() const { return begin >= end; }
};
Range Clip(int64_t from, int64_t to, int64_t limit) {
    return {std::clamp<int64_t>(from, 0, limit), std::clamp<int64_t>(to, 0, limit)};
}

bool HasSurface(HDC dc) {
    return !dc->surface.empty();
}

uint32_t& SurfacePixel(HDC dc, int64_t x, int64_t y) {
    return dc
        ->surface[static_cast<size_t>(y) * static_cast<size_t>(dc->width) + static_cast<size_t>(x)];
}

// Source over destination, per 8-bit channel, rounded to nearest.
uint32_t Blend(uint32_t argb, uint32_t destination) {
    const uint32_t alpha = argb >> 24;
    if (alpha == 255) return argb & 0x00FFFFFFu;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t s = (argb >> shift) & 0xFF;
        const uint32_t d = (destination >> shift) & 0xFF;
        out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

// The icons a module registered, keyed by module and id; owns them.
class IconResources {
  public:
    void Register(HINSTANCE module, int id, HICON icon) {
        // One owner per icon: an icon already held (under any key) stays where it is.
        if (icon->heldByResources.exchange(true)) return;
        std::unique_ptr<GdiIcon> owned(icon);
        std::lock_guard lock(mutex_);
        try {
            icons_[Key(module, id)] = std::move(owned);
        } catch (const std::bad_alloc&) {
            // The table was handed the icon; without room for it, it goes.
        }
    }
    void Unregister(HINSTANCE module) {
        std::lock_guard lock(mutex_);
        const auto first = icons_.lower_bound(Key(module, std::numeric_limits<int>::min()));
        const auto last = icons_.upper_bound(Key(module, std::numeric_limits<int>::max()));
        icons_.erase(first, last);
    }
    HICON Find(HINSTANCE module, int id) {
        std::lock_guard lock(mutex_);
        const auto found = icons_.find(Key(module, id));
        return found == icons_.end() ? nullptr : found->second.get();
    }

  private:
    // Addresses as integers: < on unrelated pointers promises no order.
    using IconKey = std::pair<uintptr_t, int>;
    static IconKey Key(HINSTANCE module, int id) {
        return {reinterpret_cast<uintptr_t>(module), id};
    }

    std::mutex mutex_;
    std::map<IconKey, std::unique_ptr<GdiIcon>> icons_;
};

IconResources& Resources() {
    static IconResources resources;
    return resources;
}

}  // namespace

// ---------------------------------------------------------------------------
// Bitmaps

HBITMAP CreateBitmap24(int32_t width, int32_t height, std::span<const uint8_t> rows,
                       size_t stride) {
    if (width <= 0 || height <= 0) return nullptr;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const size_t rowCount = static_cast<size_t>(height);
    if (stride < rowBytes || stride > rows.size() / rowCount) return nullptr;
    const size_t padded = BitmapStride(width, height);
    if (padded == 0) return nullptr;
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[padded * rowCount]);
    if (!pixels) return nullptr;
    for (size_t y = 0; y < rowCount; ++y) {
        uint8_t* row = pixels.get() + y * padded;
        std::memcpy(row, rows.data() + y * stride, rowBytes);
        std::memset(row + rowBytes, 0, padded - rowBytes);
    }
    return AdoptBitmap24(width, height, std::move(pixels), padded * rowCount);
}

namespace {

HBITMAP Adopt(int32_t width, int32_t height, uint16_t bitsPerPixel, std::unique_ptr<uint8_t[]> rows,
              size_t size, std::shared_ptr<const void> companion) {
    if (width <= 0 || height <= 0 || !rows) return nullptr;
    const size_t padded = BitmapStride(width, height, bitsPerPixel / 8);
    if (padded == 0 || size / padded != static_cast<size_t>(height) || size % padded != 0) {
        return nullptr;
    }
    auto* bitmap = new (std::nothrow) GdiBitmap;
    if (!bitmap) return nullptr;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->stride = padded;
    bitmap->bitsPerPixel = bitsPerPixel;
    bitmap->companion = std::move(companion);
    bitmap->pixels = std::move(rows);
    return bitmap;
}

}  // namespace

HBITMAP AdoptBitmap24(int32_t width, int32_t height, std::unique_ptr<uint8_t[]> rows, size_t size,
                      std::shared_ptr<const void> companion) {
    return Adopt(width, height, 24, std::move(rows), size, std::move(companion));
}

HBITMAP AdoptBitmapGrey8(int32_t width, int32_t height, std::unique_ptr<uint8_t[]> rows,
                         size_t size, std::shared_ptr<const void> companion) {
    return Adopt(width, height, 8, std::move(rows), size, std::move(companion));
}

bool DeleteObject(HBITMAP bitmap) {
    if (!bitmap) return false;
    if (bitmap->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete bitmap;
    return true;
}

HBITMAP RetainBitmap(HBITMAP bitmap) {
    if (bitmap) bitmap->references.fetch_add(1, std::memory_order_relaxed);
    return bitmap;
}

int GetObject(HBITMAP bitmap, int size, void* out) {
    if (!bitmap || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP description;
    description.bmType = 0;
    description.bmWidth = bitmap->width;
    description.bmHeight = bitmap->height;
    description.bmWidthBytes = static_cast<int32_t>(bitmap->stride);
    description.bmPlanes = 1;
    description.bmBitsPixel = bitmap->bitsPerPixel;
    description.bmBits = nullptr;  // the pixels are reached through GetDIBits only
    // `out` is any buffer of the caller's; no alignment is assumed.
    std::memcpy(out, &description, sizeof(description));
    return static_cast<int>(sizeof(BITMAP));
}

// ---------------------------------------------------------------------------
// Device contexts and reading pixels

HDC CreateCompatibleDC(HDC /*like*/) {
    return new (std::nothrow) GdiDeviceContext;
}

bool DeleteDC(HDC dc) {
    if (!dc) return false;
    delete dc;
    return true;
}

int GetDIBits(HDC dc, HBITMAP bitmap, uint32_t startScan, uint32_t scanLines,
              std::span<uint8_t> bits, BITMAPINFO* info, uint32_t usage) {
    if (!dc || !bitmap || !info || usage != DIB_RGB_COLORS) return 0;
    BITMAPINFOHEADER& header = info->bmiHeader;
    const bool grey = bitmap->bitsPerPixel == 8;
    if (bits.empty()) {
        header = BITMAPINFOHEADER{};
        header.biWidth = bitmap->width;
        header.biHeight = bitmap->height;  // positive: bottom row first
        header.biPlanes = 1;
        header.biBitCount = bitmap->bitsPerPixel;
        header.biCompression = BI_RGB;
        header.biSizeImage =
            static_cast<uint32_t>(bitmap->stride * static_cast<size_t>(bitmap->height));
        header.biClrUsed = grey ? kGreyLevels : 0;
        return bitmap->height;
    }
    // Rows of the bitmap's width, bottom row first: 24-bit rows of any bitmap,
    // or the 8-bit rows of a grey bitmap with their colour table.
    const bool asGrey = header.biBitCount == 8;
    if ((header.biBitCount != 24 && !(asGrey && grey)) || header.biCompression != BI_RGB ||
        header.biWidth != bitmap->width || header.biHeight <= 0) {
        return 0;
    }
    const auto height = static_cast<uint32_t>(bitmap->height);
    if (startScan >= height) return 0;
    const uint32_t lines = std::min(scanLines, height - startScan);
    // 0 for 24-bit rows of a grey bitmap too large to describe as 24-bit rows.
    const size_t stride = asGrey ? bitmap->stride : BitmapStride(bitmap->width, bitmap->height);
    if (lines == 0 || stride == 0 || bits.size() / stride < lines) return 0;
    const uint8_t* first = bitmap->pixels.get() + startScan * bitmap->stride;
    if (grey == asGrey) {
        std::memcpy(bits.data(), first, lines * stride);
    } else {
        // Each grey as blue, green and red alike.
        const auto width = static_cast<size_t>(bitmap->width);
        for (uint32_t k = 0; k < lines; ++k) {
            const uint8_t* from = first + k * bitmap->stride;
            uint8_t* to = bits.data() + k * stride;
            for (size_t x = 0; x < width; ++x)
                to[3 * x] = to[3 * x + 1] = to[3 * x + 2] = from[x];
            std::memset(to + 3 * width, 0, stride - 3 * width);
        }
    }
    if (asGrey) {
        header.biClrUsed = kGreyLevels;
        for (uint32_t g = 0; g < kGreyLevels; ++g)
            info->bmiColors[g] = g << 16 | g << 8 | g;
    }
    return static_cast<int>(lines);
}

// ---------------------------------------------------------------------------
// Drawing

HDC CreateDrawingSurface(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    try {
        auto dc = std::make_unique<GdiDeviceContext>();
        dc->width = width;
        dc->height = height;
        dc->surface.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kWhite);
        return dc.release();
    } catch (const std::exception&) {  // bad_alloc, or length_error for absurd sizes
        return nullptr;
    }
}

uint32_t GetPixel(HDC dc, int32_t x, int32_t y) {
    if (!dc || !HasSurface(dc) || x < 0 || y < 0 || x >= dc->width || y >= dc->height) {
        return kInvalidColor;
    }
    return SurfacePixel(dc, x, y);
}

HBRUSH GetStockObject(int stockBrush) {
    static GdiBrush black{0x000000};
    static GdiBrush white{kWhite};
    switch (stockBrush) {
        case BLACK_BRUSH:
            return &black;
        case WHITE_BRUSH:
            return &white;
        default:
            return nullptr;
    }
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    if (!dc || !rect || !brush) return 0;
    if (!HasSurface(dc)) return 1;  // nothing to paint into
    const Range xs = Clip(rect->left, rect->right, dc->width);
    const Range ys = Clip(rect->top, rect->bottom, dc->height);
    if (xs.Empty() || ys.Empty()) return 1;
    for (int64_t y = ys.begin; y < ys.end; ++y) {
        std::fill_n(&SurfacePixel(dc, xs.begin, y), xs.end - xs.begin, brush->color);
    }
    return 1;
}

HICON CreateIconFromPixels(int32_t width, int32_t height, std::span<const uint32_t> argb) {
    if (width <= 0 || height <= 0) return nullptr;
    const auto w = static_cast<size_t>(width);
    const auto h = static_cast<size_t>(height);
    if (w > argb.size() / h) return nullptr;
    try {
        auto icon = std::make_unique<GdiIcon>();
        icon->width = width;
        icon->height = height;
        icon->argb.assign(argb.begin(), argb.begin() + static_cast<std::ptrdiff_t>(w * h));
        return icon.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool DestroyIcon(HICON icon) {
    // An icon of the resource table is shared; only the table lets it go.
    if (!icon || icon->heldByResources.load()) return false;
    delete icon;
    return true;
}

bool GetIconSize(HICON icon, int32_t* width, int32_t* height) {
    if (!icon || !width || !height) return false;
    *width = icon->width;
    *height = icon->height;
    return true;
}

void RegisterIconResource(HINSTANCE module, int id, HICON icon) {
    if (icon) Resources().Register(module, id, icon);
}

void UnregisterIconResources(HINSTANCE module) {
    Resources().Unregister(module);
}

HICON LoadIcon(HINSTANCE module, int id) {
    return Resources().Find(module, id);
}

int DrawIcon(HDC dc, int32_t x, int32_t y, HICON icon) {
    if (!dc || !icon) return 0;
    if (!HasSurface(dc)) return 1;  // nothing to paint into
    const Range xs = Clip(x, int64_t{x} + icon->width, dc->width);
    const Range ys = Clip(y, int64_t{y} + icon->height, dc->height);
    for (int64_t sy = ys.begin; sy < ys.end; ++sy) {
        const size_t row = static_cast<size_t>(sy - y) * static_cast<size_t>(icon->width);
        for (int64_t sx = xs.begin; sx < xs.end; ++sx) {
            const uint32_t argb = icon->argb[row + static_cast<size_t>(sx - x)];
            if ((argb >> 24) == 0) continue;
            uint32_t& target = SurfacePixel(dc, sx, sy);
            target = Blend(argb, target);
        }
    }
    return 1;
}
