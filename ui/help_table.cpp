#include "ui/help_table.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/text_cp1251.h"
#include "resources/resource.h"

namespace {

struct SourceRow {
    int32_t controlId;
    const char* utf8;
};

// In the order the pointer is tested against the controls.
const SourceRow kMainDialogRows[] = {
    {IDC_START_STOP, "Запустить или остановить сбор и отображение данных,команда доступна с помощью клавиши F2."},
    {IDC_RECORD, "Начать или завершить запись в файл, команда доступна с помощью клавиши F4."},
    {IDC_CHOOSE_FILE, "Выбрать файл для записи."},
    {IDC_RECORDED, "Количество записанных данных."},
    {IDC_DISK_FREE, "Свободное место на диске."},
    {IDC_SIZE_LIST, "Размер отображаемых данных на канал."},
    {IDC_VIEW_MODE, "Тип отображения. Осциллограф или спектр."},
    {IDC_AVERAGING, "Количество усреднений для вычисления FFT."},
    {IDC_FFT_WINDOW, "Тип оконной функции используемой для взвешивания данных."},
    {IDC_MAIN_PLOT, "Окно отображающее данные, поступающие с АЦП."},
    {IDC_AUTO_SCALE, "Автоматическое масштабирование по осям."},
    {IDC_INFO, "Минимальное и максимальное значение амплитуды сигнала, Спектральные характеристики сигнала. "},
};
constexpr size_t kMainDialogRowCount = std::size(kMainDialogRows);

// The rows with their texts converted once to code page 1251, and the end row.
struct MainDialogTable {
    MainDialogTable() {
        for (size_t i = 0; i < kMainDialogRowCount; ++i) {
            texts[i] = utf8ToCp1251(kMainDialogRows[i].utf8);
            rows[i] = {kMainDialogRows[i].controlId, texts[i].c_str()};
        }
        rows[kMainDialogRowCount] = {0, nullptr};
    }
    std::string texts[kMainDialogRowCount];
    HelpEntry rows[kMainDialogRowCount + 1];
};

}  // namespace

const HelpEntry* mainDialogHelp() {
    static const MainDialogTable table;
    return table.rows;
}

HoverTracker::Action HoverTracker::pointerOver(int32_t controlId, bool busy) {
    if (controlId != currentId_) {
        currentId_ = controlId;
        count_ = 0;
        return Action::HideBalloon;
    }
    const bool show = count_ == kShowAtCount && !busy;
    count_ = std::min(count_ + 1, kMaxCount);
    return show ? Action::ShowBalloon : Action::None;
}
