// What the Win32 stand-in shows, for tests: every control the plug-in created with its class,
// style, rectangle, id, parent, text, font, entries and selection, and every font with the
// arguments it was created with. Tests read the dialog through this, the way a user sees it, and
// play the user by changing a selection the way a click would (a click's notification is then
// theirs to send, as the real control would).
#pragma once

#if !defined(_WIN32)

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace tonalith::standin {

struct Control {
    HWND handle = nullptr;
    std::string className;
    std::string text;
    DWORD exStyle = 0;
    DWORD style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
    intptr_t id = 0;  // the HMENU argument of a child
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    HFONT font = nullptr;  // null: the system font
    std::vector<std::string> entries;  // list box and combo box entries
    int selection = -1;                // -1: nothing selected
    bool redraw = true;
    bool alive = true;
};

struct Font {
    HFONT handle = nullptr;
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    DWORD italic = 0;
    DWORD underline = 0;
    DWORD strikeOut = 0;
    DWORD charSet = 0;
    DWORD outputPrecision = 0;
    DWORD clipPrecision = 0;
    DWORD quality = 0;
    DWORD pitchAndFamily = 0;
    std::string faceName;
    bool alive = true;
};

// Forgets every control and font.
void Reset();

// The living children of `parent`, in creation order.
std::vector<const Control*> Children(HWND parent);
// The living child of `parent` with control id `id`, or null.
const Control* ChildById(HWND parent, intptr_t id);
// Any control ever created, living or destroyed; null for a handle the stand-in never gave out.
const Control* Find(HWND window);

const Font* FindFont(HFONT font);
int LiveFontCount();

// Messages sent to a handle that is null, destroyed or was never created.
int MessagesToMissingWindows();

// The user's side: changes what a list or combo box has selected, sending nothing.
void UserSelect(HWND window, int index);
// The host's side: destroys every child of `parent`, as destroying the dialog does.
void DestroyChildren(HWND parent);

// Makes the next creations fail (returning null), to play a system out of resources.
void FailCreations(bool windows, bool fonts);

}  // namespace tonalith::standin

#endif
