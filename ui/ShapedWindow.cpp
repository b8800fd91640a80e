#include "ui/ShapedWindow.h"

#include <cstring>

#include "ui/GdiHandles.h"
#include "ui/logic/RegionRuns.h"
#include "ui/logic/Rescale.h"

namespace {

// Joins one batch of rectangles into the accumulated region.
bool JoinBatch(void* context, const RegionHeader* data, uint32_t bytes) {
    GdiRegion* accumulated = static_cast<GdiRegion*>(context);
    GdiRegion part(ExtCreateRegion(NULL, bytes, reinterpret_cast<const RGNDATA*>(data)));
    if (!part.IsValid()) return false;
    if (!accumulated->IsValid()) {
        accumulated->Reset(part.Release());
        return true;
    }
    CombineRgn(accumulated->Get(), accumulated->Get(), part.Get(), RGN_OR);
    return true;
}

struct ScaleFactors {
    double horizontal;
    double vertical;
};

BOOL CALLBACK RescaleOneChild(HWND child, LPARAM lParam) {
    const ScaleFactors* scale = reinterpret_cast<const ScaleFactors*>(lParam);
    RECT r;
    GetWindowRect(child, &r);
    ScaleRect screen = {r.left, r.top, r.right, r.bottom};
    ScaleRect moved = RescaleRect(screen, scale->horizontal, scale->vertical);
    POINT corner = {moved.left, moved.top};
    ScreenToClient(GetParent(child), &corner);
    MoveWindow(child, corner.x, corner.y, moved.right - moved.left, moved.bottom - moved.top,
               TRUE);
    return TRUE;
}

void CollectRuns(const uint8_t* bits, int width, int height, COLORREF key, RectBatch& batch) {
    const int stride = width * 4;  // 32-bit rows are always whole multiples of 4 bytes
    for (int y = 0; y < height; ++y) {
        // Bottom-up rows: the picture's top row is the last one in memory.
        const uint32_t* row = reinterpret_cast<const uint32_t*>(bits + (height - 1 - y) * stride);
        CollectRowRuns(row, width, y, GetRValue(key), GetGValue(key), GetBValue(key), batch);
    }
}

// A 32 bits-per-pixel, bottom-up copy of the picture's size.
BITMAPINFOHEADER WorkingCopyHeader(const BITMAP& info) {
    BITMAPINFOHEADER header;
    memset(&header, 0, sizeof header);
    header.biSize = sizeof header;
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

}  // namespace

HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF key) {
    if (!bitmap) return NULL;
    MemoryDc copyContext(CreateCompatibleDC(NULL));
    if (!copyContext.IsValid()) return NULL;
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return NULL;
    BITMAPINFOHEADER header = WorkingCopyHeader(info);
    void* bits = NULL;
    GdiBitmap copy(CreateDIBSection(copyContext.Get(), reinterpret_cast<BITMAPINFO*>(&header),
                                    DIB_RGB_COLORS, &bits, NULL, 0));
    if (!copy.IsValid() || !bits) return NULL;
    SelectedObject copySelection(copyContext.Get(), copy.Get());
    MemoryDc sourceContext(CreateCompatibleDC(copyContext.Get()));
    if (!sourceContext.IsValid()) return NULL;
    SelectedObject sourceSelection(sourceContext.Get(), bitmap);
    BitBlt(copyContext.Get(), 0, 0, info.bmWidth, info.bmHeight, sourceContext.Get(), 0, 0,
           SRCCOPY);
    GdiFlush();

    GdiRegion region;
    RectBatch batch(&JoinBatch, &region);
    if (batch.Ready()) {
        CollectRuns(static_cast<const uint8_t*>(bits), info.bmWidth, info.bmHeight, key, batch);
        batch.Flush();
    }
    return region.Release();
}

BOOL RescaleChildren(HWND window, int referenceWidth, int referenceHeight) {
    RECT client;
    GetClientRect(window, &client);
    ScaleFactors scale;
    // A window without a client area cannot be scaled onto anything.
    if (!ComputeScaleFactors(client.right, client.bottom, referenceWidth, referenceHeight,
                             &scale.horizontal, &scale.vertical))
        return FALSE;
    return EnumChildWindows(window, &RescaleOneChild, reinterpret_cast<LPARAM>(&scale));
}
