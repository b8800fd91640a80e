// Turning a 32-bit picture into rectangles for a window region: every maximal
// run of pixels that are not the key colour, one row high, collected in a
// buffer laid out as region data and handed over in batches.
#pragma once

#include <cstddef>
#include <cstdint>

// Region data as ExtCreateRegion takes it: a 32-byte header, then rectangles.
struct RegionRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
struct RegionHeader {
    uint32_t headerSize;  // 32
    uint32_t type;        // 1: rectangles
    uint32_t count;
    uint32_t regionSize;  // 0
    RegionRect bound;
};
static_assert(sizeof(RegionHeader) == 32, "region data header is 32 bytes");
static_assert(sizeof(RegionRect) == 16, "region rectangles are 16 bytes");

// A pixel of a 32-bit device-independent bitmap: blue in the lowest byte.
inline bool PixelHasColour(uint32_t pixel, uint8_t red, uint8_t green, uint8_t blue) {
    return (pixel & 0xFF) == blue && ((pixel >> 8) & 0xFF) == green &&
           ((pixel >> 16) & 0xFF) == red;
}

class RectBatch {
public:
    static const uint32_t kGrowStep = 100;
    static const uint32_t kBatchLimit = 2000;

    // Receives the header and count rectangles; returns false when no region
    // could be made from them (that part is then left out).
    typedef bool (*FlushFunction)(void* context, const RegionHeader* data, uint32_t bytes);

    RectBatch(FlushFunction flush, void* context);
    ~RectBatch();
    RectBatch(const RectBatch&) = delete;
    RectBatch& operator=(const RectBatch&) = delete;

    // False when the buffer could not be allocated or grown.
    bool Ready() const { return data_ != nullptr; }
    bool Add(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Hands over what is left (possibly nothing) and empties the buffer.
    void Flush();

    uint32_t Count() const { return data_ ? data_->count : 0; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t Batches() const { return batches_; }

private:
    bool Grow();
    void Clear();

    RegionHeader* data_;
    uint32_t capacity_;
    uint32_t batches_;
    FlushFunction flush_;
    void* context_;
};

// Adds one rectangle per maximal run of pixels in row y that are not the key.
void CollectRowRuns(const uint32_t* row, int width, int y, uint8_t red, uint8_t green,
                    uint8_t blue, RectBatch& batch);
