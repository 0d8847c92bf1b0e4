#include "platform/x11/X11MessageBox.h"

#include "platform/PlainMessageBox.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velmora::platform {
namespace {

constexpr std::size_t kWrapColumns = 64;
constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 26;
constexpr int kLineGap = 2;

// Colours of a plain light dialog; every server has 24- or 16-bit visuals
// today, and AllocColor picks the nearest on anything poorer.
struct Palette {
    unsigned long face, text, buttonFace, buttonEdge, buttonDark, warnFill, warnEdge;
};

unsigned long Colour(Display* display, int screen, unsigned short r, unsigned short g, unsigned short b)
{
    XColor colour {};
    colour.red = static_cast<unsigned short>(r * 257);
    colour.green = static_cast<unsigned short>(g * 257);
    colour.blue = static_cast<unsigned short>(b * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(display, DefaultColormap(display, screen), &colour))
        return colour.pixel;
    return (r + g + b) / 3 > 127 ? WhitePixel(display, screen) : BlackPixel(display, screen);
}

// A window destroyed from outside must not end the program through Xlib's
// default error handler: the box just closes.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

XFontStruct* LoadFont(Display* display)
{
    // The server's built-in "fixed" is always there; the others read better.
    for (const char* name : {"-*-dejavu sans-medium-r-normal--13-*-*-*-*-*-iso10646-1",
             "-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso8859-1", "fixed"}) {
        if (XFontStruct* font = XLoadQueryFont(display, name))
            return font;
    }
    return nullptr;
}

int TextWidth(XFontStruct* font, const std::string& text)
{
    return XTextWidth(font, text.c_str(), static_cast<int>(text.size()));
}

void SetWindowTitle(Display* display, Window window, std::string_view title)
{
    const std::string text(title);
    XStoreName(display, window, text.c_str());
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

// A warning sign: a yellow triangle with an exclamation mark.
void DrawWarningSign(Display* display, Window window, GC gc, const Palette& palette, int x, int y)
{
    XPoint triangle[] = {{static_cast<short>(x + kIconSize / 2), static_cast<short>(y + 1)},
        {static_cast<short>(x + kIconSize - 1), static_cast<short>(y + kIconSize - 3)},
        {static_cast<short>(x), static_cast<short>(y + kIconSize - 3)}};
    XSetForeground(display, gc, palette.warnFill);
    XFillPolygon(display, window, gc, triangle, 3, Convex, CoordModeOrigin);
    XSetForeground(display, gc, palette.warnEdge);
    XSetLineAttributes(display, gc, 2, LineSolid, CapRound, JoinRound);
    XPoint outline[] = {triangle[0], triangle[1], triangle[2], triangle[0]};
    XDrawLines(display, window, gc, outline, 4, CoordModeOrigin);
    XSetForeground(display, gc, palette.text);
    XFillRectangle(display, window, gc, x + kIconSize / 2 - 2, y + 10, 4, 11);
    XFillRectangle(display, window, gc, x + kIconSize / 2 - 2, y + 23, 4, 4);
    XSetLineAttributes(display, gc, 1, LineSolid, CapButt, JoinMiter);
}

void DrawButton(
    Display* display, Window button, GC gc, XFontStruct* font, const Palette& palette, bool pressed)
{
    XSetForeground(display, gc, palette.buttonFace);
    XFillRectangle(display, button, gc, 0, 0, kButtonWidth, kButtonHeight);
    // Default-button frame: a dark outer edge, a raised (or pressed) inner one.
    XSetForeground(display, gc, palette.buttonDark);
    XDrawRectangle(display, button, gc, 0, 0, kButtonWidth - 1, kButtonHeight - 1);
    XSetForeground(display, gc, pressed ? palette.buttonEdge : palette.face);
    XDrawLine(display, button, gc, 1, 1, kButtonWidth - 3, 1);
    XDrawLine(display, button, gc, 1, 1, 1, kButtonHeight - 3);
    XSetForeground(display, gc, palette.buttonEdge);
    XDrawLine(display, button, gc, 1, kButtonHeight - 2, kButtonWidth - 2, kButtonHeight - 2);
    XDrawLine(display, button, gc, kButtonWidth - 2, 1, kButtonWidth - 2, kButtonHeight - 2);
    const std::string label = "OK";
    const int shift = pressed ? 1 : 0;
    XSetForeground(display, gc, palette.text);
    XDrawString(display, button, gc, (kButtonWidth - TextWidth(font, label)) / 2 + shift,
        (kButtonHeight + font->ascent - font->descent) / 2 + shift, label.c_str(),
        static_cast<int>(label.size()));
}

} // namespace

std::vector<std::string> WrapMessageText(std::string_view text, std::size_t maxColumns)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view paragraph = text.substr(start, end - start);
        if (paragraph.empty())
            lines.emplace_back();
        while (!paragraph.empty()) {
            if (paragraph.size() <= maxColumns) {
                lines.emplace_back(paragraph);
                break;
            }
            // Break at the last blank that keeps the line within the limit;
            // with none, at the first blank after it, so no word is split.
            std::size_t cut = paragraph.rfind(' ', maxColumns);
            if (cut == std::string_view::npos || cut == 0)
                cut = paragraph.find(' ', maxColumns);
            if (cut == std::string_view::npos) {
                lines.emplace_back(paragraph);
                break;
            }
            lines.emplace_back(paragraph.substr(0, cut));
            paragraph.remove_prefix(cut + 1);
        }
        start = end + 1;
    }
    return lines;
}

bool ShowX11MessageBox(std::string_view caption, std::string_view text)
{
    std::unique_ptr<Display, DisplayCloser> owned(XOpenDisplay(nullptr));
    Display* display = owned.get();
    if (display == nullptr)
        return false;
    XFontStruct* font = LoadFont(display);
    if (font == nullptr)
        return false;
    const auto previousHandler = XSetErrorHandler(IgnoreXError);
    const int screen = DefaultScreen(display);
    const Palette palette {Colour(display, screen, 240, 240, 240), Colour(display, screen, 0, 0, 0),
        Colour(display, screen, 225, 225, 225), Colour(display, screen, 160, 160, 160),
        Colour(display, screen, 64, 64, 64), Colour(display, screen, 255, 204, 0),
        Colour(display, screen, 150, 110, 0)};

    const std::vector<std::string> lines = WrapMessageText(text, kWrapColumns);
    int textWidth = 0;
    for (const std::string& line : lines)
        textWidth = std::max(textWidth, TextWidth(font, line));
    const int lineHeight = font->ascent + font->descent + kLineGap;
    const int textHeight = std::max(kIconSize, static_cast<int>(lines.size()) * lineHeight);
    const int width = std::max(kMargin * 3 + kIconSize + textWidth, kButtonWidth + 2 * kMargin);
    const int height = kMargin * 3 + textHeight + kButtonHeight;
    const int x = std::max(0, (DisplayWidth(display, screen) - width) / 2);
    const int y = std::max(0, (DisplayHeight(display, screen) - height) / 2);

    const Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes {};
    attributes.background_pixel = palette.face;
    attributes.event_mask = ExposureMask | KeyPressMask | StructureNotifyMask;
    const Window window
        = XCreateWindow(display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
            CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    attributes.background_pixel = palette.buttonFace;
    attributes.event_mask
        = ExposureMask | ButtonPressMask | ButtonReleaseMask | LeaveWindowMask | EnterWindowMask;
    const Window button = XCreateWindow(display, window, width - kMargin - kButtonWidth,
        height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, 0, CopyFromParent, InputOutput,
        CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, button, "OK");

    SetWindowTitle(display, window, caption);
    XClassHint classHint {const_cast<char*>("randomstart"), const_cast<char*>("Randomstart")};
    XSetClassHint(display, window, &classHint);
    // A fixed-size dialog, placed where we put it.
    XSizeHints* sizeHints = XAllocSizeHints();
    if (sizeHints != nullptr) {
        sizeHints->flags = PPosition | PMinSize | PMaxSize;
        sizeHints->x = x;
        sizeHints->y = y;
        sizeHints->min_width = sizeHints->max_width = width;
        sizeHints->min_height = sizeHints->max_height = height;
        XSetWMNormalHints(display, window, sizeHints);
        XFree(sizeHints);
    }
    XWMHints wmHints {};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(display, window, &wmHints);
    const Atom dialogType = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
        PropModeReplace, reinterpret_cast<const unsigned char*>(&dialogType), 1);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);

    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetFont(display, gc, font->fid);
    // The button first, so the box never shows without it.
    XMapWindow(display, button);
    XMapRaised(display, window);

    bool pressed = false;
    bool inside = false;
    bool done = false;
    while (!done) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            if (event.xexpose.count != 0)
                break;
            if (event.xexpose.window == button) {
                DrawButton(display, button, gc, font, palette, pressed && inside);
            } else {
                DrawWarningSign(display, window, gc, palette, kMargin, kMargin);
                XSetForeground(display, gc, palette.text);
                int baseline = kMargin + font->ascent;
                for (const std::string& line : lines) {
                    XDrawString(display, window, gc, kMargin * 2 + kIconSize, baseline, line.c_str(),
                        static_cast<int>(line.size()));
                    baseline += lineHeight;
                }
            }
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                pressed = inside = true;
                DrawButton(display, button, gc, font, palette, true);
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && pressed) {
                pressed = false;
                done = event.xbutton.x >= 0 && event.xbutton.x < kButtonWidth && event.xbutton.y >= 0
                    && event.xbutton.y < kButtonHeight;
                DrawButton(display, button, gc, font, palette, false);
            }
            break;
        case EnterNotify:
        case LeaveNotify:
            inside = event.type == EnterNotify;
            if (pressed)
                DrawButton(display, button, gc, font, palette, inside);
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            done = key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
            break;
        }
        case ClientMessage:
            done = static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow;
            break;
        case DestroyNotify:
            // Destroyed from outside (the session ends): nothing left to show.
            done = event.xdestroywindow.window == window;
            break;
        default:
            break;
        }
    }
    XFreeGC(display, gc);
    XFreeFont(display, font);
    XDestroyWindow(display, window);
    XSync(display, False);
    XSetErrorHandler(previousHandler);
    return true;
}

bool ShowPlainMessageBox(std::string_view caption, std::string_view text)
{
    return ShowX11MessageBox(caption, text);
}

} // namespace velmora::platform
