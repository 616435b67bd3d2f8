// SPDX-License-Identifier: GPL-3.0-or-later
// Sends a window manager's close request (WM_DELETE_WINDOW) to the first viewable top-level
// window whose title contains the given text, DELAY milliseconds after it appears (it is waited
// for up to ten seconds). Exits 0 once sent, 1 when no such window showed up.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::string titleOf(Display* display, Window window) {
    XTextProperty property{};
    if (XGetWMName(display, window, &property) == 0 || property.value == nullptr) {
        return {};
    }
    std::string title(reinterpret_cast<const char*>(property.value), property.nitems);
    XFree(property.value);
    return title;
}

Window findViewable(Display* display, const char* text) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable &&
            titleOf(display, children[i]).find(text) != std::string::npos) {
            found = children[i];
        }
    }
    XFree(children);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wm_close TITLE-TEXT DELAY\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wm_close: no display\n");
        return 1;
    }
    Window window = 0;
    for (int tries = 0; tries < 100 && window == 0; ++tries) {
        window = findViewable(display, argv[1]);
        if (window == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (window == 0) {
        std::fprintf(stderr, "wm_close: no window titled \"%s\"\n", argv[1]);
        XCloseDisplay(display);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return 0;
}
