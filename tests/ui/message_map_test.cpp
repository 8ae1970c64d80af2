// Message-map lookup: row matching, argument kinds, inert rows, the current
// message, and handlers of classes whose window part is not at offset 0.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "ui/window_win.h"

namespace {

constexpr UINT kAnyIdMessage = WM_USER + 1;

class MapWindow : public Window {
public:
    struct Call {
        std::string handler;
        WPARAM wParam;
        LPARAM lParam;
        uint32_t currentMessage;  // as the handler saw it
    };

    const MessageMapEntry* GetMessageMap() override { return messageMap; }

    int32_t onAnyId() { return record("onAnyId", 0, 0, 10); }
    int32_t onCommand1001(WPARAM wParam) { return record("onCommand1001", wParam, 0, 11); }
    int32_t onCommandRange(WPARAM wParam, LPARAM lParam) { return record("onCommandRange", wParam, lParam, 12); }
    int32_t onInert(WPARAM wParam, LPARAM lParam) { return record("onInert", wParam, lParam, 13); }
    int32_t onTimer(LPARAM lParam) { return record("onTimer", 0, lParam, 14); }
    int32_t onAnyCommand(WPARAM wParam, LPARAM lParam) { return record("onAnyCommand", wParam, lParam, 15); }
    int32_t onNotHandled() { return record("onNotHandled", 0, 0, kNotHandled); }

    std::vector<Call> calls;
    static const MessageMapEntry messageMap[];

private:
    int32_t record(const char* name, WPARAM wParam, LPARAM lParam, int32_t result) {
        calls.push_back({name, wParam, lParam, currentMessage});
        return result;
    }
};

// Rows in the order that makes each rule visible: specific ids before the
// catch-all, an inert row in front of a live one for the same message.
const MessageMapEntry MapWindow::messageMap[] = {
    //  message          first id  last id             handler
    {kAnyIdMessage, 0, 0, handler(&MapWindow::onAnyId)},
    {WM_COMMAND, 1001, 0, handler(&MapWindow::onCommand1001)},
    {WM_COMMAND, 1000, 1010, handler(&MapWindow::onCommandRange)},
    {WM_TIMER, 7, 0, kInertRow, handler(&MapWindow::onInert)},
    {WM_TIMER, 0, 0, handler(&MapWindow::onTimer)},
    {WM_COMMAND, 0, 0, handler(&MapWindow::onAnyCommand)},
    {WM_CLOSE, 0, 0, handler(&MapWindow::onNotHandled)},
    {0, 0, 0, nullptr},
    // Never reached: the row above ends the table.
    {WM_SIZE, 0, 0, handler(&MapWindow::onAnyId)},
};

TEST(MessageMap, RowsMatchInTableOrder) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* wantHandler;  // nullptr: no handler runs
        WPARAM wantWParam;        // as the handler received it (0 when not passed)
        LPARAM wantLParam;
        int32_t wantResult;
    };
    const Case cases[] = {
        {"first id 0 matches any wParam", kAnyIdMessage, 0x12345678, 99, "onAnyId", 0, 0, 10},
        {"exact id, whole wParam delivered", WM_COMMAND, MAKEWPARAM(1001, 1), 5, "onCommand1001", MAKEWPARAM(1001, 1),
         0, 11},
        {"exact id row does not take 1002", WM_COMMAND, 1002, 6, "onCommandRange", 1002, 6, 12},
        {"range lower bound", WM_COMMAND, 1000, 0, "onCommandRange", 1000, 0, 12},
        {"range 1000..1010 takes 1005", WM_COMMAND, MAKEWPARAM(1005, CBN_CLOSEUP), 77, "onCommandRange",
         MAKEWPARAM(1005, CBN_CLOSEUP), 77, 12},
        {"range upper bound", WM_COMMAND, 1010, 0, "onCommandRange", 1010, 0, 12},
        {"below the range falls to the catch-all", WM_COMMAND, 999, 1, "onAnyCommand", 999, 1, 15},
        {"above the range falls to the catch-all", WM_COMMAND, 1011, 2, "onAnyCommand", 1011, 2, 15},
        {"id compared on the low 16 bits only", WM_COMMAND, MAKEWPARAM(0, 1001), 3, "onAnyCommand", MAKEWPARAM(0, 1001),
         3, 15},
        {"inert row skipped, search goes on", WM_TIMER, 7, 123, "onTimer", 0, 123, 14},
        {"lParam kind gets lParam only", WM_TIMER, 8, -5, "onTimer", 0, -5, 14},
        {"handler result -1 returned as is", WM_CLOSE, 0, 0, "onNotHandled", 0, 0, kNotHandled},
        {"no row for the message", WM_SIZE, 0, 0, nullptr, 0, 0, kNotHandled},
        {"message 0 does not match the end row", 0, 0, 0, nullptr, 0, 0, kNotHandled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapWindow window;
        const int32_t result = window.Dispatch(c.message, c.wParam, c.lParam);
        EXPECT_EQ(result, c.wantResult) << "got " << result << ", want " << c.wantResult;
        if (c.wantHandler == nullptr) {
            EXPECT_TRUE(window.calls.empty()) << "got a call to " << window.calls.front().handler;
            continue;
        }
        ASSERT_EQ(window.calls.size(), 1u);
        const MapWindow::Call& call = window.calls.front();
        EXPECT_EQ(call.handler, c.wantHandler);
        EXPECT_EQ(call.wParam, c.wantWParam) << "got " << call.wParam << ", want " << c.wantWParam;
        EXPECT_EQ(call.lParam, c.wantLParam) << "got " << call.lParam << ", want " << c.wantLParam;
        EXPECT_EQ(call.currentMessage, c.message) << "the handler sees the message being handled";
    }
}

TEST(MessageMap, CurrentMessageIsClearedAtEachDispatch) {
    MapWindow window;
    window.Dispatch(WM_COMMAND, 1005, 0);
    EXPECT_EQ(window.currentMessage, static_cast<uint32_t>(WM_COMMAND));
    window.Dispatch(WM_SIZE, 0, 0);
    EXPECT_EQ(window.currentMessage, 0u) << "got " << window.currentMessage << " after an unmapped message";
    // An inert row that matched still names the message.
    struct InertOnly : Window {
        int32_t never() { return 1; }
        const MessageMapEntry* GetMessageMap() override {
            static const MessageMapEntry map[] = {
                {WM_TIMER, 0, 0, kInertRow, handler(&InertOnly::never)},
                {0, 0, 0, nullptr},
            };
            return map;
        }
    } inert;
    EXPECT_EQ(inert.Dispatch(WM_TIMER, 1, 0), kNotHandled);
    EXPECT_EQ(inert.currentMessage, static_cast<uint32_t>(WM_TIMER));
}

TEST(MessageMap, WindowWithoutMapHandlesNothing) {
    Window window;
    window.currentMessage = 1234;
    EXPECT_EQ(window.Dispatch(WM_COMMAND, 1002, 0), kNotHandled);
    EXPECT_EQ(window.currentMessage, 0u);
}

// The handler's class holds another base in front of its window part, as the
// balloon window does: the call must reach the whole object.
struct Payload {
    virtual ~Payload() = default;
    int32_t value = 40;
};

class MixedWindow : public Payload, public PopupWindow {
public:
    int32_t readPayload(WPARAM wParam) { return value + static_cast<int32_t>(wParam); }
    const MessageMapEntry* GetMessageMap() override { return messageMap; }
    static const MessageMapEntry messageMap[];
};

const MessageMapEntry MixedWindow::messageMap[] = {
    {WM_USER, 0, 0, handler(&MixedWindow::readPayload)},
    {0, 0, 0, nullptr},
};

TEST(MessageMap, HandlerOfClassWithWindowPartNotFirst) {
    MixedWindow mixed;
    Window& window = mixed;
    ASSERT_NE(static_cast<void*>(&window), static_cast<void*>(&mixed)) << "the window part must not be first";
    const int32_t result = window.Dispatch(WM_USER, 2, 0);
    EXPECT_EQ(result, 42) << "got " << result << ", want 42";
}

// A row takes its argument kind from its handler's signature; no row can be
// written with a kind of its own, other than the inert one.
static_assert(!std::is_constructible_v<MessageMapEntry, uint32_t, uint32_t, uint32_t, int32_t, MessageHandler>,
              "a row's argument kind comes from its handler");

TEST(MessageMap, RowKindFollowsTheHandlersSignature) {
    const struct {
        const char* name;
        MessageMapEntry row;
        int32_t want;
    } cases[] = {
        {"no arguments", {WM_USER, 0, 0, handler(&MapWindow::onAnyId)}, Args::None},
        {"wParam", {WM_USER, 0, 0, handler(&MapWindow::onCommand1001)}, Args::WParam},
        {"lParam", {WM_USER, 0, 0, handler(&MapWindow::onTimer)}, Args::LParam},
        {"both", {WM_USER, 0, 0, handler(&MapWindow::onAnyCommand)}, Args::Both},
        {"inert", {WM_USER, 0, 0, kInertRow, handler(&MapWindow::onTimer)}, MessageMapEntry::kInertKind},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.row.argKind, c.want);
    }
}

}  // namespace
