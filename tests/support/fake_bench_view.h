#pragma once
// A main dialog for tests of the portable parts: it keeps the state of every
// control that the bench controller touches and logs the calls that have an
// effect outside the dialog (timer, message boxes, closing, drawing, the
// results list), so that a test can check their order.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/bench_view.h"

class FakeBenchView : public BenchView {
public:
    struct Combo {
        std::vector<std::string> items;
        int32_t selection = -1;
    };
    struct ListBox {
        std::vector<std::string> lines;
        int32_t top = 0;
        bool redrawing = true;
        int rebuilds = 0;
    };

    bool isDown(BenchControl button) override { return checked[button]; }
    void showDown(BenchControl button, bool down) override { checked[button] = down; }
    void enable(BenchControl control, bool value) override { enabled[control] = value; }

    void fillList(BenchControl list, const std::vector<std::string>& texts, int32_t selection) override {
        Combo& c = combos[list];
        c.items = texts;
        c.selection = selection >= 0 && selection < static_cast<int32_t>(c.items.size()) ? selection : -1;
    }
    BenchChoices readChoices() override {
        BenchChoices choices;
        choices.size = combos[BenchControl::Size].selection;
        choices.view = combos[BenchControl::ViewMode].selection;
        choices.averaging = combos[BenchControl::Averaging].selection;
        choices.window = combos[BenchControl::Window].selection;
        choices.autoScale = checked[BenchControl::AutoScale];
        return choices;
    }

    void showResults(const ResultsLines& lines) override {
        log.push_back("list begin");
        results.lines.assign(lines.line, lines.line + lines.count);
        // The list scrolls no further than its content allows.
        const int32_t last = static_cast<int32_t>(results.lines.size()) - 1;
        results.top = results.top > last ? (last < 0 ? 0 : last) : results.top;
        ++results.rebuilds;
        log.push_back("list end");
    }
    void showDiskTexts(const DiskTexts& texts) override {
        diskFree = texts.freeText;
        diskSaved = texts.savedText;
    }

    void* beginPlotPaint(PlotId plot, PlotRect* client) override {
        if (!plotsDrawable) return nullptr;
        *client = plotClient;
        ++openContexts;
        log.push_back(std::string("paint ") + name(plot));
        return &contextToken;
    }
    void endPlotPaint(PlotId plot, void* dc) override {
        if (dc == &contextToken) --openContexts;
        log.push_back(std::string("release ") + name(plot));
    }
    bool pointerInMainPlot(PlotPoint* point, PlotRect* client) override {
        *point = pointer;
        *client = plotClient;
        return true;
    }

    void showError(const char* text) override {
        errors.push_back(text);
        log.push_back("message");
        // A message box's own loop dispatches whatever messages are queued.
        if (duringMessage) duringMessage();
    }
    bool chooseRecordFile(const char* current, std::string& chosen) override {
        offeredFile = current;
        log.push_back("choose file");
        if (!fileChoice) return false;
        chosen = *fileChoice;
        return true;
    }

    void redrawLater() override {
        ++invalidations;
        log.push_back("invalidate");
    }
    void close() override {
        destroyed = true;
        log.push_back("destroy");
    }

    void armTimer(uint32_t periodMs) override {
        timerArmed = true;
        timerPeriod = periodMs;
        log.push_back("arm " + std::to_string(periodMs));
    }
    void killTimer() override {
        timerArmed = false;
        log.push_back("kill");
    }
    uint32_t tickCount() override { return tick; }

    std::map<BenchControl, bool> checked;
    std::map<BenchControl, bool> enabled;
    std::map<BenchControl, Combo> combos;
    ListBox results;                  // the results list
    std::string diskFree, diskSaved;  // the disk texts
    std::vector<std::string> errors;  // code page 1251 texts, in order
    std::vector<std::string> log;
    std::function<void()> duringMessage;
    const std::string* fileChoice = nullptr;  // what the file choice confirms; null cancels
    std::string offeredFile;                  // what the file choice started from
    bool plotsDrawable = true;
    PlotPoint pointer{-5, -5};  // in the plots' client coordinates
    PlotRect plotClient{0, 0, 900, 400};
    int openContexts = 0;
    int invalidations = 0;
    bool destroyed = false;
    bool timerArmed = false;
    uint32_t timerPeriod = 0;
    uint32_t tick = 1000;

private:
    static const char* name(PlotId plot) { return plot == PlotId::Main ? "main" : "top"; }
    int contextToken = 0;
};
