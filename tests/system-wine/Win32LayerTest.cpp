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

#define CHECK(c) ((c) ? void() : (std::printf("line %d: %s (error %lu)\n", __LINE__, #c, ::GetLastError()), ++failures, void()))

HANDLE OpenUnshared(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void FilesAndFinds(const std::string& folder) {
    const std::string file = folder + "\\a.txt";
    CHECK(::CreateDirectoryA(folder.c_str(), nullptr));
    {
        ScopedFile held(OpenUnshared(file));
        CHECK(held.IsValid() && !ScopedFile(OpenUnshared(file)).IsValid() && ::GetLastError() == ERROR_SHARING_VIOLATION);
    }
    ScopedFile again(OpenUnshared(file));  // the scope closed the first handle
    CHECK(again.IsValid() && again.Close() && !again.IsValid() && again.Close());
    CHECK(IsFolderAttributes(FileAttributes(folder)) && !IsFileAttributes(FileAttributes(folder)));
    CHECK(IsFileAttributes(FileAttributes(file)) && !IsFolderAttributes(FileAttributes(file)));
    CHECK(FileAttributes(folder + "\\missing") == fa::kNone && !IsFileAttributes(fa::kNone) &&
          !IsFolderAttributes(fa::kNone));
    // Win32Files::ListFiles tells an empty match from a failure by these errors.
    WIN32_FIND_DATAA found;
    std::set<std::string> names;
    FindFile find;
    for (bool more = find.FindFirst(folder + "\\*", found); more; more = find.FindNext(found)) names.insert(found.cFileName);
    CHECK(::GetLastError() == ERROR_NO_MORE_FILES && find.Close());
    CHECK((names == std::set<std::string>{".", "..", "a.txt"}));
    FindFile none;
    CHECK(!none.FindFirst(folder + "\\b*", found) && ::GetLastError() == ERROR_FILE_NOT_FOUND);
    CHECK(::DeleteFileA(file.c_str()) && ::RemoveDirectoryA(folder.c_str()));
}

void Fonts() {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ before = ::GetCurrentObject(dc, OBJ_FONT);
    ScopedFont font(::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    {
        ScopedSelectObject selected(dc, font.Get());
        CHECK(font.IsValid() && ::GetCurrentObject(dc, OBJ_FONT) == font.Get());
    }
    CHECK(::GetCurrentObject(dc, OBJ_FONT) == before);
    HFONT raw = font.Get();
    CHECK(font.Close() && ::GetObjectType(raw) == 0);
    ::DeleteDC(dc);
}

struct Counter {
    HWND hwnd_ = nullptr;
    int users = 0;
    LRESULT OnMessage(UINT msg, WPARAM w, LPARAM l) {
        return users += msg == WM_USER || msg == WM_USER + 1, ::DefWindowProcA(hwnd_, msg, w, l);
    }
};

void WindowsAndPump() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProcOf<Counter>;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuendroLayerTest";
    CHECK(::RegisterClassA(&wc));
    Counter counter;
    HWND hwnd = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, wc.hInstance,
                                  &counter);
    CHECK(hwnd && counter.hwnd_ == hwnd);
    ::PostMessageA(hwnd, WM_USER, 0, 0);
    ::PostMessageA(hwnd, WM_USER + 1, 0, 0);
    ProcessWaitingMessages([](MSG& msg) { return msg.message == WM_USER + 1; });
    ::PostQuitMessage(3);
    ProcessWaitingMessages();  // leaves the quit for the thread's own loop
    MSG msg;
    CHECK(counter.users == 1 && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT &&
          msg.wParam == 3);
    ::DestroyWindow(hwnd);
    CHECK(counter.hwnd_ == nullptr);
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    if (::GetTempPathA(sizeof temp, temp) - 1 >= sizeof temp - 1) return 2;
    FilesAndFinds(std::string(temp) + "quendro-layer-" + std::to_string(::GetCurrentProcessId()));
    Fonts();
    WindowsAndPump();
    std::printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
