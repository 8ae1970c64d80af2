// Reads and drives the controls of the running program's main window, for
// end-to-end tests written in shell. Text is printed as UTF-8, one item a
// line, with bare line feeds.
//
// Usage: dialog_probe <command> <control id> [arguments]
//   combo <id>               the items of a combo box
//   selection <id>           the selected index of a combo box (-1: none)
//   list <id>                the lines of a list box
//   state <id>...            "<id> enabled|disabled", followed by
//                            " checked|unchecked" for a button
//   select <id> <index>      selects an item of a combo box and tells the
//                            main window that its list closed (CBN_CLOSEUP),
//                            as a choice with the mouse does
//   count-colour <id> <rgb>  finds one colour (0x00BBGGRR, as COLORREF) in
//                            the control's client area: "width W height H
//                            pixels P columns C top T peak-column X", where
//                            C counts the columns that hold the colour, T is
//                            the smallest y that holds it and X the first
//                            column at that height (T and X: -1 if none)
//   shot <id> <file.bmp>     writes the control's client area as a BMP
//   rect <id>                the control's screen rectangle: "L T R B"
//                            (right and bottom exclusive)
//
// Commands without a control:
//   windows-of-class <class> every top-level window of that class, one a
//                            line: "L T R B <title>"; nothing if none
//   move-main <left> <top>   moves the main window there, keeping its size
//
// Exit codes: 0 done, 1 no main window, 2 bad command line, 3 no such
// control or the control cannot be read.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "main_window.h"

namespace {

// Item texts of a combo box or list box; count, length and text messages of
// the kind given.
std::vector<std::wstring> itemTexts(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(control, countMessage, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(i), 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT got =
            SendMessageW(control, textMessage, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(got < 0 ? 0 : static_cast<size_t>(got));
        items.push_back(text);
    }
    return items;
}

bool isButton(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    return _wcsicmp(className, L"Button") == 0;
}

// The control's client area as 32-bit pixels, top row first, as the screen
// shows it. Wine cannot copy from the device context of another process's
// window, so the pixels are taken from the screen where the control lies;
// nothing may cover it.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bgrx;  // 0x00RRGGBB per pixel, as a DIB stores it
};

bool capture(HWND control, Pixels& out) {
    RECT client;
    if (!GetClientRect(control, &client)) return false;
    POINT origin{0, 0};
    if (!ClientToScreen(control, &origin)) return false;
    out.width = client.right - client.left;
    out.height = client.bottom - client.top;
    if (out.width <= 0 || out.height <= 0) return false;

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, out.width, out.height, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        out.bgrx.assign(p, p + size_t(out.width) * size_t(out.height));
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// COLORREF 0x00BBGGRR as a DIB pixel 0x00RRGGBB.
DWORD dibPixel(COLORREF colour) {
    return (DWORD(GetRValue(colour)) << 16) | (DWORD(GetGValue(colour)) << 8) | GetBValue(colour);
}

int countColour(HWND control, COLORREF colour) {
    Pixels image;
    if (!capture(control, image)) return 3;
    const DWORD want = dibPixel(colour);
    long pixels = 0;
    int columns = 0;
    int top = -1;
    int peakColumn = -1;
    for (int x = 0; x < image.width; ++x) {
        bool inColumn = false;
        for (int y = 0; y < image.height; ++y) {
            if ((image.bgrx[size_t(y) * size_t(image.width) + size_t(x)] & 0xFFFFFF) != want) continue;
            ++pixels;
            inColumn = true;
            if (top < 0 || y < top) {
                top = y;
                peakColumn = x;
            }
        }
        if (inColumn) ++columns;
    }
    std::printf("width %d height %d pixels %ld columns %d top %d peak-column %d\n", image.width, image.height, pixels,
                columns, top, peakColumn);
    return 0;
}

int writeShot(HWND control, const wchar_t* path) {
    Pixels image;
    if (!capture(control, image)) return 3;
    const DWORD rowBytes = (DWORD(image.width) * 3 + 3) & ~DWORD(3);
    const DWORD imageBytes = rowBytes * DWORD(image.height);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    header.biSize = sizeof header;
    header.biWidth = image.width;
    header.biHeight = image.height;  // bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;
    FILE* out = _wfopen(path, L"wb");
    if (!out) return 3;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const DWORD p = image.bgrx[size_t(y) * size_t(image.width) + size_t(x)];
            row[size_t(x) * 3] = static_cast<unsigned char>(p);
            row[size_t(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[size_t(x) * 3 + 2] = static_cast<unsigned char>(p >> 16);
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 3;
}

// Top-level windows of one class, with their rectangles and titles.
int windowsOfClass(const wchar_t* wantedClass) {
    struct Search {
        const wchar_t* wanted;
        std::vector<HWND> found;
    } search{wantedClass, {}};
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[256] = {};
            GetClassNameW(window, name, 256);
            if (_wcsicmp(name, s->wanted) == 0) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        RECT rect = {};
        GetWindowRect(window, &rect);
        const int length = GetWindowTextLengthW(window);
        std::wstring title(static_cast<size_t>(length) + 1, L'\0');
        title.resize(static_cast<size_t>(GetWindowTextW(window, title.data(), length + 1)));
        wchar_t numbers[64];
        swprintf(numbers, 64, L"%ld %ld %ld %ld ", rect.left, rect.top, rect.right, rect.bottom);
        printLine(numbers + title);
    }
    return 0;
}

bool parseNumber(const wchar_t* text, long& value) {
    wchar_t* end = nullptr;
    value = std::wcstol(text, &end, 0);
    return end != text && *end == L'\0';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    if (command == L"windows-of-class" && argc == 3) return windowsOfClass(argv[2]);
    if (command == L"move-main" && argc == 4) {
        long left = 0, top = 0;
        if (!parseNumber(argv[2], left) || !parseNumber(argv[3], top)) return 2;
        const HWND main = findMainWindow();
        if (!main) return 1;
        SetWindowPos(main, nullptr, static_cast<int>(left), static_cast<int>(top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    long id = 0;
    if (!parseNumber(argv[2], id)) return 2;

    const HWND main = findMainWindow();
    if (!main) return 1;
    const HWND control = GetDlgItem(main, static_cast<int>(id));
    if (!control) return 3;

    if (command == L"combo" && argc == 3) {
        for (const auto& item : itemTexts(control, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT)) printLine(item);
        return 0;
    }
    if (command == L"selection" && argc == 3) {
        std::printf("%d\n", static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        return 0;
    }
    if (command == L"list" && argc == 3) {
        for (const auto& line : itemTexts(control, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT)) printLine(line);
        return 0;
    }
    // A list's first visible line, and the list scrolled to make another
    // line the first visible.
    if (command == L"top-index" && argc == 3) {
        std::printf("%d\n", static_cast<int>(SendMessageW(control, LB_GETTOPINDEX, 0, 0)));
        return 0;
    }
    if (command == L"scroll" && argc == 4) {
        long index = 0;
        if (!parseNumber(argv[3], index)) return 2;
        SendMessageW(control, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
        return 0;
    }
    if (command == L"state") {
        for (int i = 2; i < argc; ++i) {
            long stateId = 0;
            if (!parseNumber(argv[i], stateId)) return 2;
            const HWND item = GetDlgItem(main, static_cast<int>(stateId));
            if (!item) return 3;
            std::printf("%ld %s", stateId, IsWindowEnabled(item) ? "enabled" : "disabled");
            if (isButton(item)) {
                const LRESULT check = SendMessageW(item, BM_GETCHECK, 0, 0);
                std::printf(" %s", check == BST_CHECKED ? "checked" : "unchecked");
            }
            std::printf("\n");
        }
        return 0;
    }
    // A list's item chosen and its drop-down closed ("select"), or only the
    // selection changed, as while the drop-down is open ("change").
    if ((command == L"select" || command == L"change") && argc == 4) {
        long index = 0;
        if (!parseNumber(argv[3], index)) return 2;
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        const WORD notification = command == L"select" ? CBN_CLOSEUP : CBN_SELCHANGE;
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), notification),
                     reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == L"count-colour" && argc == 4) {
        long colour = 0;
        if (!parseNumber(argv[3], colour)) return 2;
        return countColour(control, static_cast<COLORREF>(colour));
    }
    if (command == L"shot" && argc == 4) return writeShot(control, argv[3]);
    if (command == L"rect" && argc == 3) {
        RECT rect = {};
        if (!GetWindowRect(control, &rect)) return 3;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    return 2;
}
