// The program's resources as linked into this test program: dialog 101 with its
// controls, accelerators 130, icons, the balloon bitmap and the configuration
// text. The dialog checks need a display.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/ui/test_support.h"
#include "ui/window_win.h"

namespace {

const unsigned char kConfigFileBytes[] = {
#include "config_bytes.inc"
};

// One control of a dialog template (DLGTEMPLATEEX item).
struct TemplateItem {
    int32_t id;
    std::wstring windowClass;  // a predefined class given by ordinal is named: "Button", ...
    std::wstring text;
    DWORD style;
    DWORD exStyle;
    int x, y, w, h;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    int w = 0, h = 0;
    std::wstring title;
    int pointSize = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

// Reads an extended dialog template as the dialog manager does.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* bytes) : at_(bytes) {}
    WORD word() { return take<WORD>(); }
    DWORD dword() { return take<DWORD>(); }
    short coordinate() { return take<short>(); }
    // A text, or an ordinal (0xFFFF then the number), or nothing (0x0000).
    std::wstring textOrOrdinal() {
        const WORD first = word();
        if (first == 0xFFFF) return ordinalName(word());
        std::wstring text;
        for (WORD c = first; c != 0; c = word()) text += static_cast<wchar_t>(c);
        return text;
    }
    void skip(size_t bytes) { at_ += bytes; }
    void alignToDword() {
        while (reinterpret_cast<uintptr_t>(at_) % 4 != 0) ++at_;
    }

private:
    template <class T>
    T take() {
        T value;
        std::memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    static std::wstring ordinalName(WORD ordinal) {
        switch (ordinal) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
        default:
            return L"#" + std::to_wstring(ordinal);
        }
    }
    const BYTE* at_;
};

bool readMainDialogTemplate(DialogTemplate& out) {
    const HRSRC found = FindResourceW(moduleInstance(), MAKEINTRESOURCEW(IDD_MAIN), MAKEINTRESOURCEW(5));
    if (found == nullptr) return false;
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(moduleInstance(), found)));
    if (bytes == nullptr) return false;
    TemplateReader reader(bytes);
    if (reader.word() != 1 || reader.word() != 0xFFFF) return false;  // version 1, extended
    reader.dword();                                                   // help id
    out.exStyle = reader.dword();
    out.style = reader.dword();
    const WORD count = reader.word();
    reader.coordinate();
    reader.coordinate();
    out.w = reader.coordinate();
    out.h = reader.coordinate();
    reader.textOrOrdinal();  // menu
    reader.textOrOrdinal();  // class
    out.title = reader.textOrOrdinal();
    if (out.style & (DS_SETFONT | DS_SHELLFONT)) {
        out.pointSize = reader.word();
        reader.word();   // weight
        reader.skip(2);  // italic, character set
        out.face = reader.textOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
        reader.alignToDword();
        TemplateItem item;
        reader.dword();  // help id
        item.exStyle = reader.dword();
        item.style = reader.dword();
        item.x = reader.coordinate();
        item.y = reader.coordinate();
        item.w = reader.coordinate();
        item.h = reader.coordinate();
        item.id = static_cast<int32_t>(reader.dword());
        item.windowClass = reader.textOrOrdinal();
        item.text = reader.textOrOrdinal();
        reader.skip(reader.word());  // creation data
        out.items.push_back(item);
    }
    return true;
}

TEST(ProgramResources, MainDialogTemplate) {
    DialogTemplate dialog;
    ASSERT_TRUE(readMainDialogTemplate(dialog)) << "dialog 101 as an extended template";
    EXPECT_EQ(dialog.style, static_cast<DWORD>(DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX))
        << "got 0x" << std::hex << dialog.style << ": no WS_VISIBLE, it is created hidden";
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.w, 752);
    EXPECT_EQ(dialog.h, 425);
    EXPECT_EQ(dialog.title, L"");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.face, L"MS Sans Serif");

    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    const TemplateItem want[] = {
        {IDC_START_STOP, L"Button", L"", kChild | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_ICON,
         WS_EX_CLIENTEDGE, 10, 390, 45, 30},
        {IDC_RECORD, L"Button", L"", kChild | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_ICON, WS_EX_CLIENTEDGE,
         55, 390, 45, 30},
        {IDC_CHOOSE_FILE, L"Button", L"", kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, WS_EX_CLIENTEDGE, 105, 390, 35,
         30},
        {IDC_AUTO_SCALE, L"Button", L"Auto Scale", kChild | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_MULTILINE,
         WS_EX_CLIENTEDGE, 145, 390, 35, 30},
        {IDC_SIZE_LIST, L"ComboBox", L"", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 15, 70, 50, 70},
        {IDC_VIEW_MODE, L"ComboBox", L"", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 65, 95, 110, 60},
        {IDC_AVERAGING, L"ComboBox", L"", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 15, 95, 50, 70},
        {IDC_FFT_WINDOW, L"ComboBox", L"", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_VSCROLL, 0, 65,
         70, 110, 70},
        {IDC_MAIN_PLOT, L"Static", L"", kChild | SS_BITMAP, WS_EX_DLGMODALFRAME, 190, 90, 555, 330},
        {IDC_TOP_PLOT, L"Static", L"", kChild | SS_BITMAP, WS_EX_DLGMODALFRAME, 190, 5, 555, 85},
        {IDC_DISK_FREE, L"Static", L"", kChild | SS_ETCHEDFRAME, 0, 15, 20, 160, 10},
        {IDC_RECORDED, L"Static", L"", kChild | SS_ETCHEDFRAME, 0, 15, 30, 160, 10},
        {IDC_INFO, L"ListBox", L"", kChild | WS_TABSTOP | LBS_NOSEL | LBS_NOINTEGRALHEIGHT | LBS_NOREDRAW | WS_VSCROLL,
         WS_EX_CLIENTEDGE, 10, 130, 170, 250},
        {IDC_STATIC, L"Button", L"Disk free space", kChild | BS_GROUPBOX, 0, 5, 5, 180, 40},
        {IDC_STATIC, L"Button", L"Settings", kChild | BS_GROUPBOX, 0, 5, 45, 180, 70},
        {IDC_STATIC, L"Button", L"Info", kChild | BS_GROUPBOX, 0, 5, 115, 180, 270},
        {IDC_STATIC, L"Static", L"Size", kChild | SS_CENTER, WS_EX_STATICEDGE, 15, 60, 50, 10},
        {IDC_STATIC, L"Static", L"View mode", kChild | SS_CENTER, WS_EX_STATICEDGE, 65, 85, 110, 10},
        {IDC_STATIC, L"Static", L"Avg", kChild | SS_CENTER, WS_EX_STATICEDGE, 15, 85, 50, 10},
        {IDC_STATIC, L"Static", L"FFT Window", kChild | SS_CENTER, WS_EX_STATICEDGE, 65, 60, 110, 10},
    };
    EXPECT_EQ(dialog.items.size(), std::size(want));
    for (const TemplateItem& w : want) {
        SCOPED_TRACE("control " + std::to_string(w.id) + " " + narrow(w.text));
        const TemplateItem* got = nullptr;
        for (const TemplateItem& item : dialog.items) {
            if (item.id == w.id && (w.id != IDC_STATIC || item.text == w.text)) got = &item;
        }
        ASSERT_NE(got, nullptr) << "missing";
        EXPECT_EQ(_wcsicmp(got->windowClass.c_str(), w.windowClass.c_str()), 0) << "got " << narrow(got->windowClass);
        EXPECT_EQ(got->text, w.text) << "got " << narrow(got->text);
        EXPECT_EQ(got->style, w.style) << "got 0x" << std::hex << got->style << ", want 0x" << w.style;
        EXPECT_EQ(got->exStyle, w.exStyle) << "got 0x" << std::hex << got->exStyle << ", want 0x" << w.exStyle;
        EXPECT_EQ(got->x, w.x);
        EXPECT_EQ(got->y, w.y);
        EXPECT_EQ(got->w, w.w);
        EXPECT_EQ(got->h, w.h);
    }
}

using MainDialogResource = CreatedDialogTest<DialogWindow>;

TEST_F(MainDialogResource, CreatedHiddenWithEveryControl) {
    const HWND hwnd = dialog.hwnd;
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "created hidden";
    EXPECT_EQ(windowText(hwnd), L"");
    RECT client;
    GetClientRect(hwnd, &client);
    RECT want = {0, 0, 752, 425};
    MapDialogRect(hwnd, &want);
    EXPECT_EQ(client.right, want.right) << "752 dialog units wide";
    EXPECT_EQ(client.bottom, want.bottom) << "425 dialog units high";

    struct Control {
        int id;
        const wchar_t* windowClass;
    };
    const Control controls[] = {
        {IDC_START_STOP, L"Button"},  {IDC_RECORD, L"Button"},       {IDC_CHOOSE_FILE, L"Button"},
        {IDC_AUTO_SCALE, L"Button"},  {IDC_SIZE_LIST, L"ComboBox"},  {IDC_VIEW_MODE, L"ComboBox"},
        {IDC_AVERAGING, L"ComboBox"}, {IDC_FFT_WINDOW, L"ComboBox"}, {IDC_MAIN_PLOT, L"Static"},
        {IDC_TOP_PLOT, L"Static"},    {IDC_DISK_FREE, L"Static"},    {IDC_RECORDED, L"Static"},
        {IDC_INFO, L"ListBox"},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        const HWND control = GetDlgItem(hwnd, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(_wcsicmp(className(control).c_str(), c.windowClass), 0)
            << "got " << narrow(className(control)) << ", want " << narrow(c.windowClass);
    }
    EXPECT_EQ(GetDlgItem(hwnd, IDM_REFRESH_CHANNELS), nullptr) << "1001 is a command, not a control";

    // The plots keep their size: a bitmap static without a bitmap does not shrink.
    RECT plot = screenRect(GetDlgItem(hwnd, IDC_MAIN_PLOT));
    RECT wantPlot = {0, 0, 555, 330};
    MapDialogRect(hwnd, &wantPlot);
    EXPECT_EQ(plot.right - plot.left, wantPlot.right);
    EXPECT_EQ(plot.bottom - plot.top, wantPlot.bottom);
}

TEST(ProgramResources, AcceleratorsAreF2AndF4) {
    const HACCEL table = LoadAcceleratorsW(moduleInstance(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    const int count = CopyAcceleratorTableW(table, entries, 8);
    ASSERT_EQ(count, 2);
    struct Want {
        WORD key;
        WORD command;
    };
    const Want want[] = {{VK_F2, IDC_START_STOP}, {VK_F4, IDC_RECORD}};
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_TRUE(entries[i].fVirt & FVIRTKEY);
        EXPECT_FALSE(entries[i].fVirt & (FSHIFT | FCONTROL | FALT)) << "a plain key";
        EXPECT_EQ(entries[i].key, want[i].key) << "got 0x" << std::hex << entries[i].key;
        EXPECT_EQ(entries[i].cmd, want[i].command) << "got " << entries[i].cmd;
    }
    DestroyAcceleratorTable(table);
}

TEST(ProgramResources, IconsLoadInBothSizes) {
    for (int id : {IDI_MAIN, IDI_START, IDI_RECORD, IDI_FILE}) {
        for (int size : {32, 16}) {
            SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
            const HICON icon = static_cast<HICON>(
                LoadImageW(moduleInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ASSERT_NE(icon, nullptr) << "error " << GetLastError();
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bitmap = {};
            GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size);
            if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
            if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

TEST(ProgramResources, BalloonBitmapIsAPackedDib) {
    const HRSRC found = FindResourceW(moduleInstance(), MAKEINTRESOURCEW(IDB_BALLOON), MAKEINTRESOURCEW(2));
    ASSERT_NE(found, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(moduleInstance(), found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biSize, sizeof(BITMAPINFOHEADER)) << "the header that the balloon's loader reads";
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_GT(header->biWidth, 0);
    EXPECT_GT(header->biHeight, 0);
    const DWORD rowBytes = ((static_cast<DWORD>(header->biWidth) * 3 + 3) / 4) * 4;
    EXPECT_GE(SizeofResource(moduleInstance(), found), sizeof(BITMAPINFOHEADER) + rowBytes * header->biHeight);

    const HBITMAP bitmap = LoadBitmapW(moduleInstance(), MAKEINTRESOURCEW(IDB_BALLOON));
    ASSERT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
}

TEST(ProgramResources, ConfigTextIsTheFileByteForByte) {
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_CONFIG), RT_QUORVEL_CONFIG);
    ASSERT_NE(found, nullptr) << "resource 120 of type CONFIG";
    const DWORD size = SizeofResource(nullptr, found);
    const void* bytes = LockResource(LoadResource(nullptr, found));
    ASSERT_NE(bytes, nullptr);
    ASSERT_EQ(size, sizeof(kConfigFileBytes)) << "got " << size << " bytes, want " << sizeof(kConfigFileBytes);
    EXPECT_EQ(std::memcmp(bytes, kConfigFileBytes, size), 0);
}

}  // namespace
