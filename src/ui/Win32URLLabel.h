#pragma once
// The window of a TURLLabel: a child window of its own class "TURLLabel"
// that paints the caption and feeds the label its pointer and button input.
//
// Use:
//     TURLLabelWindow* label = new TURLLabelWindow;   // registers the hand cursor
//     label->Create(parent, id, x, y, w, h, caption, font);
//     label->Label().SetWordWrap(true); ...SetHotColor(...) and so on
// The parent receives WM_COMMAND with MAKEWPARAM(id, STN_CLICKED) and the
// label's HWND on a click (left button released over the label), before
// the label's own release handling runs, and MAKEWPARAM(id, STN_DBLCLK) on
// the second press of a double click. The font colour starts as the system's
// window-text colour. The caption is the window text: change it with
// SetCaption (or WM_SETTEXT), not through Label().SetCaption.
// Destroying the object destroys the window; the window may also go first
// (with its parent), after which the object is inert.
#include <windows.h>

#include <functional>

#include "system/Win32Window.h"

#include "ui/URLLabel.h"

class TURLLabelWindow : private IURLLabelHost {
public:
    static const char ClassName[];  // "TURLLabel"

    // Registers the window class once; Create does it if nobody has.
    static bool RegisterWindowClass(HINSTANCE instance);

    explicit TURLLabelWindow(TComponent* owner = nullptr);
    ~TURLLabelWindow() override;
    TURLLabelWindow(const TURLLabelWindow&) = delete;
    TURLLabelWindow& operator=(const TURLLabelWindow&) = delete;

    // A visible child of parent with the control id; nullptr on failure.
    HWND Create(HWND parent, int id, int x, int y, int width, int height, const char* caption,
                HFONT font);
    HWND Handle() const { return hwnd_; }
    TURLLabel& Label() { return label_; }
    void SetCaption(const char* caption);

    // Runs the label's work for one message. Nothing may leave the window
    // procedure, so without a guard an error is dropped here; set it to the
    // application's error reporting to have it shown.
    std::function<void(const std::function<void()>&)> Guard;

private:
    friend LRESULT CALLBACK WindowProcOf<TURLLabelWindow>(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Nothing may leave the window procedure: HandleMessage under a catch-all.
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void Run(const std::function<void()>& work);
    void Paint();
    void PointerAt(POINT client);
    void PointerAtCursorPos();
    void TrackLeave();
    void ButtonDown(TMouseButton button, LPARAM lParam, bool doubleClick);
    bool ButtonUp(TMouseButton button, LPARAM lParam);

    // IURLLabelHost
    void Repaint() override;
    bool PointerInside() override;
    void OpenWithShell(const std::string& file) override;
    TCursorHandle LoadHandPointCursor() override;
    void NotifyClick() override;
    void NotifyDoubleClick() override;
    void Notify(WORD code);

    static HINSTANCE instance_;
    TURLLabel label_;
    HWND hwnd_ = nullptr;
    HWND parent_ = nullptr;
    int id_ = 0;
    HFONT font_ = nullptr;
    bool inside_ = false;          // the label has had the entry and no leave since
    unsigned captureButtons_ = 0;  // buttons pressed on the label, while we hold the capture
    bool releasingCapture_ = false;
};
