// A Windows host that shows the plug-in's real dialog and drives it like a
// user from a second thread: a trackbar moved with the arrow key, a number
// typed into an edit field, a radio button clicked, zoom in and out, a drag of
// the preview, then OK or Cancel. Or it shows the About box and clicks it
// away, or runs without advanceState so that the plug-in's alert shows. It
// reads every text back through the wide calls and compares it with the table
// of the user's language, measures it in the control's own font against the
// room the control gives it, and writes what it saw and screenshots.
//
//   dialog_host ok|cancel|about|alert OUTPUT_FOLDER
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/version.h"
#include "tests/emulated_host/plugin_library.h"
#include "tests/test_host.h"
#include "ui/ui_texts.h"

namespace {

std::string gFolder;
std::ofstream gLog;

// Draws a pixel map of 8-bit channels into the device context.
void DrawPixelMap(const PSPixelMap* map, const VRect*, int32_t row, int32_t column, void* context) {
    const int32_t width = map->bounds.right - map->bounds.left, height = map->bounds.bottom - map->bounds.top;
    if (width <= 0 || height <= 0 || !map->baseAddr) return;
    const int32_t stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bgr(size_t(stride) * size_t(height));
    const auto* base = static_cast<const uint8_t*>(map->baseAddr);
    const bool gray = map->imageMode == 1;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* pixel = base + y * map->rowBytes + x * map->colBytes;
            uint8_t* out = &bgr[size_t(y) * size_t(stride) + size_t(x) * 3];
            out[0] = gray ? pixel[0] : pixel[2 * map->planeBytes];
            out[1] = gray ? pixel[0] : pixel[map->planeBytes];
            out[2] = pixel[0];
        }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(static_cast<HDC>(context), column, row, DWORD(width), DWORD(height), 0, 0, 0, UINT(height),
                      bgr.data(), &info, DIB_RGB_COLORS);
}

// Copies a window's area of the screen into a 24-bit BMP file.
void Screenshot(HWND window, const std::string& name) {
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD imageBytes = DWORD(((width * 3 + 3) & ~3) * height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageBytes;
    std::ofstream out(gFolder + "/" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), imageBytes);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

HWND WaitForWindow(const char* title) {
    for (int i = 0; i < 400; ++i) {
        HWND window = FindWindowA("#32770", title);
        if (window && IsWindowVisible(window)) return window;
        Sleep(50);
    }
    return nullptr;
}

std::string WideText(HWND window) {
    wchar_t text[128] = {0};
    GetWindowTextW(window, text, 128);
    char utf8[512] = {0};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::string line;
    for (const char* c = utf8; *c; ++c) line += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    return line;
}

std::wstring WindowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, &text[0], int(text.size()))));
    return text;
}

std::string Utf8(const std::wstring& text) {
    char utf8[1024] = {0};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

const char* LanguageName(UiLanguage language) {
    switch (language) {
        case UiLanguage::Japanese: return "Japanese";
        case UiLanguage::German: return "German";
        case UiLanguage::ChineseSimplified: return "Chinese";
        default: return "English";
    }
}

// Every text of the dialog against the table of the user's language.
void CheckTexts(HWND dialog) {
    const UiTexts& texts = CurrentUiTexts();
    gLog << "language " << LanguageName(texts.language) << "\n";
    std::vector<std::pair<int, std::string>> expected = {{IDOK, texts.ok},
                                                         {IDCANCEL, texts.cancel},
                                                         {1009, texts.generalGroup},
                                                         {1025, texts.highlightGroup},
                                                         {1039, texts.spectrumGroup}};
    for (int i = 0; i < kParameterCount; ++i) expected.push_back({kParameterTable[i].captionId, texts.parameterLabels[i]});
    for (int t = 0; t < kThresholdTypeCount; ++t)
        expected.push_back({kThresholdTypeTable[t].radioId, texts.thresholdTypeLabels[t]});
    int checked = 0;
    for (const auto& [id, text] : expected) {
        const std::string shown = Utf8(WindowText(GetDlgItem(dialog, id)));
        if (shown != text) gLog << "mismatch " << id << " shows '" << shown << "', the table says '" << text << "'\n";
        ++checked;
    }
    gLog << "texts checked " << checked << "\n";
}

// The widest text an edit field shows: the ends of its parameter's range.
std::wstring WidestValue(int id) {
    for (const ParameterInfo& info : kParameterTable)
        if (info.editId == id) {
            const std::wstring low = std::to_wstring(info.minimum), high = std::to_wstring(info.maximum);
            return low.size() > high.size() ? low : high;
        }
    return L"";
}

// Measures each control's text in its own font against the room the control
// gives it (an edit field's margins, a radio button's circle, a group's
// frame): any text that does not fit is reported as clipped.
void CheckRoom(HWND window, const char* what) {
    int measured = 0;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t kind[32] = {0};
        GetClassNameW(control, kind, 32);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const bool edit = _wcsicmp(kind, L"Edit") == 0, button = _wcsicmp(kind, L"Button") == 0,
                   label = _wcsicmp(kind, L"Static") == 0;
        if (!edit && !button && !label) continue;
        if (label && (style & SS_TYPEMASK) > SS_RIGHT) continue;  // the preview pane, icons
        const std::wstring text = edit ? WidestValue(GetDlgCtrlID(control)) : WindowText(control);
        if (text.empty()) continue;
        HDC context = GetDC(control);
        HGDIOBJ previous = SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(context, &metrics);
        RECT client;
        GetClientRect(control, &client);
        LONG roomX = client.right, roomY = client.bottom;
        RECT need{0, 0, 0, 0};
        if (label && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP) {
            // Static text wraps at its width: do its lines fit the height (and each word the width)?
            need.right = roomX;
            DrawTextW(context, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        } else {
            SIZE extent{};
            GetTextExtentPoint32W(context, text.c_str(), int(text.size()), &extent);
            need.right = extent.cx;
            need.bottom = metrics.tmHeight;
        }
        if (edit) {
            const DWORD margins = DWORD(SendMessageW(control, EM_GETMARGINS, 0, 0));
            roomX -= LOWORD(margins) + HIWORD(margins) + 1;
        } else if (button) {
            switch (style & BS_TYPEMASK) {
                case BS_GROUPBOX:
                    roomX -= 2 * metrics.tmAveCharWidth;
                    roomY = need.bottom;
                    break;
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    roomX -= GetSystemMetrics(SM_CXMENUCHECK) + 2;
                    break;
                default:
                    roomX -= 2 * GetSystemMetrics(SM_CXEDGE);
            }
        }
        SelectObject(context, previous);
        ReleaseDC(control, context);
        if (need.right > roomX || need.bottom > roomY)
            gLog << "clipped " << what << " " << GetDlgCtrlID(control) << " '" << Utf8(text) << "' needs "
                 << need.right << " x " << need.bottom << ", has " << roomX << " x " << roomY << "\n";
        ++measured;
    }
    gLog << "room checked " << what << " " << measured << "\n";
}

void Click(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    Sleep(300);
}

void DriveParameterDialog(bool accept) {
    HWND dialog = WaitForWindow("Glyra 0.4.4");
    if (!dialog) {
        gLog << "no dialog appeared\n";
        return;
    }
    // Once the dialog's thread has handled what is queued, the dialog has painted.
    DWORD_PTR answer;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    Sleep(200);
    Screenshot(dialog, "dialog-opening");
    Sleep(1500);  // the filtered preview renders
    Screenshot(dialog, "dialog-rendered");
    // What the dialog shows, as text, against the user's language; and whether it fits.
    CheckTexts(dialog);
    CheckRoom(dialog, "dialog");
    for (int id : {1008, 1014, 1017, 1022}) gLog << "text " << id << " " << WideText(GetDlgItem(dialog, id)) << "\n";
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(dialog, 1013), WM_GETFONT, 0, 0));
    HDC context = GetDC(dialog);
    SelectObject(context, font);
    wchar_t face[64] = {0};
    GetTextFaceW(context, 64, face);
    ReleaseDC(dialog, context);
    char faceUtf8[256] = {0};
    WideCharToMultiByte(CP_UTF8, 0, face, -1, faceUtf8, sizeof faceUtf8, nullptr, nullptr);
    gLog << "font " << faceUtf8 << "\n";

    // The line type's trackbar, one step right with the arrow key.
    PostMessageA(GetDlgItem(dialog, 1023), WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(GetDlgItem(dialog, 1023), WM_KEYUP, VK_RIGHT, 0);
    Sleep(300);
    // A new threshold typed over the old one.
    HWND threshold = GetDlgItem(dialog, 1017);
    PostMessageA(threshold, EM_SETSEL, 0, -1);
    for (char c : std::string("240")) PostMessageA(threshold, WM_CHAR, WPARAM(c), 0);
    Sleep(300);
    Click(dialog, 1033);  // average
    Click(dialog, 1002);  // zoom in: 200%
    Click(dialog, 1002);  // 300%
    Click(dialog, 1003);  // back to 200%
    Sleep(1000);
    Screenshot(dialog, "dialog-zoomed");
    gLog << "zoom " << WideText(GetDlgItem(dialog, 1008)) << "\n";
    // Drag the preview 20 pixels to the left.
    HWND pane = GetDlgItem(dialog, 1007);
    PostMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 40));
    PostMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 40));
    PostMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 40));
    PostMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(40, 40));
    Sleep(1500);
    Screenshot(dialog, "dialog-dragged");
    Click(dialog, accept ? IDOK : IDCANCEL);
}

void DriveAboutBox() {
    HWND about = WaitForWindow(nullptr);
    if (!about) {
        gLog << "no About box appeared\n";
        return;
    }
    Sleep(300);
    Screenshot(about, "about");
    gLog << "about text " << WideText(GetDlgItem(about, 1001)) << "\n";
    CheckRoom(about, "about");
    PostMessageA(about, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(about, WM_COMMAND, IDOK, 0);
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    Sleep(500);
    gLog << "about open after Enter and Escape " << (IsWindow(about) ? 1 : 0) << "\n";
    // A real click on the text: the static lets it through to the box.
    RECT text;
    GetWindowRect(GetDlgItem(about, 1001), &text);
    SetCursorPos((text.left + text.right) / 2, (text.top + text.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(50);
    gLog << "about open after a click " << (IsWindow(about) ? 1 : 0) << "\n";
}

// The plug-in's own alert (this host offers no advanceState): its text in the
// user's language, whole, then OK.
void DriveAlert() {
    HWND alert = WaitForWindow("Glyra");
    if (!alert) {
        gLog << "no alert appeared\n";
        return;
    }
    Sleep(300);
    Screenshot(alert, "alert");
    std::string expected = CurrentUiTexts().advanceStateAlert;
    expected.replace(expected.find("^1"), 2, "3.0");
    const std::string shown = Utf8(WindowText(GetDlgItem(alert, 0xFFFF)));
    gLog << (shown == expected ? "alert text matches" : "mismatch alert shows '" + shown + "', the table says '" +
                                                             expected + "'")
         << "\n";
    CheckRoom(alert, "alert");
    PostMessageW(alert, WM_COMMAND, IDOK, 0);
}

HostImage Scene() {
    HostImage image = MakeHostImage(320, 240, 8, 3, false);
    for (int32_t r = 0; r < 240; ++r)
        for (int32_t c = 0; c < 320; ++c) {
            image.Set(r, c, 0, uint16_t(10 + r / 6));
            image.Set(r, c, 1, uint16_t(15 + r / 8));
            image.Set(r, c, 2, uint16_t(40 + r / 5));
        }
    const int lights[][2] = {{60, 60}, {120, 200}, {180, 100}, {90, 270}, {200, 240}, {125, 150}};
    for (const auto& light : lights)
        for (int p = 0; p < 3; ++p) image.Set(light[0], light[1], p, 255);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialog_host ok|cancel|about OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string mode = argv[1];
    gFolder = argv[2];
    gLog.open(gFolder + "/" + mode + ".txt");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);  // hosts register the trackbar class before filters run

    PluginLibrary library;
    std::string error;
    if (!LoadPluginLibrary("Glyra.8bf", &library, &error)) {
        gLog << "load failed: " << error << "\n";
        return 1;
    }
    HostSettings settings;
    settings.offerDescriptors = false;
    settings.offerAdvanceState = mode != "alert";
    settings.onDisplayPixels = DrawPixelMap;
    TestHost host(Scene(), settings);

    if (mode == "alert") {
        std::thread driver(DriveAlert);
        const RunOutcome outcome = host.Run(library.entry, false);
        driver.join();
        gLog << "alert result " << outcome.startResult << "\n";
        return 0;
    }
    if (mode == "about") {
        std::thread driver(DriveAboutBox);
        const OSErr result = host.About(library.entry);
        driver.join();
        gLog << "about result " << result << "\n";
        return 0;
    }
    std::thread driver(DriveParameterDialog, mode == "ok");
    const RunOutcome outcome = host.Run(library.entry, true);
    driver.join();
    gLog << "start " << outcome.startResult << " result " << outcome.result << " finished " << outcome.finished
         << "\n";
    gLog << "parameters";
    const int16_t* values = host.ParameterValues();
    for (int i = 0; values && i < 13; ++i) gLog << " " << values[i];
    gLog << "\n";
    size_t changed = 0;
    const HostImage original = Scene();
    for (size_t i = 0; i < original.SampleCount(); ++i) changed += original.Sample(i) != host.Image().Sample(i);
    gLog << "changed " << changed << "\n";
    gLog << "paints " << host.DisplayCalls().size() << "\n";
    return 0;
}
