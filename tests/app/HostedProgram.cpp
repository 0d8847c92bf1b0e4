#include "HostedProgram.h"

#include <fstream>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace velmora::test {

double PlanetFraction(Display* display, unsigned long window)
{
    XWindowAttributes a {};
    if (!display || !XGetWindowAttributes(display, window, &a) || a.width <= 0 || a.height <= 0)
        return -1.0;
    XImage* image = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image)
        return -1.0;
    long lit = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const int r = static_cast<int>((p >> 16) & 0xff);
            const int g = static_cast<int>((p >> 8) & 0xff);
            const int b = static_cast<int>(p & 0xff);
            lit += r > 60 && g > 40 && r >= b + 12;
        }
    }
    XDestroyImage(image);
    return static_cast<double>(lit) / (static_cast<double>(a.width) * a.height);
}

bool WriteFixedStartSettings(const std::string& registryFile)
{
    std::ofstream out(registryFile);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]\n"
           "\"RandomCameraStart\"=dword:00000000\n\n";
    return static_cast<bool>(out.flush());
}

} // namespace velmora::test
