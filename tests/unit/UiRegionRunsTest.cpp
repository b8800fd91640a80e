// Rectangles for the shaped window: runs of non-key pixels per row, the
// growing buffer, and batching at 2000 rectangles.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "ui/logic/RegionRuns.h"

namespace {

const uint32_t kMagenta = 0x00FF00FF;  // red 255, green 0, blue 255
const uint32_t kBlue = 0x00024DF6;     // the title band
const uint32_t kBody = 0x00CFE9FE;     // the light-blue body

typedef std::tuple<int32_t, int32_t, int32_t, int32_t> Rect;

// Keeps every batch handed over, as the region code would join them.
struct Sink {
    std::vector<std::vector<Rect>> batches;
    std::vector<RegionHeader> headers;
    std::vector<uint32_t> sizes;

    static bool Take(void* context, const RegionHeader* data, uint32_t bytes) {
        Sink* sink = static_cast<Sink*>(context);
        sink->headers.push_back(*data);
        sink->sizes.push_back(bytes);
        const RegionRect* rects = reinterpret_cast<const RegionRect*>(data + 1);
        std::vector<Rect> batch;
        for (uint32_t i = 0; i < data->count; ++i)
            batch.emplace_back(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
        sink->batches.push_back(batch);
        return true;
    }
    std::vector<Rect> All() const {
        std::vector<Rect> all;
        for (const auto& b : batches) all.insert(all.end(), b.begin(), b.end());
        return all;
    }
};

std::vector<Rect> RunsOf(const std::vector<uint32_t>& row, int y = 0) {
    Sink sink;
    {
        RectBatch batch(&Sink::Take, &sink);
        CollectRowRuns(row.data(), static_cast<int>(row.size()), y, 255, 0, 255, batch);
        batch.Flush();
    }
    return sink.All();
}

}  // namespace

TEST(UiRegionPixels, KeyMatchesExactlyWithoutTolerance) {
    EXPECT_TRUE(PixelHasColour(kMagenta, 255, 0, 255));
    EXPECT_TRUE(PixelHasColour(0xFFFF00FF, 255, 0, 255));  // the unused top byte
    EXPECT_FALSE(PixelHasColour(0x00FE00FF, 255, 0, 255));
    EXPECT_FALSE(PixelHasColour(0x00FF01FF, 255, 0, 255));
    EXPECT_FALSE(PixelHasColour(0x00FF00FE, 255, 0, 255));
    // Blue is the lowest byte: RGB(2, 77, 246) is stored as F6 4D 02.
    EXPECT_TRUE(PixelHasColour(kBlue, 2, 77, 246));
    EXPECT_FALSE(PixelHasColour(kBlue, 246, 77, 2));
}

TEST(UiRegionRuns, RowWithoutKeyIsOneFullRectangle) {
    std::vector<uint32_t> row(527, kBody);
    std::vector<Rect> runs = RunsOf(row, 337);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(Rect(0, 337, 527, 338), runs[0]);
}

TEST(UiRegionRuns, WholeKeyRowGivesNothing) {
    EXPECT_TRUE(RunsOf(std::vector<uint32_t>(40, kMagenta)).empty());
    EXPECT_TRUE(RunsOf(std::vector<uint32_t>()).empty());
}

TEST(UiRegionRuns, EachSeparateRunIsOneRectangle) {
    // K B B K K X K B  (K key, B body, X blue)
    std::vector<uint32_t> row = {kMagenta, kBody, kBody, kMagenta, kMagenta, kBlue, kMagenta, kBody};
    std::vector<Rect> runs = RunsOf(row, 4);
    ASSERT_EQ(3u, runs.size());
    EXPECT_EQ(Rect(1, 4, 3, 5), runs[0]);
    EXPECT_EQ(Rect(5, 4, 6, 5), runs[1]);
    EXPECT_EQ(Rect(7, 4, 8, 5), runs[2]);
}

TEST(UiRegionRuns, DifferentColoursNextToEachOtherFormOneRun) {
    std::vector<uint32_t> row = {kBlue, kBody, 0, 0x00FFFFFF, kMagenta};
    std::vector<Rect> runs = RunsOf(row);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(Rect(0, 0, 4, 1), runs[0]);
}

TEST(UiRegionBatch, GrowsInStepsOf100AndKeepsTheBound) {
    Sink sink;
    RectBatch batch(&Sink::Take, &sink);
    ASSERT_TRUE(batch.Ready());
    EXPECT_EQ(100u, batch.Capacity());
    for (int i = 0; i < 100; ++i) batch.Add(i, 10 + i, i + 1, 11 + i);
    EXPECT_EQ(100u, batch.Capacity());
    batch.Add(-5, 3, 900, 4);
    EXPECT_EQ(200u, batch.Capacity());
    EXPECT_EQ(101u, batch.Count());
    batch.Flush();
    ASSERT_EQ(1u, sink.headers.size());
    const RegionHeader& h = sink.headers[0];
    EXPECT_EQ(32u, h.headerSize);
    EXPECT_EQ(1u, h.type);
    EXPECT_EQ(101u, h.count);
    EXPECT_EQ(0u, h.regionSize);
    EXPECT_EQ(-5, h.bound.left);
    EXPECT_EQ(3, h.bound.top);
    EXPECT_EQ(900, h.bound.right);
    EXPECT_EQ(110, h.bound.bottom);
    EXPECT_EQ(32u + 101u * 16u, sink.sizes[0]);
    EXPECT_EQ(Rect(-5, 3, 900, 4), sink.batches[0][100]);
}

TEST(UiRegionBatch, HandsOverEvery2000AndStartsAfresh) {
    Sink sink;
    {
        RectBatch batch(&Sink::Take, &sink);
        for (int i = 0; i < 4500; ++i) batch.Add(0, i, 1, i + 1);
        EXPECT_EQ(2u, batch.Batches());
        EXPECT_EQ(500u, batch.Count());
        EXPECT_LE(batch.Capacity(), 2000u);  // never more than one batch is held
        batch.Flush();
    }
    ASSERT_EQ(3u, sink.batches.size());
    EXPECT_EQ(2000u, sink.batches[0].size());
    EXPECT_EQ(2000u, sink.batches[1].size());
    EXPECT_EQ(500u, sink.batches[2].size());
    // The second batch's bound covers only its own rectangles.
    EXPECT_EQ(2000, sink.headers[1].bound.top);
    EXPECT_EQ(4000, sink.headers[1].bound.bottom);
    EXPECT_EQ(4000, sink.headers[2].bound.top);
}

TEST(UiRegionBatch, ManyRunsInBatchesCoverTheSameAsOneList) {
    // A 300 x 30 picture of alternating pixels: 150 runs a row, 4500 in all.
    const int width = 300, height = 30;
    Sink sink;
    {
        RectBatch batch(&Sink::Take, &sink);
        std::vector<uint32_t> row(width);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) row[x] = ((x + y) % 2) ? kMagenta : kBody;
            CollectRowRuns(row.data(), width, y, 255, 0, 255, batch);
        }
        batch.Flush();
    }
    EXPECT_EQ(3u, sink.batches.size());
    std::set<std::pair<int, int>> covered;
    for (const Rect& r : sink.All())
        for (int y = std::get<1>(r); y < std::get<3>(r); ++y)
            for (int x = std::get<0>(r); x < std::get<2>(r); ++x)
                EXPECT_TRUE(covered.insert({x, y}).second) << "pixel twice: " << x << "," << y;
    std::set<std::pair<int, int>> expected;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + y) % 2 == 0) expected.insert({x, y});
    EXPECT_EQ(expected, covered);
}

TEST(UiRegionBatch, EmptyFlushStillHandsOverAnEmptyPart) {
    Sink sink;
    RectBatch batch(&Sink::Take, &sink);
    batch.Flush();
    ASSERT_EQ(1u, sink.headers.size());
    EXPECT_EQ(0u, sink.headers[0].count);
    EXPECT_EQ(32u, sink.sizes[0]);
}
