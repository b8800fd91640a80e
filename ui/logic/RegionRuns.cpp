#include "ui/logic/RegionRuns.h"

#include <cstdlib>

namespace {

size_t BytesFor(uint32_t capacity) { return sizeof(RegionHeader) + capacity * sizeof(RegionRect); }

RegionRect* Rects(RegionHeader* data) { return reinterpret_cast<RegionRect*>(data + 1); }

}  // namespace

RectBatch::RectBatch(FlushFunction flush, void* context)
    : data_(nullptr), capacity_(0), batches_(0), flush_(flush), context_(context) {
    data_ = static_cast<RegionHeader*>(malloc(BytesFor(kGrowStep)));
    if (!data_) return;
    capacity_ = kGrowStep;
    data_->headerSize = sizeof(RegionHeader);
    data_->type = 1;
    data_->regionSize = 0;
    Clear();
}

RectBatch::~RectBatch() { free(data_); }

void RectBatch::Clear() {
    data_->count = 0;
    data_->bound.left = 2147483647;
    data_->bound.top = 2147483647;
    data_->bound.right = 0;
    data_->bound.bottom = 0;
}

bool RectBatch::Grow() {
    uint32_t capacity = capacity_ + kGrowStep;
    void* bigger = realloc(data_, BytesFor(capacity));
    if (!bigger) return false;
    data_ = static_cast<RegionHeader*>(bigger);
    capacity_ = capacity;
    return true;
}

bool RectBatch::Add(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!data_) return false;
    if (data_->count == capacity_ && !Grow()) return false;
    RegionRect& rect = Rects(data_)[data_->count];
    rect.left = left;
    rect.top = top;
    rect.right = right;
    rect.bottom = bottom;
    RegionRect& bound = data_->bound;
    if (left < bound.left) bound.left = left;
    if (top < bound.top) bound.top = top;
    if (right > bound.right) bound.right = right;
    if (bottom > bound.bottom) bound.bottom = bottom;
    ++data_->count;
    if (data_->count == kBatchLimit) Flush();
    return true;
}

void RectBatch::Flush() {
    if (!data_) return;
    flush_(context_, data_, static_cast<uint32_t>(BytesFor(data_->count)));
    ++batches_;
    Clear();
}

void CollectRowRuns(const uint32_t* row, int width, int y, uint8_t red, uint8_t green,
                    uint8_t blue, RectBatch& batch) {
    int x = 0;
    while (x < width) {
        int start = x;
        while (x < width && !PixelHasColour(row[x], red, green, blue)) ++x;
        if (x > start) batch.Add(start, y, x, y + 1);
        ++x;  // past the key pixel
    }
}
