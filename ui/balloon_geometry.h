#pragma once
// The balloon help's arithmetic, without <windows.h>: the hover timer's
// period, how long a balloon stays, the words of its text, its size from the
// measured text, where it opens beside the pointer, its outline scaled to the
// window and its fade. ui/balloon_win.cpp measures, creates and paints with
// these. Units: pixels (y down) for windows and the screen, milliseconds for
// times; shape units (y up) for the outline.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace balloon {

struct Point {
    int32_t x;
    int32_t y;
};

// Window rectangle: right and bottom exclusive, y growing downwards.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Where the text goes inside a shape, in shape units with y growing upwards:
// top is the upper edge, so top > bottom.
struct ShapeBox {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct Size {
    int32_t width;
    int32_t height;
};

// ---- Times ---------------------------------------------------------------

// Period of the hover timer in ms: a tenth of the pre delay, at least 10 ms.
// 0 for a pre delay of 0 or less: balloon help is off, no timer runs.
int32_t hoverPeriodMs(int32_t preDelayMs);

inline constexpr int32_t kMinPostDelayMs = 500;
inline constexpr int32_t kMaxPostDelayMs = 60000;

// Display time before the fade in ms: the post delay (taken within
// 500..60000) once for every whole ten words, at least once.
int32_t displayTimeMs(int32_t wordCount, int32_t postDelayMs);

// ---- Words ---------------------------------------------------------------

// A word is a maximal run of characters other than the space (only the space
// separates words). measuredLength is the word with the one character that
// follows it, as far as the text goes: the text's last word has none.
struct WordSpan {
    size_t start;
    size_t length;
    size_t measuredLength;
};
std::vector<WordSpan> findWords(std::string_view text);

// Width the text is wrapped at: the widest measured word plus the width of
// "000"; twice that for 3 words or more.
int32_t wrappingWidth(int32_t widestWord, int32_t zerosWidth, size_t wordCount);

// ---- Shape ---------------------------------------------------------------

// A balloon outline in shape units: x to the right, y upwards, the tail at
// (0, 0), and the box its text goes in.
class BalloonShape {
public:
    // The default speech balloon: 27 points, text box x 9..34 and y 9..26,
    // so 42 units wide and 31 high.
    BalloonShape();
    // A shape of its own. It is used when it has more than 3 points, a text
    // box of positive width and height and a positive extent; otherwise the
    // default shape is used.
    BalloonShape(const Point* points, size_t count, const ShapeBox* textBox);

    const std::vector<Point>& points() const { return points_; }
    const ShapeBox& textBox() const { return textBox_; }
    int32_t width() const { return width_; }    // largest x + 2
    int32_t height() const { return height_; }  // largest y + 1

private:
    void adopt(const Point* points, size_t count, const ShapeBox& textBox);

    std::vector<Point> points_;
    ShapeBox textBox_{};
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// The balloon's size (without the extra pixel Show adds) from the text's
// computed rectangle, which starts at (0, 0) and ends at textRight,
// textBottom: the text box's share of the shape scaled up to the whole
// shape. The default shape gives 42 × right / 25 and 31 × bottom / 17.
Size measuredSize(const BalloonShape& shape, int32_t textRight, int32_t textBottom);

// ---- Placement -----------------------------------------------------------

// Mirror flags of a balloon.
inline constexpr uint32_t kTailRight = 1;   // the balloon opens left of the point
inline constexpr uint32_t kBelowPoint = 2;  // the balloon opens below the point

struct Placement {
    int32_t left;
    int32_t top;
    uint32_t mirror;
};

// Where a balloon of `balloonSize` opens for the point (x, y) on a screen of
// `screen`: normally above and right of the point with the tail at the
// bottom left; left of the point near the right edge, below it near the top
// edge.
Placement placeBalloon(int32_t x, int32_t y, Size balloonSize, Size screen);

// ---- Outline -------------------------------------------------------------

struct Outline {
    std::vector<Point> points;  // the shape in window pixels
    Rect textRect;              // where the text is drawn, in window pixels
};

// The shape scaled to a window of width × height pixels in 16.16 fixed
// point, mirrored by the flags. Without mirror flags the tail lies at the
// bottom left.
Outline scaleOutline(const BalloonShape& shape, int32_t width, int32_t height, uint32_t mirror);

// ---- Fade ----------------------------------------------------------------

inline constexpr int32_t kFadeStartAlpha = 200;  // opacity of 255 while shown
inline constexpr int32_t kFadeAlphaStep = 5;
inline constexpr int32_t kFadePeriodMs = 40;

struct FadeStep {
    bool apply;  // set the window's opacity to appliedAlpha
    int32_t appliedAlpha;
    bool restartTimer;  // the first step: the timer goes on at kFadePeriodMs
    bool destroy;       // the fade is over: kill the timer, destroy the window
};

// One step of the fade (the display timer or a click). `alpha` is the
// balloon's current opacity and is updated; without a fade function (canFade
// false) alpha stays as it is and the first step ends the balloon when it is 0.
FadeStep fadeStep(int32_t& alpha, bool canFade);

// ---- Tiling --------------------------------------------------------------

// First tile position on one axis: the largest origin + k × size that is not
// beyond start, so tiles laid from there cover start onwards on the grid the
// origin sets. size must be positive.
int32_t firstTile(int32_t start, int32_t origin, int32_t size);

}  // namespace balloon
