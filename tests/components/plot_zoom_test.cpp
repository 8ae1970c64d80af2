// The plot component's zoom and cursor: what the mouse does to the shown
// range, which moves report a change, the values read out under the pointer
// and the points of a zoomed curve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "components/pellume/geometry.h"
#include "components/pellume/zoom.h"

namespace {

using pellume::MouseZoom;
using pellume::PixelRect;
using pellume::Span;
using pellume::ViewRange;

// 900 columns (50 .. 949) and 401 rows (20 .. 420): a row is 1/400 of the
// scale.
constexpr PixelRect kInterior{50, 20, 950, 421};
constexpr int32_t kHeld = MouseZoom::kLeftButtonHeld;

// The program's views: dB spectrum (view 3, V = 10, D = 200), volt spectrum
// (view 1 without auto scale, V = 10, enbw 1), oscilloscope (1024 points at
// 50 kHz, oscScale 10).
constexpr ViewRange kSpectrumDb{0.0, 25000.0, -200.0, 0.0, -190.0, 10.0};
constexpr ViewRange kSpectrumV{0.0, 25000.0, 0.0, 7.0710678, 0.0, 7.0710678};
constexpr ViewRange kScope{0.0, 0.02048, -10.0, 10.0, -10.0, 10.0};
constexpr int32_t kSpectrumPoints = 1 << 21;

class Mouse {
public:
    explicit Mouse(const ViewRange& range = kSpectrumDb) { frame(range); }
    void frame(const ViewRange& range, int32_t points = kSpectrumPoints, const char* xUnit = "Hz",
               const char* yUnit = "dB  ", int32_t kind = 10) {
        mouse_.zoom().setFrame(range, xUnit, yUnit, kind, points);
    }
    bool move(int32_t keys, int32_t x, int32_t y) { return mouse_.move(kInterior, keys, x, y); }
    bool press(int32_t button, int32_t x, int32_t y) {
        return mouse_.button(kInterior, button, x, y, MouseZoom::kPress);
    }
    // A press and its release at the same pixel, as the program reports it.
    bool click(int32_t x, int32_t y) {
        const bool pressed = press(1, x, y);
        return move(0, x, y) || pressed;
    }
    bool leave(int32_t keys) { return mouse_.leave(kInterior, keys); }
    bool doubleClick(int32_t button, int32_t x, int32_t y) {
        return mouse_.button(kInterior, button, x, y, MouseZoom::kDoubleClick);
    }
    ViewRange shown() const { return mouse_.zoom().shown(); }
    size_t depth() const { return mouse_.zoom().depth(); }
    const pellume::Overlay& overlay() const { return mouse_.overlay(); }
    double xAt(int32_t column) const { return pellume::xAt(kInterior, shown(), column); }
    pellume::Zoom& zoom() { return mouse_.zoom(); }

private:
    MouseZoom mouse_;
};

void expectRange(const ViewRange& got, const ViewRange& want, double tolerance = 1e-9) {
    EXPECT_NEAR(got.xMin, want.xMin, tolerance);
    EXPECT_NEAR(got.xMax, want.xMax, tolerance);
    EXPECT_NEAR(got.scaleBottom, want.scaleBottom, tolerance);
    EXPECT_NEAR(got.scaleTop, want.scaleTop, tolerance);
    EXPECT_NEAR(got.dataBottom, want.dataBottom, tolerance);
    EXPECT_NEAR(got.dataTop, want.dataTop, tolerance);
}

// ------------------------------------------------------------- read-out

TEST(PlotReadout, ValuesAtKnownPixelsInEachViewsUnits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        ViewRange range;
        const char *xUnit, *yUnit;
        int32_t column, row;
        const char *x, *y;
    } cases[] = {
        // 27.8 Hz a column: whole hertz; 0.5 dB a row: one decimal.
        {"dB spectrum, 1000 Hz", kSpectrumDb, "Hz", "dB  ", 86, 190, "1000 Hz", "-85.0 dB"},
        {"dB spectrum, top left", kSpectrumDb, "Hz", "dB  ", 50, 20, "0 Hz", "0.0 dB"},
        {"dB spectrum, bottom right", kSpectrumDb, "Hz", "dB  ", 949, 420, "24972 Hz", "-200.0 dB"},
        // 0.0177 V a row: three decimals.
        {"volt spectrum, middle row", kSpectrumV, "Hz", "Rms  ", 500, 220, "12500 Hz", "3.536 Rms"},
        {"volt spectrum, bottom row", kSpectrumV, "Hz", "Rms  ", 500, 420, "12500 Hz", "0.000 Rms"},
        // 22.8 us a column: six decimals; 0.05 V a row: two.
        {"oscilloscope, middle", kScope, "Sec", "V  ", 500, 220, "0.010240 Sec", "0.00 V"},
        {"oscilloscope, second row", kScope, "Sec", "V  ", 50, 21, "0.000000 Sec", "9.95 V"},
        {"no y unit", kScope, "Sec", "", 500, 221, "0.010240 Sec", "-0.05"},
        {"blank units", kScope, "  ", "   ", 500, 220, "0.010240", "0.00"},
        {"x not finite", {nan, 1.0, -10.0, 10.0, -10.0, 10.0}, "Sec", "V  ", 500, 220, "", "0.00 V"},
        {"scale not finite",
         {0.0, 25000.0, -std::numeric_limits<double>::infinity(), 0.0, 0.0, 1.0},
         "Hz",
         "dB  ",
         86,
         190,
         "1000 Hz",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const pellume::Readout r = pellume::readOut(kInterior, c.range, c.column, c.row, c.xUnit, c.yUnit);
        EXPECT_STREQ(r.x, c.x);
        EXPECT_STREQ(r.y, c.y);
    }
}

TEST(PlotReadout, ExtentOfARectangleIsPositiveEitherWay) {
    for (const bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "drawn up and left" : "drawn down and right");
        const pellume::Readout r = reversed ? pellume::readOutExtent(kInterior, kScope, 500, 220, 50, 20, "Sec", "V  ")
                                            : pellume::readOutExtent(kInterior, kScope, 50, 20, 500, 220, "Sec", "V  ");
        EXPECT_STREQ(r.x, "0.010240 Sec");
        EXPECT_STREQ(r.y, "10.00 V");
    }
}

TEST(PlotReadout, ZoomedReadoutShowsTheZoomedValuesWithMoreDigits) {
    Mouse m;
    const Span x{1000.0, 1090.0};
    ASSERT_TRUE(m.zoom().zoomTo(&x, nullptr));
    // 0.1 Hz a column: one decimal.
    const pellume::Readout r = pellume::readOut(kInterior, m.shown(), 500, 190, "Hz", "dB  ");
    EXPECT_STREQ(r.x, "1045.0 Hz");
    EXPECT_STREQ(r.y, "-85.0 dB");
}

// ------------------------------------------------------------- zoom

TEST(PlotZoom, LeftClickZoomsXInByTwoWhenReleasedWithThePointKept) {
    const int32_t columns[] = {50, 52, 86, 500, 948, 949};
    for (const int32_t column : columns) {
        SCOPED_TRACE("column " + std::to_string(column));
        Mouse m;
        const double before = m.xAt(column);
        m.press(1, column, 200);
        EXPECT_EQ(m.depth(), 0u) << "the press alone zooms nothing";
        EXPECT_TRUE(m.move(0, column, 200));
        EXPECT_EQ(m.depth(), 1u);
        const ViewRange s = m.shown();
        EXPECT_NEAR(s.xMax - s.xMin, 12500.0, 1e-6);
        EXPECT_GE(s.xMin, 0.0);
        EXPECT_LE(s.xMax, 25000.0);
        EXPECT_NEAR(m.xAt(column), before, 1e-6) << "the value under the pointer stays";
        EXPECT_EQ(s.scaleBottom, -200.0) << "y stays";
        EXPECT_EQ(s.scaleTop, 0.0);
    }
}

TEST(PlotZoom, LeftPressOutsideTheInteriorDoesNothing) {
    Mouse m;
    EXPECT_FALSE(m.click(20, 200)) << "on the y scale numbers";
    EXPECT_FALSE(m.click(500, 430)) << "on the x scale numbers";
    EXPECT_EQ(m.depth(), 0u);
}

TEST(PlotZoom, RightPressStepsBackOneLevel) {
    Mouse m;
    m.click(300, 200);
    const ViewRange first = m.shown();
    m.click(700, 200);
    m.click(100, 200);
    ASSERT_EQ(m.depth(), 3u);

    EXPECT_TRUE(m.press(2, 500, 200));
    EXPECT_TRUE(m.press(2, 500, 200));
    EXPECT_EQ(m.depth(), 1u);
    expectRange(m.shown(), first);
    EXPECT_TRUE(m.press(2, 500, 200));
    expectRange(m.shown(), kSpectrumDb);
    EXPECT_FALSE(m.press(2, 500, 200)) << "nothing to step back from";
}

// A double-click comes after a click of the same button, which zoomed in.
TEST(PlotZoom, DoubleClickGoesBackToTheFullRangeWithoutTheClickBeforeIt) {
    const struct {
        const char* name;
        int presses;
    } cases[] = {{"from the full range", 0}, {"from three levels in", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mouse m;
        for (int i = 0; i < c.presses; ++i) m.click(200 + 100 * i, 200);
        m.click(400, 200);
        EXPECT_EQ(m.depth(), static_cast<size_t>(c.presses) + 1);
        EXPECT_TRUE(m.doubleClick(1, 400, 200));
        EXPECT_EQ(m.depth(), 0u);
        expectRange(m.shown(), kSpectrumDb);
        m.move(0, 402, 200);
        EXPECT_EQ(m.depth(), 0u) << "the release leaves no level";
    }
}

TEST(PlotZoom, DragZoomsToTheRectangle) {
    // Columns 200 and 500 show 4166.67 and 12500 Hz; rows 100 and 300 show
    // -40 and -140 dB, data -30 and -130.
    const double x200 = 25000.0 * 150 / 900;
    const struct {
        const char* name;
        int32_t anchorX, anchorY, cornerX, cornerY;
        ViewRange want;
    } cases[] = {
        {"down and right", 200, 100, 500, 300, {x200, 12500.0, -140.0, -40.0, -130.0, -30.0}},
        {"up and left", 500, 300, 200, 100, {x200, 12500.0, -140.0, -40.0, -130.0, -30.0}},
        {"past the interior's corner", 200, 100, 1200, 500, {x200, 25000.0 * 899 / 900, -200.0, -40.0, -190.0, -30.0}},
        {"a sideways sweep: x only", 200, 100, 500, 102, {x200, 12500.0, -200.0, 0.0, -190.0, 10.0}},
        {"a vertical sweep: y only", 200, 100, 201, 300, {0.0, 25000.0, -140.0, -40.0, -130.0, -30.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mouse m;
        m.press(1, c.anchorX, c.anchorY);
        EXPECT_EQ(m.depth(), 0u) << "no level while it may still become a drag";
        m.move(kHeld, c.anchorX + 1, c.anchorY + 2);
        EXPECT_FALSE(m.overlay().rectangle) << "a jitter of two pixels is no drag";
        EXPECT_EQ(m.depth(), 0u);

        EXPECT_TRUE(m.move(kHeld, (c.anchorX + c.cornerX) / 2, (c.anchorY + c.cornerY) / 2));
        EXPECT_TRUE(m.move(kHeld, c.cornerX, c.cornerY));
        EXPECT_TRUE(m.overlay().rectangle);
        EXPECT_EQ(m.overlay().anchorX, c.anchorX);
        EXPECT_EQ(m.depth(), 0u) << "no level was ever pushed";
        EXPECT_FALSE(m.move(kHeld, c.cornerX, c.cornerY)) << "the same corner again";

        // The release, reported as a move without the button where it came
        // up, ends the drag there.
        EXPECT_TRUE(m.move(0, c.cornerX, c.cornerY));
        EXPECT_FALSE(m.overlay().rectangle);
        EXPECT_EQ(m.depth(), 1u);
        expectRange(m.shown(), c.want, 1e-6);
    }
}

TEST(PlotZoom, DragEndedNearItsAnchorOrCancelledDoesNotZoom) {
    {
        SCOPED_TRACE("back to the anchor");
        Mouse m;
        m.press(1, 300, 100);
        m.move(kHeld, 340, 140);
        m.move(kHeld, 301, 101);
        m.move(0, 301, 101);
        EXPECT_EQ(m.depth(), 0u);
        expectRange(m.shown(), kSpectrumDb);
    }
    {
        SCOPED_TRACE("right press during the drag");
        Mouse m;
        m.press(1, 300, 200);  // one level from an earlier click
        m.move(0, 300, 200);
        m.press(1, 300, 100);
        m.move(kHeld, 400, 200);
        ASSERT_EQ(m.depth(), 1u);
        const ViewRange before = m.shown();
        EXPECT_TRUE(m.press(2, 400, 200));
        EXPECT_FALSE(m.overlay().rectangle);
        EXPECT_EQ(m.depth(), 1u) << "only the drag is cancelled";
        m.move(0, 400, 200);
        expectRange(m.shown(), before);
    }
    {
        SCOPED_TRACE("a new press after a release never seen");
        Mouse m;
        m.press(1, 300, 100);
        m.move(kHeld, 400, 200);
        m.press(1, 600, 300);
        EXPECT_FALSE(m.overlay().rectangle);
        m.move(0, 600, 300);
        EXPECT_EQ(m.depth(), 1u) << "the new click's zoom, no rectangle's";
        EXPECT_NEAR(m.shown().xMax - m.shown().xMin, 12500.0, 1e-6);
    }
}

// The program reports a release outside the plot as the pointer leaving it
// without the button.
TEST(PlotZoom, ReleaseOutsideThePlotZoomsNothingThenOrLater) {
    {
        SCOPED_TRACE("a drag let go outside");
        Mouse m;
        m.click(300, 200);  // one level from an earlier click
        const ViewRange before = m.shown();
        m.press(1, 300, 100);
        m.move(kHeld, 400, 200);
        EXPECT_FALSE(m.leave(kHeld)) << "held outside: the rectangle stays";
        EXPECT_TRUE(m.overlay().rectangle);
        EXPECT_TRUE(m.leave(0));
        EXPECT_FALSE(m.overlay().rectangle);
        EXPECT_FALSE(m.overlay().cursor);
        // Back much later, after clicks elsewhere.
        m.move(0, 500, 300);
        m.move(0, 520, 310);
        EXPECT_EQ(m.depth(), 1u);
        expectRange(m.shown(), before);
    }
    {
        SCOPED_TRACE("a click let go outside");
        Mouse m;
        m.press(1, 51, 200);
        m.leave(0);
        m.move(0, 60, 200);
        EXPECT_EQ(m.depth(), 0u);
    }
    {
        SCOPED_TRACE("out and back in with the button held, let go inside");
        Mouse m;
        m.press(1, 300, 100);
        m.move(kHeld, 400, 200);
        m.leave(kHeld);
        m.move(kHeld, 500, 300);
        EXPECT_TRUE(m.move(0, 500, 300));
        EXPECT_EQ(m.depth(), 1u);
        EXPECT_NEAR(m.shown().xMin, m.zoom().full().xMin + 25000.0 * 250 / 900, 1e-6);
    }
}

TEST(PlotZoom, MovesReportOnlyWhatChanges) {
    const struct {
        const char* name;
        int32_t x, y;
        bool changed, cursor;
    } steps[] = {
        {"onto the interior", 300, 200, true, true},
        {"the same pixel", 300, 200, false, true},
        {"one column on", 301, 200, true, true},
        {"one row on", 301, 201, true, true},
        {"off the interior, over the scale numbers", 10, 10, true, false},
        {"further off", 12, 10, false, false},
        {"the column left of the interior", 49, 200, false, false},
        {"the interior's first pixel", 50, 20, true, true},
        {"the column right of the interior", 950, 20, true, false},
        {"the interior's last pixel", 949, 420, true, true},
        {"the row below the interior", 949, 421, true, false},
        {"back on the interior", 500, 200, true, true},
        {"out of the plot", -1, -1, true, false},
        {"still out", -1, -1, false, false},
    };
    Mouse m;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.x < 0 ? m.leave(0) : m.move(0, s.x, s.y), s.changed);
        EXPECT_EQ(m.overlay().cursor, s.cursor);
        if (s.cursor) {
            EXPECT_EQ(m.overlay().x, s.x);
            EXPECT_EQ(m.overlay().y, s.y);
        }
    }
}

TEST(PlotZoom, NothingHappensBeforeAFrameIsLaidOut) {
    MouseZoom m;
    const PixelRect none{0, 0, 0, 0};
    EXPECT_FALSE(m.move(none, 0, 5, 5));
    EXPECT_FALSE(m.button(none, 1, 5, 5, MouseZoom::kPress));
    EXPECT_FALSE(m.overlay().cursor);
    EXPECT_EQ(m.zoom().depth(), 0u);
}

// x min/max, units and view kind tell whether the axes still mean the same.
TEST(PlotZoom, LevelsSurviveFramesOfTheSameAxesOnly) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        ViewRange range;
        int32_t points;
        const char *xUnit, *yUnit;
        int32_t kind;
        bool kept;
    } cases[] = {
        {"the same frame", kSpectrumDb, kSpectrumPoints, "Hz", "dB  ", 10, true},
        {"the data pair follows the strongest bin",
         {0, 25000, -200, 0, -183, 17},
         kSpectrumPoints,
         "Hz",
         "dB  ",
         10,
         true},
        {"a new window length, same x range", kSpectrumDb, 1 << 19, "Hz", "dB  ", 10, true},
        {"another rate", {0, 50000, -200, 0, -190, 10}, kSpectrumPoints, "Hz", "dB  ", 10, false},
        {"another y unit (volt spectrum)", kSpectrumDb, kSpectrumPoints, "Hz", "Rms  ", 10, false},
        {"the oscilloscope", kScope, 1024, "Sec", "V  ", 0, false},
        {"another view kind", kSpectrumDb, kSpectrumPoints, "Hz", "dB  ", 0, false},
        {"x without a range", {0, 0, -200, 0, -190, 10}, kSpectrumPoints, "Hz", "dB  ", 10, false},
        {"x not finite", {0, inf, -200, 0, -190, 10}, kSpectrumPoints, "Hz", "dB  ", 10, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mouse m;
        const Span x{1000.0, 2000.0}, scale{-120.0, -60.0};
        ASSERT_TRUE(m.zoom().zoomTo(&x, &scale));
        EXPECT_EQ(m.zoom().setFrame(c.range, c.xUnit, c.yUnit, c.kind, c.points), !c.kept);
        EXPECT_EQ(m.depth(), c.kept ? 1u : 0u);
        if (c.kept) {
            const ViewRange s = m.shown();
            EXPECT_NEAR(s.xMin, 1000.0, 1e-9);
            EXPECT_NEAR(s.scaleBottom, -120.0, 1e-9) << "the scale shows the same values";
            EXPECT_NEAR(s.dataBottom - s.scaleBottom, c.range.dataBottom - c.range.scaleBottom, 1e-9)
                << "the data follow the frame's mapping";
        }
    }
}

// The two dB views share x, units and view kind, and the scale pair: what
// tells them apart is the data pair of the frame drawn right after the
// program read its controls back, which shows the last frame's data.
TEST(PlotZoom, AReadOfTheControlsDropsLevelsWhenTheSameScaleMeansOtherData) {
    const ViewRange db0{0.0, 25000.0, -200.0, 0.0, -203.0, -3.0};  // u = -3 dB
    const struct {
        const char* name;
        ViewRange before, after;
        bool controlsRead, kept;
    } cases[] = {
        {"dB to dB0", kSpectrumDb, db0, true, false},
        {"dB0 to dB", db0, kSpectrumDb, true, false},
        {"the same view read again", db0, db0, true, true},
        {"the strongest bin moved, no read", db0, kSpectrumDb, false, true},
        {"a read that moves the scale (auto scale)", kSpectrumV, {0, 25000, 0, 5.0, 0, 4.0}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mouse m(c.before);
        m.click(500, 200);
        ASSERT_EQ(m.depth(), 1u);
        if (c.controlsRead) m.zoom().controlsRead();
        m.frame(c.after);
        EXPECT_EQ(m.depth(), c.kept ? 1u : 0u);
        // The check is for the one frame after the read.
        m.click(500, 200);
        m.frame(c.before);
        m.frame(c.after);
        EXPECT_GE(m.depth(), 1u);
    }
}

TEST(PlotZoom, AutoScaleMovesTheFullRangeButNotAZoomedScale) {
    // The oscilloscope with auto scale: scale and data equal, moving each tick.
    Mouse m;
    m.frame({0.0, 0.02048, -1.4, 3.4, -1.4, 3.4}, 1024, "Sec", "V  ", 0);
    const Span scale{0.0, 1.0};
    ASSERT_TRUE(m.zoom().zoomTo(nullptr, &scale));
    m.frame({0.0, 0.02048, -1.5, 3.6, -1.5, 3.6}, 1024, "Sec", "V  ", 0);
    expectRange(m.shown(), {0.0, 0.02048, 0.0, 1.0, 0.0, 1.0});
    // An axis not zoomed follows the frame.
    m.frame({0.0, 0.02048, -1.0, 3.0, -1.0, 3.0}, 1024, "Sec", "V  ", 0);
    m.press(2, 500, 200);
    expectRange(m.shown(), {0.0, 0.02048, -1.0, 3.0, -1.0, 3.0});
}

TEST(PlotZoom, FlatOrInfiniteRangesAreNotZoomed) {
    const double inf = std::numeric_limits<double>::infinity();
    {
        SCOPED_TRACE("flat auto scale: y stays, x zooms");
        Mouse m(ViewRange{0.0, 0.02048, 2.0, 2.0, 2.0, 2.0});
        m.press(1, 200, 100);
        m.move(kHeld, 400, 300);
        m.move(0, 400, 300);
        const ViewRange s = m.shown();
        EXPECT_EQ(s.scaleBottom, 2.0);
        EXPECT_EQ(s.scaleTop, 2.0);
        EXPECT_LT(s.xMax - s.xMin, 0.02048);
    }
    {
        SCOPED_TRACE("dB0 before any spectrum: data at minus infinity");
        Mouse m(ViewRange{0.0, 25000.0, -200.0, 0.0, -inf, -inf});
        m.press(1, 200, 100);
        m.move(kHeld, 201, 300);  // a vertical sweep
        m.move(0, 201, 300);
        EXPECT_EQ(m.depth(), 0u);
    }
    {
        SCOPED_TRACE("no points yet: x from 0 to 0");
        Mouse m(ViewRange{0.0, 0.0, -10.0, 10.0, -10.0, 10.0});
        m.click(200, 100);
        EXPECT_EQ(m.depth(), 0u);
    }
}

// ----------------------------------------------------- a zoomed curve

TEST(PlotZoom, AZoomedCurveShowsItsVisiblePointsOnly) {
    // 1000 .. 1100 Hz of 2^21 points over 0 .. 25000 Hz: positions 83886.08
    // to 92274.688; the points from 83887 on sit in the interior, 92275
    // would sit at its right edge.
    Mouse m;
    const Span x{1000.0, 1100.0};
    ASSERT_TRUE(m.zoom().zoomTo(&x, nullptr));
    const pellume::PointWindow w = pellume::pointWindow(kSpectrumDb, m.shown(), kSpectrumPoints);
    EXPECT_NEAR(w.first, 83886.08, 1e-6);
    EXPECT_NEAR(w.length, 8388.608, 1e-6);
    const pellume::IndexRange visible = pellume::visiblePoints(kSpectrumPoints, w, 900);
    EXPECT_EQ(visible.begin, 83887);
    EXPECT_EQ(visible.end, 92275);

    const pellume::PointWindow whole = pellume::pointWindow(kSpectrumDb, kSpectrumDb, 1000);
    EXPECT_EQ(whole.first, 0.0);
    EXPECT_EQ(whole.length, 1000.0);
}

// Clicking on and on ends with single bins across the plot, never fewer
// than Zoom::kFewestPoints point intervals.
TEST(PlotZoom, ClicksZoomDownToSingleBinsAndStop) {
    Mouse m;
    int zoomed = 0;
    for (int i = 0; i < 40; ++i) {
        if (m.click(500, 200)) ++zoomed;
    }
    EXPECT_LT(zoomed, 40) << "the zoom stops";
    EXPECT_EQ(m.depth(), static_cast<size_t>(zoomed));
    const pellume::PointWindow w = pellume::pointWindow(kSpectrumDb, m.shown(), kSpectrumPoints);
    EXPECT_NEAR(w.length, pellume::Zoom::kFewestPoints, 1e-6);
    const pellume::IndexRange visible = pellume::visiblePoints(kSpectrumPoints, w, 900);
    EXPECT_GE(visible.end - visible.begin, 4);
    EXPECT_LE(visible.end - visible.begin, 5);
    // Each visible bin has a column of its own, far apart.
    for (int64_t i = visible.begin + 1; i < visible.end; ++i)
        EXPECT_GE(pellume::windowColumn(i, w, 900) - pellume::windowColumn(i - 1, w, 900), 200);
}

}  // namespace
