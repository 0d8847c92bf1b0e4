#pragma once
// The product page's title on Windows: a static control painted by hand in
// its own font, optionally embossed (a light copy up and left, a shadow copy
// down and right, then the text itself). Attached to an existing static
// control as a subclass; it lets go when the control is destroyed.

#include "platform/win32/WinHandles.h"

#include <string>

namespace velmora::webupdate::win32 {

class TitleLabel {
public:
    TitleLabel() = default;
    ~TitleLabel();
    TitleLabel(const TitleLabel&) = delete;
    TitleLabel& operator=(const TitleLabel&) = delete;

    // Paints `control` from now on; false when it cannot be subclassed.
    bool Attach(HWND control);
    HWND Control() const { return control_; }

    // Sets the colour and the emboss flag and replaces the font. A height of
    // 0 means the control's client height. Without a face no font is made
    // and the control paints in the stock variable-pitch font.
    void SetFont(COLORREF colour, int height, const wchar_t* face, bool bold, bool italic, bool underline,
        bool strikeOut, bool emboss);

    COLORREF TextColour() const { return colour_; }
    bool Emboss() const { return emboss_; }
    HFONT Font() const { return font_.Get(); }

private:
    static LRESULT CALLBACK Procedure(
        HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    void Paint();
    void Detach();

    HWND control_ = nullptr;
    velmora::win32::UniqueHandle<HFONT, velmora::win32::detail::DeleteGdiObject> font_;
    COLORREF colour_ = RGB(0, 0, 0);
    bool emboss_ = false;
};

} // namespace velmora::webupdate::win32
