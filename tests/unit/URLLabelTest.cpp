#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/URLLabel.h"

namespace {

using V = std::vector<std::string>;
using B = TMouseButton;

class FakeLabelHost : public IURLLabelHost {
public:
    void Repaint() override { calls.push_back("repaint"); }
    bool PointerInside() override { return pointerInside; }
    void OpenWithShell(const std::string& file) override { calls.push_back("open " + file); }
    TCursorHandle LoadHandPointCursor() override { return cursor; }
    void NotifyClick() override { calls.push_back("click"); }
    void NotifyDoubleClick() override { calls.push_back("dblclick"); }

    int Repaints() const {
        int n = 0;
        for (const auto& c : calls)
            n += c == "repaint";
        return n;
    }

    V calls;
    bool pointerInside = true;
    TCursorHandle cursor = 0x1234;
};

constexpr TColor kWindowText = RGBToColor(0x12, 0x34, 0x56);

// A label with the settings of the main window's link label.
struct Fixture {
    Fixture() {
        label.SetCaption("http://example.invalid/");
        label.SetFontColor(kWindowText);
        label.SetHotColor(clBlue);
        label.SetPushedColor(clPurple);
        host.calls.clear();
    }
    FakeLabelHost host;
    TURLLabel label{nullptr, host};
};

TEST(URLLabel, ANewLabelHasTheHyperlinkDefaults) {
    FakeLabelHost host;
    TURLLabel label(nullptr, host);
    EXPECT_TRUE(label.HotTrack());
    EXPECT_EQ(label.HotColor(), clAqua);
    EXPECT_EQ(label.PushedColor(), clRed);
    EXPECT_FALSE(label.Executable());
    EXPECT_EQ(label.Cursor(), 32761);
    EXPECT_EQ(label.FontColor(), clBlack);
    EXPECT_FALSE(label.WordWrap());
    EXPECT_EQ(label.Caption(), "");
}

TEST(URLLabel, ColoursAreInColorrefLayout) {
    EXPECT_EQ(clBlack, 0x00000000u);
    EXPECT_EQ(clAqua, 0x00FFFF00u);
    EXPECT_EQ(clRed, 0x000000FFu);
    EXPECT_EQ(clBlue, 0x00FF0000u);
    EXPECT_EQ(clPurple, 0x00800080u);
    EXPECT_EQ(RGBToColor(1, 2, 3), 0x00030201u);
}

TEST(URLLabel, EveryConstructionRegistersTheHandCursorAgain) {
    FakeLabelHost first;
    first.cursor = 0x1111;
    TURLLabel a(nullptr, first);
    EXPECT_EQ(ScreenCursors().Find(32761), 0x1111u);

    FakeLabelHost second;
    second.cursor = 0x2222;
    TURLLabel b(nullptr, second);
    EXPECT_EQ(ScreenCursors().Find(32761), 0x2222u);
    EXPECT_EQ(ScreenCursors().Find(a.Cursor()), 0x2222u);

    // Without the resource the number falls back to the default cursor
    // instead of keeping a handle of an earlier load.
    FakeLabelHost missing;
    missing.cursor = 0;
    TURLLabel c(nullptr, missing);
    EXPECT_EQ(ScreenCursors().Find(32761), 0u);
}

TEST(ScreenCursorTable, RegistrationReplacesAndANullHandleRemoves) {
    TScreenCursors table;
    EXPECT_EQ(table.Find(5), 0u);
    table.Register(5, 0x10);
    table.Register(6, 0x20);
    table.Register(5, 0x30);
    EXPECT_EQ(table.Find(5), 0x30u);
    EXPECT_EQ(table.Find(6), 0x20u);
    table.Register(5, 0);
    EXPECT_EQ(table.Find(5), 0u);
    EXPECT_EQ(table.Find(6), 0x20u);
}

TEST(URLLabelColours, EnterAndLeaveReturnExactlyThePreviousColour) {
    Fixture f;
    f.label.HandlePointerEntered();
    EXPECT_EQ(f.label.FontColor(), clBlue);
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), kWindowText);
    EXPECT_EQ(f.host.calls, (V{"repaint", "repaint"}));

    // The colour recorded is whatever the text had at that entry.
    f.label.SetFontColor(clRed);
    f.label.HandlePointerEntered();
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), clRed);
}

TEST(URLLabelColours, AnyButtonShowsThePushedColourAndReleaseInsideTheHotColour) {
    for (B button : {B::mbLeft, B::mbRight, B::mbMiddle}) {
        SCOPED_TRACE(static_cast<int>(button));
        Fixture f;
        f.label.HandlePointerEntered();
        f.label.HandleButtonDown(button, 3, 4, false);
        EXPECT_EQ(f.label.FontColor(), clPurple);
        f.host.pointerInside = true;
        f.label.HandleButtonUp(button, 3, 4, true);
        EXPECT_EQ(f.label.FontColor(), clBlue);
        f.label.HandlePointerLeft();
        EXPECT_EQ(f.label.FontColor(), kWindowText);
        EXPECT_EQ(f.host.Repaints(), 4);
    }
}

TEST(URLLabelColours, ReleaseIsJudgedByThePointersCurrentPosition) {
    // The release happened over the label but the pointer is outside now.
    Fixture f;
    f.label.HandlePointerEntered();
    f.label.HandleButtonDown(B::mbRight, 1, 1, false);
    f.host.pointerInside = false;
    f.label.HandleButtonUp(B::mbRight, 1, 1, true);
    EXPECT_EQ(f.label.FontColor(), kWindowText);

    // And the other way round.
    Fixture g;
    g.label.HandlePointerEntered();
    g.label.HandleButtonDown(B::mbRight, 1, 1, false);
    g.host.pointerInside = true;
    g.label.HandleButtonUp(B::mbRight, -50, -50, false);
    EXPECT_EQ(g.label.FontColor(), clBlue);
}

TEST(URLLabelColours, PressDragOutAndReleaseLeavesTheNormalColour) {
    Fixture f;
    f.label.HandlePointerEntered();
    f.label.HandleButtonDown(B::mbLeft, 5, 5, false);
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), kWindowText);
    f.host.pointerInside = false;
    f.label.HandleButtonUp(B::mbLeft, 200, 5, false);
    EXPECT_EQ(f.label.FontColor(), kWindowText);

    // Out and back in while held, then released inside: hovered, and the
    // next leave still restores the original colour.
    Fixture g;
    g.label.HandlePointerEntered();
    g.label.HandleButtonDown(B::mbLeft, 5, 5, false);
    g.label.HandlePointerLeft();
    g.label.HandlePointerEntered();
    EXPECT_EQ(g.label.FontColor(), clBlue);
    g.label.HandleButtonUp(B::mbLeft, 5, 5, true);
    EXPECT_EQ(g.label.FontColor(), clBlue);
    g.label.HandlePointerLeft();
    EXPECT_EQ(g.label.FontColor(), kWindowText);
}

TEST(URLLabelColours, WithoutHotTrackTheColourNeverChangesAndNothingIsRecorded) {
    Fixture f;
    f.label.SetHotTrack(false);
    f.label.SetFontColor(clRed);
    f.host.calls.clear();
    f.label.HandlePointerEntered();
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), clRed);
    EXPECT_EQ(f.host.calls, (V{"click"}));

    // The entry above did not record red: the normal colour is still the
    // one recorded at the last entry with HotTrack on (none yet: black).
    f.label.SetHotTrack(true);
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), clBlack);
}

TEST(URLLabelColours, SwitchingHotTrackOffKeepsTheColourShown) {
    Fixture f;
    f.label.HandlePointerEntered();
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.label.SetHotTrack(false);
    EXPECT_EQ(f.label.FontColor(), clPurple);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    f.label.HandlePointerLeft();
    EXPECT_EQ(f.label.FontColor(), clPurple);
}

TEST(URLLabelRepaint, WritingTheCurrentValueDoesNothing) {
    Fixture f;
    f.label.SetHotTrack(true);
    f.label.SetHotColor(clBlue);
    f.label.SetPushedColor(clPurple);
    f.label.SetCaption("http://example.invalid/");
    f.label.SetFontColor(kWindowText);
    f.label.SetWordWrap(false);
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(URLLabelRepaint, ANewValueRepaintsOnceButShowsOnlyAtTheNextEntryOrPress) {
    Fixture f;
    f.label.SetHotColor(clAqua);
    EXPECT_EQ(f.host.Repaints(), 1);
    f.label.SetPushedColor(clRed);
    EXPECT_EQ(f.host.Repaints(), 2);
    f.label.SetHotTrack(false);
    EXPECT_EQ(f.host.Repaints(), 3);
    f.label.SetHotTrack(true);
    EXPECT_EQ(f.host.Repaints(), 4);
    EXPECT_EQ(f.label.HotColor(), clAqua);
    EXPECT_EQ(f.label.PushedColor(), clRed);
    EXPECT_EQ(f.label.FontColor(), kWindowText);

    // Changed while hovered: the text keeps the old hot colour until the
    // next entry.
    f.label.HandlePointerEntered();
    EXPECT_EQ(f.label.FontColor(), clAqua);
    f.label.SetHotColor(clBlue);
    EXPECT_EQ(f.label.FontColor(), clAqua);
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    EXPECT_EQ(f.label.FontColor(), clRed);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    EXPECT_EQ(f.label.FontColor(), clBlue);
}

TEST(URLLabelRepaint, ExecutableIsStoredWithoutARepaint) {
    Fixture f;
    f.label.SetExecutable(true);
    EXPECT_TRUE(f.label.Executable());
    f.label.SetExecutable(false);
    EXPECT_FALSE(f.label.Executable());
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(URLLabelOpening, ExecutableOpensTheCaptionOnEveryPressOfAnyButton) {
    for (B button : {B::mbLeft, B::mbRight, B::mbMiddle}) {
        SCOPED_TRACE(static_cast<int>(button));
        Fixture f;
        f.label.SetExecutable(true);
        f.label.HandleButtonDown(button, 0, 0, false);
        // On the press, not the release.
        EXPECT_EQ(f.host.calls, (V{"repaint", "open http://example.invalid/"}));
        f.host.calls.clear();
        f.label.HandleButtonUp(button, 0, 0, true);
        for (const auto& c : f.host.calls)
            EXPECT_NE(c.rfind("open", 0), 0u) << c;
    }
}

TEST(URLLabelOpening, ADoubleClickOpensTwice) {
    Fixture f;
    f.label.SetExecutable(true);
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    f.label.HandleButtonDown(B::mbLeft, 0, 0, true);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    int opens = 0;
    for (const auto& c : f.host.calls)
        opens += c == "open http://example.invalid/";
    EXPECT_EQ(opens, 2);
}

TEST(URLLabelOpening, WithoutHotTrackAPressStillOpensAndKeepsTheColour) {
    Fixture f;
    f.label.SetHotTrack(false);
    f.label.SetExecutable(true);
    f.host.calls.clear();
    f.label.HandleButtonDown(B::mbMiddle, 0, 0, false);
    EXPECT_EQ(f.host.calls, (V{"open http://example.invalid/"}));
    EXPECT_EQ(f.label.FontColor(), kWindowText);
}

TEST(URLLabelOpening, NotExecutableOpensNothingAndTheOwnerGetsTheClick) {
    Fixture f;
    int clicks = 0;
    f.label.OnClick = [&](TURLLabel&) { ++clicks; };
    for (B button : {B::mbLeft, B::mbRight, B::mbMiddle}) {
        f.label.HandleButtonDown(button, 0, 0, false);
        f.label.HandleButtonUp(button, 0, 0, true);
    }
    EXPECT_EQ(f.host.calls, (V{"repaint", "click", "repaint", "repaint", "repaint", "repaint", "repaint"}));
    EXPECT_EQ(clicks, 1);
}

TEST(URLLabelEvents, TheBaseHandlingComesFirstAndTheClickBeforeMouseUp) {
    Fixture f;
    V seen;
    f.label.OnMouseEnter = [&](TURLLabel& l) { seen.push_back("enter " + std::to_string(l.FontColor())); };
    f.label.OnMouseLeave = [&](TURLLabel& l) { seen.push_back("leave " + std::to_string(l.FontColor())); };
    f.label.OnMouseDown = [&](TURLLabel& l, B b, int x, int y) {
        seen.push_back("down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," +
                       std::to_string(y) + " " + std::to_string(l.FontColor()));
    };
    f.label.OnMouseUp = [&](TURLLabel& l, B b, int x, int y) {
        seen.push_back("up " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," +
                       std::to_string(y) + " " + std::to_string(l.FontColor()));
    };
    f.label.OnClick = [&](TURLLabel& l) { seen.push_back("click " + std::to_string(l.FontColor())); };

    f.label.HandlePointerEntered();
    f.label.HandleButtonDown(B::mbLeft, 7, 8, false);
    f.label.HandleButtonUp(B::mbLeft, 9, 10, true);
    f.label.HandlePointerLeft();
    const std::string text = std::to_string(kWindowText), hot = std::to_string(clBlue),
                      pushed = std::to_string(clPurple);
    EXPECT_EQ(seen, (V{"enter " + text, "down 0 7,8 " + hot, "click " + pushed, "up 0 9,10 " + pushed,
                       "leave " + hot}));
}

TEST(URLLabelEvents, OnlyALeftReleaseOverTheLabelAfterALeftPressIsAClick) {
    Fixture f;
    f.label.HandlePointerEntered();
    f.host.calls.clear();
    // Released outside (at the release's own position): no click, but the
    // release still runs.
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.host.pointerInside = false;
    f.label.HandleButtonUp(B::mbLeft, 300, 0, false);
    EXPECT_EQ(f.host.calls, (V{"repaint", "repaint"}));
    EXPECT_EQ(f.label.FontColor(), kWindowText);

    // A release of a button that was never pressed on the label is ignored.
    f.host.calls.clear();
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    f.label.HandleButtonUp(B::mbRight, 0, 0, true);
    EXPECT_TRUE(f.host.calls.empty());

    // A right press released with the left button still up: no click.
    f.label.HandleButtonDown(B::mbRight, 0, 0, false);
    f.label.HandleButtonUp(B::mbRight, 0, 0, true);
    EXPECT_EQ(f.host.calls, (V{"repaint", "repaint"}));
}

TEST(URLLabelEvents, ADoubleClickIsOneClickAndOneDoubleClickWithTwoPresses) {
    Fixture f;
    int downs = 0;
    f.label.OnMouseDown = [&](TURLLabel&, B, int, int) { ++downs; };
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    f.label.HandleButtonDown(B::mbLeft, 0, 0, true);
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(f.host.calls, (V{"repaint", "click", "repaint", "dblclick", "repaint", "repaint"}));
}

TEST(URLLabelEvents, HeldButtonsAreTrackedUntilTheLastRelease) {
    Fixture f;
    f.label.HandleButtonDown(B::mbLeft, 0, 0, false);
    f.label.HandleButtonDown(B::mbRight, 0, 0, false);
    f.label.HandleButtonUp(B::mbRight, 0, 0, true);
    EXPECT_TRUE(f.label.AnyButtonHeld());
    f.label.HandleButtonUp(B::mbLeft, 0, 0, true);
    EXPECT_FALSE(f.label.AnyButtonHeld());

    // A press cut short (capture lost) leaves no release to wait for.
    f.label.HandleButtonDown(B::mbMiddle, 0, 0, false);
    f.label.CancelPress();
    EXPECT_FALSE(f.label.AnyButtonHeld());
    f.host.calls.clear();
    f.label.HandleButtonUp(B::mbMiddle, 0, 0, true);
    EXPECT_TRUE(f.host.calls.empty());
}

}  // namespace
