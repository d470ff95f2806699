// Drives quendro.exe's help commands and reads the help viewer's window,
// from another program of the same Wine prefix:
//   helpdriver find OUT MS             waits up to MS for the window Quendro
//   helpdriver f1 OUT                  F1 to that window, as real key input
//   helpdriver label OUT               a real left click on its link label
//   helpdriver viewer OUT MS [HEX]     waits up to MS for the help viewer to
//                                      show a page (beginning with the UTF-8
//                                      text given in hex), then records it
//   helpdriver arrange OUT             moves the viewer left, Quendro right
//   helpdriver byid OUT FILE ID...     opens each context id in a viewer of
//                                      its own (winhlp32 -i) and records it
//   helpdriver close OUT               closes every viewer and Quendro
// Records are UTF-8 JSON lines appended to OUT. Texts of other programs are
// read with the wide calls (the ANSI ones are cut short across processes).
#include "../../standin/Record.h"
#include "../e2e/WindowText.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int kLinkLabel = 109;

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(strtol(hex.substr(i, 2).c_str(), NULL, 16));
    return out;
}

HWND Quendro() { return FindWindowA("TfrmMain", "Quendro"); }

// The viewer's page is a rich edit control among its children.
struct TextFinder {
    HWND found;
};

BOOL CALLBACK FindText(HWND h, LPARAM lp)
{
    std::wstring cls = ClassOf(h);
    if (cls.find(L"RichEdit") != std::wstring::npos || cls.find(L"RICHEDIT") != std::wstring::npos) {
        reinterpret_cast<TextFinder*>(lp)->found = h;
        return FALSE;
    }
    return TRUE;
}

std::wstring PageText(HWND viewer)
{
    TextFinder f = {NULL};
    EnumChildWindows(viewer, FindText, reinterpret_cast<LPARAM>(&f));
    if (!f.found) return std::wstring();
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(f.found, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &len)) return std::wstring();
    // Room for the control's ANSI text as well: it is an ANSI window.
    std::vector<wchar_t> buf(len * 2 + 64);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(f.found, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_NORMAL, 5000, &got);
    return std::wstring(buf.data(), got);
}

struct ViewerFinder {
    DWORD pid;  // 0: any
    HWND found;
};

BOOL CALLBACK FindViewer(HWND h, LPARAM lp)
{
    ViewerFinder* f = reinterpret_cast<ViewerFinder*>(lp);
    if (!IsWindowVisible(h) || ClassOf(h) != L"MS_WINHELP") return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (f->pid && pid != f->pid) return TRUE;
    f->found = h;
    return FALSE;
}

HWND Viewer(DWORD pid)
{
    ViewerFinder f = {pid, NULL};
    EnumWindows(FindViewer, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::string RectJson(HWND h)
{
    RECT r;
    GetWindowRect(h, &r);
    return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right - r.left) + "," + Num(r.bottom - r.top) + "]";
}

// Waits for a viewer (of process pid, or any) whose page begins with `want`
// (a topic's first line is its title).
bool WaitPage(DWORD pid, DWORD ms, const std::string& want, HWND& viewer, std::string& text)
{
    DWORD start = GetTickCount();
    for (;;) {
        viewer = Viewer(pid);
        text = viewer ? Utf8(PageText(viewer)) : std::string();
        if (!text.empty() && text.compare(0, want.size(), want) == 0) {
            // Let the page settle: the same text twice in a row.
            Sleep(300);
            std::string again = Utf8(PageText(viewer));
            if (again == text) return true;
        }
        if (GetTickCount() - start > ms) return false;
        Sleep(150);
    }
}

BOOL CALLBACK ListChild(HWND h, LPARAM lp)
{
    std::string* out = reinterpret_cast<std::string*>(lp);
    *out += std::string(out->size() > 1 ? "," : "") + "{\"class\":" + Json(Utf8(ClassOf(h))) + ",\"id\":" +
            Num(GetDlgCtrlID(h)) + ",\"visible\":" + (IsWindowVisible(h) ? "true" : "false") + "}";
    return TRUE;
}

// The viewer's child windows, for a failure's record.
std::string ChildrenJson(HWND viewer)
{
    std::string out = "[";
    if (viewer) EnumChildWindows(viewer, ListChild, reinterpret_cast<LPARAM>(&out));
    return out + "]";
}

std::string ViewerJson(bool found, HWND viewer, const std::string& text)
{
    DWORD pid = 0;
    if (viewer) GetWindowThreadProcessId(viewer, &pid);
    return "{\"found\":" + std::string(found ? "true" : "false") + ",\"t\":" + record::EpochMs() +
           ",\"pid\":" + Num(static_cast<long>(pid)) + ",\"caption\":" + Json(viewer ? Utf8(TextOf(viewer)) : "") +
           ",\"rect\":" + (viewer ? RectJson(viewer) : "null") + ",\"children\":" + ChildrenJson(viewer) +
           ",\"text\":" + Json(text) + "}";
}

// --- real input -----------------------------------------------------------------

bool Foreground(HWND h)
{
    for (int i = 0; i < 20; ++i) {
        SetForegroundWindow(h);
        Sleep(100);
        if (GetForegroundWindow() == h) return true;
    }
    return false;
}

void Key(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Absolute moves land exactly on the asked point under Wine's virtual desktop.
void ClickAt(int x, int y)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = x * 65535 / (w - 1);
        i.mi.dy = y * 65535 / (h - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(300);
    SendInput(1, &in[1], sizeof(INPUT));
    Sleep(100);
    SendInput(1, &in[2], sizeof(INPUT));
}

// --- commands -------------------------------------------------------------------

int Find(const std::string& out, DWORD ms)
{
    DWORD start = GetTickCount();
    HWND main;
    while (!(main = Quendro()) || !IsWindowVisible(main)) {
        if (GetTickCount() - start > ms) {
            record::AppendLine(out, "{\"found\":false}");
            return 1;
        }
        Sleep(100);
    }
    record::AppendLine(out, "{\"found\":true,\"rect\":" + RectJson(main) + "}");
    return 0;
}

int F1(const std::string& out)
{
    HWND main = Quendro();
    if (!main) return 1;
    bool front = Foreground(main);
    Key(VK_F1);
    record::AppendLine(out, "{\"foreground\":" + std::string(front ? "true" : "false") + ",\"t\":" + record::EpochMs() + "}");
    return front ? 0 : 1;
}

int Label(const std::string& out)
{
    HWND main = Quendro();
    HWND label = main ? GetDlgItem(main, kLinkLabel) : NULL;
    if (!label) return 1;
    bool front = Foreground(main);
    RECT r;
    GetWindowRect(label, &r);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    record::AppendLine(out, "{\"foreground\":" + std::string(front ? "true" : "false") + ",\"at\":" + RectJson(label) +
                                ",\"t\":" + record::EpochMs() + "}");
    return front ? 0 : 1;
}

int ViewerCommand(const std::string& out, DWORD ms, const std::string& want)
{
    HWND viewer = NULL;
    std::string text;
    bool found = WaitPage(0, ms, want, viewer, text);
    record::AppendLine(out, ViewerJson(found, viewer, text));
    return found ? 0 : 1;
}

int Arrange(const std::string& out)
{
    HWND viewer = Viewer(0), main = Quendro();
    if (viewer) SetWindowPos(viewer, NULL, 0, 0, 470, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    if (main) {
        SetWindowPos(main, HWND_TOP, 478, 300, 0, 0, SWP_NOSIZE);
        Foreground(main);
    }
    Sleep(800);
    record::AppendLine(out, "{\"viewer\":" + std::string(viewer ? RectJson(viewer) : "null") +
                                ",\"quendro\":" + std::string(main ? RectJson(main) : "null") + "}");
    return viewer && main ? 0 : 1;
}

int ById(const std::string& out, const std::string& file, const std::vector<std::string>& ids)
{
    int failures = 0;
    for (const std::string& id : ids) {
        std::string cmd = "winhlp32.exe -i " + id + " " + file;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back('\0');
        HWND viewer = NULL;
        std::string text;
        bool found = false;
        if (CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
            found = WaitPage(pi.dwProcessId, 20000, "", viewer, text);
            record::AppendLine(out, "{\"id\":" + Json(id) + ",\"view\":" + ViewerJson(found, viewer, text) + "}");
            if (viewer) PostMessageA(viewer, WM_CLOSE, 0, 0);
            WaitForSingleObject(pi.hProcess, 10000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        } else {
            record::AppendLine(out, "{\"id\":" + Json(id) + ",\"view\":" + ViewerJson(false, NULL, "") + "}");
        }
        failures += !found;
    }
    return failures ? 1 : 0;
}

int Close(const std::string& out)
{
    int viewers = 0;
    for (HWND v; (v = Viewer(0)) != NULL && viewers < 20; ++viewers) {
        PostMessageA(v, WM_CLOSE, 0, 0);
        for (int i = 0; i < 50 && IsWindow(v) && IsWindowVisible(v); ++i) Sleep(100);
    }
    HWND main = Quendro();
    if (main) PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    record::AppendLine(out, "{\"viewers_closed\":" + Num(viewers) + ",\"quendro\":" + std::string(main ? "true" : "false") + "}");
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> a(__argv + 1, __argv + __argc);
    size_t n = a.size();
    if (n < 2) return 2;
    const std::string& c = a[0];
    if (c == "find" && n == 3) return Find(a[1], static_cast<DWORD>(atol(a[2].c_str())));
    if (c == "f1" && n == 2) return F1(a[1]);
    if (c == "label" && n == 2) return Label(a[1]);
    if (c == "viewer" && (n == 3 || n == 4))
        return ViewerCommand(a[1], static_cast<DWORD>(atol(a[2].c_str())), n == 4 ? FromHex(a[3]) : "");
    if (c == "arrange" && n == 2) return Arrange(a[1]);
    if (c == "byid" && n >= 4) return ById(a[1], a[2], std::vector<std::string>(a.begin() + 3, a.end()));
    if (c == "close" && n == 2) return Close(a[1]);
    return 2;
}
