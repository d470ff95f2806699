// Drives the main window of quendro.exe from another process of the same
// Wine prefix, for the window tests:
//   windriver find OUT MS              waits up to MS for the visible window
//   windriver dump OUT [quick]         the window, its controls, the drive list
//                                      (quick: no list, no check states)
//   windriver click ID                 a button press (WM_COMMAND, posted)
//   windriver check ID 0|1             a check box state (BM_SETCHECK, posted)
//   windriver toggle INDEX             a click on a drive item's check box
//   windriver space INDEX              select a drive item and press Space
//   windriver key VK ID|main|focus     a key press posted to a control
//   windriver syscommand SC            WM_SYSCOMMAND (e.g. 61536 = SC_CLOSE)
//   windriver menu ID                  a menu command (WM_COMMAND, id, 0)
//   windriver label X Y                a left click on the link label
//   windriver moveconsole X Y W H      moves the stand-in console aside
//   windriver winhelp OUT STOP         owns "MS_WINHELP", records WinHelpA
//   windriver watch OUT STOP HOLDMS    records every message box, holds it
//                                      HOLDMS, then presses its first button
//   windriver menures EXE OUT          the menu and accelerators of EXE
// Everything is posted: a sent press would block until the whole run is
// over. Reads of another process's texts use the wide calls (the ANSI ones
// are cut short under Wine). Outputs are UTF-8 JSON, one object per line.
#include "../../standin/Record.h"
#include "../e2e/WindowText.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace {

const char kMainClass[] = "TfrmMain";
const char kMainCaption[] = "Quendro";
const UINT kHelpMagic = 0xA1DE505;

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The code page 932 bytes of a wide text, as the program's own ANSI
// literals would hold it.
std::string Cp932(const std::wstring& w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), &s[0], n, NULL, NULL);
    return s;
}

std::string Field(const char* name, const std::string& value) { return Json(name) + ":" + value; }

// A text field as UTF-8 and as its code page 932 bytes in hex.
std::string TextFields(const char* name, const std::wstring& text)
{
    return Field(name, Json(Utf8(text))) + "," + Field((std::string(name) + "_cp932").c_str(),
                                                     Json(Hex(Cp932(text))));
}

HWND MainWindow() { return FindWindowA(kMainClass, kMainCaption); }

HWND Control(int id)
{
    HWND main = MainWindow();
    return main ? GetDlgItem(main, id) : NULL;
}

// A send that cannot hang the driver while the program sleeps in a run.
LRESULT SendW(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool* ok = NULL)
{
    DWORD_PTR result = 0;
    LRESULT r = SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, 20000, &result);
    if (ok) *ok = r != 0;
    return static_cast<LRESULT>(result);
}

void PostKey(HWND target, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

// --- find, dump ---------------------------------------------------------

int Find(const std::string& out, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND main = MainWindow();
        if (main && IsWindowVisible(main)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(main, &pid);
            record::AppendLine(out, "{" + Field("found", "true") + "," +
                                        Field("hwnd", Num(reinterpret_cast<LONG_PTR>(main))) + "," +
                                        Field("pid", Num(pid)) + "}");
            return 0;
        }
        if (GetTickCount() - start > ms) {
            record::AppendLine(out, "{" + Field("found", "false") + "}");
            return 1;
        }
        Sleep(100);
    }
}

std::string RectJson(const RECT& r)
{
    return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right - r.left) + "," +
           Num(r.bottom - r.top) + "]";
}

struct Children {
    HWND main;
    std::vector<std::string> items;
};

BOOL CALLBACK DumpChild(HWND h, LPARAM lp)
{
    Children* c = reinterpret_cast<Children*>(lp);
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(NULL, c->main, reinterpret_cast<POINT*>(&r), 2);
    std::string item = "{" + Field("id", Num(GetDlgCtrlID(h))) + "," +
                       Field("class", Json(Utf8(ClassOf(h)))) + "," + Field("rect", RectJson(r)) + "," +
                       Field("style", Num(static_cast<long>(GetWindowLongA(h, GWL_STYLE)))) + "," +
                       Field("exstyle", Num(static_cast<long>(GetWindowLongA(h, GWL_EXSTYLE)))) + "," +
                       Field("parent_is_main", GetParent(h) == c->main ? "true" : "false") + "," +
                       TextFields("text", TextOf(h)) + "}";
    c->items.push_back(item);
    return TRUE;
}

// quick: only what needs no message to the program, so that the dump is
// taken at once even while the program sleeps inside a run.
int Dump(const std::string& out, bool quick)
{
    HWND main = MainWindow();
    if (!main) {
        record::AppendLine(out, "{" + Field("found", "false") + "}");
        return 1;
    }
    std::string taken = record::EpochMs();
    bool execEnabled = IsWindowEnabled(GetDlgItem(main, 101)) != FALSE;
    RECT wr, cr;
    GetWindowRect(main, &wr);
    GetClientRect(main, &cr);
    Children children = {main, {}};
    EnumChildWindows(main, DumpChild, reinterpret_cast<LPARAM>(&children));
    std::string kids;
    for (size_t i = 0; i < children.items.size(); ++i) kids += (i ? "," : "") + children.items[i];

    // The drive list: items as UTF-16 (sent wide; the ANSI form returns one
    // character across processes), item data and height.
    std::string items, data;
    HWND list = GetDlgItem(main, 106);
    bool ok = false;
    LRESULT count = list && !quick ? SendW(list, LB_GETCOUNT, 0, 0, &ok) : 0;
    if (!ok) count = 0;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = SendW(list, LB_GETTEXTLEN, i, 0);
        std::vector<wchar_t> buf(len > 0 ? len + 16 : 16);
        LRESULT got = SendW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
        std::wstring text(buf.data(), got > 0 ? got : 0);
        items += std::string(i ? "," : "") + "{" + TextFields("text", text) + "}";
        data += std::string(i ? "," : "") + Num(static_cast<long>(SendW(list, LB_GETITEMDATA, i, 0)));
    }
    long itemHeight = list && !quick ? static_cast<long>(SendW(list, LB_GETITEMHEIGHT, 0, 0)) : -1;

    std::string checks;
    for (int id = 103; id <= 105; ++id) {
        HWND b = quick ? NULL : GetDlgItem(main, id);
        checks += std::string(id > 103 ? "," : "") + Json(Num(id)) + ":" +
                  Num(b ? static_cast<long>(SendW(b, BM_GETCHECK, 0, 0)) : -1);
    }

    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(main, &pid);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    long focus = -1;
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus)
        focus = gui.hwndFocus == main ? 0 : GetDlgCtrlID(gui.hwndFocus);

    LRESULT defId = quick ? 0 : SendW(main, DM_GETDEFID, 0, 0);
    std::string line = "{" + Field("found", "true") + "," + Field("t", taken) + "," +
                       Field("hwnd", Num(reinterpret_cast<LONG_PTR>(main))) + "," +
                       Field("class", Json(Utf8(ClassOf(main)))) + "," + TextFields("caption", TextOf(main)) +
                       "," + Field("window", RectJson(wr)) + "," + Field("client", RectJson(cr)) + "," +
                       Field("style", Num(static_cast<long>(GetWindowLongA(main, GWL_STYLE)))) + "," +
                       Field("exstyle", Num(static_cast<long>(GetWindowLongA(main, GWL_EXSTYLE)))) + "," +
                       Field("has_menu", GetMenu(main) ? "true" : "false") + "," +
                       Field("exec_enabled", execEnabled ? "true" : "false") +
                       "," + Field("defid", Num(static_cast<long>(defId))) + "," + Field("focus", Num(focus)) +
                       "," + Field("checks", "{" + checks + "}") + "," + Field("item_height", Num(itemHeight)) +
                       "," + Field("items", "[" + items + "]") + "," + Field("item_data", "[" + data + "]") +
                       "," + Field("controls", "[" + kids + "]") + "}";
    return record::AppendLine(out, line) ? 0 : 1;
}

// --- input ------------------------------------------------------------------

int Click(int id)
{
    HWND main = MainWindow();
    HWND button = Control(id);
    if (!main || !button) return 1;
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

int Check(int id, int state)
{
    HWND box = Control(id);
    if (!box) return 1;
    PostMessageA(box, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
    return 0;
}

int Toggle(int index)
{
    HWND list = Control(106);
    if (!list) return 1;
    // The check box is the left part of each 12-pixel item.
    LPARAM at = MAKELPARAM(6, 12 * index + 6);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    return 0;
}

int Space(int index)
{
    HWND list = Control(106);
    if (!list) return 1;
    PostMessageA(list, LB_SETCURSEL, index, 0);
    PostKey(list, VK_SPACE);
    return 0;
}

int Key(UINT vk, const std::string& target)
{
    HWND main = MainWindow();
    if (!main) return 1;
    HWND to = main;
    if (target == "focus") {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(main, NULL), &gui) && gui.hwndFocus) to = gui.hwndFocus;
    } else if (target != "main") {
        to = GetDlgItem(main, atoi(target.c_str()));
        if (!to) return 1;
    }
    PostKey(to, vk);
    return 0;
}

int SysCommand(WPARAM sc)
{
    HWND main = MainWindow();
    if (!main) return 1;
    PostMessageA(main, WM_SYSCOMMAND, sc, 0);
    return 0;
}

int Menu(int id)
{
    HWND main = MainWindow();
    if (!main) return 1;
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return 0;
}

// A press and release over the label; the pointer is put there as well, in
// case the label asks where the pointer is rather than trusting the message.
int LabelClick(int x, int y)
{
    HWND label = Control(109);
    if (!label) return 1;
    POINT p = {x, y};
    ClientToScreen(label, &p);
    SetCursorPos(p.x, p.y);
    Sleep(200);
    LPARAM at = MAKELPARAM(x, y);
    PostMessageA(label, WM_MOUSEMOVE, 0, at);
    PostMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(label, WM_LBUTTONUP, 0, at);
    return 0;
}

// Moves the stand-in console aside (for a screenshot of both windows).
int MoveConsole(int x, int y, int w, int h)
{
    HWND console = FindWindowA("MMCMainFrame", NULL);
    if (!console) return 1;
    SetWindowPos(console, NULL, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

// --- the help viewer's window -----------------------------------------------

std::string g_out, g_stop;

#pragma pack(push, 1)
struct WinHelpRequest {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD ofsFilename;
    WORD ofsData;
};
#pragma pack(pop)

LRESULT CALLBACK HelpProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COPYDATA: {
        const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        std::string raw(static_cast<const char*>(cds->lpData), cds->cbData);
        std::string line = "{" + Field("t", record::EpochMs()) + "," +
                           Field("magic", Num(static_cast<long>(cds->dwData))) + "," +
                           Field("owner", Num(static_cast<LONG_PTR>(wp))) + "," + Field("raw", Json(Hex(raw)));
        if (cds->dwData == kHelpMagic && raw.size() >= sizeof(WinHelpRequest)) {
            const WinHelpRequest* r = reinterpret_cast<const WinHelpRequest*>(raw.data());
            std::string file;
            if (r->ofsFilename && r->ofsFilename < raw.size())
                file = std::string(raw.c_str() + r->ofsFilename);
            line += "," + Field("command", Num(r->command)) + "," + Field("data", Num(r->data)) + "," +
                    Field("file_cp932", Json(Hex(file)));
        }
        record::AppendLine(g_out, line + "}");
        return TRUE;
    }
    case WM_TIMER:
        if (record::FileExists(g_stop)) DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int WinHelpWindow(const std::string& out, const std::string& stop)
{
    g_out = out;
    g_stop = stop;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HelpProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "MS_WINHELP";
    if (!RegisterClassA(&wc)) return 1;
    HWND w = CreateWindowExA(0, wc.lpszClassName, "help", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                             wc.hInstance, NULL);
    if (!w) return 1;
    SetTimer(w, 1, 200, NULL);
    record::AppendLine(out, "{" + Field("ready", "true") + "}");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

// --- message boxes ----------------------------------------------------------

const wchar_t kCompletionCaption[] = L"\x6700\x9069\x5316\x304c\x5b8c\x4e86\x3057\x307e\x3057\x305f";

struct BoxList {
    std::vector<HWND> boxes;
};

BOOL CALLBACK FindBoxes(HWND h, LPARAM lp)
{
    if (IsWindowVisible(h) && ClassOf(h) == L"#32770" && TextOf(h) != kCompletionCaption)
        reinterpret_cast<BoxList*>(lp)->boxes.push_back(h);
    return TRUE;
}

struct BoxContent {
    std::wstring text;
    std::vector<std::string> buttons;
    HWND firstButton = NULL;
    std::string icon = "none";
};

// Which of the system's icons a box shows (the icons are shared by every
// program of the prefix).
std::string IconName(HICON icon)
{
    struct Known {
        LPCSTR id;
        const char* name;
    };
    const Known known[] = {{IDI_HAND, "error"},
                           {IDI_QUESTION, "question"},
                           {IDI_EXCLAMATION, "warning"},
                           {IDI_ASTERISK, "information"}};
    for (const Known& k : known)
        if (LoadIconA(NULL, k.id) == icon) return k.name;
    char buf[32];
    wsprintfA(buf, "unknown:%lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(icon)));
    return buf;
}

BOOL CALLBACK ReadBoxChild(HWND h, LPARAM lp)
{
    BoxContent* c = reinterpret_cast<BoxContent*>(lp);
    std::wstring cls = ClassOf(h);
    if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
        c->buttons.push_back(Json(Utf8(TextOf(h))));
        if (!c->firstButton) c->firstButton = h;
    } else if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
        std::wstring text = TextOf(h);
        if (!text.empty()) {
            c->text += text;
        } else {
            HICON icon = reinterpret_cast<HICON>(SendW(h, STM_GETICON, 0, 0));
            if (icon) c->icon = IconName(icon);
        }
    }
    return TRUE;
}

int Watch(const std::string& out, const std::string& stop, DWORD holdMs)
{
    record::AppendLine(out, "{" + Field("event", "\"ready\"") + "}");
    std::set<HWND> handled;
    while (!record::FileExists(stop)) {
        BoxList found;
        EnumWindows(FindBoxes, reinterpret_cast<LPARAM>(&found));
        for (HWND box : found.boxes) {
            if (handled.count(box)) continue;
            Sleep(300);
            if (!IsWindow(box)) continue;
            BoxContent c;
            EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&c));
            DWORD pid = 0;
            GetWindowThreadProcessId(box, &pid);
            std::string buttons;
            for (size_t i = 0; i < c.buttons.size(); ++i) buttons += (i ? "," : "") + c.buttons[i];
            record::AppendLine(out, "{" + Field("event", "\"box\"") + "," + Field("t", record::EpochMs()) +
                                        "," + Field("pid", Num(pid)) + "," + TextFields("caption", TextOf(box)) +
                                        "," + TextFields("text", c.text) + "," +
                                        Field("icon", Json(c.icon)) + "," +
                                        Field("buttons", "[" + buttons + "]") + "}");
            handled.insert(box);
            DWORD until = GetTickCount() + holdMs;
            while (GetTickCount() < until && IsWindow(box)) Sleep(50);
            bool wasOpen = IsWindow(box) != FALSE;
            if (c.firstButton) {
                int id = GetDlgCtrlID(c.firstButton);
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(c.firstButton));
            } else {
                PostMessageA(box, WM_CLOSE, 0, 0);
            }
            record::AppendLine(out, "{" + Field("event", "\"dismissed\"") + "," + Field("t", record::EpochMs()) +
                                        "," + Field("open_until_then", wasOpen ? "true" : "false") + "}");
        }
        for (auto it = handled.begin(); it != handled.end();) {
            if (!IsWindow(*it)) it = handled.erase(it);
            else ++it;
        }
        Sleep(100);
    }
    return 0;
}

// --- resources of the exe ---------------------------------------------------

std::string MenuJson(HMENU menu)
{
    std::string out = "[";
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        wchar_t buf[256] = L"";
        int len = GetMenuStringW(menu, i, buf, 256, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, i);
        out += std::string(i ? "," : "") + "{" + TextFields("text", std::wstring(buf, len > 0 ? len : 0)) + "," +
               Field("id", Num(sub ? -1 : static_cast<long>(GetMenuItemID(menu, i)))) + "," +
               Field("separator", (state & MF_SEPARATOR) && !sub ? "true" : "false");
        if (sub) out += "," + Field("items", MenuJson(sub));
        out += "}";
    }
    return out + "]";
}

int MenuResources(const std::string& exe, const std::string& out)
{
    HMODULE module = LoadLibraryExA(record::WindowsPath(exe).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        record::AppendLine(out, "{" + Field("error", Num(GetLastError())) + "}");
        return 1;
    }
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(200));
    std::string accel = "[";
    HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(210));
    if (table) {
        int n = CopyAcceleratorTableA(table, NULL, 0);
        std::vector<ACCEL> entries(n > 0 ? n : 1);
        n = CopyAcceleratorTableA(table, entries.data(), n);
        for (int i = 0; i < n; ++i)
            accel += std::string(i ? "," : "") + "{" + Field("virt", Num(entries[i].fVirt)) + "," +
                     Field("key", Num(entries[i].key)) + "," + Field("cmd", Num(entries[i].cmd)) + "}";
    }
    accel += "]";
    std::string line = "{" + Field("menu", menu ? MenuJson(menu) : "null") + "," +
                       Field("accelerators", table ? accel : "null") + "}";
    return record::AppendLine(out, line) ? 0 : 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> a(__argv + 1, __argv + __argc);
    size_t n = a.size();
    if (n == 0) return 2;
    const std::string& c = a[0];
    if (c == "find" && n == 3) return Find(a[1], static_cast<DWORD>(atol(a[2].c_str())));
    if (c == "dump" && (n == 2 || n == 3)) return Dump(a[1], n == 3 && a[2] == "quick");
    if (c == "click" && n == 2) return Click(atoi(a[1].c_str()));
    if (c == "check" && n == 3) return Check(atoi(a[1].c_str()), atoi(a[2].c_str()));
    if (c == "toggle" && n == 2) return Toggle(atoi(a[1].c_str()));
    if (c == "space" && n == 2) return Space(atoi(a[1].c_str()));
    if (c == "key" && n == 3) return Key(static_cast<UINT>(atoi(a[1].c_str())), a[2]);
    if (c == "syscommand" && n == 2) return SysCommand(static_cast<WPARAM>(atol(a[1].c_str())));
    if (c == "menu" && n == 2) return Menu(atoi(a[1].c_str()));
    if (c == "label" && n == 3) return LabelClick(atoi(a[1].c_str()), atoi(a[2].c_str()));
    if (c == "moveconsole" && n == 5)
        return MoveConsole(atoi(a[1].c_str()), atoi(a[2].c_str()), atoi(a[3].c_str()), atoi(a[4].c_str()));
    if (c == "winhelp" && n == 3) return WinHelpWindow(a[1], a[2]);
    if (c == "watch" && n == 4) return Watch(a[1], a[2], static_cast<DWORD>(atol(a[3].c_str())));
    if (c == "menures" && n == 3) return MenuResources(a[1], a[2]);
    return 2;
}
