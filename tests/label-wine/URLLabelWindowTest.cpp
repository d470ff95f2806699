// The link label's window with real mouse input (SetCursorPos, mouse_event)
// under Wine: hover, press and release colours, the capture, the leave, the
// click notification before the release handling, double clicks, the hand
// cursor from our own resources, and the painted text colour.
// Prints one line per check; the exit code is the number of failures.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/ControlIds.h"
#include "ui/Win32URLLabel.h"

namespace {

std::vector<std::string> events;
TURLLabelWindow* label = nullptr;
int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

std::string Hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", v);
    return buf;
}

std::string Join(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& e : v)
        s += (s.empty() ? "" : ",") + e;
    return s;
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == idURLLabel1 &&
        reinterpret_cast<HWND>(lParam) == label->Handle()) {
        const char* code = HIWORD(wParam) == STN_CLICKED  ? "click"
                           : HIWORD(wParam) == STN_DBLCLK ? "dblclick"
                                                          : "other";
        events.push_back(std::string(code) + ":" + Hex(label->Label().FontColor()));
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Pump(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(10);
    } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
}

void MoveTo(POINT p) {
    ::SetCursorPos(p.x, p.y);
    // A real move as well, so that the window sees WM_MOUSEMOVE.
    ::mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
    Pump(300);
}

// Leaves come from Wine's tracking timer, some hundred milliseconds late.
bool ColourBecomes(COLORREF colour) {
    for (int i = 0; i < 150 && label->Label().FontColor() != colour; ++i)
        Pump(20);
    return label->Label().FontColor() == colour;
}

void Button(DWORD flag) {
    ::mouse_event(flag, 0, 0, 0, 0);
    Pump(200);
}

// Counts the label's pixels of a colour, as painted.
int PixelsOf(COLORREF colour) {
    ::UpdateWindow(label->Handle());
    HDC dc = ::GetDC(label->Handle());
    RECT r;
    ::GetClientRect(label->Handle(), &r);
    int n = 0;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            n += ::GetPixel(dc, x, y) == colour;
    ::ReleaseDC(label->Handle(), dc);
    return n;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "LabelTestParent";
    ::RegisterClassExA(&wc);
    HWND parent = ::CreateWindowExA(WS_EX_TOPMOST, "LabelTestParent", "label test", WS_POPUP | WS_VISIBLE, 100,
                                    100, 300, 200, nullptr, nullptr, instance, nullptr);
    HFONT font = ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS UI Gothic");

    label = new TURLLabelWindow;
    const char* caption = "指定した時刻に自動的に実行したい場合は、ここをクリック！";
    HWND hwnd = label->Create(parent, idURLLabel1, 20, 172 - 100, 144, 24, caption, font);
    Check(hwnd != nullptr, "the label window is created");
    if (!hwnd)
        return 1;
    TURLLabel& l = label->Label();
    l.SetWordWrap(true);
    l.SetHotColor(clBlue);
    l.SetPushedColor(clPurple);
    l.OnMouseDown = [](TURLLabel& s, TMouseButton b, int, int) {
        events.push_back("down" + std::to_string(static_cast<int>(b)) + ":" + Hex(s.FontColor()));
    };
    l.OnMouseUp = [](TURLLabel& s, TMouseButton b, int, int) {
        events.push_back("up" + std::to_string(static_cast<int>(b)) + ":" + Hex(s.FontColor()));
    };
    ::SetForegroundWindow(parent);
    Pump(500);

    const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    const std::string T = Hex(text), H = Hex(clBlue), P = Hex(clPurple);
    char windowText[256] = "";
    ::GetWindowTextA(hwnd, windowText, sizeof windowText);
    Check(std::string(windowText) == caption && l.Caption() == caption, "caption is the window text");
    Check(l.FontColor() == text, "starts in the window-text colour " + Hex(l.FontColor()));

    // The hand cursor from our resources, hot spot at the finger's tip.
    HCURSOR hand = reinterpret_cast<HCURSOR>(ScreenCursors().Find(crHandPoint));
    ICONINFO info = {};
    BITMAP mask = {};
    const bool haveInfo = hand && ::GetIconInfo(hand, &info);
    if (haveInfo)
        ::GetObjectA(info.hbmMask, sizeof mask, &mask);
    Check(haveInfo && !info.fIcon && info.xHotspot == 7 && info.yHotspot == 1,
          "HANDPOINT is registered under 32761, hot spot " + std::to_string(info.xHotspot) + "," +
              std::to_string(info.yHotspot));
    Check(haveInfo && info.hbmColor == nullptr && mask.bmWidth == 32 && mask.bmHeight == 64,
          "the cursor is 32x32 in two colours (mask " + std::to_string(mask.bmWidth) + "x" +
              std::to_string(mask.bmHeight) + ")");

    POINT inside = {30, 8}, outside = {250, 150};
    ::ClientToScreen(hwnd, &inside);
    ::ClientToScreen(hwnd, &outside);
    const POINT farAway = {5, 5};

    MoveTo(farAway);
    const int textPixels = PixelsOf(text);
    Check(textPixels > 20, "the caption is painted in the window-text colour (" + std::to_string(textPixels) +
                               " pixels)");
    Check(PixelsOf(::GetSysColor(COLOR_BTNFACE)) > 144 * 24 / 2, "over a button-face background");

    // Hover and leave.
    MoveTo(inside);
    Check(l.FontColor() == clBlue, "hover shows HotColor, now " + Hex(l.FontColor()));
    Check(PixelsOf(clBlue) > 20 && PixelsOf(text) == 0, "and is painted so");
    Check(::GetCursor() == hand, "the hand cursor shows over the label");
    MoveTo(farAway);
    Check(ColourBecomes(text), "leaving restores the colour, now " + Hex(l.FontColor()));

    // Press, drag out, release outside: no click, the normal colour.
    events.clear();
    MoveTo(inside);
    Button(MOUSEEVENTF_LEFTDOWN);
    Check(l.FontColor() == clPurple, "a press shows PushedColor, now " + Hex(l.FontColor()));
    Check(::GetCapture() == hwnd, "the label holds the capture while pressed");
    MoveTo(outside);
    Check(l.FontColor() == text, "dragging out while held restores the colour, now " + Hex(l.FontColor()));
    Button(MOUSEEVENTF_LEFTUP);
    Check(::GetCapture() == nullptr, "the release outside is seen and the capture released");
    Check(l.FontColor() == text, "released outside: the normal colour, now " + Hex(l.FontColor()));
    Check(Join(events) == "down0:" + H + ",up0:" + T, "no click: " + Join(events));
    MoveTo(farAway);
    Check(ColourBecomes(text), "still the normal colour away from the label");

    // Click: the notification comes before the release handling.
    events.clear();
    MoveTo(inside);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);
    Check(l.FontColor() == clBlue, "released inside: HotColor, now " + Hex(l.FontColor()));
    Check(Join(events) == "down0:" + H + ",click:" + P + ",up0:" + P, "click before MouseUp: " + Join(events));
    MoveTo(farAway);
    Check(ColourBecomes(text), "and leaving then restores the colour");

    // The right button: pressed colour, no click.
    events.clear();
    MoveTo(inside);
    Button(MOUSEEVENTF_RIGHTDOWN);
    Check(l.FontColor() == clPurple, "a right press shows PushedColor");
    Button(MOUSEEVENTF_RIGHTUP);
    Check(Join(events) == "down1:" + H + ",up1:" + P, "right button, no click: " + Join(events));
    Check(l.FontColor() == clBlue, "right release inside: HotColor");

    // A double click: two presses, one click, one double click.
    events.clear();
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Pump(400);
    Check(Join(events) == "down0:" + H + ",click:" + P + ",up0:" + P + ",dblclick:" + H + ",down0:" + H +
                              ",up0:" + P,
          "double click: " + Join(events));
    MoveTo(farAway);
    Check(ColourBecomes(text), "the colour is the normal one after all that");

    // Destroying the parent first leaves the object inert.
    ::DestroyWindow(parent);
    Check(label->Handle() == nullptr, "the object lets go of a destroyed window");
    delete label;
    ::DeleteObject(font);
    std::printf("%d failure(s)\n", failures);
    return failures;
}
