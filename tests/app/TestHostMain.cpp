// velmora-test-host: a plain Xlib window that stands in for another program's
// window, for trying the embedded settings page and the host preview by hand.
//
//   velmora-test-host WIDTHxHEIGHT
// prints the window id ("id <decimal> <hex>") and then reads commands, one
// per line, from standard input:
//   1027 | 1028 | close   forward the command to the embedded page, print the result
//   resize WxH            resize the window
//   quit                  destroy the window and end

#include <cstdio>
#include <iostream>
#include <string>

#include <X11/Xlib.h>

#include "platform/MemberMessages.h"

namespace {

const char* ResultName(velmora::platform::MemberMessenger::Result r)
{
    using R = velmora::platform::MemberMessenger::Result;
    switch (r) {
    case R::Handled:
        return "handled";
    case R::NoMember:
        return "no-member";
    case R::MemberGone:
        return "member-gone";
    case R::TimedOut:
        return "timed-out";
    case R::NoConnection:
        return "no-connection";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    int width = 0, height = 0;
    if (argc < 2 || std::sscanf(argv[1], "%dx%d", &width, &height) != 2 || width < 1 || height < 1) {
        std::fprintf(stderr, "usage: %s WIDTHxHEIGHT\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: no X server\n", argv[0]);
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
        static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0x808080);
    XStoreName(display, window, "velmora-test-host");
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("id %lu %lX\n", window, window);
    std::fflush(stdout);

    velmora::platform::MemberMessenger messenger;
    messenger.Open();
    std::string line;
    while (std::getline(std::cin, line)) {
        using velmora::platform::MemberCommand;
        if (line == "quit")
            break;
        unsigned w = 0, h = 0;
        if (std::sscanf(line.c_str(), "resize %ux%u", &w, &h) == 2) {
            XResizeWindow(display, window, w, h);
            XSync(display, False);
            std::printf("resized\n");
        } else if (line == "1027" || line == "1028" || line == "close") {
            const MemberCommand command = line == "1027" ? MemberCommand::RestoreDefaults
                : line == "1028"                         ? MemberCommand::Preview
                                                         : MemberCommand::Close;
            std::printf("%s\n", ResultName(messenger.SendToHosted(window, command)));
        } else {
            std::printf("unknown\n");
        }
        std::fflush(stdout);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
