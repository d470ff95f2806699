#include "ui/URLLabel.h"

TURLLabel::TURLLabel(TComponent* owner, IURLLabelHost& host) : TComponent(owner), host_(host) {
    // Each label registers the cursor again; the last registration wins.
    ScreenCursors().Register(crHandPoint, host_.LoadHandPointCursor());
    hotColor_ = clAqua;
    pushedColor_ = clRed;
    hotTrack_ = true;
    cursor_ = crHandPoint;
}

void TURLLabel::SetHotTrack(bool value) {
    if (value == hotTrack_)
        return;
    hotTrack_ = value;
    host_.Repaint();
}

void TURLLabel::SetHotColor(TColor value) {
    if (value == hotColor_)
        return;
    hotColor_ = value;
    host_.Repaint();
}

void TURLLabel::SetPushedColor(TColor value) {
    if (value == pushedColor_)
        return;
    pushedColor_ = value;
    host_.Repaint();
}

void TURLLabel::SetCaption(const std::string& value) {
    if (value == caption_)
        return;
    caption_ = value;
    host_.Repaint();
}

void TURLLabel::SetFontColor(TColor value) {
    if (value == fontColor_)
        return;
    fontColor_ = value;
    host_.Repaint();
}

void TURLLabel::SetWordWrap(bool value) {
    if (value == wordWrap_)
        return;
    wordWrap_ = value;
    host_.Repaint();
}

void TURLLabel::HandlePointerEntered() { MouseEntered(); }

void TURLLabel::HandlePointerLeft() { MouseLeft(); }

void TURLLabel::HandleButtonDown(TMouseButton button, int x, int y, bool doubleClick) {
    heldButtons_ |= Bit(button);
    if (button == TMouseButton::mbLeft) {
        // The second press of a double click is the double click, not the
        // start of another click.
        clickArmed_ = !doubleClick;
        if (doubleClick)
            DblClick();
    }
    MouseDown(button, x, y);
}

void TURLLabel::HandleButtonUp(TMouseButton button, int x, int y, bool overLabel) {
    if ((heldButtons_ & Bit(button)) == 0)
        return;
    heldButtons_ &= ~Bit(button);
    if (button == TMouseButton::mbLeft) {
        const bool click = clickArmed_ && overLabel;
        clickArmed_ = false;
        if (click)
            Click();
    }
    MouseUp(button, x, y);
}

void TURLLabel::Click() {
    host_.NotifyClick();
    if (OnClick)
        OnClick(*this);
}

void TURLLabel::DblClick() {
    host_.NotifyDoubleClick();
    if (OnDblClick)
        OnDblClick(*this);
}

void TURLLabel::MouseEntered() {
    if (OnMouseEnter)
        OnMouseEnter(*this);
    if (!hotTrack_)
        return;
    normalColor_ = fontColor_;
    fontColor_ = hotColor_;
    host_.Repaint();
}

void TURLLabel::MouseLeft() {
    if (OnMouseLeave)
        OnMouseLeave(*this);
    if (!hotTrack_)
        return;
    fontColor_ = normalColor_;
    host_.Repaint();
}

void TURLLabel::MouseDown(TMouseButton button, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(*this, button, x, y);
    if (hotTrack_) {
        fontColor_ = pushedColor_;
        host_.Repaint();
    }
    if (executable_)
        host_.OpenWithShell(caption_);
}

void TURLLabel::MouseUp(TMouseButton button, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(*this, button, x, y);
    if (!hotTrack_)
        return;
    // Where the pointer is now, not where the release happened: the two
    // differ when the pointer moved on before the release was handled.
    fontColor_ = host_.PointerInside() ? hotColor_ : normalColor_;
    host_.Repaint();
}
