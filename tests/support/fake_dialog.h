#pragma once
// A main dialog for tests of the portable parts: it keeps the state of every
// control that the parts touch and logs the calls that have an effect
// outside the dialog (timer, message boxes, window destruction, drawing), so
// that a test can check their order.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/dialog_services.h"

class FakeDialog : public DialogServices {
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

    bool isChecked(int32_t control) override { return checked[control]; }
    void setChecked(int32_t control, bool value) override { checked[control] = value; }
    void enableControl(int32_t control, bool value) override { enabled[control] = value; }

    void clearCombo(int32_t control) override { combos[control] = Combo{}; }
    void addComboText(int32_t control, const char* text) override { combos[control].items.push_back(text); }
    void selectComboItem(int32_t control, int32_t index) override {
        Combo& c = combos[control];
        c.selection = index >= 0 && index < static_cast<int32_t>(c.items.size()) ? index : -1;
    }
    int32_t comboSelection(int32_t control) override { return combos[control].selection; }

    int32_t beginListUpdate(int32_t control) override {
        ListBox& l = lists[control];
        l.redrawing = false;
        l.lines.clear();
        log.push_back("list begin");
        return l.top;
    }
    void addListLine(int32_t control, const char* text) override { lists[control].lines.push_back(text); }
    void endListUpdate(int32_t control, int32_t topIndex) override {
        ListBox& l = lists[control];
        // The list scrolls no further than its content allows.
        const int32_t last = static_cast<int32_t>(l.lines.size()) - 1;
        l.top = topIndex > last ? (last < 0 ? 0 : last) : topIndex;
        l.redrawing = true;
        ++l.rebuilds;
        log.push_back("list end");
    }

    void* beginPlotPaint(int32_t control, PlotRect* client) override {
        if (!plotsDrawable) return nullptr;
        *client = plotClient;
        ++openContexts;
        log.push_back("paint " + std::to_string(control));
        return &contextToken;
    }
    void endPlotPaint(int32_t control, void* dc) override {
        if (dc == &contextToken) --openContexts;
        log.push_back("release " + std::to_string(control));
    }
    bool pointerPosition(int32_t control, PlotPoint* point, PlotRect* client) override {
        *point = pointer;
        *client = plotClient;
        return true;
    }
    void drawStatusText(int32_t control, const char* text, uint32_t colour) override {
        statusTexts[control] = text;
    }

    void invalidate() override {
        ++invalidations;
        log.push_back("invalidate");
    }
    void destroyWindow() override {
        destroyed = true;
        log.push_back("destroy");
    }
    void showError(const char* text) override {
        errors.push_back(text);
        log.push_back("message");
        // A message box's own loop dispatches whatever messages are queued.
        if (duringMessage) duringMessage();
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

    std::map<int32_t, bool> checked;
    std::map<int32_t, bool> enabled;
    std::map<int32_t, Combo> combos;
    std::map<int32_t, ListBox> lists;
    std::map<int32_t, std::string> statusTexts;
    std::vector<std::string> errors;    // code page 1251 texts, in order
    std::vector<std::string> log;
    std::function<void()> duringMessage;
    bool plotsDrawable = true;
    PlotPoint pointer{-5, -5};      // in the plots' client coordinates
    PlotRect plotClient{0, 0, 900, 400};
    int openContexts = 0;
    int invalidations = 0;
    bool destroyed = false;
    bool timerArmed = false;
    uint32_t timerPeriod = 0;
    uint32_t tick = 1000;

private:
    int contextToken = 0;
};
