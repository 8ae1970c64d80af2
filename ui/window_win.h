#pragma once
// The window framework: window objects bound to native windows, and static
// message maps that route window messages to member functions.
//
// Two kinds of windows are served:
//   DialogWindow  created from a dialog resource with DialogWindow::DialogProc,
//                 then subclassed with Subclass(); the object lives in the
//                 dialog's user data slot (DWLP_USER).
//   PopupWindow   a window of a class that Create() registers itself; the object
//                 lives in the window's extra bytes (offset 0, one pointer).
//
// All windows are Unicode windows; the program's texts are code page 1251 bytes
// and are converted where they are shown (see ui/text_win.h).
#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

class Window;

// Argument kinds of a message-map row: which of wParam and lParam the handler
// takes. Any other value makes the row inert (it matches, but is skipped).
namespace Args {
enum Kind : int32_t {
    None = 0,    // int32_t handler()
    WParam = 1,  // int32_t handler(WPARAM)
    LParam = 2,  // int32_t handler(LPARAM)
    Both = 3,    // int32_t handler(WPARAM, LPARAM)
};
}

// Result of a handler that did not handle its message: default processing
// continues.
inline constexpr int32_t kNotHandled = -1;

// A member function of a window class, stored as a pointer to a member of
// Window. handler() accepts only member functions of classes derived from
// Window with one of the four signatures of the argument kinds, so a row
// cannot call a handler with arguments it does not take.
class MessageHandler {
public:
    using NoArgs = int32_t (Window::*)();
    using WParamArg = int32_t (Window::*)(WPARAM);
    using LParamArg = int32_t (Window::*)(LPARAM);
    using BothArgs = int32_t (Window::*)(WPARAM, LPARAM);

    constexpr MessageHandler() : kind_(kEmpty), noArgs_(nullptr) {}
    constexpr MessageHandler(std::nullptr_t) : MessageHandler() {}
    constexpr explicit MessageHandler(NoArgs f) : kind_(f ? Args::None : kEmpty), noArgs_(f) {}
    constexpr explicit MessageHandler(WParamArg f) : kind_(f ? Args::WParam : kEmpty), wParamArg_(f) {}
    constexpr explicit MessageHandler(LParamArg f) : kind_(f ? Args::LParam : kEmpty), lParamArg_(f) {}
    constexpr explicit MessageHandler(BothArgs f) : kind_(f ? Args::Both : kEmpty), bothArgs_(f) {}

    constexpr bool empty() const { return kind_ == kEmpty; }
    // The argument kind that the handler's signature takes; -1 when empty.
    constexpr int32_t kind() const { return kind_; }

    // Calls the handler on `window`, with the arguments its signature takes.
    int32_t call(Window& window, WPARAM wParam, LPARAM lParam) const;

private:
    static constexpr int32_t kEmpty = -1;
    int32_t kind_;
    union {
        NoArgs noArgs_;
        WParamArg wParamArg_;
        LParamArg lParamArg_;
        BothArgs bothArgs_;
    };
};

// handler(&MyWindow::onSomething) for a row of MyWindow's message map.
template <class T>
MessageHandler handler(int32_t (T::*f)()) {
    static_assert(std::is_base_of_v<Window, T>, "a handler must be a member of a window class");
    return MessageHandler(static_cast<MessageHandler::NoArgs>(f));
}
template <class T>
MessageHandler handler(int32_t (T::*f)(WPARAM)) {
    static_assert(std::is_base_of_v<Window, T>, "a handler must be a member of a window class");
    return MessageHandler(static_cast<MessageHandler::WParamArg>(f));
}
template <class T>
MessageHandler handler(int32_t (T::*f)(LPARAM)) {
    static_assert(std::is_base_of_v<Window, T>, "a handler must be a member of a window class");
    return MessageHandler(static_cast<MessageHandler::LParamArg>(f));
}
template <class T>
MessageHandler handler(int32_t (T::*f)(WPARAM, LPARAM)) {
    static_assert(std::is_base_of_v<Window, T>, "a handler must be a member of a window class");
    return MessageHandler(static_cast<MessageHandler::BothArgs>(f));
}

// One row of a message map. A map is a static table of rows that ends with a
// row whose handler is empty:
//
//   const MessageMapEntry MyWindow::messageMap[] = {
//   //  message     first id  last id  handler
//     { WM_TIMER,   0,        0,       handler(&MyWindow::onTimer) },
//     { WM_COMMAND, 1002,     0,       handler(&MyWindow::onStart) },
//     { 0,          0,        0,       nullptr },
//   };
//
// The arguments a handler is given follow from its signature (see handler()),
// so a row cannot name a kind that its handler does not take. A row built
// with kInertRow matches its message but calls nothing (argument kind 4):
//
//     { WM_TIMER,   7,        0,       kInertRow, handler(&MyWindow::onTimer) },
struct InertRow {};
inline constexpr InertRow kInertRow{};

struct MessageMapEntry {
    uint32_t message;        // window message number
    uint32_t firstId;        // 0: any; else matched against LOWORD(wParam)
    uint32_t lastId;         // 0: firstId only; else the inclusive range firstId..lastId
    int32_t argKind;         // Args::Kind of the handler; kInertKind: the row calls nothing
    MessageHandler handler;  // empty: end of the table

    static constexpr int32_t kInertKind = 4;

    constexpr MessageMapEntry(uint32_t rowMessage, uint32_t rowFirstId, uint32_t rowLastId, MessageHandler rowHandler)
        : message(rowMessage),
          firstId(rowFirstId),
          lastId(rowLastId),
          argKind(rowHandler.kind()),
          handler(rowHandler) {}
    constexpr MessageMapEntry(uint32_t rowMessage, uint32_t rowFirstId, uint32_t rowLastId, InertRow,
                              MessageHandler rowHandler)
        : message(rowMessage), firstId(rowFirstId), lastId(rowLastId), argKind(kInertKind), handler(rowHandler) {}
};

// Base of every window object.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The class's message map, or null (the base has none).
    virtual const MessageMapEntry* GetMessageMap();
    // Called after the window's WM_NCDESTROY; the base forgets the handle.
    virtual void OnDestroyed();
    // Paints over the window; the base does nothing.
    virtual void OnPaint(HDC dc, const RECT& clientRect);
    // Routes a message through the message map; returns the handler's result,
    // or kNotHandled (-1) when no row took the message.
    virtual int32_t Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    // Modal message box owned by the window, captioned with its title.
    // `text` is code page 1251. Returns the message box result.
    virtual int32_t ShowMessage(const char* text, UINT style);
    // Moves the window, keeping its size, so that it lies on the screen.
    // left or top below -999: centre on that axis; both below -9999: start
    // from the current position.
    virtual void Place(int32_t left, int32_t top);
    virtual ~Window() = default;

    uint32_t currentMessage = 0;  // message of the row being handled; 0 when none matched
    HWND hwnd = nullptr;
    // Position the window was last placed at; after WM_DESTROY, its final
    // screen rectangle.
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A window created from a dialog resource, then subclassed.
class DialogWindow : public Window {
public:
    DialogWindow() = default;
    // A window still attached is detached and destroyed, so that no message
    // reaches a destroyed object.
    ~DialogWindow() override;

    // Creates a modeless dialog from resource `resourceId` of `instance`, with
    // this object as its creation parameter. Returns the window or null.
    HWND CreateModeless(HINSTANCE instance, int resourceId, HWND owner);
    // Installs SubclassProc over the dialog's own procedure, keeping that one
    // in previousProc. Does nothing when already subclassed. Returns whether
    // the subclass procedure is installed.
    bool Subclass();

    // Given at dialog creation; lParam of WM_INITDIALOG is the DialogWindow*.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Installed over the dialog's own window procedure.
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HICON icon = nullptr;            // painted when minimised, returned for icon queries
    WNDPROC previousProc = nullptr;  // the dialog's own procedure while subclassed
};

// Lets the owner of a PopupWindow adjust the window class just before it is
// registered.
class WindowClassInfo {
public:
    virtual void FillClass(WNDCLASSEXW& description);
    virtual ~WindowClassInfo() = default;

    static constexpr size_t kMaxClassNameChars = 49;
    char className[52] = {};  // empty: not registered by this object yet
};

// Class name of a pop-up window whose class gives no name of its own.
inline constexpr char kDefaultPopupClassName[] = "BrevikMainClass";

// A window of a class that the framework registers.
class PopupWindow : public Window {
public:
    // ownClassName: the class to register, at most 49 characters are used;
    // null means kDefaultPopupClassName. classInfo: adjusts the class
    // description before registration; null uses the plain description.
    explicit PopupWindow(const char* ownClassName = nullptr, WindowClassInfo* classInfo = nullptr);
    // A window still attached is detached and destroyed.
    ~PopupWindow() override;

    // Registers the class once per object, destroys a window created before,
    // creates a visible layered topmost pop-up and places it on the screen.
    // `title` is code page 1251. Returns the window or null.
    HWND Create(HWND parent, const char* title, int32_t left, int32_t top, int32_t width, int32_t height);

    // The pop-up procedure, given at class registration.
    static LRESULT CALLBACK PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    WindowClassInfo& classInfo() { return *classInfo_; }
    const std::string& title() const { return title_; }

    bool windowExists = false;  // set by Create when a window was made

private:
    WindowClassInfo plainClassInfo_;
    WindowClassInfo* classInfo_;
    const char* ownClassName_;
    std::string title_;
};
