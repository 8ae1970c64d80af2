#include "ui/balloon_geometry.h"

#include <algorithm>
#include <iterator>

namespace balloon {

namespace {

// The default speech balloon, y upwards, the tail at (0, 0).
constexpr Point kDefaultShape[] = {
    {0, 0},   {1, 6},   {2, 12},  {3, 16},  {4, 19},  {5, 21},  {7, 25},  {11, 28}, {14, 29},
    {22, 30}, {31, 30}, {34, 29}, {36, 28}, {38, 25}, {39, 23}, {40, 20}, {40, 18}, {39, 15},
    {38, 13}, {36, 11}, {34, 9},  {30, 7},  {24, 6},  {13, 6},  {6, 5},   {2, 3},   {0, 0},
};
constexpr ShapeBox kDefaultTextBox = {9, 26, 34, 9};

// A shape needs more than a triangle.
constexpr size_t kMinShapePoints = 4;

constexpr int32_t kHoverTicksPerPreDelay = 10;
constexpr int32_t kMinHoverPeriodMs = 10;
constexpr int32_t kWordsPerPostDelay = 10;

// 16.16 fixed point: the scale factor is pixels per shape unit × 65536.
constexpr int kFixedShift = 16;
constexpr int64_t kFixedOne = int64_t{1} << kFixedShift;

int64_t fixedScale(int32_t pixels, int32_t units) { return int64_t{pixels} * kFixedOne / units; }

int32_t scaled(int64_t scale, int32_t value) { return static_cast<int32_t>((scale * value) >> kFixedShift); }

bool isWord(char c) { return c != ' '; }

}  // namespace

int32_t hoverPeriodMs(int32_t preDelayMs) {
    if (preDelayMs <= 0) return 0;
    return std::max(preDelayMs / kHoverTicksPerPreDelay, kMinHoverPeriodMs);
}

int32_t displayTimeMs(int32_t wordCount, int32_t postDelayMs) {
    const int32_t postDelay = std::clamp(postDelayMs, kMinPostDelayMs, kMaxPostDelayMs);
    const int64_t periods = std::max(wordCount / kWordsPerPostDelay, 1);
    // A text long enough to overflow stays as long as a timer can wait.
    return static_cast<int32_t>(std::min<int64_t>(periods * postDelay, INT32_MAX));
}

std::vector<WordSpan> findWords(std::string_view text) {
    std::vector<WordSpan> words;
    size_t i = 0;
    while (i < text.size()) {
        if (!isWord(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && isWord(text[i])) ++i;
        const size_t length = i - start;
        words.push_back({start, length, std::min(length + 1, text.size() - start)});
    }
    return words;
}

int32_t wrappingWidth(int32_t widestWord, int32_t zerosWidth, size_t wordCount) {
    const int32_t width = widestWord + zerosWidth;
    return wordCount < 3 ? width : 2 * width;
}

BalloonShape::BalloonShape() { adopt(kDefaultShape, std::size(kDefaultShape), kDefaultTextBox); }

BalloonShape::BalloonShape(const Point* points, size_t count, const ShapeBox* textBox) {
    const bool usable = points != nullptr && count >= kMinShapePoints && textBox != nullptr &&
                        textBox->right > textBox->left && textBox->top > textBox->bottom;
    if (usable) adopt(points, count, *textBox);
    if (!usable || width_ <= 0 || height_ <= 0) adopt(kDefaultShape, std::size(kDefaultShape), kDefaultTextBox);
}

void BalloonShape::adopt(const Point* points, size_t count, const ShapeBox& textBox) {
    points_.assign(points, points + count);
    textBox_ = textBox;
    int32_t largestX = points[0].x;
    int32_t largestY = points[0].y;
    for (const Point& p : points_) {
        largestX = std::max(largestX, p.x);
        largestY = std::max(largestY, p.y);
    }
    width_ = largestX + 2;
    height_ = largestY + 1;
}

Size measuredSize(const BalloonShape& shape, int32_t textRight, int32_t textBottom) {
    const ShapeBox& box = shape.textBox();
    const int64_t width = int64_t{shape.width()} * textRight / (box.right - box.left);
    const int64_t height = int64_t{shape.height()} * textBottom / (box.top - box.bottom);
    return {static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

Placement placeBalloon(int32_t x, int32_t y, Size balloonSize, Size screen) {
    Placement place{0, 0, 0};
    if (x < 0) {
        place.left = 0;
    } else if (x > screen.width - balloonSize.width - 1) {
        place.mirror |= kTailRight;
        place.left = x - balloonSize.width;
    } else {
        place.left = x;
    }

    place.top = y - balloonSize.height;
    if (place.top < 0) {
        place.mirror |= kBelowPoint;
        place.top = y;
    } else {
        place.top = std::min(place.top, screen.height - balloonSize.height - 1);
    }
    return place;
}

Outline scaleOutline(const BalloonShape& shape, int32_t width, int32_t height, uint32_t mirror) {
    const int64_t sx = fixedScale(width, shape.width());
    const int64_t sy = fixedScale(height, shape.height());
    const ShapeBox& box = shape.textBox();
    const bool tailRight = (mirror & kTailRight) != 0;
    const bool below = (mirror & kBelowPoint) != 0;

    Outline outline;
    Rect& text = outline.textRect;
    if (tailRight) {
        text.left = width - scaled(sx, box.right) - 1;
        text.right = width - scaled(sx, box.left) - 1;
    } else {
        text.left = scaled(sx, box.left) + 1;
        text.right = scaled(sx, box.right) + 1;
    }
    if (below) {
        text.top = scaled(sy, box.bottom) - 1;
        text.bottom = scaled(sy, box.top) - 1;
    } else {
        text.top = height - scaled(sy, box.top) + 1;
        text.bottom = height - scaled(sy, box.bottom) + 1;
    }

    outline.points.reserve(shape.points().size());
    for (const Point& p : shape.points()) {
        int32_t x = scaled(sx, p.x) + 1;
        if (tailRight) x = width - x;
        int32_t y = height - scaled(sy, p.y) + 1;
        if (below) y = height - y;
        outline.points.push_back({x, y});
    }
    return outline;
}

FadeStep fadeStep(int32_t& alpha, bool canFade) {
    FadeStep step{false, alpha, false, false};
    if (canFade) {
        step.apply = true;
        step.appliedAlpha = alpha;
        step.restartTimer = alpha == kFadeStartAlpha;
        alpha = std::max(alpha - kFadeAlphaStep, 0);
    }
    step.destroy = alpha == 0;
    return step;
}

int32_t firstTile(int32_t start, int32_t origin, int32_t size) {
    int64_t offset = (int64_t{start} - origin) % size;
    if (offset < 0) offset += size;
    return static_cast<int32_t>(start - offset);
}

}  // namespace balloon
