// The main dialog's help table and the counting of hover ticks.
#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/text_cp1251.h"
#include "ui/help_table.h"

namespace {

TEST(MainDialogHelp, TwelveRowsInOrderThenTheEndRow) {
    struct Row {
        int32_t id;
        const char* utf8;
    };
    const Row want[] = {
        {1002, "Запустить или остановить сбор и отображение данных,команда доступна с помощью клавиши F2."},
        {1004, "Начать или завершить запись в файл, команда доступна с помощью клавиши F4."},
        {1003, "Выбрать файл для записи."},
        {1008, "Количество записанных данных."},
        {1007, "Свободное место на диске."},
        {1009, "Размер отображаемых данных на канал."},
        {1010, "Тип отображения. Осциллограф или спектр."},
        {1011, "Количество усреднений для вычисления FFT."},
        {1012, "Тип оконной функции используемой для взвешивания данных."},
        {1005, "Окно отображающее данные, поступающие с АЦП."},
        {1013, "Автоматическое масштабирование по осям."},
        {1014, "Минимальное и максимальное значение амплитуды сигнала, Спектральные характеристики сигнала. "},
    };
    const HelpEntry* table = mainDialogHelp();
    ASSERT_NE(table, nullptr);
    size_t i = 0;
    for (; i < std::size(want); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_NE(table[i].text, nullptr) << "the table ends early";
        EXPECT_EQ(table[i].controlId, want[i].id);
        EXPECT_EQ(std::string(table[i].text), utf8ToCp1251(want[i].utf8));
        EXPECT_NE(table[i].controlId, 1006) << "the top plot has no help";
    }
    EXPECT_EQ(table[i].text, nullptr) << "the end row follows the twelfth";
    EXPECT_EQ(mainDialogHelp(), table) << "one table for the whole run";
}

TEST(MainDialogHelp, TextsAreCodePage1251Bytes) {
    // "Выбрать файл для записи." as code page 1251 bytes.
    EXPECT_EQ(std::string(mainDialogHelp()[2].text),
              "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xF4\xE0\xE9\xEB \xE4\xEB\xFF \xE7\xE0\xEF\xE8\xF1\xE8.");
}

// A tick: the control under the pointer, 0 for none (away); busy: a combo
// box with its list dropped down.
struct Tick {
    int32_t id;
    bool busy;
};

std::vector<Tick> ticks(int32_t id, int count, bool busy = false) {
    return std::vector<Tick>(static_cast<size_t>(count), Tick{id, busy});
}

std::vector<Tick> join(std::initializer_list<std::vector<Tick>> parts) {
    std::vector<Tick> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One character per tick: 'h' hide, 's' show, '.' nothing.
std::string run(const std::vector<Tick>& sequence) {
    HoverTracker tracker;
    std::string actions;
    for (const Tick& t : sequence) {
        if (t.id == 0) {
            tracker.pointerAway();
            actions += '.';
            continue;
        }
        switch (tracker.pointerOver(t.id, t.busy)) {
        case HoverTracker::Action::None:
            actions += '.';
            break;
        case HoverTracker::Action::HideBalloon:
            actions += 'h';
            break;
        case HoverTracker::Action::ShowBalloon:
            actions += 's';
            break;
        }
    }
    return actions;
}

TEST(HoverTracker, OpensOnTheEleventhTickAfterTheFirstOncePerStay) {
    constexpr int32_t A = 1002, B = 1004, Combo = 1010;
    struct Case {
        const char* name;
        std::vector<Tick> sequence;
        std::string want;
    };
    // "h" and ten idle ticks, then the balloon.
    const std::string settle = "h" + std::string(10, '.');
    const Case cases[] = {
        {"eleventh tick after the first", ticks(A, 13), settle + "s."},
        {"once per stay", ticks(A, 30), settle + "s" + std::string(18, '.')},
        {"another control starts again", join({ticks(A, 7), ticks(B, 12)}), "h......" + settle + "s"},
        {"away and back starts again", join({ticks(A, 5), ticks(0, 1), ticks(A, 12)}), "h....." + settle + "s"},
        {"away after the balloon: back opens it again", join({ticks(A, 13), ticks(0, 2), ticks(A, 12)}),
         settle + "s." + ".." + settle + "s"},
        {"busy before the showing tick does not matter",
         join({ticks(Combo, 1), ticks(Combo, 10, true), ticks(Combo, 1)}), settle + "s"},
        {"busy at the showing tick: none for the stay",
         join({ticks(Combo, 11), ticks(Combo, 1, true), ticks(Combo, 20)}), settle + "." + std::string(20, '.')},
        {"busy, then away and back", join({ticks(Combo, 11), ticks(Combo, 1, true), ticks(0, 1), ticks(Combo, 12)}),
         settle + "." + "." + settle + "s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.sequence), c.want);
    }
}

TEST(HoverTracker, AwayKeepsTheCount) {
    HoverTracker tracker;
    for (int i = 0; i < 4; ++i) tracker.pointerOver(1002, false);
    tracker.pointerAway();
    EXPECT_EQ(tracker.currentId(), 0);
    EXPECT_EQ(tracker.count(), 3) << "the count is reset by the next control, not by leaving";
}

}  // namespace
