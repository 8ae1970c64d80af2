// The plot component's geometry: curve reduction to pixel columns, value
// mapping, layout and scale numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "components/pellume/geometry.h"

namespace {

using pellume::ColumnExtent;
using pellume::PixelRect;
using pellume::ValueMap;

// A plain pass that drops each value into its column.
std::vector<ColumnExtent> plainColumns(const std::vector<float>& values, int32_t width) {
    const auto count = static_cast<int32_t>(values.size());
    std::vector<ColumnExtent> want(static_cast<size_t>(width), ColumnExtent{0, 0, 0, 0, 0});
    for (int32_t i = 0; i < count; ++i) {
        const float v = values[static_cast<size_t>(i)];
        if (v != v) continue;
        ColumnExtent& e = want[static_cast<size_t>(pellume::pointColumn(i, count, width))];
        if (e.points++ == 0) e.first = e.min = e.max = v;
        e.min = std::min(e.min, v);
        e.max = std::max(e.max, v);
        e.last = v;
    }
    return want;
}

// Every column alike; a column without points only by its count.
void expectSameColumns(const std::vector<ColumnExtent>& got, const std::vector<ColumnExtent>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t col = 0; col < want.size(); ++col) {
        const ColumnExtent& g = got[col];
        const ColumnExtent& w = want[col];
        ASSERT_EQ(g.points, w.points) << "column " << col;
        if (w.points == 0) continue;
        ASSERT_EQ(g.first, w.first) << "column " << col;
        ASSERT_EQ(g.last, w.last) << "column " << col;
        ASSERT_EQ(g.min, w.min) << "column " << col;
        ASSERT_EQ(g.max, w.max) << "column " << col;
    }
}

void expectPlainColumns(const std::vector<float>& values, int32_t width) {
    std::vector<ColumnExtent> got(static_cast<size_t>(width));
    pellume::reduceToColumns(values.data(), static_cast<int32_t>(values.size()), width, got.data());
    expectSameColumns(got, plainColumns(values, width));
}

// Uniform in [-0.5, 0.5) from a small generator, so that a failure repeats.
float nextValue(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
}

TEST(PlotGeometry, ColumnsHoldTheirValuesExtremes) {
    const struct {
        int32_t count, width;
    } cases[] = {{1, 100}, {7, 100}, {100, 100}, {101, 100}, {1000, 333}, {65536, 517}, {4194304, 640}};
    uint32_t seed = 99;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " values on " + std::to_string(c.width));
        std::vector<float> values(static_cast<size_t>(c.count));
        for (float& v : values) v = nextValue(seed);
        if (c.count > 10) values[3] = std::numeric_limits<float>::quiet_NaN();
        expectPlainColumns(values, c.width);
    }
}

// Columns of every length around the vector width, NaN anywhere in them (at
// or near their ends, in runs over whole columns, scattered), and infinities.
TEST(PlotGeometry, ColumnsSkipNaNWhereverItFalls) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        int32_t count, width;
        int32_t nanOneIn;        // scattered NaN, about one value in this many; 0: none
        int32_t nanFrom, nanTo;  // and a run of NaN over these points
        uint32_t nanFromFirst;   // and in every column, bit k: NaN at its point k
        uint32_t nanFromLast;    // bit k: NaN at its k-th point from the last
        int32_t infOneIn;        // infinities of either sign; 0: none
    } cases[] = {
        {"columns of 1 to 3 points", 200, 97, 0, 0, 0, 0, 0, 0},
        {"columns of 7 points", 7 * 50, 50, 0, 0, 0, 0, 0, 0},
        {"columns of 8 points", 8 * 50, 50, 0, 0, 0, 0, 0, 0},
        {"columns of 9 points", 9 * 50, 50, 0, 0, 0, 0, 0, 0},
        {"columns of 15 to 17 points", 16 * 61 + 30, 61, 0, 0, 0, 0, 0, 0},
        {"columns of 23 to 25 points", 24 * 61 + 30, 61, 0, 0, 0, 0, 0, 0},
        {"columns of 31 to 33 points", 32 * 61 + 30, 61, 0, 0, 0, 0, 0, 0},
        {"long columns without NaN", 1 << 20, 900, 0, 0, 0, 0, 0, 0},
        {"sparse NaN", 1 << 20, 900, 5000, 0, 0, 0, 0, 0},
        {"dense NaN", 100000, 333, 3, 0, 0, 0, 0, 0},
        {"NaN over whole columns", 10000, 100, 0, 1000, 3050, 0, 0, 0},
        {"NaN at both ends of each column", 100000, 100, 0, 0, 0, 1, 1, 0},
        {"NaN as second value of each column", 100003, 101, 0, 0, 0, 2, 0, 0},
        {"NaN as third value of each column", 100003, 101, 0, 0, 0, 4, 0, 0},
        {"NaN as fourth value of each column", 100003, 101, 0, 0, 0, 8, 0, 0},
        {"NaN among the last values of each column", 100003, 101, 0, 0, 0, 0, 0x5A, 0},
        {"short columns, NaN at their ends", 9 * 40, 40, 0, 0, 0, 1, 1, 0},
        {"columns of 24 to 26 points, NaN near their ends", 25 * 40 + 20, 40, 0, 0, 0, 0x16, 0x16, 0},
        {"infinities", 100000, 300, 0, 0, 0, 0, 0, 500},
        {"infinities and NaN", 100000, 300, 400, 0, 0, 0, 0, 300},
        {"all NaN", 5000, 64, 1, 0, 0, 0, 0, 0},
        {"fewer points than columns", 50, 900, 7, 0, 0, 0, 0, 0},
    };
    uint32_t seed = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> values(static_cast<size_t>(c.count));
        for (float& v : values) v = nextValue(seed);
        for (float& v : values) {
            seed = seed * 1664525u + 1013904223u;
            if (c.infOneIn > 0 && (seed >> 8) % c.infOneIn == 0) v = v < 0 ? -inf : inf;
            seed = seed * 1664525u + 1013904223u;
            if (c.nanOneIn > 0 && (seed >> 8) % c.nanOneIn == 0) v = nan;
        }
        for (int32_t i = c.nanFrom; i < c.nanTo; ++i) values[static_cast<size_t>(i)] = nan;
        if (c.nanFromFirst != 0 || c.nanFromLast != 0) {
            int32_t begin = 0;
            while (begin < c.count) {
                const int32_t col = pellume::pointColumn(begin, c.count, c.width);
                int32_t end = begin + 1;
                while (end < c.count && pellume::pointColumn(end, c.count, c.width) == col) ++end;
                for (int32_t k = 0; k < 32 && k < end - begin; ++k) {
                    if (c.nanFromFirst >> k & 1) values[static_cast<size_t>(begin + k)] = nan;
                    if (c.nanFromLast >> k & 1) values[static_cast<size_t>(end - 1 - k)] = nan;
                }
                begin = end;
            }
        }
        expectPlainColumns(values, c.width);
    }
}

TEST(PlotGeometry, OneSpikeAmongMillionsKeepsItsColumn) {
    std::vector<float> values(4194304, 0.0f);
    const int32_t spike = 3000001;
    values[spike] = 1.0f;
    std::vector<ColumnExtent> columns(500);
    pellume::reduceToColumns(values.data(), static_cast<int32_t>(values.size()), 500, columns.data());
    const int32_t spikeColumn = pellume::pointColumn(spike, 4194304, 500);
    EXPECT_EQ(spikeColumn, 357);
    for (int32_t c = 0; c < 500; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(columns[static_cast<size_t>(c)].max, c == spikeColumn ? 1.0f : 0.0f);
    }
}

// A zoomed curve: every point dropped into its windowColumn, the whole
// curve read, against the reduction that reads the visible points only.
TEST(PlotGeometry, ZoomedColumnsHoldTheirPointsOnly) {
    const struct {
        const char* name;
        int32_t count, width;
        double first, length;
    } cases[] = {
        {"the whole curve", 100003, 517, 0.0, 100003.0},
        {"the right half", 100000, 900, 50000.0, 50000.0},
        {"an odd part", 1 << 20, 900, 123456.789, 98765.4321},
        {"points wider than columns", 100000, 900, 4321.25, 333.3},
        {"four points", 1 << 21, 900, 1048575.5, 4.0},
        {"past the last point", 1000, 300, 900.0, 250.0},
        {"before the first point", 1000, 300, -40.5, 100.0},
    };
    uint32_t seed = 3;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const pellume::PointWindow window{c.first, c.length};
        std::vector<float> values(static_cast<size_t>(c.count));
        for (float& v : values) v = nextValue(seed);
        values[static_cast<size_t>(c.count / 2)] = std::numeric_limits<float>::quiet_NaN();

        std::vector<ColumnExtent> want(static_cast<size_t>(c.width), ColumnExtent{0, 0, 0, 0, 0});
        int64_t firstShown = -1, lastShown = -1;
        for (int32_t i = 0; i < c.count; ++i) {
            const int32_t col = pellume::windowColumn(i, window, c.width);
            if (col < 0 || col >= c.width) continue;
            if (firstShown < 0) firstShown = i;
            lastShown = i;
            const float v = values[static_cast<size_t>(i)];
            if (v != v) continue;
            ColumnExtent& e = want[static_cast<size_t>(col)];
            if (e.points++ == 0) e.first = e.min = e.max = v;
            e.min = std::min(e.min, v);
            e.max = std::max(e.max, v);
            e.last = v;
        }
        const pellume::IndexRange visible = pellume::visiblePoints(c.count, window, c.width);
        ASSERT_GE(firstShown, 0);
        EXPECT_EQ(visible.begin, firstShown);
        EXPECT_EQ(visible.end, lastShown + 1);

        std::vector<ColumnExtent> got(static_cast<size_t>(c.width));
        pellume::reduceToColumns(values.data(), c.count, window, c.width, got.data());
        expectSameColumns(got, want);
    }
}

TEST(PlotGeometry, WholeCurveWindowPlacesPointsAsPointColumn) {
    const pellume::PointWindow whole{0.0, 4194304.0};
    for (const int64_t i : {int64_t(0), int64_t(4660), int64_t(4661), int64_t(3000001), int64_t(4194303)}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pellume::windowColumn(i, whole, 900), pellume::pointColumn(i, 4194304, 900));
    }
    EXPECT_EQ(pellume::windowColumn(105, {100.0, 10.0}, 900), 450);
    EXPECT_EQ(pellume::windowColumn(99, {100.0, 10.0}, 900), -90) << "just left of the window";
    EXPECT_EQ(pellume::windowColumn(100000, {100.0, 10.0}, 900), 899 + pellume::kFarColumns)
        << "far right of a narrow window";
}

TEST(PlotGeometry, ValuesMapOntoTheInteriorRows) {
    const PixelRect interior{50, 20, 450, 221};  // rows 20 .. 220
    const ValueMap map(-1.0, 3.0, interior);
    ASSERT_TRUE(map.valid());
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        double value;
        int32_t row;
    } cases[] = {
        {"top", 3.0, 20},
        {"bottom", -1.0, 220},
        {"middle", 1.0, 120},
        {"quarter", 0.0, 170},
        {"far above", 1e30, 20 - ValueMap::kFarRows},
        {"far below", -1e30, 220 + ValueMap::kFarRows},
        {"plus infinity", inf, 20 - ValueMap::kFarRows},
        {"minus infinity", -inf, 220 + ValueMap::kFarRows},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(map.row(c.value), c.row);
    }

    const ValueMap flat(2.0, 2.0, interior);
    EXPECT_EQ(flat.row(2.0), 120) << "a flat range puts its value in the middle";
    EXPECT_LT(flat.row(2.5), 20);
    EXPECT_GT(flat.row(1.5), 220);
    EXPECT_FALSE(ValueMap(-inf, -inf, interior).valid());
    EXPECT_FALSE(ValueMap(0.0, std::nan(""), interior).valid());
}

TEST(PlotGeometry, LayoutLeavesRoomForScalesAndKeepsAnInterior) {
    const pellume::Layout l = pellume::computeLayout(600, 300, 10, 10, 2, 40, 14);
    EXPECT_EQ(l.interior.left, 10 + 40 + 2);
    EXPECT_EQ(l.interior.right, 600 - 10 - 2);
    EXPECT_EQ(l.interior.top, 10 + 2);
    EXPECT_EQ(l.interior.bottom, 300 - 10 - 14 - 2);
    EXPECT_EQ(l.xLabels.top, l.interior.bottom + 2);
    EXPECT_EQ(l.yLabels.right, l.interior.left - 2);

    const pellume::Layout tiny = pellume::computeLayout(5, 5, 10, 10, 2, 40, 14);
    EXPECT_EQ(tiny.interior.width(), 1);
    EXPECT_EQ(tiny.interior.height(), 1);
}

TEST(PlotGeometry, ScaleNumbersTellNeighboursApart) {
    const struct {
        double step, value;
        const char* text;
    } cases[] = {
        {3125.0, 25000.0, "25000"},   {40.0, -160.0, "-160"}, {2.5, 7.5, "7.5"},   {1.4142, 2.8284, "2.8"},
        {0.00256, 0.00768, "0.0077"}, {0.1, -0.00001, "0.0"}, {4.0, -6.0, "-6"},   {0.25, 0.75, "0.75"},
        {0.16384, 0.32768, "0.33"},   {0.0, 5.0, "5"},        {1e9, 4e9, "4e+09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        char text[32];
        pellume::formatLabel(text, sizeof text, c.value, pellume::labelDecimals(c.step));
        EXPECT_STREQ(text, c.text);
    }
    char small[4];
    pellume::formatLabel(small, sizeof small, 123456.0, 0);
    EXPECT_STREQ(small, "123") << "cut to the buffer";
}

}  // namespace
