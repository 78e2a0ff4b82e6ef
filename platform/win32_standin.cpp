// The Win32 stand-in for builds off Windows: controls and fonts are records in memory that behave
// as the real ones do for the messages the plug-in sends. As with the real controls, a selection
// the program sets sends no notification, and a message to a missing window does nothing.
#include "platform/win32_standin.h"

#include <strings.h>

#include <cstring>
#include <map>
#include <memory>

namespace tonalith::standin {

namespace {

struct State {
    std::map<uintptr_t, std::unique_ptr<Control>> controls;  // ordered: handles only grow
    std::map<uintptr_t, std::unique_ptr<Font>> fonts;
    uintptr_t nextHandle = 0x10000;
    int missingWindowMessages = 0;
    bool failWindows = false;
    bool failFonts = false;
};

State& Standin() {
    static State state;
    return state;
}

Control* Living(HWND window) {
    auto& controls = Standin().controls;
    auto found = controls.find(reinterpret_cast<uintptr_t>(window));
    if (found == controls.end() || !found->second->alive) return nullptr;
    return found->second.get();
}

bool IsClass(const Control& control, const char* name) {
    return strcasecmp(control.className.c_str(), name) == 0;
}

// Copies an entry or a text into the caller's buffer, as LB_GETTEXT and WM_GETTEXT do.
LRESULT CopyOut(const std::string& text, LPARAM buffer) {
    if (buffer != 0) std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

const char* TextOf(LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    return text != nullptr ? text : "";
}

bool InRange(WPARAM index, const std::vector<std::string>& entries) {
    return index < entries.size();
}

LRESULT ListMessage(Control& list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& entries = list.entries;
    switch (message) {
    case LB_ADDSTRING:
        entries.emplace_back(TextOf(lParam));
        return static_cast<LRESULT>(entries.size() - 1);
    case LB_INSERTSTRING: {
        // -1 appends; any other index past the end is refused.
        const auto index = static_cast<intptr_t>(wParam);
        if (index == -1) {
            entries.emplace_back(TextOf(lParam));
            return static_cast<LRESULT>(entries.size() - 1);
        }
        if (index < 0 || static_cast<size_t>(index) > entries.size()) return LB_ERR;
        entries.insert(entries.begin() + index, TextOf(lParam));
        if (list.selection >= index) ++list.selection;
        return index;
    }
    case LB_DELETESTRING: {
        if (!InRange(wParam, entries)) return LB_ERR;
        const int index = static_cast<int>(wParam);
        entries.erase(entries.begin() + index);
        if (list.selection == index) list.selection = -1;
        else if (list.selection > index) --list.selection;
        return static_cast<LRESULT>(entries.size());
    }
    case LB_RESETCONTENT:
        entries.clear();
        list.selection = -1;
        return 0;
    case LB_SETCURSEL:
        // An index outside the entries (or -1) leaves nothing selected.
        list.selection = InRange(wParam, entries) ? static_cast<int>(wParam) : -1;
        return list.selection >= 0 ? list.selection : LB_ERR;
    case LB_GETCURSEL:
        return list.selection;
    case LB_GETCOUNT:
        return static_cast<LRESULT>(entries.size());
    case LB_GETTEXT:
        return InRange(wParam, entries) ? CopyOut(entries[wParam], lParam) : LB_ERR;
    case LB_GETTEXTLEN:
        return InRange(wParam, entries) ? static_cast<LRESULT>(entries[wParam].size()) : LB_ERR;
    default:
        return 0;
    }
}

LRESULT ComboMessage(Control& combo, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& entries = combo.entries;
    switch (message) {
    case CB_ADDSTRING:
        entries.emplace_back(TextOf(lParam));
        return static_cast<LRESULT>(entries.size() - 1);
    case CB_RESETCONTENT:
        entries.clear();
        combo.selection = -1;
        return 0;
    case CB_SETCURSEL:
        combo.selection = InRange(wParam, entries) ? static_cast<int>(wParam) : -1;
        return combo.selection >= 0 ? combo.selection : CB_ERR;
    case CB_GETCURSEL:
        return combo.selection;
    case CB_GETCOUNT:
        return static_cast<LRESULT>(entries.size());
    case CB_GETLBTEXT:
        return InRange(wParam, entries) ? CopyOut(entries[wParam], lParam) : CB_ERR;
    case CB_GETLBTEXTLEN:
        return InRange(wParam, entries) ? static_cast<LRESULT>(entries[wParam].size()) : CB_ERR;
    default:
        return 0;
    }
}

}  // namespace

void Reset() {
    State& state = Standin();
    state.controls.clear();
    state.fonts.clear();
    state.missingWindowMessages = 0;
    state.failWindows = false;
    state.failFonts = false;
}

std::vector<const Control*> Children(HWND parent) {
    std::vector<const Control*> out;
    for (const auto& [handle, control] : Standin().controls)
        if (control->alive && control->parent == parent) out.push_back(control.get());
    return out;
}

const Control* ChildById(HWND parent, intptr_t id) {
    for (const Control* control : Children(parent))
        if (control->id == id) return control;
    return nullptr;
}

const Control* Find(HWND window) {
    auto& controls = Standin().controls;
    auto found = controls.find(reinterpret_cast<uintptr_t>(window));
    return found == controls.end() ? nullptr : found->second.get();
}

const Font* FindFont(HFONT font) {
    auto& fonts = Standin().fonts;
    auto found = fonts.find(reinterpret_cast<uintptr_t>(font));
    return found == fonts.end() ? nullptr : found->second.get();
}

int LiveFontCount() {
    int count = 0;
    for (const auto& [handle, font] : Standin().fonts) count += font->alive ? 1 : 0;
    return count;
}

int MessagesToMissingWindows() { return Standin().missingWindowMessages; }

void UserSelect(HWND window, int index) {
    if (Control* control = Living(window))
        control->selection = (index >= 0 && static_cast<size_t>(index) < control->entries.size())
                                 ? index
                                 : -1;
}

void DestroyChildren(HWND parent) {
    for (auto& [handle, control] : Standin().controls)
        if (control->parent == parent) control->alive = false;
}

void FailCreations(bool windows, bool fonts) {
    Standin().failWindows = windows;
    Standin().failFonts = fonts;
}

}  // namespace tonalith::standin

using tonalith::standin::Control;
using tonalith::standin::Font;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    auto& state = tonalith::standin::Standin();
    if (state.failWindows || className == nullptr) return nullptr;
    auto control = std::make_unique<Control>();
    control->handle = reinterpret_cast<HWND>(state.nextHandle);
    control->className = className;
    control->text = windowName != nullptr ? windowName : "";
    control->exStyle = exStyle;
    control->style = style;
    control->x = x;
    control->y = y;
    control->width = width;
    control->height = height;
    control->parent = parent;
    control->id = reinterpret_cast<intptr_t>(menu);
    control->instance = instance;
    control->param = param;
    HWND handle = control->handle;
    state.controls.emplace(state.nextHandle, std::move(control));
    state.nextHandle += 0x10;
    return handle;
}

BOOL DestroyWindow(HWND window) {
    Control* control = tonalith::standin::Living(window);
    if (control == nullptr) return FALSE;
    control->alive = false;
    return TRUE;
}

BOOL IsWindow(HWND window) { return tonalith::standin::Living(window) != nullptr ? TRUE : FALSE; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = tonalith::standin::Living(window);
    if (control == nullptr) {
        ++tonalith::standin::Standin().missingWindowMessages;
        return 0;
    }
    switch (message) {
    case WM_SETREDRAW:
        control->redraw = wParam != 0;
        return 0;
    case WM_SETFONT:
        control->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(control->font);
    case WM_SETTEXT:
        control->text = tonalith::standin::TextOf(lParam);
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control->text.size());
    default:
        break;
    }
    if (tonalith::standin::IsClass(*control, "LISTBOX"))
        return tonalith::standin::ListMessage(*control, message, wParam, lParam);
    if (tonalith::standin::IsClass(*control, "COMBOBOX"))
        return tonalith::standin::ComboMessage(*control, message, wParam, lParam);
    return 0;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    Control* control = tonalith::standin::Living(window);
    if (control == nullptr) {
        ++tonalith::standin::Standin().missingWindowMessages;
        return FALSE;
    }
    control->text = text != nullptr ? text : "";
    return TRUE;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outputPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  LPCSTR faceName) {
    auto& state = tonalith::standin::Standin();
    if (state.failFonts) return nullptr;
    auto font = std::make_unique<Font>(Font{
        reinterpret_cast<HFONT>(state.nextHandle), height, width, escapement, orientation, weight,
        italic, underline, strikeOut, charSet, outputPrecision, clipPrecision, quality,
        pitchAndFamily, faceName != nullptr ? faceName : "", true});
    HFONT handle = font->handle;
    state.fonts.emplace(state.nextHandle, std::move(font));
    state.nextHandle += 0x10;
    return handle;
}

BOOL DeleteObject(HGDIOBJ object) {
    auto& fonts = tonalith::standin::Standin().fonts;
    auto found = fonts.find(reinterpret_cast<uintptr_t>(object));
    if (found == fonts.end() || !found->second->alive) return FALSE;
    found->second->alive = false;
    return TRUE;
}
