// Stand-in for the Japanese Windows 2000 Disk Defragmenter console, for the
// end-to-end tests. It builds the window tree quendro.exe looks for, reacts
// to the keys it posts, and records what it received.
//
// Started by the .msc association as: dfrgstub.exe "C:\...\dfrg.msc" C:
// The last argument is the drive. Environment:
//   QUENDRO_STANDIN_MAP     file of lines "<drive> <mode> [key=value ...]"
//                           (no file, or no line for the drive: normal)
//   QUENDRO_STANDIN_RECORD  file the records are appended to
// Modes:
//   normal       defragments for run= ms after the Defragment button is
//                pressed, then shows the completion box boxes= times (0: none;
//                shown again at once after each dismissal), then enables
//                View Report
//   noopen       ends at once without a window
//   nowindow     the window of search step step= (2..6) and all below it are
//                missing
//   nobutton     button=defrag or button=report is missing
//   badcaption   the window of search step step= (3..6) has another caption
//   nested       the window of search step step= (4..6; 7 for both buttons)
//                is a grandchild instead of a child of the step before
//   done         View Report is enabled from the start
//   closebyhand  closes itself after= ms after the Defragment button
//   ignoreclose  as normal, but ignores WM_CLOSE and ends by itself linger= ms
//                after the first one
// The main window takes the console's title only once its windows are all
// there, so a search never finds it half built; with tree= ms it takes the
// title at once and builds its windows that much later, as a slow machine
// may show a console still building them.
// Every mode: appear= ms before the window is made; life= ms after which it
// ends whatever happens (so a stuck test cannot poison the next one); the
// message WM_APP+1 ends it at once.
// Records, one per line: "<epoch ms> <pid> <drive> <event...>".
#include "Record.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kTitle[] = "ディスク デフラグ ツール";
const char kDefragCaption[] = "最適化";
const char kReportCaption[] = "レポートの表示";
const char kBoxCaption[] = "最適化が完了しました";
const char kBoxText[] = "ディスクの最適化が完了しました。";
const char kBoxClose[] = "閉じる";

const UINT kQuitMessage = WM_APP + 1;
enum TimerId { kRunTimer = 1, kCloseByHandTimer, kLingerTimer, kLifeTimer, kTreeTimer };

struct Behaviour {
    std::string mode = "normal";
    int runMs = 3000;
    int boxes = 1;
    int missingStep = 0;
    std::string missingButton;
    int appearMs = 0;
    int treeMs = 0;
    int afterMs = 3000;
    int lingerMs = 20000;
    int lifeMs = 120000;
};

std::string g_drive = "?";
std::string g_recordPath;
Behaviour g_b;
HWND g_frame, g_mdiClient, g_child, g_outer, g_inner, g_control, g_defrag, g_report, g_box;
HWND g_dyingBox; // dismissed, kept until the next one is, so that the key-up posted after
                 // the key-down is still seen
int g_boxesShown = 0;
bool g_started = false;
bool g_lingering = false;

void Record(const std::string& event)
{
    record::AppendLine(g_recordPath, record::EpochMs() + " " +
                                         record::Number(GetCurrentProcessId()) + " " +
                                         g_drive + " " + event);
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void LoadBehaviour()
{
    std::string path = record::Env("QUENDRO_STANDIN_MAP");
    if (path.empty()) return;
    HANDLE f = CreateFileA(record::WindowsPath(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) {
        Record("map unreadable");
        return;
    }
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, NULL) && got > 0) text.append(buf, got);
    CloseHandle(f);

    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> w = Split(text.substr(pos, end - pos));
        pos = end + 1;
        if (w.size() < 2 || Upper(w[0]) != g_drive) continue;
        g_b.mode = w[1];
        for (size_t i = 2; i < w.size(); ++i) {
            size_t eq = w[i].find('=');
            if (eq == std::string::npos) continue;
            std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            int n = std::atoi(value.c_str());
            if (key == "run") g_b.runMs = n;
            else if (key == "boxes") g_b.boxes = n;
            else if (key == "step") g_b.missingStep = n;
            else if (key == "button") g_b.missingButton = value;
            else if (key == "appear") g_b.appearMs = n;
            else if (key == "tree") g_b.treeMs = n;
            else if (key == "after") g_b.afterMs = n;
            else if (key == "linger") g_b.lingerMs = n;
            else if (key == "life") g_b.lifeMs = n;
        }
        return; // the first line for the drive wins
    }
}

const char* WindowName(HWND h)
{
    if (!h) return NULL;
    if (h == g_frame) return "frame";
    if (h == g_mdiClient) return "mdiclient";
    if (h == g_child) return "childframe";
    if (h == g_outer) return "outerview";
    if (h == g_inner) return "innerview";
    if (h == g_control) return "control";
    if (h == g_defrag) return "defrag";
    if (h == g_report) return "report";
    if (g_box && (h == g_box || IsChild(g_box, h))) return "box";
    if (g_dyingBox && (h == g_dyingBox || IsChild(g_dyingBox, h))) return "box";
    return NULL;
}

const char* MessageName(UINT m)
{
    switch (m) {
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_SYSKEYDOWN: return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP: return "WM_SYSKEYUP";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case BM_CLICK: return "BM_CLICK";
    default: return NULL;
    }
}

// The messages posted to the console pass through the message loop; this
// is how the tests see their targets, order and parameters.
void RecordPosted(const MSG& msg)
{
    const char* window = WindowName(msg.hwnd);
    const char* name = MessageName(msg.message);
    if (!window || !name) return;
    Record(std::string("posted ") + window + " " + name + " wp=" +
           record::Number(static_cast<unsigned long>(msg.wParam)) +
           " lp=" + record::Number(static_cast<unsigned long>(msg.lParam)));
}

void EnableReport()
{
    if (!g_report) return;
    EnableWindow(g_report, TRUE);
    Record("report enabled");
}

// The completion box: a dialog (class #32770) built from an in-memory
// template, with "閉じる" as its cancel button so that Escape dismisses it.
void ShowBox();

INT_PTR CALLBACK BoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
            Record("box dismissed n=" + record::Number(g_boxesShown) +
                   (LOWORD(wp) == IDCANCEL ? " by=cancel" : " by=ok"));
            // Hidden, then nameless, so that no search finds it again and no
            // watcher sees a visible box without its caption.
            ShowWindow(dlg, SW_HIDE);
            SetWindowTextA(dlg, "");
            // The key-up the program posted after this key-down has surely
            // come before it dismisses the next box: the box before goes now.
            if (g_dyingBox) DestroyWindow(g_dyingBox);
            g_dyingBox = dlg;
            g_box = NULL;
            if (g_boxesShown < g_b.boxes) ShowBox();
            else EnableReport();
            return TRUE;
        }
        break;
    case WM_CLOSE:
        Record("box WM_CLOSE");
        return TRUE;
    }
    return FALSE;
}

void AppendWide(std::vector<WORD>& t, const char* text)
{
    int n = MultiByteToWideChar(932, 0, text, -1, NULL, 0);
    std::vector<WCHAR> w(n > 0 ? n : 1);
    MultiByteToWideChar(932, 0, text, -1, w.data(), n);
    for (int i = 0; i < n; ++i) t.push_back(w[i]);
}

void Align(std::vector<WORD>& t)
{
    if (t.size() % 2) t.push_back(0);
}

void AddItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id,
             WORD classAtom, const char* text)
{
    Align(t);
    DLGITEMTEMPLATE item = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    const WORD* p = reinterpret_cast<const WORD*>(&item);
    t.insert(t.end(), p, p + sizeof item / 2);
    t.push_back(0xFFFF);
    t.push_back(classAtom);
    AppendWide(t, text);
    t.push_back(0);
}

void ShowBox()
{
    std::vector<WORD> t;
    DLGTEMPLATE head = {DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION |
                            WS_SYSMENU | WS_VISIBLE,
                        0, 3, 0, 0, 200, 70};
    const WORD* p = reinterpret_cast<const WORD*>(&head);
    t.insert(t.end(), p, p + sizeof head / 2);
    t.push_back(0); // no menu
    t.push_back(0); // the dialog class
    AppendWide(t, kBoxCaption);
    t.push_back(9);
    AppendWide(t, "MS UI Gothic");
    AddItem(t, SS_LEFT, 10, 10, 180, 20, 0xFFFF, 0x0082, kBoxText);
    AddItem(t, BS_PUSHBUTTON | WS_TABSTOP, 30, 45, 70, 16, 100, 0x0080, kReportCaption);
    AddItem(t, BS_DEFPUSHBUTTON | WS_TABSTOP, 110, 45, 60, 16, IDCANCEL, 0x0080, kBoxClose);
    Align(t);
    g_box = CreateDialogIndirectParamA(GetModuleHandleA(NULL),
                                       reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), g_frame,
                                       BoxProc, 0);
    ++g_boxesShown;
    Record("box shown n=" + record::Number(g_boxesShown) + (g_box ? "" : " failed"));
}

void Finished()
{
    if (g_b.boxes > 0) ShowBox();
    else EnableReport();
}

void BuildTree(HINSTANCE inst);
void RecordShown();

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CLOSE:
        Record("WM_CLOSE");
        if (g_b.mode == "ignoreclose") {
            if (!g_lingering) {
                g_lingering = true;
                SetTimer(hwnd, kLingerTimer, g_b.lingerMs, NULL);
            }
            Record("close ignored");
            return 0;
        }
        DestroyWindow(hwnd);
        return 0;
    case WM_TIMER:
        KillTimer(hwnd, wp);
        if (wp == kRunTimer) {
            Record("defragmentation over");
            Finished();
        } else if (wp == kCloseByHandTimer) {
            Record("closed by hand");
            DestroyWindow(hwnd);
        } else if (wp == kLingerTimer) {
            Record("linger over");
            DestroyWindow(hwnd);
        } else if (wp == kTreeTimer) {
            BuildTree(GetModuleHandleA(NULL));
            RecordShown();
        } else if (wp == kLifeTimer) {
            Record("life over");
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_SIZE:
        if (g_mdiClient) MoveWindow(g_mdiClient, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    if (msg == kQuitMessage) {
        Record("quit requested");
        DestroyWindow(hwnd);
        return 0;
    }
    return DefFrameProcA(hwnd, g_mdiClient, msg, wp, lp);
}

LRESULT CALLBACK ChildFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SIZE && g_outer) MoveWindow(g_outer, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    return DefMDIChildProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SIZE) {
        HWND inner = GetWindow(hwnd, GW_CHILD);
        if (inner) MoveWindow(inner, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        HWND from = reinterpret_cast<HWND>(lp);
        if (from == g_defrag) {
            Record("clicked defrag");
            if (!g_started) {
                g_started = true;
                if (g_b.mode == "closebyhand")
                    SetTimer(g_frame, kCloseByHandTimer, g_b.afterMs, NULL);
                else
                    SetTimer(g_frame, kRunTimer, g_b.runMs, NULL);
            }
        } else if (from == g_report) {
            Record("clicked report");
        }
        return 0;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        SetBkMode(dc, TRANSPARENT);
        const char* text = g_started ? "最適化しています..." : "ボリューム";
        TextOutA(dc, 12, 12, text, lstrlenA(text));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Register(const char* name, WNDPROC proc, HINSTANCE inst)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

HWND Child(HWND parent, const char* cls, const char* caption, DWORD style, int x, int y, int w,
           int h, int id, HINSTANCE inst)
{
    return CreateWindowExA(0, cls, caption, style | WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, NULL);
}

bool Missing(int step)
{
    return g_b.mode == "nowindow" && g_b.missingStep != 0 && g_b.missingStep <= step;
}

const char* Caption(int step, const char* normal)
{
    if (g_b.mode != "badcaption" || g_b.missingStep != step) return normal;
    return normal[0] ? "デフラグ ツール" : "x";
}

// The parent the window of a step gets: the window of the step before, or
// a plain window in between when the step is to be out of reach of a
// search among direct children.
HWND ParentFor(int step, HWND parent, HINSTANCE inst)
{
    if (g_b.mode != "nested" || g_b.missingStep != step || !parent) return parent;
    RECT rc;
    GetClientRect(parent, &rc);
    return Child(parent, "Static", "", 0, 0, 0, rc.right, rc.bottom, 2, inst);
}

void BuildTree(HINSTANCE inst)
{
    if (!Missing(2)) {
        CLIENTCREATESTRUCT ccs = {NULL, 1000};
        RECT rc;
        GetClientRect(g_frame, &rc);
        g_mdiClient = CreateWindowExA(0, "MDIClient", NULL,
                                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, rc.right,
                                      rc.bottom, g_frame, NULL, inst, &ccs);
    }
    if (g_mdiClient && !Missing(3)) {
        g_child = CreateMDIWindowA("MMCChildFrm", Caption(3, kTitle), WS_VISIBLE, 0, 0, 600,
                                   360, g_mdiClient, inst, 0);
    }
    if (g_child && !Missing(4))
        g_outer = Child(ParentFor(4, g_child, inst), "AfxFrameOrView42u", Caption(4, ""), 0, 0, 0,
                        600, 360, 1, inst);
    if (g_outer && !Missing(5))
        g_inner = Child(ParentFor(5, g_outer, inst), "AfxFrameOrView42u", Caption(5, ""), 0, 0, 0,
                        600, 360, 1, inst);
    if (g_inner && !Missing(6))
        g_control = Child(ParentFor(6, g_inner, inst), "ATL:723A6A38", Caption(6, kTitle), 0, 0,
                          0, 600, 360, 1, inst);
    if (g_control) {
        HWND parent = ParentFor(7, g_control, inst);
        if (!(g_b.mode == "nobutton" && g_b.missingButton == "defrag"))
            g_defrag = Child(parent, "Button", kDefragCaption, BS_PUSHBUTTON | WS_TABSTOP, 12,
                             280, 100, 26, 101, inst);
        if (!(g_b.mode == "nobutton" && g_b.missingButton == "report"))
            g_report = Child(parent, "Button", kReportCaption,
                             BS_PUSHBUTTON | WS_TABSTOP | (g_b.mode == "done" ? 0 : WS_DISABLED),
                             124, 280, 130, 26, 102, inst);
    }
}

// From here on the console can be found and controlled as far as it ever can.
void RecordShown()
{
    Record(std::string("window shown") + (g_defrag ? " defrag" : "") + (g_report ? " report" : "") +
           (g_report && IsWindowEnabled(g_report) ? " report-enabled" : ""));
}

void BuildWindows(HINSTANCE inst)
{
    Register("MMCMainFrame", FrameProc, inst);
    Register("MMCChildFrm", ChildFrameProc, inst);
    Register("AfxFrameOrView42u", ViewProc, inst);
    Register("ATL:723A6A38", ControlProc, inst);

    g_frame = CreateWindowExA(0, "MMCMainFrame", "", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20,
                              20, 620, 420, NULL, NULL, inst, NULL);
    if (!g_frame) {
        Record("frame not created");
        return;
    }
    if (g_b.treeMs > 0) {
        SetWindowTextA(g_frame, kTitle);
        ShowWindow(g_frame, SW_SHOW);
        Record("titled before its windows");
        SetTimer(g_frame, kTreeTimer, g_b.treeMs, NULL);
        return;
    }
    BuildTree(inst);
    SetWindowTextA(g_frame, kTitle);
    ShowWindow(g_frame, SW_SHOW);
    UpdateWindow(g_frame);
    RecordShown();
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int)
{
    g_recordPath = record::Env("QUENDRO_STANDIN_RECORD");
    if (__argc >= 2) g_drive = Upper(__argv[__argc - 1]);
    std::string start = "start argc=" + record::Number(__argc - 1);
    for (int i = 1; i < __argc; ++i) start += std::string(" [") + __argv[i] + "]";
    Record(start);
    LoadBehaviour();
    Record("mode " + g_b.mode);

    if (g_b.mode == "noopen") {
        Record("exit");
        return 0;
    }
    if (g_b.appearMs > 0) Sleep(g_b.appearMs);
    BuildWindows(inst);
    if (!g_frame) return 1;
    SetTimer(g_frame, kLifeTimer, g_b.lifeMs, NULL);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        RecordPosted(msg);
        if (msg.message == kQuitMessage && msg.hwnd == NULL) {
            Record("quit requested");
            DestroyWindow(g_frame);
            continue;
        }
        if (g_box && IsDialogMessageA(g_box, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Record("exit");
    return 0;
}
