#include "ui/win32/dialog_fit.h"

#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog_ids.h"
#include "ui/parameter_dialog_rules.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_placement.h"

namespace {

int CALLBACK NoteFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(HDC context, const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(context, &wanted, NoteFont, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The language's face at the template font's size (which the dialog has
// already scaled to its DPI).
HFONT LanguageFont(HWND dialog, const UiTexts& texts) {
    if (texts.keepTemplateFont) return nullptr;
    LOGFONTW font{};
    if (!GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font))
        return nullptr;
    std::wstring face;
    if (texts.fontFaces.empty()) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            face = metrics.lfMessageFont.lfFaceName;
    } else {
        HDC context = GetDC(dialog);
        for (const std::string& candidate : texts.fontFaces) {
            face = Widen(candidate.c_str());
            if (FontInstalled(context, face)) break;
        }
        ReleaseDC(dialog, context);
    }
    if (face.empty()) return nullptr;
    std::wmemset(font.lfFaceName, 0, LF_FACESIZE);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfWeight = FW_NORMAL;
    return CreateFontIndirectW(&font);
}

// The widest text an edit field must show: the ends of its parameter's range.
std::wstring WidestValue(int id) {
    const ParameterInfo* info = ParameterByEdit(id);
    if (!info) return L"00000";
    const std::wstring low = std::to_wstring(info->minimum), high = std::to_wstring(info->maximum);
    return low.size() > high.size() ? low : high;
}

RECT RectInDialog(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Space inserted at a coordinate: edge -> how much.
using Insertions = std::map<LONG, LONG>;

LONG Mapped(const Insertions& insertions, LONG at) {
    LONG moved = at;
    for (const auto& [edge, amount] : insertions)
        if (at >= edge) moved += amount;
    return moved;
}

void Insert(Insertions* insertions, LONG edge, LONG amount) {
    LONG& current = (*insertions)[edge];
    if (amount > current) current = amount;
}

}  // namespace

SIZE TextRoomNeeded(HWND control, const wchar_t* text) {
    SIZE need{0, 0};
    wchar_t kind[32] = {0};
    GetClassNameW(control, kind, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const bool edit = _wcsicmp(kind, L"Edit") == 0, button = _wcsicmp(kind, L"Button") == 0,
               label = _wcsicmp(kind, L"Static") == 0;
    if (!edit && !button && !label) return need;
    if (!edit && (!text || !*text)) return need;
    if (label && (style & SS_TYPEMASK) > SS_RIGHT) return need;  // frames, pictures: the preview pane
    HDC context = GetDC(control);
    HGDIOBJ previous = SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{0, 0};
    GetTextExtentPoint32W(context, text, int(wcslen(text)), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    SelectObject(context, previous);
    ReleaseDC(control, context);
    RECT window, client;
    GetWindowRect(control, &window);
    GetClientRect(control, &client);
    const LONG borderX = (window.right - window.left) - client.right;
    const LONG borderY = (window.bottom - window.top) - client.bottom;
    if (edit) {
        const DWORD margins = DWORD(SendMessageW(control, EM_GETMARGINS, 0, 0));
        need.cx = borderX + LOWORD(margins) + HIWORD(margins) + extent.cx + 2;  // and the caret
        need.cy = borderY + metrics.tmHeight;
    } else if (label) {
        need.cx = extent.cx + 1;
        need.cy = metrics.tmHeight;
    } else {
        switch (style & BS_TYPEMASK) {
            case BS_GROUPBOX:  // the frame's corner, a gap, the text, a gap
                need.cx = extent.cx + 3 * metrics.tmAveCharWidth;
                break;
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:  // the circle or box, a gap, the text
                need.cx = GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2 + extent.cx + 2;
                need.cy = metrics.tmHeight > GetSystemMetrics(SM_CYMENUCHECK) ? metrics.tmHeight
                                                                             : GetSystemMetrics(SM_CYMENUCHECK);
                break;
            default:  // push buttons: the raised edge and a little air
                need.cx = extent.cx + 4 * GetSystemMetrics(SM_CXEDGE) + metrics.tmAveCharWidth;
                need.cy = metrics.tmHeight + 4 * GetSystemMetrics(SM_CYEDGE);
        }
    }
    return need;
}

HFONT FitParameterDialog(HWND dialog, const UiTexts& texts) {
    HFONT font = LanguageFont(dialog, texts);
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    if (font)
        for (HWND control : controls) SendMessageW(control, WM_SETFONT, WPARAM(font), FALSE);

    Insertions across, down;
    for (HWND control : controls) {
        const int id = GetDlgCtrlID(control);
        wchar_t kind[32] = {0};
        GetClassNameW(control, kind, 32);
        std::wstring text;
        if (_wcsicmp(kind, L"Edit") == 0) {
            text = WidestValue(id);
        } else {
            text.resize(size_t(GetWindowTextLengthW(control)) + 1);
            text.resize(size_t(GetWindowTextW(control, &text[0], int(text.size()))));
        }
        const SIZE need = TextRoomNeeded(control, text.c_str());
        const RECT rect = RectInDialog(dialog, control);
        if (need.cx > rect.right - rect.left) Insert(&across, rect.right, need.cx - (rect.right - rect.left));
        if (need.cy > rect.bottom - rect.top) Insert(&down, rect.bottom, need.cy - (rect.bottom - rect.top));
    }
    if (across.empty() && down.empty()) return font;

    for (HWND control : controls) {
        const RECT rect = RectInDialog(dialog, control);
        const LONG left = Mapped(across, rect.left), top = Mapped(down, rect.top);
        LONG width = Mapped(across, rect.right) - left, height = Mapped(down, rect.bottom) - top;
        // The preview pane keeps its size: the preview's buffers were made for it.
        if (GetDlgCtrlID(control) == kPreviewPane) {
            width = rect.right - rect.left;
            height = rect.bottom - rect.top;
        }
        MoveWindow(control, left, top, width, height, FALSE);
    }
    LONG wider = 0, taller = 0;
    for (const auto& insertion : across) wider += insertion.second;
    for (const auto& insertion : down) taller += insertion.second;
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + wider, window.bottom - window.top + taller,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterOnDesktop(dialog);
    InvalidateRect(dialog, nullptr, TRUE);
    return font;
}
