// The balloon help's arithmetic: hover period, display time, words,
// measurement, placement beside the pointer, the outline in 16.16 fixed
// point, the fade and the tiling grid.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/balloon_geometry.h"

namespace {

using balloon::BalloonShape;
using balloon::Point;
using balloon::ShapeBox;
using balloon::Size;

TEST(BalloonTimes, HoverPeriod) {
    struct Case {
        int32_t preDelay;
        int32_t want;
    };
    const Case cases[] = {
        {-100, 0},  // help off: no timer
        {0, 0},    {1, 10}, {50, 10}, {99, 10}, {109, 10}, {110, 11}, {2000, 200}, {10000, 1000}, {60000, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("pre delay " + std::to_string(c.preDelay));
        EXPECT_EQ(balloon::hoverPeriodMs(c.preDelay), c.want);
    }
}

TEST(BalloonTimes, DisplayTimeGrowsWithTheWordsAndClampsThePostDelay) {
    struct Case {
        const char* name;
        int32_t words;
        int32_t postDelay;
        int32_t want;
    };
    const Case cases[] = {
        {"no words still one period", 0, 5000, 5000},
        {"9 words", 9, 5000, 5000},
        {"19 words", 19, 5000, 5000},
        {"20 words", 20, 5000, 10000},
        {"25 words", 25, 5000, 10000},
        {"post delay below 500", 12, 100, 500},
        {"post delay 500", 12, 500, 500},
        {"post delay above 60000", 12, 100000, 60000},
        {"negative post delay", 12, -5, 500},
        {"35 words at the longest post delay", 35, 60000, 180000},
        {"absurdly long text saturates", INT32_MAX, 60000, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(balloon::displayTimeMs(c.words, c.postDelay), c.want);
    }
}

TEST(BalloonText, WordsAreRunsBetweenSpaces) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<balloon::WordSpan> want;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"spaces only", "   ", {}},
        {"one word: no character after it", "ab", {{0, 2, 2}}},
        {"two words", "ab cd", {{0, 2, 3}, {3, 2, 2}}},
        {"runs of spaces", "  ab   c ", {{2, 2, 3}, {7, 1, 2}}},
        {"only the space separates", "a\tb,c\nd", {{0, 7, 7}}},
        {"code page 1251 letters", "\xD1\xE1\xEE\xF0 \xE4\xE0\xED\xED\xFB\xF5", {{0, 4, 5}, {5, 6, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = balloon::findWords(c.text);
        ASSERT_EQ(got.size(), c.want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE("word " + std::to_string(i));
            EXPECT_EQ(got[i].start, c.want[i].start);
            EXPECT_EQ(got[i].length, c.want[i].length);
            EXPECT_EQ(got[i].measuredLength, c.want[i].measuredLength);
        }
    }
}

TEST(BalloonText, TwentyFiveWordsStayTwoPostDelays) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += "word ";
    const auto words = balloon::findWords(text);
    EXPECT_EQ(balloon::displayTimeMs(static_cast<int32_t>(words.size()), 5000), 10000);
}

TEST(BalloonText, WrappingWidthDoublesFromThreeWords) {
    struct Case {
        size_t words;
        int32_t want;
    };
    const Case cases[] = {{1, 70}, {2, 70}, {3, 140}, {12, 140}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.words) + " words");
        EXPECT_EQ(balloon::wrappingWidth(50, 20, c.words), c.want);
    }
}

// A 10 × 10 square with a text box of 6 × 6 units: 12 units wide, 11 high.
const Point kSquare[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
const ShapeBox kSquareBox = {2, 8, 8, 2};

TEST(BalloonShapeTest, DefaultShape) {
    const BalloonShape shape;
    EXPECT_EQ(shape.width(), 42);
    EXPECT_EQ(shape.height(), 31);
    ASSERT_EQ(shape.points().size(), 27u);
    EXPECT_EQ(shape.points().front().x, 0);
    EXPECT_EQ(shape.points().front().y, 0);
    EXPECT_EQ(shape.points().back().x, 0) << "the outline closes at the tail";
    EXPECT_EQ(shape.points().back().y, 0);
    EXPECT_EQ(shape.textBox().left, 9);
    EXPECT_EQ(shape.textBox().right, 34);
    EXPECT_EQ(shape.textBox().top, 26);
    EXPECT_EQ(shape.textBox().bottom, 9);
}

TEST(BalloonShapeTest, AnOwnShapeIsUsedOnlyWhenItIsUsable) {
    const Point triangle[] = {{0, 0}, {10, 0}, {5, 10}};
    const Point negative[] = {{-9, -9}, {-5, -9}, {-5, -5}, {-9, -5}};
    const ShapeBox flat = {2, 2, 8, 2};
    const ShapeBox narrow = {8, 8, 8, 2};
    struct Case {
        const char* name;
        const Point* points;
        size_t count;
        const ShapeBox* box;
        int32_t wantWidth;
        int32_t wantHeight;
    };
    const Case cases[] = {
        {"square with a box", kSquare, 4, &kSquareBox, 12, 11},
        {"no points", nullptr, 4, &kSquareBox, 42, 31},
        {"three points", triangle, 3, &kSquareBox, 42, 31},
        {"no text box", kSquare, 4, nullptr, 42, 31},
        {"text box without height", kSquare, 4, &flat, 42, 31},
        {"text box without width", kSquare, 4, &narrow, 42, 31},
        {"no positive extent", negative, 4, &kSquareBox, 42, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BalloonShape shape(c.points, c.count, c.box);
        EXPECT_EQ(shape.width(), c.wantWidth);
        EXPECT_EQ(shape.height(), c.wantHeight);
        EXPECT_EQ(shape.points().size(), c.wantWidth == 42 ? 27u : c.count);
    }
}

TEST(BalloonMeasure, TheTextBoxIsScaledUpToTheWholeShape) {
    const BalloonShape standard;
    const BalloonShape square(kSquare, 4, &kSquareBox);
    struct Case {
        const char* name;
        const BalloonShape& shape;
        int32_t right, bottom;
        Size want;
    };
    const Case cases[] = {
        {"exactly the text box", standard, 25, 17, {42, 31}},
        {"twice the text box", standard, 50, 34, {84, 62}},
        {"rounded down", standard, 100, 13, {168, 23}},  // 4200 / 25, 403 / 17 = 23.7
        {"one pixel", standard, 1, 1, {1, 1}},           // 42 / 25, 31 / 17
        {"nothing", standard, 0, 0, {0, 0}},
        {"wide text does not overflow", standard, 60000000, 17, {100800000, 31}},
        {"own shape", square, 6, 12, {12, 22}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Size got = balloon::measuredSize(c.shape, c.right, c.bottom);
        EXPECT_EQ(got.width, c.want.width);
        EXPECT_EQ(got.height, c.want.height);
    }
}

TEST(BalloonPlacement, OpensAboveRightAndMirrorsAtTheEdges) {
    const Size screen = {1600, 1200};
    const Size size = {100, 50};
    struct Case {
        const char* name;
        int32_t x, y;
        int32_t wantLeft, wantTop;
        uint32_t wantMirror;
    };
    const Case cases[] = {
        {"middle: tail at the bottom left", 500, 500, 500, 450, 0},
        {"left of the screen", -10, 500, 0, 450, 0},
        {"last x with room on the right", 1499, 500, 1499, 450, 0},
        {"right edge: opens to the left", 1500, 500, 1400, 450, balloon::kTailRight},
        {"right of the screen", 1700, 500, 1600, 450, balloon::kTailRight},
        {"just room above", 500, 50, 500, 0, 0},
        {"top edge: opens below", 500, 49, 500, 49, balloon::kBelowPoint},
        {"above the screen", 500, -30, 500, -30, balloon::kBelowPoint},
        {"below the screen: pulled up", 500, 1250, 500, 1149, 0},
        {"top right corner", 1590, 10, 1490, 10, balloon::kTailRight | balloon::kBelowPoint},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const balloon::Placement got = balloon::placeBalloon(c.x, c.y, size, screen);
        EXPECT_EQ(got.left, c.wantLeft);
        EXPECT_EQ(got.top, c.wantTop);
        EXPECT_EQ(got.mirror, c.wantMirror);
    }
}

// At the shape's own size every scale factor is 1.0 (65536): each point maps
// to x + 1 and height − y + 1, or mirrored.
TEST(BalloonOutline, AtTheShapesOwnSizeEveryPointMapsOneToOne) {
    const BalloonShape shape;
    const int32_t w = shape.width();
    const int32_t h = shape.height();
    struct Case {
        const char* name;
        uint32_t mirror;
    };
    const Case cases[] = {
        {"no mirror", 0},
        {"tail right", balloon::kTailRight},
        {"below", balloon::kBelowPoint},
        {"both", balloon::kTailRight | balloon::kBelowPoint},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const balloon::Outline outline = balloon::scaleOutline(shape, w, h, c.mirror);
        ASSERT_EQ(outline.points.size(), shape.points().size());
        for (size_t i = 0; i < outline.points.size(); ++i) {
            SCOPED_TRACE("point " + std::to_string(i));
            const Point& p = shape.points()[i];
            const int32_t wantX = (c.mirror & balloon::kTailRight) ? w - (p.x + 1) : p.x + 1;
            const int32_t wantY = (c.mirror & balloon::kBelowPoint) ? p.y - 1 : h - p.y + 1;
            EXPECT_EQ(outline.points[i].x, wantX);
            EXPECT_EQ(outline.points[i].y, wantY);
        }
    }
    // Without mirroring the tail is at the bottom left, the crown at the top.
    const balloon::Outline plain = balloon::scaleOutline(shape, w, h, 0);
    EXPECT_EQ(plain.points[0].x, 1);
    EXPECT_EQ(plain.points[0].y, h + 1);
    EXPECT_EQ(plain.points[10].y, 2) << "(31, 30) is the top";
}

TEST(BalloonOutline, TextRectangle) {
    const BalloonShape shape;
    struct Case {
        const char* name;
        int32_t width, height;
        uint32_t mirror;
        balloon::Rect want;
    };
    const Case cases[] = {
        // Scale 1: box x 9..34 → 10..35; y 26..9 (upwards) → 31 − 26 + 1 .. 31 − 9 + 1.
        {"own size", 42, 31, 0, {10, 6, 35, 23}},
        {"own size, tail right", 42, 31, balloon::kTailRight, {42 - 34 - 1, 6, 42 - 9 - 1, 23}},
        {"own size, below", 42, 31, balloon::kBelowPoint, {10, 8, 35, 25}},
        // Scale 2: box x 18..68, y 52..18.
        {"doubled", 84, 62, 0, {19, 11, 69, 45}},
        {"doubled, tail right", 84, 62, balloon::kTailRight, {15, 11, 65, 45}},
        {"doubled, below", 84, 62, balloon::kBelowPoint, {19, 17, 69, 51}},
        {"doubled, both", 84, 62, balloon::kTailRight | balloon::kBelowPoint, {15, 17, 65, 51}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const balloon::Rect got = balloon::scaleOutline(shape, c.width, c.height, c.mirror).textRect;
        EXPECT_EQ(got.left, c.want.left);
        EXPECT_EQ(got.top, c.want.top);
        EXPECT_EQ(got.right, c.want.right);
        EXPECT_EQ(got.bottom, c.want.bottom);
    }
}

// 100 / 42 pixels per unit is 156038 / 65536 in 16.16, a little less than the
// exact ratio: 21 units give 49 pixels where exact arithmetic gives 50.
TEST(BalloonOutline, ScalesInSixteenDotSixteenFixedPoint) {
    const Point shapePoints[] = {{0, 0}, {21, 0}, {40, 15}, {21, 30}};
    const ShapeBox box = {9, 26, 34, 9};
    const BalloonShape shape(shapePoints, 4, &box);
    ASSERT_EQ(shape.width(), 42);
    ASSERT_EQ(shape.height(), 31);
    const balloon::Outline outline = balloon::scaleOutline(shape, 100, 62, 0);
    struct Case {
        size_t index;
        Point want;
    };
    // y: 62 / 31 is exactly 2.0, so y maps to 62 − 2y + 1.
    const Case cases[] = {{0, {1, 63}}, {1, {50, 63}}, {2, {96, 33}}, {3, {50, 3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("point " + std::to_string(c.index));
        EXPECT_EQ(outline.points[c.index].x, c.want.x);
        EXPECT_EQ(outline.points[c.index].y, c.want.y);
    }
    // A window far wider than 32767 pixels does not overflow the factor.
    const balloon::Outline wide = balloon::scaleOutline(shape, 4200000, 31, 0);
    EXPECT_EQ(wide.points[2].x, 4000000 + 1);
}

TEST(BalloonFade, FromTwoHundredToNothingInFortySteps) {
    int32_t alpha = balloon::kFadeStartAlpha;
    std::vector<int32_t> applied;
    int restarts = 0;
    bool destroyed = false;
    for (int step = 0; step < 100 && !destroyed; ++step) {
        const balloon::FadeStep got = balloon::fadeStep(alpha, true);
        EXPECT_TRUE(got.apply);
        applied.push_back(got.appliedAlpha);
        if (got.restartTimer) {
            ++restarts;
            EXPECT_EQ(step, 0) << "only the first step switches to the fade period";
        }
        destroyed = got.destroy;
    }
    ASSERT_TRUE(destroyed);
    ASSERT_EQ(applied.size(), 40u);
    for (size_t i = 0; i < applied.size(); ++i) {
        EXPECT_EQ(applied[i], 200 - 5 * static_cast<int32_t>(i)) << "step " << i;
    }
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(alpha, 0);
}

TEST(BalloonFade, Steps) {
    struct Case {
        const char* name;
        int32_t alpha;
        bool canFade;
        bool wantApply;
        bool wantRestart;
        bool wantDestroy;
        int32_t wantAlpha;
    };
    const Case cases[] = {
        {"without a fade function the first step ends it", 0, false, false, false, true, 0},
        {"a partly faded balloon fades on", 100, true, true, false, false, 95},
        {"never below 0", 3, true, true, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t alpha = c.alpha;
        const balloon::FadeStep got = balloon::fadeStep(alpha, c.canFade);
        EXPECT_EQ(got.apply, c.wantApply);
        EXPECT_EQ(got.restartTimer, c.wantRestart);
        EXPECT_EQ(got.destroy, c.wantDestroy);
        EXPECT_EQ(alpha, c.wantAlpha);
        if (got.apply) {
            EXPECT_EQ(got.appliedAlpha, c.alpha);
        }
    }
}

TEST(BalloonTiling, FirstTileLiesOnTheOriginsGridAtOrBeforeTheStart) {
    struct Case {
        int32_t start, origin, size, want;
    };
    const Case cases[] = {
        {0, 0, 64, 0},     {10, 0, 64, 0}, {64, 0, 64, 64}, {100, 0, 64, 64},
        {-10, 0, 64, -64}, {10, 5, 64, 5}, {3, 5, 64, -59}, {7, 0, 1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " origin " + std::to_string(c.origin));
        EXPECT_EQ(balloon::firstTile(c.start, c.origin, c.size), c.want);
    }
}

}  // namespace
