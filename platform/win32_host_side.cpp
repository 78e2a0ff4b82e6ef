// The stand-in's windows as a host in the plug-in's process reaches them.
#include "platform/win32_host_side.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "platform/win32_standin.h"

namespace {

HWND Window(void* handle) { return static_cast<HWND>(handle); }

int CopyOut(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const int n = std::min(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

// Null for a window the stand-in never made or that is destroyed.
const tonalith::standin::Control* Living(void* window) {
    const auto* control = tonalith::standin::Find(Window(window));
    return control && control->alive ? control : nullptr;
}

}  // namespace

void* tonalith_win32_create_dialog(const char* title, int width, int height) {
    return CreateWindowExA(0, "DIALOG", title ? title : "", 0, 0, 0, width, height, nullptr, nullptr, nullptr,
                           nullptr);
}

int tonalith_win32_destroy_dialog(void* dialog) {
    if (!Living(dialog)) return 0;
    tonalith::standin::DestroyChildren(Window(dialog));
    return DestroyWindow(Window(dialog));
}

int tonalith_win32_children(void* parent, void** out, int capacity) {
    const auto children = tonalith::standin::Children(Window(parent));
    const int count = static_cast<int>(children.size());
    for (int i = 0; out && i < std::min(count, capacity); ++i) out[i] = children[static_cast<size_t>(i)]->handle;
    return count;
}

void* tonalith_win32_child_by_id(void* parent, intptr_t id) {
    const auto* control = tonalith::standin::ChildById(Window(parent), id);
    return control ? control->handle : nullptr;
}

int tonalith_win32_class_name(void* window, char* buffer, int size) {
    const auto* control = Living(window);
    return control ? CopyOut(control->className, buffer, size) : CopyOut("", buffer, size);
}

int tonalith_win32_window_text(void* window, char* buffer, int size) {
    const auto* control = Living(window);
    return control ? CopyOut(control->text, buffer, size) : CopyOut("", buffer, size);
}

intptr_t tonalith_win32_send_message(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return SendMessageA(Window(window), message, wParam, lParam);
}

int tonalith_win32_user_select(void* window, int index) {
    if (!Living(window)) return -1;
    tonalith::standin::UserSelect(Window(window), index);
    return Living(window)->selection;
}
