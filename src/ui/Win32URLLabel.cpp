#include "ui/Win32URLLabel.h"

#include <shellapi.h>

#include "system/Scoped.h"

const char TURLLabelWindow::ClassName[] = "TURLLabel";
HINSTANCE TURLLabelWindow::instance_ = nullptr;

namespace {

POINT PointOf(LPARAM lParam) {
    // Signed: under the capture the pointer may be left of or above the label.
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

unsigned Bit(TMouseButton button) { return 1u << static_cast<unsigned>(button); }

}  // namespace

bool TURLLabelWindow::RegisterWindowClass(HINSTANCE instance) {
    if (instance_)
        return true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    // A double click arrives as a press of its own.
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProcOf<TURLLabelWindow>;
    wc.hInstance = instance;
    // No class cursor: WM_SETCURSOR sets the label's own each time.
    wc.hCursor = nullptr;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    instance_ = instance;
    return true;
}

TURLLabelWindow::TURLLabelWindow(TComponent* owner) : label_(owner, *this) {}

TURLLabelWindow::~TURLLabelWindow() {
    if (hwnd_) {
        HWND hwnd = hwnd_;
        DetachWindowObject(hwnd);
        hwnd_ = nullptr;
        ::DestroyWindow(hwnd);
    }
}

HWND TURLLabelWindow::Create(HWND parent, int id, int x, int y, int width, int height,
                             const char* caption, HFONT font) {
    if (hwnd_ || !RegisterWindowClass(::GetModuleHandleA(nullptr)))
        return nullptr;
    parent_ = parent;
    id_ = id;
    font_ = font;
    label_.SetCaption(caption ? caption : "");
    label_.SetFontColor(::GetSysColor(COLOR_WINDOWTEXT));
    ::CreateWindowExA(0, ClassName, caption, WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
    return hwnd_;
}

void TURLLabelWindow::SetCaption(const char* caption) {
    if (hwnd_)
        ::SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));
    else
        label_.SetCaption(caption ? caption : "");
}

LRESULT TURLLabelWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(msg, wParam, lParam);
    } catch (...) {
        // Cannot unwind through DispatchMessageA; Run has already reported
        // whatever came from the label's own handling.
        return 0;
    }
}

void TURLLabelWindow::Run(const std::function<void()>& work) {
    if (Guard) {
        Guard(work);
        return;
    }
    try {
        work();
    } catch (...) {
    }
}

LRESULT TURLLabelWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        // WM_PAINT fills the background itself, in one go with the text.
        return 1;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            ::InvalidateRect(hwnd_, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
        const LRESULT result = ::DefWindowProcA(hwnd_, msg, wParam, lParam);
        const char* text = reinterpret_cast<const char*>(lParam);
        Run([&] { label_.SetCaption(text ? text : ""); });
        return result;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
            HCURSOR cursor = reinterpret_cast<HCURSOR>(ScreenCursors().Find(label_.Cursor()));
            ::SetCursor(cursor ? cursor : ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        PointerAt(PointOf(lParam));
        return 0;
    case WM_MOUSELEAVE:
        // Under the capture the moves decide; the tracking is armed again
        // once the capture is released.
        if (::GetCapture() != hwnd_ && inside_) {
            inside_ = false;
            Run([&] { label_.HandlePointerLeft(); });
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ButtonDown(TMouseButton::mbLeft, lParam, msg == WM_LBUTTONDBLCLK);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        ButtonDown(TMouseButton::mbRight, lParam, msg == WM_RBUTTONDBLCLK);
        return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        ButtonDown(TMouseButton::mbMiddle, lParam, msg == WM_MBUTTONDBLCLK);
        return 0;
    case WM_LBUTTONUP:
        if (ButtonUp(TMouseButton::mbLeft, lParam))
            return 0;
        break;
    case WM_RBUTTONUP:
        if (ButtonUp(TMouseButton::mbRight, lParam))
            return 0;
        break;
    case WM_MBUTTONUP:
        if (ButtonUp(TMouseButton::mbMiddle, lParam))
            return 0;
        break;
    case WM_CAPTURECHANGED:
        // Someone else took the capture in the middle of a press: there will
        // be no release to wait for.
        if (!releasingCapture_ && reinterpret_cast<HWND>(lParam) != hwnd_ && captureButtons_) {
            captureButtons_ = 0;
            Run([&] {
                label_.CancelPress();
                PointerAtCursorPos();
            });
        }
        return 0;
    default:
        break;
    }
    return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void TURLLabelWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    // The parent's background is button face: painting it here is what
    // a transparent label over it would show.
    ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    {
        ScopedSelectObject font(dc, font_);
        ::SetTextColor(dc, label_.FontColor());
        ::SetBkMode(dc, TRANSPARENT);
        const UINT format = DT_LEFT | DT_EXPANDTABS | (label_.WordWrap() ? DT_WORDBREAK : 0);
        ::DrawTextA(dc, label_.Caption().c_str(), -1, &rect, format);
    }
    ::EndPaint(hwnd_, &ps);
}

void TURLLabelWindow::PointerAt(POINT client) {
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    const bool inside = ::PtInRect(&rect, client) != FALSE;
    if (inside && !inside_) {
        inside_ = true;
        TrackLeave();
        Run([&] { label_.HandlePointerEntered(); });
    } else if (!inside && inside_) {
        // Only seen under the capture: a move outside is the leave.
        inside_ = false;
        Run([&] { label_.HandlePointerLeft(); });
    }
}

void TURLLabelWindow::PointerAtCursorPos() {
    POINT point;
    if (!::GetCursorPos(&point) || !::ScreenToClient(hwnd_, &point))
        return;
    PointerAt(point);
    if (inside_)
        TrackLeave();
}

void TURLLabelWindow::TrackLeave() {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd_;
    ::TrackMouseEvent(&track);
}

void TURLLabelWindow::ButtonDown(TMouseButton button, LPARAM lParam, bool doubleClick) {
    const POINT point = PointOf(lParam);
    // A press without a move before it (the label appeared under the
    // pointer) still enters first.
    PointerAt(point);
    captureButtons_ |= Bit(button);
    if (::GetCapture() != hwnd_)
        ::SetCapture(hwnd_);
    Run([&] { label_.HandleButtonDown(button, point.x, point.y, doubleClick); });
}

bool TURLLabelWindow::ButtonUp(TMouseButton button, LPARAM lParam) {
    if ((captureButtons_ & Bit(button)) == 0)
        return false;
    captureButtons_ &= ~Bit(button);
    // The capture goes before the click, so that whatever the owner opens
    // on the click gets the mouse.
    if (captureButtons_ == 0 && ::GetCapture() == hwnd_) {
        releasingCapture_ = true;
        ::ReleaseCapture();
        releasingCapture_ = false;
    }
    const POINT point = PointOf(lParam);
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    const bool over = ::PtInRect(&rect, point) != FALSE;
    Run([&] { label_.HandleButtonUp(button, point.x, point.y, over); });
    if (hwnd_ && captureButtons_ == 0)
        PointerAtCursorPos();
    return true;
}

void TURLLabelWindow::Repaint() {
    if (hwnd_)
        ::InvalidateRect(hwnd_, nullptr, TRUE);
}

bool TURLLabelWindow::PointerInside() {
    POINT point;
    RECT rect;
    if (!hwnd_ || !::GetCursorPos(&point) || !::ScreenToClient(hwnd_, &point) ||
        !::GetClientRect(hwnd_, &rect))
        return false;
    return ::PtInRect(&rect, point) != FALSE;
}

void TURLLabelWindow::OpenWithShell(const std::string& file) {
    ::ShellExecuteA(nullptr, "OPEN", file.c_str(), "", "", SW_SHOW);
}

TCursorHandle TURLLabelWindow::LoadHandPointCursor() {
    return reinterpret_cast<TCursorHandle>(::LoadCursorA(::GetModuleHandleA(nullptr), "HANDPOINT"));
}

void TURLLabelWindow::NotifyClick() { Notify(STN_CLICKED); }

void TURLLabelWindow::NotifyDoubleClick() { Notify(STN_DBLCLK); }

void TURLLabelWindow::Notify(WORD code) {
    if (hwnd_ && parent_)
        ::SendMessageA(parent_, WM_COMMAND, MAKEWPARAM(id_, code), reinterpret_cast<LPARAM>(hwnd_));
}
