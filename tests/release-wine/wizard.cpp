// Goes through an installer's pages for the release tests under Wine:
//   wizard OUT STOP
// A visible top-level dialog whose button 1 (Next, Install, Finish, OK) is
// enabled gets that button pressed, once a page (again after 3 s if the page
// stays); before the press the
// dialog's captions are appended to OUT as one JSON line: its caption, the
// texts of its static controls and edits, and the check boxes that are
// checked. Ends when STOP exists, or after 30 presses (a page that refuses
// its values would otherwise be pressed for ever).
#include "../../standin/Record.h"
#include "../e2e/WindowText.h"

#include <string>
#include <vector>

namespace {

std::string JsonList(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + Json(items[i]);
    return out + "]";
}

struct Page {
    std::vector<std::string> statics, edits, checked;
};

BOOL CALLBACK ReadControl(HWND h, LPARAM lp)
{
    Page* page = reinterpret_cast<Page*>(lp);
    if (!IsWindowVisible(h)) return TRUE;
    const std::wstring cls = ClassOf(h);
    const std::string text = Utf8(TextOf(h));
    if (lstrcmpiW(cls.c_str(), L"Static") == 0 && !text.empty()) {
        page->statics.push_back(text);
    } else if (lstrcmpiW(cls.c_str(), L"Edit") == 0) {
        // Across processes GetWindowText does not ask the edit for its text.
        wchar_t buf[1024] = L"";
        const LRESULT n = SendMessageW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
        page->edits.push_back(Utf8(std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0)));
    } else if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
        const LONG style = GetWindowLongW(h, GWL_STYLE) & 0x0F;
        const bool checkBox = style == BS_CHECKBOX || style == BS_AUTOCHECKBOX;
        if (checkBox && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) page->checked.push_back(text);
    }
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM lp)
{
    if (!IsWindowVisible(h) || ClassOf(h) != L"#32770") return TRUE;
    HWND next = GetDlgItem(h, IDOK);
    if (next && IsWindowVisible(next) && IsWindowEnabled(next)) {
        *reinterpret_cast<HWND*>(lp) = h;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc != 3) return 2;
    const std::string out = __argv[1];
    const std::string stop = __argv[2];
    record::AppendLine(out, "{\"event\":\"ready\"}");
    std::string last, settling;
    DWORD lastPress = 0, settlingSince = 0;
    for (int presses = 0; presses < 30 && !record::FileExists(stop);) {
        Sleep(200);
        HWND dialog = NULL;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) continue;
        Page page;
        EnumChildWindows(dialog, ReadControl, reinterpret_cast<LPARAM>(&page));
        // One press a page: the same page again only once the press had time.
        std::string signature = Utf8(TextOf(dialog));
        for (const std::string& s : page.statics) signature += "\n" + s;
        // A page builds its controls after its header shows (slowly on a
        // loaded or emulated machine): read it only once it stopped changing.
        std::string content = signature;
        for (const std::string& s : page.edits) content += "\ne:" + s;
        for (const std::string& s : page.checked) content += "\nc:" + s;
        if (content != settling) {
            settling = content;
            settlingSince = GetTickCount();
            continue;
        }
        if (GetTickCount() - settlingSince < 1000) continue;
        if (signature == last && GetTickCount() - lastPress < 3000) continue;
        last = signature;
        lastPress = GetTickCount();
        record::AppendLine(out, "{\"event\":\"page\",\"caption\":" + Json(Utf8(TextOf(dialog))) +
                                    ",\"statics\":" + JsonList(page.statics) + ",\"edits\":" +
                                    JsonList(page.edits) + ",\"checked\":" + JsonList(page.checked) + "}");
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        ++presses;
    }
    return 0;
}
