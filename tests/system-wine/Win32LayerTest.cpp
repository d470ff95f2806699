// The system layer where it meets Win32, checked against the real calls
// under Wine in the way of Wine's own conformance tests.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "system/Scoped.h"
#include "system/Win32FileSystem.h"
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
    Win32FileSystem fs;
    CHECK(IsFolderAttributes(fs.Attributes(folder)) && !IsFileAttributes(fs.Attributes(folder)));
    CHECK(IsFileAttributes(fs.Attributes(file)) && !IsFolderAttributes(fs.Attributes(file)));
    CHECK(fs.Attributes(folder + "\\missing") == fa::kNone && !IsFileAttributes(fa::kNone) &&
          !IsFolderAttributes(fa::kNone));
    // The run log tells an empty match from a failure by these errors.
    FoundFile found;
    std::set<std::string> names;
    {
        ScopedSeamFind find(fs.FindFirst(folder + "\\*", found), {&fs});
        for (bool more = find.IsValid(); more; more = fs.FindNext(find.Get(), found)) names.insert(found.Name);
        CHECK(fs.LastError() == fo::kNoMoreFiles);
    }
    CHECK((names == std::set<std::string>{".", "..", "a.txt"}));
    CHECK(fs.FindFirst(folder + "\\b*", found) == kNoFile && fs.LastError() == fo::kFileNotFound);
    // An unshared handle refuses a shared opening.
    const FileHandle held = fs.Open(file, fo::kRead, fo::kShareNone, fo::kOpenExisting);
    CHECK(held != kNoFile && fs.Open(file, fo::kRead, fo::kShareAll, fo::kOpenExisting) == kNoFile && fs.Close(held));
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

// Wine answers these by catching the access violation in its own fault
// handler, which must tell it from other faults by the trap number the
// processor (or an emulator) reports.
// Another thread tries to take the mutex at once and ends, holding it when
// it got it: the wait's answer.
DWORD WINAPI TryTake(void* mutex) { return ::WaitForSingleObject(mutex, 0); }

DWORD TakeOnThread(FileHandle mutex) {
    DWORD result = WAIT_FAILED;
    const HANDLE thread = ::CreateThread(nullptr, 0, TryTake, reinterpret_cast<void*>(mutex), 0, nullptr);
    if (thread && ::WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0) ::GetExitCodeThread(thread, &result);
    if (thread) ::CloseHandle(thread);
    return result;
}

// The log save's lock: one object for every opener of the name, handed over
// as abandoned when its owner ends holding it; and a save's temporary file
// cannot be deleted while it is being written.
void SaveLockAndTemporaryFile(const std::string& folder) {
    Win32FileSystem fs;
    const std::string name = "Global\\quendro-layer-" + std::to_string(::GetCurrentProcessId());
    const FileHandle first = fs.CreateNamedMutex(name);
    const FileHandle second = fs.CreateNamedMutex(name);
    CHECK(first != kNoFile && second != kNoFile && ::GetLastError() == ERROR_ALREADY_EXISTS);
    CHECK(TakeOnThread(first) == WAIT_OBJECT_0);
    CHECK(fs.WaitFor(second, 5000) == wr::kAbandoned);
    CHECK(TakeOnThread(first) == WAIT_TIMEOUT);
    CHECK(fs.ReleaseMutex(second) && TakeOnThread(first) == WAIT_OBJECT_0);
    CHECK(fs.Close(first) && fs.Close(second));

    CHECK(::CreateDirectoryA(folder.c_str(), nullptr));
    std::string temp;
    CHECK(fs.TempFileName(folder + "\\", "qlg", temp));
    const FileHandle writing = fs.Open(temp, fo::kWrite, fo::kShareRead, fo::kOpenAlways);
    CHECK(writing != kNoFile && !fs.Delete(temp) && fs.Close(writing) && fs.Delete(temp));
    CHECK(::RemoveDirectoryA(folder.c_str()));
}

void GuardedReads() {
    CHECK(::IsBadReadPtr(reinterpret_cast<const void*>(16), 4));
    CHECK(::IsBadWritePtr(reinterpret_cast<void*>(16), 4));
    CHECK(::lstrlenA(reinterpret_cast<const char*>(16)) == 0);
    CHECK(!::IsBadReadPtr(&failures, sizeof failures));
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    if (::GetTempPathA(sizeof temp, temp) - 1 >= sizeof temp - 1) return 2;
    FilesAndFinds(std::string(temp) + "quendro-layer-" + std::to_string(::GetCurrentProcessId()));
    Fonts();
    WindowsAndPump();
    GuardedReads();
    SaveLockAndTemporaryFile(std::string(temp) + "quendro-lock-" + std::to_string(::GetCurrentProcessId()));
    std::printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
