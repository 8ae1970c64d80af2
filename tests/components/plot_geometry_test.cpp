// The plot component's geometry: curve reduction to pixel columns, value
// mapping, layout and scale numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "components/pellume/geometry.h"

namespace {

using pellume::ColumnExtent;
using pellume::PixelRect;
using pellume::ValueMap;

// Against a plain pass that drops each value into its column.
TEST(PlotGeometry, ColumnsHoldTheirValuesExtremes) {
    const struct {
        int32_t count, width;
    } cases[] = {{1, 100}, {7, 100}, {100, 100}, {101, 100}, {1000, 333},
                 {65536, 517}, {4194304, 640}};
    uint32_t seed = 99;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " values on " + std::to_string(c.width));
        std::vector<float> values(static_cast<size_t>(c.count));
        for (float& v : values) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        }
        if (c.count > 10) values[3] = std::numeric_limits<float>::quiet_NaN();

        std::vector<ColumnExtent> want(static_cast<size_t>(c.width), ColumnExtent{0, 0, 0, 0, 0});
        for (int32_t i = 0; i < c.count; ++i) {
            const float v = values[static_cast<size_t>(i)];
            if (v != v) continue;
            ColumnExtent& e = want[static_cast<size_t>(pellume::pointColumn(i, c.count, c.width))];
            if (e.points++ == 0) e.first = e.min = e.max = v;
            e.min = std::min(e.min, v);
            e.max = std::max(e.max, v);
            e.last = v;
        }
        std::vector<ColumnExtent> got(static_cast<size_t>(c.width));
        pellume::reduceToColumns(values.data(), c.count, c.width, got.data());
        for (int32_t col = 0; col < c.width; ++col) {
            const ColumnExtent& g = got[static_cast<size_t>(col)];
            const ColumnExtent& w = want[static_cast<size_t>(col)];
            ASSERT_EQ(g.points, w.points) << "column " << col;
            if (w.points == 0) continue;
            ASSERT_EQ(g.first, w.first) << "column " << col;
            ASSERT_EQ(g.last, w.last) << "column " << col;
            ASSERT_EQ(g.min, w.min) << "column " << col;
            ASSERT_EQ(g.max, w.max) << "column " << col;
        }
    }
}

TEST(PlotGeometry, OneSpikeAmongMillionsKeepsItsColumn) {
    std::vector<float> values(4194304, 0.0f);
    const int32_t spike = 3000001;
    values[spike] = 1.0f;
    std::vector<ColumnExtent> columns(500);
    pellume::reduceToColumns(values.data(), static_cast<int32_t>(values.size()), 500,
                             columns.data());
    const int32_t spikeColumn = pellume::pointColumn(spike, 4194304, 500);
    EXPECT_EQ(spikeColumn, 357);
    for (int32_t c = 0; c < 500; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(columns[static_cast<size_t>(c)].max, c == spikeColumn ? 1.0f : 0.0f);
    }
}

TEST(PlotGeometry, ValuesMapOntoTheInteriorRows) {
    const PixelRect interior{50, 20, 450, 221};    // rows 20 .. 220
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
        {3125.0, 25000.0, "25000"},
        {40.0, -160.0, "-160"},
        {2.5, 7.5, "7.5"},
        {1.4142, 2.8284, "2.8"},
        {0.00256, 0.00768, "0.0077"},
        {0.1, -0.00001, "0.0"},
        {4.0, -6.0, "-6"},
        {0.25, 0.75, "0.75"},
        {0.16384, 0.32768, "0.33"},
        {0.0, 5.0, "5"},
        {1e9, 4e9, "4e+09"},
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
