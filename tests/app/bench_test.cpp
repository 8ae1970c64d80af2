// The main dialog's portable operations with a fake dialog and fake plot
// components: the lists filled and read back, the order of the plot calls,
// what each plot is given in each view, and the results list.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/bench_controller.h"
#include "tests/support/fake_bench_view.h"
#include "tests/support/fake_board.h"
#include "tests/support/fake_plot.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class BenchTest : public ::testing::Test {
protected:
    // The plots log into the dialog's log, so one log shows the order of
    // every call.
    BenchTest() : mainPlot("main", &dialog.log), topPlot("top", &dialog.log) {
        presetDefaults(app.settings, {0, 0});
        app.attachPlots(&mainPlot, &topPlot);
        app.bindView(&dialog);
    }
    ~BenchTest() override {
        app.bindView(nullptr);
        app.attachPlots(nullptr, nullptr);
    }

    // A run on a fake board of three channels at 10240 Hz each, 0 and 2
    // shown, in the window of 1024 samples; the calls so far forgotten.
    void startThreeChannels() {
        BoardParameters& b = device.board;
        b.channelCount = 3;
        b.acquisition.aggregateRate = 3 * 10240.0;
        for (uint32_t k = 0; k < 3; ++k) {
            b.gainWords[k] = 1;
            b.channelWords[k] = k;
            b.channels[k].shown = k == 1 ? 0 : 1;
            b.channels[k].colour = 0x102030u * (k + 1);
        }
        app.engine.attachBoard(&utility, &device, 10.0 / 32768.0);
        dialog.checked[BenchControl::Start] = true;
        app.startAcquisition(0);
        ASSERT_TRUE(app.engine.running());
        ASSERT_EQ(app.engine.windowLength(), 1024);
        dialog.log.clear();
    }

    // Three channels in use, 0 and 2 shown, each a bin-centred sine in its
    // window of 1024 samples, of which `filled` came since the start.
    void fillChannels(int32_t filled = 1024) {
        startThreeChannels();
        const std::vector<int16_t> zeros(size_t(filled) * 3, 0);
        app.engine.distributeBlock(zeros.data(), filled);
        ASSERT_EQ(app.engine.filledCount(), filled);
        for (int c = 0; c < 3; ++c) {
            ChannelRecord& channel = app.engine.measuredChannels()[c];
            ASSERT_EQ(channel.sampleCount, 1024);
            for (int i = 0; i < 1024; ++i) {
                channel.samples[i] = (c + 1) * std::sin(2 * kPi * (40 + 100 * c) * i / 1024.0);
            }
            updateBlockStatistics(channel, 1);
        }
    }

    void selectView(ViewMode view) {
        app.viewState.displayMode = view;
        app.viewState.fftWnd = 12;
        app.viewState.fftAvg = 0;
        app.analysis.fftWindow.computeWindow(12);
    }

    FakeBenchView dialog;
    FakePlot mainPlot;
    FakePlot topPlot;
    std::vector<std::string> boardLog;
    FakeUtility utility{boardLog};
    FakeDevice device{boardLog};
    BenchController app;
};

TEST(SizeText, ListSpellings) {
    const struct {
        int32_t value;
        const char* want;
    } cases[] = {{512, "512"},       {1000, "1000"},    {1024, "1.0K"},    {1536, "1.5K"},
                 {262144, "256.0K"}, {1048576, "1.0M"}, {2097152, "2.0M"}, {1 << 30, "1024.0M"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        char text[256];
        formatSizeText(text, c.value);
        EXPECT_STREQ(text, c.want);
    }
}

TEST_F(BenchTest, FillControlsGivesEveryListItsItemsAndSelections) {
    app.viewState = {2, ViewMode::SpectrumDb0, 1, 9, 12};
    app.fillControls();

    const std::vector<std::string> modes = {"  Oscilloscope", "  Spectre FFT V", "  Spectre FFT dB0",
                                            "  Spectre FFT dB"};
    EXPECT_EQ(dialog.combos[BenchControl::ViewMode].items, modes);
    EXPECT_EQ(dialog.combos[BenchControl::ViewMode].selection, 2);

    const std::vector<std::string> sizes = {"1.0K",  "2.0K",  "4.0K",   "8.0K",  "16.0K",
                                            "32.0K", "64.0K", "128.0K", "256.0K"};
    EXPECT_EQ(dialog.combos[BenchControl::Size].items, sizes);
    EXPECT_EQ(dialog.combos[BenchControl::Size].selection, 2);

    const std::vector<std::string>& averages = dialog.combos[BenchControl::Averaging].items;
    ASSERT_EQ(averages.size(), 40u);
    EXPECT_EQ(averages[0], "  1");
    EXPECT_EQ(averages[9], " 10");
    EXPECT_EQ(averages[39], " 40");
    EXPECT_EQ(dialog.combos[BenchControl::Averaging].selection, 9);

    const std::vector<std::string>& windows = dialog.combos[BenchControl::Window].items;
    ASSERT_EQ(windows.size(), 14u);
    EXPECT_EQ(windows[0], "Rectangle");
    EXPECT_EQ(windows[12], "Blackman-Harris 7term, 7bin");
    EXPECT_EQ(dialog.combos[BenchControl::Window].selection, 12);

    EXPECT_TRUE(dialog.checked[BenchControl::AutoScale]);
    // The dB views have no auto scale.
    EXPECT_FALSE(dialog.enabled[BenchControl::AutoScale]);
    // Read back, and the main plot told that it shows a spectrum.
    EXPECT_EQ(app.viewState.displayMode, ViewMode::SpectrumDb0);
    EXPECT_EQ(app.viewState.fftAvg, 9);
    EXPECT_EQ(mainPlot.viewKind, 10);
}

TEST_F(BenchTest, SelectionsOutsideTheListsAreLeftEmpty) {
    app.viewState = {20, ViewMode(7), 0, 45, -1};
    app.fillControls();
    // A view mode outside the list is clamped; the others stay unselected
    // and read back as -1.
    EXPECT_EQ(dialog.combos[BenchControl::ViewMode].selection, 3);
    EXPECT_EQ(app.viewState.displayMode, ViewMode::SpectrumDb);
    EXPECT_EQ(app.viewState.sizeIndex, -1);
    EXPECT_EQ(app.viewState.fftAvg, -1);
    EXPECT_EQ(app.viewState.fftWnd, -1);
    EXPECT_FALSE(dialog.checked[BenchControl::AutoScale]);
    EXPECT_EQ(app.viewState.autoScale, 0);
}

TEST_F(BenchTest, ReadControlsTakesSigned16BitSelections) {
    app.fillControls();
    dialog.combos[BenchControl::ViewMode].selection = 0;
    dialog.combos[BenchControl::Size].selection = 0xFFFF;        // a 16-bit -1
    dialog.combos[BenchControl::Averaging].selection = 0x10003;  // only the low 16 bits count
    dialog.checked[BenchControl::AutoScale] = true;
    app.readControls();
    EXPECT_EQ(app.viewState.displayMode, ViewMode::Scope);
    EXPECT_EQ(app.viewState.sizeIndex, -1);
    EXPECT_EQ(app.viewState.fftAvg, 3);
    EXPECT_EQ(app.viewState.autoScale, 1);
    EXPECT_EQ(mainPlot.viewKind, 0);
}

// Each list acts when its drop-down closes, and only then: the close-up
// reads the controls back and does what its list is for; a selection change
// or any other notification leaves everything as it was.
TEST_F(BenchTest, EachListActsOnItsOwnCloseUpOnly) {
    constexpr ListEvent kSelectionChanged = ListEvent::Other;
    constexpr ListEvent kCloseUp = ListEvent::ClosedUp;
    struct Case {
        const char* name;
        BenchControl control;
        ListEvent notification;
        int32_t wantWindowId;      // the window record's coefficients afterwards
        int32_t wantAverageCount;  // the next spectrum update's averaging
        bool wantAutoScaleEnabled;
        bool wantRead;  // the controls read back, the window repainted
    };
    const Case cases[] = {
        {"view mode close-up", BenchControl::ViewMode, kCloseUp, 0, 7, false, true},
        {"averaging close-up", BenchControl::Averaging, kCloseUp, 0, 1, true, true},
        {"window close-up", BenchControl::Window, kCloseUp, 5, 1, true, true},
        {"view mode selection change", BenchControl::ViewMode, kSelectionChanged, 0, 7, true, false},
        {"averaging selection change", BenchControl::Averaging, kSelectionChanged, 0, 7, true, false},
        {"window selection change", BenchControl::Window, kSelectionChanged, 0, 7, true, false},
        {"size list close-up", BenchControl::Size, kCloseUp, 0, 7, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.viewState = {0, ViewMode::Scope, 0, 0, 0};
        app.fillControls();
        app.analysis.fftWindow.computeWindow(0);
        // The user's new choices, not yet read: the dB view, 3 averages, window 5.
        dialog.combos[BenchControl::ViewMode].selection = 3;
        dialog.combos[BenchControl::Averaging].selection = 2;
        dialog.combos[BenchControl::Window].selection = 5;
        dialog.enabled[BenchControl::AutoScale] = true;
        app.analysis.spectrumAverageCount = 7;
        const int invalidations = dialog.invalidations;

        app.onListEvent(c.control, c.notification);

        EXPECT_EQ(app.analysis.fftWindow.windowId, c.wantWindowId);
        EXPECT_EQ(app.analysis.spectrumAverageCount, c.wantAverageCount);
        EXPECT_EQ(dialog.enabled[BenchControl::AutoScale], c.wantAutoScaleEnabled);
        EXPECT_EQ(app.viewState.displayMode, c.wantRead ? ViewMode::SpectrumDb : ViewMode::Scope);
        EXPECT_EQ(app.viewState.fftAvg, c.wantRead ? 2 : 0);
        EXPECT_EQ(app.viewState.fftWnd, c.wantRead ? 5 : 0);
        EXPECT_EQ(dialog.invalidations, invalidations + (c.wantRead ? 1 : 0));
    }
}

// Auto Scale reads the controls back (its own state among them) and redraws
// both plots at once, without a new analysis.
TEST_F(BenchTest, AutoScaleReadsTheControlsAndRedraws) {
    fillChannels();
    selectView(ViewMode::Scope);
    app.viewState.autoScale = 0;
    dialog.combos[BenchControl::ViewMode] = {{"a", "b", "c", "d"}, 0};
    dialog.checked[BenchControl::AutoScale] = true;

    app.onAutoScale();

    EXPECT_EQ(app.viewState.autoScale, 1);
    const std::vector<std::string> want = {"main property 14 0", "paint top"};
    ASSERT_GE(dialog.log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(dialog.log.begin(), dialog.log.begin() + 2), want);
    EXPECT_EQ(dialog.results.rebuilds, 0);
    // The scope's range now follows the signal: channel 0 peaks at 1 V and
    // channel 2 at 3 V, far inside the fixed +-10 V.
    EXPECT_LT(mainPlot.range.dataTop, 10.0f);

    dialog.checked[BenchControl::AutoScale] = false;
    app.onAutoScale();
    EXPECT_EQ(app.viewState.autoScale, 0);
    EXPECT_FLOAT_EQ(mainPlot.range.dataTop, 10.0f);
}

// Top plot, then main plot, then the results list, each device context
// given back; the top plot draws every channel in use, the main plot only
// the shown ones, with markers in the spectrum views.
TEST_F(BenchTest, RedrawWithAnalysisCallsThePlotsInOrder) {
    fillChannels();
    selectView(ViewMode::SpectrumDb);
    app.redrawPlots(true);

    const std::vector<std::string> want = {
        "paint top",
        "top property 3 'Sec'",
        "top begin 1024",
        "top curve 1024",
        "top curve 1024",
        "top curve 1024",
        "top end",
        "release top",
        "paint main",
        "main property 3 'Hz'",
        "main property 4 'dB  '",
        "main begin 512",
        "main curve 512",
        "main curve 512",
        "main end",
        "release main",
        "list begin",
        "list end",
    };
    EXPECT_EQ(dialog.log, want);
    EXPECT_EQ(dialog.openContexts, 0);
    EXPECT_EQ(dialog.results.rebuilds, 1);

    // The spectrum pass ran: the main plot got the shown channels' spectra
    // in their colours, with their markers; the hidden channel 1 is only in
    // the top plot.
    ASSERT_EQ(mainPlot.curves.size(), 2u);
    EXPECT_EQ(mainPlot.curves[0].colour, app.engine.channelColours()[0]);
    EXPECT_EQ(mainPlot.curves[1].colour, app.engine.channelColours()[2]);
    ASSERT_TRUE(mainPlot.curves[0].hasMarkers);
    EXPECT_EQ(mainPlot.curves[0].markers[1].bin, 40);
    EXPECT_EQ(mainPlot.curves[1].markers[1].bin, 240);
    EXPECT_NEAR(app.engine.measuredChannels()[2].freq, 240 * 10.0, 1e-3);
    // dB relative to the volt scale: a 3 V peak sits at 10 log10(4.5 / enbw / 100).
    const double enbw = app.analysis.fftWindow.enbw;
    EXPECT_NEAR(mainPlot.curves[1].values[240], 10 * std::log10(4.5 / enbw / 100.0), 1e-3);
    ASSERT_EQ(topPlot.curves.size(), 3u);
    EXPECT_FLOAT_EQ(topPlot.curves[1].values[256], static_cast<float>(app.engine.measuredChannels()[1].samples[256]));
}

TEST_F(BenchTest, OscilloscopeViewHandsOverNoMarkers) {
    fillChannels();
    selectView(ViewMode::SpectrumVolts);
    app.redrawPlots(true);  // markers computed
    selectView(ViewMode::Scope);
    app.redrawPlots(false);
    ASSERT_EQ(mainPlot.curves.size(), 2u);
    EXPECT_FALSE(mainPlot.curves[0].hasMarkers);
    EXPECT_EQ(mainPlot.pointsPerCurve, 1024);
    EXPECT_EQ(mainPlot.curves[0].values[100], static_cast<float>(app.engine.measuredChannels()[0].samples[100]));
}

// A plain repaint recomputes nothing and leaves the list alone; a view
// change without new data shows the last analysis in the new view.
TEST_F(BenchTest, RedrawWithoutAnalysisRecomputesNothing) {
    fillChannels();
    selectView(ViewMode::SpectrumVolts);
    app.redrawPlots(true);
    const double peak = app.engine.measuredChannels()[0].powerPeak;
    const std::vector<std::string> lines = dialog.results.lines;

    for (int i = 0; i < 1024; ++i) app.engine.measuredChannels()[0].samples[i] *= 2.0;
    selectView(ViewMode::SpectrumDb0);
    app.redrawPlots(false);
    EXPECT_EQ(app.engine.measuredChannels()[0].powerPeak, peak);
    EXPECT_EQ(dialog.results.rebuilds, 1);
    EXPECT_EQ(dialog.results.lines, lines);
    // dB0: the strongest bin of all channels at the top, 0 dB.
    const double top = 10 * std::log10(app.engine.measuredChannels()[2].powerPeak / 100.0);
    EXPECT_NEAR(mainPlot.range.dataTop, top, 1e-4);
}

// dB0's reference is the strongest bin of every channel in use, shown or
// not: a hidden channel stronger than the shown ones sets it.
TEST_F(BenchTest, Db0ReferenceIncludesAStrongerHiddenChannel) {
    fillChannels();
    for (int i = 0; i < 1024; ++i) app.engine.measuredChannels()[1].samples[i] *= 4.0;  // 8 V, hidden
    selectView(ViewMode::SpectrumDb0);
    app.redrawPlots(true);
    const double hidden = app.engine.measuredChannels()[1].powerPeak;
    const double shown = app.engine.measuredChannels()[2].powerPeak;
    ASSERT_GT(hidden, 2.0 * shown);
    const double u = 10 * std::log10(hidden / 100.0);
    EXPECT_NEAR(mainPlot.range.dataTop, u, 1e-4);
    EXPECT_NEAR(mainPlot.range.dataBottom, u - app.settings.fftScaleDb, 1e-3);
    EXPECT_EQ(mainPlot.curves.size(), 2u) << "the hidden channel is not drawn";
}

TEST_F(BenchTest, NoSpectrumPassBeforeTheWindowsAreFull) {
    fillChannels(1000);
    selectView(ViewMode::SpectrumVolts);
    app.engine.measuredChannels()[0].freq = -1.0;
    app.redrawPlots(true);
    EXPECT_EQ(app.engine.measuredChannels()[0].freq, -1.0);
    EXPECT_EQ(dialog.results.rebuilds, 1);  // the list is rebuilt all the same
}

// Only shown channels that hold a window are listed, and the user's scroll
// position survives the rebuild.
TEST_F(BenchTest, ResultsListKeepsTheScrollPosition) {
    fillChannels();
    selectView(ViewMode::Scope);
    dialog.results.top = 4;
    app.rebuildResultsList();
    EXPECT_EQ(dialog.results.lines.size(), 12u);  // channels 0 and 2, six lines each
    EXPECT_EQ(dialog.results.lines[6], "---- Channel \xB9 3, Gain =  1 --------");
    EXPECT_EQ(dialog.results.top, 4);
    EXPECT_TRUE(dialog.results.redrawing);

    app.engine.measuredChannels()[2].releaseBuffers();
    app.rebuildResultsList();
    EXPECT_EQ(dialog.results.lines.size(), 6u);
    EXPECT_EQ(dialog.results.top, 4);

    // No channel in use before the first start.
    BenchController fresh;
    fresh.bindView(&dialog);
    fresh.rebuildResultsList();
    fresh.bindView(nullptr);
    EXPECT_EQ(dialog.results.lines, std::vector<std::string>{""});
}

TEST_F(BenchTest, NoTopPlotAndNoDrawableControl) {
    fillChannels();
    selectView(ViewMode::SpectrumVolts);
    app.attachPlots(&mainPlot, nullptr);
    dialog.plotsDrawable = false;
    app.redrawPlots(true);
    // Nothing drawn, yet the analysis and the list follow the new data.
    const std::vector<std::string> want = {"list begin", "list end"};
    EXPECT_EQ(dialog.log, want);
    EXPECT_NEAR(app.engine.measuredChannels()[0].freq, 400.0, 1e-3);
    EXPECT_EQ(dialog.results.rebuilds, 1);
}

}  // namespace

// ---- The mouse over the main plot ---------------------------------------------

namespace {

TEST(PlotPointer, PackedPointAndEdges) {
    const PlotRect client{0, 0, 900, 400};
    const struct {
        const char* name;
        PlotPoint point;
        int32_t want;
    } cases[] = {
        {"first pixel", {0, 0}, 0},
        {"inside", {10, 3}, 10 | (3 << 16)},
        {"last pixel", {899, 399}, 899 | (399 << 16)},
        {"right edge", {900, 10}, -1},
        {"bottom edge", {10, 400}, -1},
        {"left of it", {-1, 10}, -1},
        {"above it", {10, -1}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(packPlotPoint(c.point, client), c.want);
    }
    // Both halves are signed 16-bit values: a plot wider or taller than
    // 32767 pixels has its far part outside.
    const PlotRect huge{0, 0, 70000, 70000};
    EXPECT_EQ(packPlotPoint({32767, 32767}, huge), 0x7FFF7FFF);
    EXPECT_EQ(packPlotPoint({32768, 5}, huge), -1);
    EXPECT_EQ(packPlotPoint({5, 32768}, huge), -1);
}

TEST(PlotPointer, PackedHalvesUnpackAsTheComponentReadsThem) {
    const struct {
        int32_t x, y, packed;
    } cases[] = {{0, 0, 0}, {899, 411, 0x019B0383}, {5, 700, 0x02BC0005}, {32767, 1, 0x00017FFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(packPlotXY(c.x, c.y), c.packed);
        const PlotPoint p = unpackPlotPoint(c.packed);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
    const PlotPoint outside = unpackPlotPoint(kPlotPointOutside);
    EXPECT_EQ(outside.x, -1);
    EXPECT_EQ(outside.y, -1);
}

TEST(PlotPointer, MovesRedrawAtOnceWhenIdleOrRightAfterATick) {
    const struct {
        const char* name;
        uint32_t now, last;
        bool want;
    } cases[] = {
        {"idle", 5000, 0, true},
        {"10 ms after the tick", 5010, 5000, true},
        {"11 ms after the tick", 5011, 5000, false},
        {"the tick count wrapped", 4, 0xFFFFFFFAu, true},
        {"wrapped, too late", 20, 0xFFFFFFFAu, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(redrawsMoveAt(c.now, c.last), c.want);
    }
}

TEST_F(BenchTest, ButtonsInsideThePlotGoToTheComponentThenRedraw) {
    dialog.pointer = {12, 7};
    app.onPlotButton(kPlotLeftButton, kPlotDoubleClick);
    ASSERT_GE(dialog.log.size(), 2u);
    EXPECT_EQ(dialog.log[0], "main button 1 12,7 3");
    EXPECT_EQ(dialog.log[1], "paint top");  // the redraw, top plot first
    EXPECT_EQ(dialog.results.rebuilds, 0);  // without analysis

    dialog.log.clear();
    dialog.pointer = {900, 7};
    app.onPlotButton(kPlotRightButton, kPlotPress);
    EXPECT_TRUE(dialog.log.empty());

    // Without a main plot component a click inside still redraws.
    app.attachPlots(nullptr, &topPlot);
    dialog.pointer = {0, 0};
    app.onPlotButton(kPlotLeftButton, kPlotPress);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"paint top", "top property 3 'Sec'", "top begin 1024", "top end",
                                                    "release top"}));
}

TEST_F(BenchTest, MovesRedrawOnlyWhatTheComponentReportsChanged) {
    dialog.pointer = {30, 40};
    mainPlot.moveResult = 0;
    app.onPlotMove(1);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"main move 1 30,40"});

    // Idle: at once.
    dialog.log.clear();
    mainPlot.moveResult = 1;
    app.onPlotMove(0);
    ASSERT_GE(dialog.log.size(), 2u);
    EXPECT_EQ(dialog.log[1], "paint top");

    // Running, 11 ms after the last tick's redraw: the next tick draws it.
    dialog.tick -= 11;
    startThreeChannels();
    dialog.tick += 11;
    ASSERT_EQ(app.lastUpdateTick(), dialog.tick - 11);
    app.onPlotMove(0);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"main move 0 30,40"});

    // Out of the plot: the component hears of it once, so that its cursor
    // can go; further moves outside, or without a component: nothing.
    dialog.log.clear();
    mainPlot.moveResult = 0;
    dialog.pointer = {-1, 40};
    app.onPlotMove(0);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"main move 0 outside"});
    dialog.log.clear();
    dialog.pointer = {900, 40};
    app.onPlotMove(0);
    app.onPlotLeave();
    app.attachPlots(nullptr, &topPlot);
    dialog.pointer = {30, 40};
    app.onPlotMove(0);
    EXPECT_TRUE(dialog.log.empty());
}

// The dialog holds the mouse from a left press in the plot to the release.
TEST_F(BenchTest, ReleasesReachTheComponentWhereverTheButtonComesUp) {
    const struct {
        const char* name;
        PlotPoint pointer;
        bool cancelled;
        const char* want;
    } cases[] = {
        {"inside", {40, 50}, false, "main move 0 40,50"},
        {"outside the plot", {950, 50}, false, "main move 0 outside"},
        {"far off, above", {40, -300}, false, "main move 0 outside"},
        {"the mouse taken away", {40, 50}, true, "main move 0 outside"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.pointer = {10, 10};
        EXPECT_TRUE(app.onPlotButton(kPlotLeftButton, kPlotPress));
        dialog.log.clear();
        dialog.pointer = c.pointer;
        app.onPlotButtonUp(0, c.cancelled);
        EXPECT_EQ(dialog.log, std::vector<std::string>{c.want});
    }
    dialog.pointer = {900, 10};
    EXPECT_FALSE(app.onPlotButton(kPlotLeftButton, kPlotPress)) << "a press outside takes no mouse";
}

// Leaving the dialog for another window or a control, without a move
// outside the plot in between.
TEST_F(BenchTest, LeavingTheDialogTellsTheComponentOnceAndRedrawsWhatChanged) {
    dialog.pointer = {30, 40};
    mainPlot.moveResult = 1;
    app.onPlotMove(0);
    dialog.log.clear();
    app.onPlotLeave();
    ASSERT_GE(dialog.log.size(), 2u);
    EXPECT_EQ(dialog.log[0], "main move 0 outside");
    EXPECT_EQ(dialog.log[1], "paint top");
    dialog.log.clear();
    app.onPlotLeave();
    EXPECT_TRUE(dialog.log.empty());
}

}  // namespace
