// Off Windows, the plug-in library carries its own Win32 stand-in, and a host in the same process
// reaches the windows it holds through these exports, as the editor's code reaches the plug-in's
// controls through the USER32 both share: create the filter dialog, find the controls the
// plug-in put in it, read them, and play the user's clicks. The shipped Windows DLL has none of
// them (it exports GetFilterTable alone); a private copy of the library has a stand-in of its own.
//
// Handles are plain pointers here so that a host needs nothing of the stand-in but this header.
// Every function accepts a null, destroyed or unknown handle and then does nothing.
#pragma once

#if !defined(_WIN32)

#include <cstdint>

#define TONALITH_HOST_SIDE extern "C" __attribute__((visibility("default")))

// A top-level window of class "DIALOG", as the editor's filter dialog: null if none can be made.
TONALITH_HOST_SIDE void* tonalith_win32_create_dialog(const char* title, int width, int height);
// Destroys the dialog and every control in it. Returns 0 for a handle that is not a living window.
TONALITH_HOST_SIDE int tonalith_win32_destroy_dialog(void* dialog);
// The living children of `parent` in creation order: stores up to `capacity` handles and returns
// how many there are.
TONALITH_HOST_SIDE int tonalith_win32_children(void* parent, void** out, int capacity);
// The living child of `parent` with control id `id`, or null.
TONALITH_HOST_SIDE void* tonalith_win32_child_by_id(void* parent, intptr_t id);
// The class name and the text, as GetClassNameA and GetWindowTextA copy them: at most size - 1
// bytes and a terminating zero; returns the bytes copied (0 for a missing window).
TONALITH_HOST_SIDE int tonalith_win32_class_name(void* window, char* buffer, int size);
TONALITH_HOST_SIDE int tonalith_win32_window_text(void* window, char* buffer, int size);
// SendMessageA: the list and combo box queries (LB_GETCOUNT, LB_GETCURSEL, CB_GETCURSEL, ...).
TONALITH_HOST_SIDE intptr_t tonalith_win32_send_message(void* window, uint32_t message, uintptr_t wParam,
                                                        intptr_t lParam);
// The user's click on entry `index` of a list or combo box: the selection changes and nothing is
// sent (the notification is the host's to pass to the window procedure). Returns the selection
// now, -1 for an index out of range.
TONALITH_HOST_SIDE int tonalith_win32_user_select(void* window, int index);

#undef TONALITH_HOST_SIDE

#endif
