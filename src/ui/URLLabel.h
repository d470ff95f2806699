#pragma once
// TURLLabel: a text label that behaves like a hyperlink. It shows the
// pointing-hand cursor, recolours its text while the pointer is over it and
// while a mouse button is held down on it, and, when Executable, hands its
// caption to the shell on every press.
//
// This is the label's logic without any Win32 in it. The window that shows
// it (ui/Win32URLLabel) feeds it the pointer and button input through the
// Handle... entry points and does the platform work behind IURLLabelHost.
#include <cstdint>
#include <functional>
#include <string>

#include "system/Component.h"
#include "ui/ScreenCursors.h"

// A colour in COLORREF layout: 0x00BBGGRR.
using TColor = std::uint32_t;

constexpr TColor RGBToColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return TColor(red) | (TColor(green) << 8) | (TColor(blue) << 16);
}

constexpr TColor clBlack = RGBToColor(0, 0, 0);
constexpr TColor clAqua = RGBToColor(0, 255, 255);
constexpr TColor clRed = RGBToColor(255, 0, 0);
constexpr TColor clBlue = RGBToColor(0, 0, 255);
constexpr TColor clPurple = RGBToColor(128, 0, 128);

// IDC_HAND's number; inside this program it names the cursor from our own
// resources, registered in the application's cursor table.
constexpr TCursorNumber crHandPoint = 32761;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// What the label needs of the platform.
class IURLLabelHost {
public:
    virtual ~IURLLabelHost() = default;
    // Draw the label again with its current caption and font colour.
    virtual void Repaint() = 0;
    // Whether the pointer's current screen position lies inside the label's
    // client rectangle.
    virtual bool PointerInside() = 0;
    // ShellExecute "OPEN" of the text with empty parameters and directory,
    // shown normally. The result is of no interest.
    virtual void OpenWithShell(const std::string& file) = 0;
    // The cursor "HANDPOINT" from the program's own resources (0 if missing).
    virtual TCursorHandle LoadHandPointCursor() = 0;
    // Tell the owner of a click / double click (the owner's notification).
    virtual void NotifyClick() = 0;
    virtual void NotifyDoubleClick() = 0;
};

class TURLLabel : public TComponent {
public:
    using TNotifyEvent = std::function<void(TURLLabel& sender)>;
    using TMouseEvent = std::function<void(TURLLabel& sender, TMouseButton button, int x, int y)>;

    // Registers the hand cursor (again) in ScreenCursors() under crHandPoint.
    TURLLabel(TComponent* owner, IURLLabelHost& host);

    bool Executable() const { return executable_; }
    void SetExecutable(bool value) { executable_ = value; }
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool value);
    TColor HotColor() const { return hotColor_; }
    void SetHotColor(TColor value);
    TColor PushedColor() const { return pushedColor_; }
    void SetPushedColor(TColor value);
    TCursorNumber Cursor() const { return cursor_; }
    void SetCursor(TCursorNumber value) { cursor_ = value; }

    // What the label shows: its caption, in the font colour, wrapped or not.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // Input from the window. A press counts for any button; the second press
    // of a double click is a further press. A release counts only for a
    // button pressed on the label; the left button's release over the label
    // (at the release's own position) is a click, which comes before MouseUp.
    void HandlePointerEntered();
    void HandlePointerLeft();
    void HandleButtonDown(TMouseButton button, int x, int y, bool doubleClick);
    void HandleButtonUp(TMouseButton button, int x, int y, bool overLabel);
    // The press ended without a release (the capture was taken away).
    void CancelPress() { heldButtons_ = 0; }
    bool AnyButtonHeld() const { return heldButtons_ != 0; }

protected:
    // Each raises its event, then does the label's own part (colours, shell).
    void Click();
    void DblClick();
    void MouseEntered();
    void MouseLeft();
    void MouseDown(TMouseButton button, int x, int y);
    void MouseUp(TMouseButton button, int x, int y);

private:
    static unsigned Bit(TMouseButton button) { return 1u << static_cast<unsigned>(button); }

    IURLLabelHost& host_;
    bool executable_ = false;
    bool hotTrack_ = true;
    TColor hotColor_ = clAqua;
    TColor pushedColor_ = clRed;
    TCursorNumber cursor_ = 0;
    std::string caption_;
    TColor fontColor_ = clBlack;
    bool wordWrap_ = false;
    TColor normalColor_ = clBlack;
    unsigned heldButtons_ = 0;
    bool clickArmed_ = false;
};
