// The system layer where it meets Win32, checked against the real calls
// under Wine in the way of Wine's own conformance tests.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "system/Scoped.h"
#include "system/Win32Files.h"
#include "system/Win32Window.h"

namespace {

int failures = 0;

#define CHECK(condition)                                                           \
    do {                                                                           \
        if (!(condition)) {                                                        \
            std::printf("line %d: %s failed (error %lu)\n", __LINE__, #condition,  \
                        static_cast<unsigned long>(::GetLastError()));             \
            ++failures;                                                            \
        }                                                                          \
    } while (0)

HANDLE OpenUnshared(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

void FilesAndFinds(const std::string& folder) {
    const std::string file = folder + "\\a.txt";
    CHECK(::CreateDirectoryA(folder.c_str(), nullptr));
    {
        ScopedFile held(OpenUnshared(file));
        CHECK(held.IsValid());
        ScopedFile second(OpenUnshared(file));
        CHECK(!second.IsValid() && ::GetLastError() == ERROR_SHARING_VIOLATION);
    }
    ScopedFile again(OpenUnshared(file));  // the scope closed the first handle
    CHECK(again.IsValid());
    CHECK(again.Close());
    CHECK(!again.IsValid() && again.Close());

    CHECK(IsFolderAttributes(FileAttributes(folder)) && !IsFileAttributes(FileAttributes(folder)));
    CHECK(IsFileAttributes(FileAttributes(file)) && !IsFolderAttributes(FileAttributes(file)));
    CHECK(FileAttributes(folder + "\\missing") == fa::kNone);
    CHECK(!IsFileAttributes(fa::kNone) && !IsFolderAttributes(fa::kNone));

    // Win32Files::ListFiles tells an empty match from a failure by these errors.
    WIN32_FIND_DATAA found;
    std::set<std::string> names;
    FindFile find;
    for (bool more = find.FindFirst(folder + "\\*", found); more; more = find.FindNext(found)) {
        names.insert(found.cFileName);
    }
    CHECK(::GetLastError() == ERROR_NO_MORE_FILES);
    CHECK((names == std::set<std::string>{".", "..", "a.txt"}));
    CHECK(find.Close());
    FindFile none;
    CHECK(!none.FindFirst(folder + "\\b*", found) && ::GetLastError() == ERROR_FILE_NOT_FOUND);

    CHECK(::DeleteFileA(file.c_str()) && ::RemoveDirectoryA(folder.c_str()));
}

void Fonts() {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ before = ::GetCurrentObject(dc, OBJ_FONT);
    ScopedFont font(::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    CHECK(font.IsValid());
    {
        ScopedSelectObject selected(dc, font.Get());
        CHECK(::GetCurrentObject(dc, OBJ_FONT) == font.Get());
    }
    CHECK(::GetCurrentObject(dc, OBJ_FONT) == before);
    {
        ScopedSelectObject nothing(dc, nullptr);
        CHECK(::GetCurrentObject(dc, OBJ_FONT) == before);
    }
    HFONT raw = font.Get();
    CHECK(font.Close() && ::GetObjectType(raw) == 0);
    ::DeleteDC(dc);
}

class Counter {
public:
    HWND hwnd_ = nullptr;
    int users = 0;
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_USER || msg == WM_USER + 1) ++users;
        return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
    }
};

bool TakeSecond(MSG& msg) { return msg.message == WM_USER + 1; }

void WindowsAndPump() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProcOf<Counter>;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuendroLayerTest";
    CHECK(::RegisterClassA(&wc));
    Counter counter;
    HWND hwnd = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, &counter);
    CHECK(hwnd && counter.hwnd_ == hwnd);
    ::PostMessageA(hwnd, WM_USER, 0, 0);
    ::PostMessageA(hwnd, WM_USER + 1, 0, 0);
    ProcessWaitingMessages(TakeSecond);
    CHECK(counter.users == 1);
    ::PostQuitMessage(3);
    ProcessWaitingMessages();
    MSG msg;
    CHECK(::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT && msg.wParam == 3);
    ::DestroyWindow(hwnd);
    CHECK(counter.hwnd_ == nullptr);
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    const DWORD got = ::GetTempPathA(sizeof temp, temp);
    if (got == 0 || got >= sizeof temp) return 2;
    FilesAndFinds(std::string(temp) + "quendro-layer-" + std::to_string(::GetCurrentProcessId()));
    Fonts();
    WindowsAndPump();
    std::printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
