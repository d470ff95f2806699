#include "FakeConsole.h"

#include <strings.h>

namespace {
constexpr long kStyleVisible = 0x10000000L;
const char* const kTitle = "ディスク デフラグ ツール";
}  // namespace

WindowHandle FakeConsole::Create(WindowHandle parent, const std::string& cls,
                                 const std::string& caption, long style) {
    const WindowHandle h = next_++;
    windows_[h] = Window{parent, cls, caption, style | kStyleVisible, true};
    return h;
}

void FakeConsole::OpenConsoleNow() {
    OpenMainWindow();
    BuildTree();
}

void FakeConsole::OpenMainWindow() { main_ = Create(0, "MMCMainFrame", kTitle); }

void FakeConsole::BuildTree() {
    WindowHandle w = main_;
    const struct { const char* cls; const char* caption; } path[] = {
        {"MDIClient", ""}, {"MMCChildFrm", kTitle}, {"AfxFrameOrView42u", ""},
        {"AfxFrameOrView42u", ""}, {"ATL:723A6A38", kTitle}};
    for (int step = 2; step <= 6; ++step) {
        if (step == script_.missingStep) return;
        // A sibling with the right class but the wrong caption must not be taken.
        if (step == 4) Create(w, "AfxFrameOrView42u", "Other");
        w = Create(w, path[step - 2].cls, path[step - 2].caption);
    }
    if (!script_.missingDefragButton) defragButton_ = Create(w, "Button", "最適化");
    if (!script_.missingReportButton)
        reportButton_ = Create(w, "Button", "レポートの表示", script_.alreadyDone ? 0 : win::kWsDisabled);
}

bool FakeConsole::ConsoleOpen() const {
    auto it = windows_.find(main_);
    return it != windows_.end() && it->second.alive;
}

void FakeConsole::DestroyConsole() {
    for (auto& [h, w] : windows_)
        if (h != dialog_) w.alive = false;
}

void FakeConsole::ShowDialog() {
    if (dialogsLeft_ <= 0) return;
    --dialogsLeft_;
    dialog_ = Create(0, "#32770", "最適化が完了しました");
}

void FakeConsole::Advance(long long ms) {
    const long long until = now + ms;
    if (appearAt_ >= 0 && appearAt_ <= until) {
        const long long appeared = appearAt_;
        appearAt_ = -1;
        OpenMainWindow();
        if (script_.treeAfterMs == 0) BuildTree();
        else if (script_.treeAfterMs > 0) treeAt_ = appeared + script_.treeAfterMs;
    }
    if (treeAt_ >= 0 && treeAt_ <= until) {
        treeAt_ = -1;
        BuildTree();
    }
    if (vanishAt_ >= 0 && vanishAt_ <= until) {
        vanishAt_ = -1;
        DestroyConsole();
    }
    if (doneAt_ >= 0 && doneAt_ <= until && ConsoleOpen()) {
        doneAt_ = -1;
        if (script_.dialogShows > 0) {
            dialogsLeft_ = script_.dialogShows;
            ShowDialog();
        }
        // With a box that keeps coming back, the report is ready after the last one.
        if (dialogsLeft_ == 0) windows_[reportButton_].style &= ~win::kWsDisabled;
    }
    now = until;
}

int FakeConsole::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                             unsigned style) {
    boxes.push_back(ShownBox{now, owner, text, caption != nullptr, style,
                             watchedLog ? watchedLog->Lines().size() : 0});
    Advance(boxDismissAfterMs);
    return 1;
}

WindowHandle FakeConsole::FindWindowA(const char* className, const char* caption) {
    return FindWindowExA(0, 0, className, caption);
}

WindowHandle FakeConsole::FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                        const char* className, const char* caption) {
    for (const auto& [h, w] : windows_) {
        if (!w.alive || w.parent != parent || h <= childAfter) continue;
        if (strcasecmp(w.cls.c_str(), className) != 0) continue;
        if (caption && strcasecmp(w.caption.c_str(), caption) != 0) continue;
        return h;
    }
    return 0;
}

void FakeConsole::ShellExecuteA(WindowHandle, const char* verb, const char* file,
                                const char* parameters, const char* directory, int show) {
    shellCalls.push_back(std::string(verb) + "|" + file + "|" + (parameters ? parameters : "") +
                         "|" + (directory ? directory : "(null)") + "|" + std::to_string(show));
    if (script_.appearAfterMs >= 0) appearAt_ = now + script_.appearAfterMs;
}

void FakeConsole::Sleep(unsigned milliseconds) {
    sleeps.push_back(milliseconds);
    Advance(milliseconds);
}

long FakeConsole::GetWindowStyle(WindowHandle window) {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.alive ? it->second.style : 0;
}

bool FakeConsole::IsWindow(WindowHandle window) {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.alive;
}

void FakeConsole::SetForegroundWindow(WindowHandle window) {
    foregroundAt = window;
    postsBeforeForeground = posted.size();
}

void FakeConsole::PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    posted.push_back(Posted{window, message, wParam, lParam});
    if (!IsWindow(window)) return;
    if (window == defragButton_) {
        // A button is pressed by focus, then space down and up.
        if (message == win::kWmSetFocus) focused_ = true;
        if (message == win::kWmKeyDown && wParam == win::kVkSpace && focused_) keyDown_ = true;
        if (message == win::kWmKeyUp && wParam == win::kVkSpace && keyDown_) {
            keyDown_ = false;
            doneAt_ = now + script_.defragMs;
            if (script_.closedByHandAfterMs >= 0) vanishAt_ = now + script_.closedByHandAfterMs;
        }
    }
    if (window == dialog_ && message == win::kWmKeyUp && wParam == win::kVkEscape) {
        windows_[dialog_].alive = false;
        ShowDialog();
        if (dialogsLeft_ == 0 && !windows_[dialog_].alive)
            windows_[reportButton_].style &= ~win::kWsDisabled;
    }
}

void FakeConsole::SendMessageA(WindowHandle window, unsigned message, std::uintptr_t, std::intptr_t) {
    if (message != win::kWmClose || window != main_ || !IsWindow(window)) return;
    ++closeMessages;
    if (!script_.ignoresClose) DestroyConsole();
}

void FakeConsole::ProcessMessages() {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages(processMessagesCalls);
}

LocalDateTime FakeConsole::Now() {
    const long long s = 3 * 3600 + now / 1000;
    LocalDateTime t;
    t.year = 2001;
    t.month = 10;
    t.day = 28 + static_cast<int>(s / 86400);
    t.hour = static_cast<int>(s / 3600 % 24);
    t.minute = static_cast<int>(s / 60 % 60);
    t.second = static_cast<int>(s % 60);
    return t;
}
