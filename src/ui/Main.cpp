#include "ui/Main.h"

#include <shellapi.h>

#include "run/Win32LogPath.h"
#include "run/DefragDrive.h"
#include "system/Win32DriveTypes.h"
#include "system/Win32MessageBoxes.h"
#include "ui/Application.h"
#include "ui/ControlIds.h"
#include "ui/Win32URLLabel.h"

const char* const TfrmMain::ClassName = "TfrmMain";

namespace {

const int kClientWidth = 309;
const int kClientHeight = 208;
const int kLeft = 294;
const int kTop = 279;
const int kItemHeight = 12;
const int kCheckWidth = 13;  // the check box at the left of each drive item
const DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The layout, in the order of the tab sequence (the creation order is the
// Z order that Tab and the & accelerators follow): Label1 stands right before
// the drive list so that Alt+D moves to it.
struct ControlSpec {
    int id;
    const char* windowClass;
    const char* caption;
    int left, top, width, height;
    DWORD style;
    DWORD exStyle;
};

const ControlSpec kLayout[] = {
    {idBtnExec, "BUTTON", "実行", 192, 32, 100, 25, WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {idBtnClose, "BUTTON", "閉じる(&C)", 192, 64, 100, 25, WS_TABSTOP | BS_PUSHBUTTON, 0},
    {idChkShowError, "BUTTON", "エラー表示(&V)", 192, 104, 97, 17, WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {idChkOnErrorStop, "BUTTON", "エラー時中止(&E)", 192, 124, 97, 17, WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {idChkShutdown, "BUTTON", "終了後電源断(&S)", 192, 144, 113, 17, WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {idLabel1, "STATIC", "デフラグを実行するドライブ(&D):", 16, 16, 140, 12, SS_LEFT, 0},
    {idClbDriveList, "LISTBOX", "", 16, 32, 153, 129,
     WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE},
    {idPanel1, "STATIC", "ウィンドウ モード", 192, 176, 101, 21, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0},
    // Drawn by the window as one etched line along its top: an etched static
    // would shrink itself to the line's height.
    {idBevel1, "STATIC", "", 0, 0, kClientWidth, 5, SS_OWNERDRAW, 0},
};

const char* const kAboutText =
    "Quendro\r\nVersion 1.00\r\n\r\nCopyright (C) 2026 Quendro Project\r\n";

}  // namespace

TfrmMain::TfrmMain()
    : windows_([](MSG& msg) { return Application.FilterMessage(msg); }),
      description_(projectHost_, UnavailableBackup(), false) {
    projectHost_.TitleSink = [](const std::string& title) { Application.Title = title; };
}

TfrmMain::~TfrmMain() {
    delete urlLabel_;
}

HWND TfrmMain::Create(HINSTANCE instance) {
    instance_ = instance;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProcOf<TfrmMain>;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconA(instance, "MAINICON");
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    if (!::RegisterClassExA(&wc)) return nullptr;

    HMENU menu = ::LoadMenuA(instance, MAKEINTRESOURCEA(idMainMenu));
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, kFormStyle, menu != nullptr, 0);
    return ::CreateWindowExA(0, ClassName, "Quendro", kFormStyle, kLeft, kTop, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, menu, instance, this);
}

void TfrmMain::CreateControls() {
    font_.Reset(::CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS UI Gothic"));
    for (const ControlSpec& c : kLayout) {
        HWND control = ::CreateWindowExA(c.exStyle, c.windowClass, c.caption, WS_CHILD | WS_VISIBLE | c.style,
                                         c.left, c.top, c.width, c.height, hwnd_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        if (c.id == idClbDriveList) driveList_ = control;
    }
    urlLabel_ = new TURLLabelWindow;
    urlLabel_->Guard = [](const std::function<void()>& work) { Application.Guard(work); };
    TURLLabel& label = urlLabel_->Label();
    label.SetWordWrap(true);
    label.SetExecutable(false);
    label.SetHotTrack(true);
    label.SetHotColor(clBlue);
    label.SetPushedColor(clPurple);
    urlLabel_->Create(hwnd_, idURLLabel1, 20, 172, 144, 24,
                      "指定した時刻に自動的に実行したい場合は、ここをクリック！", font_.Get());

    // The check boxes of the drive list answer clicks and Space.
    ::SetWindowLongPtrA(driveList_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    driveListBase_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(driveList_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DriveListProc)));
}

LRESULT TfrmMain::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        Application.Guard([this] { LoadDescription(); });
        Application.Guard([this] { FormCreate(); });
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && !shown_) {
            shown_ = true;
            Application.Guard([this] { FormShow(); });
        }
        break;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        // Enter presses the execute button.
        return MAKELRESULT(idBtnExec, DC_HASDEFID);
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlID != idClbDriveList) break;
        item->itemHeight = kItemHeight;
        return TRUE;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == idBevel1) {
            RECT r = item->rcItem;
            ::FillRect(item->hDC, &r, ::GetSysColorBrush(COLOR_BTNFACE));
            ::DrawEdge(item->hDC, &r, EDGE_ETCHED, BF_TOP);
            return TRUE;
        }
        if (item->CtlID != idClbDriveList) break;
        DrawDriveItem(*item);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_BTNFACE));
        ::SetTextColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
        // The title-bar close, the system menu and Alt+F4: quit once every
        // handler has returned; a run in progress goes on to its end.
        Application.Terminate();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void TfrmMain::OnCommand(int id, int code) {
    switch (id) {
    case idBtnExec:
        if (code == BN_CLICKED) Application.Guard([this] { btnExecClick(); });
        break;
    case idBtnClose:
        if (code == BN_CLICKED) Application.Guard([this] { Exit1Click(); });
        break;
    case idURLLabel1:
        if (code == STN_CLICKED) Application.Guard([this] { URLLabel1Click(); });
        break;
    case idExit1:
        Application.Guard([this] { Exit1Click(); });
        break;
    case idL1:
        Application.Guard([this] { L1Click(); });
        break;
    case idSearchforHelpOn1:
        Application.Guard([this] { SearchforHelpOn1Click(); });
        break;
    case idAbout1:
        Application.Guard([this] { About1Click(); });
        break;
    }
}

LRESULT CALLBACK TfrmMain::DriveListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TfrmMain*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
        const LRESULT hit = ::SendMessageA(hwnd, LB_ITEMFROMPOINT, 0, lParam);
        const int x = static_cast<short>(LOWORD(lParam));
        if (!HIWORD(hit) && x < kCheckWidth) self->ToggleDriveItem(LOWORD(hit));
    } else if (msg == WM_KEYDOWN && wParam == VK_SPACE) {
        const LRESULT current = ::SendMessageA(hwnd, LB_GETCARETINDEX, 0, 0);
        if (current != LB_ERR) self->ToggleDriveItem(static_cast<int>(current));
        return 0;
    }
    return ::CallWindowProcA(self->driveListBase_, hwnd, msg, wParam, lParam);
}

void TfrmMain::ToggleDriveItem(int index) {
    const LRESULT state = ::SendMessageA(driveList_, LB_GETITEMDATA, index, 0);
    if (state == LB_ERR) return;
    ::SendMessageA(driveList_, LB_SETITEMDATA, index, state ? 0 : 1);
    RECT r;
    if (::SendMessageA(driveList_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)) != LB_ERR)
        ::InvalidateRect(driveList_, &r, TRUE);
}

void TfrmMain::DrawDriveItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    RECT box = {item.rcItem.left + 1, item.rcItem.top, item.rcItem.left + 1 + kItemHeight - 1,
                item.rcItem.top + kItemHeight - 1};
    RECT text = item.rcItem;
    text.left += kCheckWidth + 1;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_WINDOW));
    UINT check = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (item.itemData) check |= DFCS_CHECKED;
    ::DrawFrameControl(dc, &box, DFC_BUTTON, check);
    ::FillRect(dc, &text, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    char buf[300] = "";
    const LRESULT len = ::SendMessageA(driveList_, LB_GETTEXTLEN, item.itemID, 0);
    if (len != LB_ERR && len < static_cast<LRESULT>(sizeof buf))
        ::SendMessageA(driveList_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(buf));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    text.left += 1;
    {
        ScopedSelectObject font(dc, font_.Get());
        ::DrawTextA(dc, buf, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &text);
}

bool TfrmMain::Checked(int id) { return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void TfrmMain::LoadDescription() {
    HRSRC found = ::FindResourceA(instance_, ClassName, reinterpret_cast<LPCSTR>(RT_RCDATA));
    HGLOBAL loaded = found ? ::LoadResource(instance_, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!bytes) {
        throw EProjectError("The window description of TfrmMain is missing");
    }
    description_.Load(std::string(bytes, ::SizeofResource(instance_, found)));
    QUENDRO = description_.Find("QUENDRO");
    if (!QUENDRO) {
        throw EProjectError("The window description of TfrmMain holds no component QUENDRO");
    }
}

// --- handlers

void TfrmMain::FormCreate() { logPath_ = ExecutableLogPath(); }

void TfrmMain::FormShow() {
    Win32DriveInfo drives;
    for (const std::string& item : FixedDriveItems(drives)) {
        const LRESULT index = ::SendMessageA(driveList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (index >= 0) ::SendMessageA(driveList_, LB_SETITEMDATA, index, 0);
    }
}

void TfrmMain::btnExecClick() { RunCheckedDrives(*this, *this, logPath_); }

void TfrmMain::Exit1Click() {
    Application.Terminate();
    CloseRequested = true;
}

void TfrmMain::L1Click() { ::ShellExecuteA(hwnd_, "Open", logPath_.c_str(), nullptr, nullptr, SW_SHOW); }

void TfrmMain::SearchforHelpOn1Click() { Application.HelpCommand(HELP_FINDER, 0); }

void TfrmMain::URLLabel1Click() { Application.HelpCommand(HELP_CONTEXT, 14); }

void TfrmMain::About1Click() {
    ::MessageBoxA(nullptr, kAboutText, "バージョン情報", MB_OK | MB_ICONINFORMATION);
}

// --- what the run reads

int TfrmMain::MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned style) {
    return Win32MessageBoxes().MessageBoxA(owner, text, caption, style);
}

int TfrmMain::DriveCount() {
    const LRESULT n = ::SendMessageA(driveList_, LB_GETCOUNT, 0, 0);
    return n == LB_ERR ? 0 : static_cast<int>(n);
}

bool TfrmMain::DriveChecked(int index) {
    const LRESULT state = ::SendMessageA(driveList_, LB_GETITEMDATA, index, 0);
    return state != LB_ERR && state != 0;
}

std::string TfrmMain::DriveText(int index) {
    const LRESULT len = ::SendMessageA(driveList_, LB_GETTEXTLEN, index, 0);
    if (len == LB_ERR || len < 0) return std::string();
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    const LRESULT got = ::SendMessageA(driveList_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

bool TfrmMain::ShowErrorChecked() { return Checked(idChkShowError); }
bool TfrmMain::OnErrorStopChecked() { return Checked(idChkOnErrorStop); }
bool TfrmMain::ShutdownChecked() { return Checked(idChkShutdown); }
void TfrmMain::SetExecEnabled(bool enabled) { ::EnableWindow(::GetDlgItem(hwnd_, idBtnExec), enabled); }

bool TfrmMain::DefragDrive(char letter, bool showErrors, TRunLog& log) {
    return ::DefragDrive(windows_, letter, log, WindowDefrag(showErrors));
}
