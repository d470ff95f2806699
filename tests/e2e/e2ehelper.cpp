// Helpers the end-to-end tests start inside the Wine prefix:
//   e2ehelper watch OUT STOP [ANSWERS]
//                                     records and dismisses every message box;
//                                     ANSWERS ("6,7,2") are the control IDs
//                                     pressed on the first boxes, in order;
//                                     later boxes get their first button
//   e2ehelper sentinel OUT LOG STOP   a window that records the end-session
//                                     messages and, at the first, copies LOG
//   e2ehelper hold FILE share0|shareall READY STOP [console]
//                                     holds FILE open until STOP exists; with
//                                     "console" only once a console is up
//   e2ehelper closeconsoles OUT       ends every stand-in console
//   e2ehelper drives OUT              type and label of every drive letter
//   e2ehelper shellopen FILE [PARAMS] opens FILE with its associated program
// Paths may be host paths. A helper that waits ends when its STOP file
// exists. Records are UTF-8 lines; boxes are one JSON object per line.
#include "../../standin/Record.h"
#include "WindowText.h"

#include <shellapi.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

const char kConsoleClass[] = "MMCMainFrame";
const char kConsoleTitle[] = "ディスク デフラグ ツール";
const wchar_t kCompletionCaption[] = L"\x6700\x9069\x5316\x304c\x5b8c\x4e86\x3057\x307e\x3057\x305f";

// --- watch -------------------------------------------------------------

struct BoxFinder {
    std::vector<HWND> boxes;
};

BOOL CALLBACK FindBoxes(HWND h, LPARAM lp)
{
    if (IsWindowVisible(h) && ClassOf(h) == L"#32770" && TextOf(h) != kCompletionCaption)
        reinterpret_cast<BoxFinder*>(lp)->boxes.push_back(h);
    return TRUE;
}

struct BoxContent {
    std::vector<std::string> statics;
    std::vector<std::string> buttons;
    std::vector<HWND> buttonWindows;
};

BOOL CALLBACK ReadChild(HWND h, LPARAM lp)
{
    BoxContent* c = reinterpret_cast<BoxContent*>(lp);
    std::wstring cls = ClassOf(h);
    std::wstring text = TextOf(h);
    if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
        c->buttons.push_back(Utf8(text));
        c->buttonWindows.push_back(h);
    } else if (lstrcmpiW(cls.c_str(), L"Static") == 0 && !text.empty()) {
        c->statics.push_back(Utf8(text));
    }
    return TRUE;
}

std::vector<int> ParseAnswers(const std::string& list)
{
    std::vector<int> ids;
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        ids.push_back(atoi(list.substr(at, end - at).c_str()));
        at = end + 1;
    }
    return ids;
}

int Watch(const std::string& out, const std::string& stop, const std::vector<int>& answers)
{
    size_t seen = 0;
    record::AppendLine(out, "{\"event\":\"ready\",\"t\":" + record::EpochMs() + "}");
    std::set<HWND> recorded;
    while (!record::FileExists(stop)) {
        BoxFinder found;
        EnumWindows(FindBoxes, reinterpret_cast<LPARAM>(&found));
        for (HWND box : found.boxes) {
            if (recorded.count(box)) {
                // Still there after being dismissed: try again.
                continue;
            }
            Sleep(300); // let the box finish building its controls
            if (!IsWindow(box)) continue;
            BoxContent c;
            EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&c));
            DWORD pid = 0;
            GetWindowThreadProcessId(box, &pid);
            std::string text, buttons, ids;
            for (size_t i = 0; i < c.statics.size(); ++i) text += (i ? "\n" : "") + c.statics[i];
            for (size_t i = 0; i < c.buttons.size(); ++i) {
                buttons += (i ? "," : "") + Json(c.buttons[i]);
                ids += (i ? "," : "") + std::to_string(GetDlgCtrlID(c.buttonWindows[i]));
            }
            record::AppendLine(out, "{\"event\":\"box\",\"t\":" + record::EpochMs() +
                                        ",\"pid\":" + record::Number(pid) +
                                        ",\"caption\":" + Json(Utf8(TextOf(box))) +
                                        ",\"text\":" + Json(text) + ",\"buttons\":[" + buttons +
                                        "],\"ids\":[" + ids + "]}");
            recorded.insert(box);
            HWND press = c.buttonWindows.empty() ? NULL : c.buttonWindows[0];
            if (seen < answers.size()) {
                HWND wanted = NULL;
                for (HWND b : c.buttonWindows)
                    if (GetDlgCtrlID(b) == answers[seen]) wanted = b;
                if (wanted) {
                    press = wanted;
                } else {
                    // The test asked for an answer this box cannot give.
                    record::AppendLine(out, "{\"event\":\"error\",\"t\":" + record::EpochMs() +
                                                ",\"missing_id\":" + std::to_string(answers[seen]) + "}");
                }
            }
            ++seen;
            if (press) {
                int id = GetDlgCtrlID(press);
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(press));
            } else {
                PostMessageA(box, WM_CLOSE, 0, 0);
            }
        }
        // Forget boxes that are gone so that a reused handle is seen again.
        for (auto it = recorded.begin(); it != recorded.end();) {
            if (!IsWindow(*it)) it = recorded.erase(it);
            else ++it;
        }
        Sleep(100);
    }
    record::AppendLine(out, "{\"event\":\"stopped\",\"t\":" + record::EpochMs() + "}");
    return 0;
}

// --- sentinel ----------------------------------------------------------

std::string g_out, g_logPath, g_stop;

void Note(const std::string& event)
{
    record::AppendLine(g_out, record::EpochMs() + " " + event);
}

LRESULT CALLBACK SentinelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_QUERYENDSESSION: {
        Note("queryendsession");
        // What the log holds at this moment proves whether it was saved
        // before the shutdown began.
        HANDLE f = CreateFileA(record::WindowsPath(g_logPath).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (f == INVALID_HANDLE_VALUE) {
            Note("log unreadable error=" + record::Number(GetLastError()));
        } else {
            std::string data;
            char buf[4096];
            DWORD got = 0;
            while (ReadFile(f, buf, sizeof buf, &got, NULL) && got > 0) data.append(buf, got);
            CloseHandle(f);
            HANDLE copy = CreateFileA(record::WindowsPath(g_out + ".log").c_str(), GENERIC_WRITE,
                                      0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            DWORD written = 0;
            if (copy != INVALID_HANDLE_VALUE) {
                WriteFile(copy, data.data(), static_cast<DWORD>(data.size()), &written, NULL);
                CloseHandle(copy);
            }
            Note("log copied bytes=" + record::Number(static_cast<unsigned long>(data.size())));
        }
        return TRUE;
    }
    case WM_ENDSESSION:
        Note("endsession wp=" + record::Number(static_cast<unsigned long>(wp)));
        return 0;
    case WM_TIMER:
        if (record::FileExists(g_stop)) {
            Note("stopped");
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int Sentinel(const std::string& out, const std::string& logPath, const std::string& stop)
{
    g_out = out;
    g_logPath = logPath;
    g_stop = stop;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SentinelProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "QuendroTestSentinel";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "sentinel", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             600, 500, 160, 80, NULL, NULL, wc.hInstance, NULL);
    if (!w) return 1;
    SetTimer(w, 1, 200, NULL);
    Note("ready");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

// --- hold --------------------------------------------------------------

int Hold(const std::string& path, const std::string& mode, const std::string& ready,
         const std::string& stop, bool afterConsole)
{
    if (afterConsole) {
        while (!FindWindowA(kConsoleClass, kConsoleTitle)) {
            if (record::FileExists(stop)) return 1;
            Sleep(50);
        }
    }
    DWORD share = mode == "shareall" ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
    HANDLE f = CreateFileA(record::WindowsPath(path).c_str(), GENERIC_READ, share, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) {
        record::AppendLine(ready, "failed error=" + record::Number(GetLastError()));
        return 1;
    }
    record::AppendLine(ready, "held " + record::EpochMs());
    while (!record::FileExists(stop)) Sleep(50);
    CloseHandle(f);
    record::AppendLine(ready, "released " + record::EpochMs());
    return 0;
}

// --- closeconsoles -----------------------------------------------------

int CloseConsoles(const std::string& out)
{
    int posted = 0;
    for (int tries = 0; tries < 100; ++tries) {
        HWND w = FindWindowA(kConsoleClass, NULL);
        if (!w) {
            record::AppendLine(out, "closed " + record::Number(posted));
            return 0;
        }
        PostMessageA(w, WM_APP + 1, 0, 0);
        ++posted;
        Sleep(100);
    }
    record::AppendLine(out, "still open");
    return 1;
}

// --- drives ------------------------------------------------------------

int Drives(const std::string& out)
{
    std::string lines;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        char root[4] = {letter, ':', '\\', 0};
        UINT type = GetDriveTypeA(root);
        char label[MAX_PATH + 1] = "";
        std::string labelText = "-";
        if (type == DRIVE_FIXED || type == DRIVE_CDROM) {
            if (GetVolumeInformationA(root, label, sizeof label, NULL, NULL, NULL, NULL, 0))
                labelText = label[0] ? label : "(none)";
        }
        lines += std::string(root, 2) + " " + record::Number(type) + " " + labelText + "\r\n";
    }
    lines.resize(lines.size() - 2);
    return record::AppendLine(out, lines) ? 0 : 1;
}

// --- shellopen ---------------------------------------------------------

int ShellOpen(const std::string& file, const char* params)
{
    HINSTANCE r = ShellExecuteA(NULL, "open", record::WindowsPath(file).c_str(), params, NULL,
                                SW_SHOW);
    return reinterpret_cast<INT_PTR>(r) > 32 ? 0 : 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> a(__argv + 1, __argv + __argc);
    if ((a.size() == 3 || a.size() == 4) && a[0] == "watch")
        return Watch(a[1], a[2], ParseAnswers(a.size() == 4 ? a[3] : std::string()));
    if (a.size() == 4 && a[0] == "sentinel") return Sentinel(a[1], a[2], a[3]);
    if ((a.size() == 5 || a.size() == 6) && a[0] == "hold")
        return Hold(a[1], a[2], a[3], a[4], a.size() == 6 && a[5] == "console");
    if (a.size() == 2 && a[0] == "closeconsoles") return CloseConsoles(a[1]);
    if (a.size() == 2 && a[0] == "drives") return Drives(a[1]);
    if ((a.size() == 2 || a.size() == 3) && a[0] == "shellopen")
        return ShellOpen(a[1], a.size() == 3 ? a[2].c_str() : NULL);
    return 2;
}
