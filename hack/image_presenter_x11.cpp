// image_presenter_x11.cpp -- the image presenter: the window's visual, an image of the view's size,
// and the picture drawn into it and put on the window.
#include "hack/image_presenter_x11.h"

#include "hack/xshm_image_x11.h"
#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"
#include "x11/view_x11.h"

#include <X11/Xutil.h>

#include <cstdint>

namespace {

// The process-wide record of the presenter.
struct ImagePresenterState {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    TexelLayout layout;
    XShmImage image;
    bool drawn; // false: an empty or too large view, or one whose image could not be had
};

ImagePresenterState g_image = {};

// Whether the visual is TrueColor of 24 or 32 bits with 8-bit channels; its layout if so, else
// why not.
const char* CheckVisual(Display* display, Visual* visual, int depth, TexelLayout* layout) {
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(visual);
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    if (info == nullptr) {
        return "the window's visual is unknown to the display";
    }
    const int visualClass = info->c_class;
    const unsigned long masks[3] = {info->red_mask, info->green_mask, info->blue_mask};
    XFree(info);
    if (visualClass != TrueColor) {
        return "the window's visual is not TrueColor; the image presenter needs 24- or 32-bit "
               "TrueColor";
    }
    for (const unsigned long mask : masks) {
        if (__builtin_popcountl(mask) < 8) {
            return "the window's visual has fewer than 8 bits per colour channel; 24-bit colour "
                   "is needed";
        }
    }
    int formats = 0;
    int bitsPerPixel = 0;
    XPixmapFormatValues* format = XListPixmapFormats(display, &formats);
    for (int i = 0; i < formats; ++i) {
        bitsPerPixel = format[i].depth == depth ? format[i].bits_per_pixel : bitsPerPixel;
    }
    XFree(format);
    const uint32_t colour = static_cast<uint32_t>(masks[0] | masks[1] | masks[2]);
    const uint32_t alpha = depth == 32 ? ~colour : 0;
    if ((depth != 24 && depth != 32) || bitsPerPixel != 32 ||
        !LayoutFromMasks(static_cast<uint32_t>(masks[0]), static_cast<uint32_t>(masks[1]),
                         static_cast<uint32_t>(masks[2]), alpha, layout)) {
        return "the window's visual is not 24- or 32-bit TrueColor with 8-bit channels in 32-bit "
               "pixels";
    }
    return nullptr;
}

// The image for a view of this size and the picture's buffers; a view that is empty, too large or
// whose memory cannot be had gets no image and is not drawn.
void SizeImage(int width, int height) {
    ImagePresenterState& p = g_image;
    DestroyXShmImage(&p.image);
    g_model.scene.viewWidth = width; // the picture draws the scene's view
    g_model.scene.viewHeight = height;
    const long long pixels = static_cast<long long>(width) * height;
    p.drawn = width > 0 && height > 0 && pixels <= kMaxViewPixels && SizePicture(width, height) &&
              CreateXShmImage(&p.image, p.display, p.visual, p.depth, width, height);
    ForgetPictureContents();
}

bool StartImage(void* surface, int width, int height, std::string* error) {
    const X11View* view = static_cast<const X11View*>(surface);
    ImagePresenterState& p = g_image;
    p = ImagePresenterState{};
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(view->display, view->window, &attributes)) {
        *error = "the window does not exist";
        return false;
    }
    if (attributes.c_class == InputOnly) {
        *error = "the window is input-only and cannot be drawn into";
        return false;
    }
    const char* refused =
        CheckVisual(view->display, attributes.visual, attributes.depth, &p.layout);
    if (refused != nullptr) {
        *error = refused;
        return false;
    }
    p.display = view->display;
    p.window = view->window;
    p.visual = attributes.visual;
    p.depth = attributes.depth;
    XGCValues values = {};
    values.graphics_exposures = False;
    p.gc = XCreateGC(p.display, p.window, GCGraphicsExposures, &values);
    p.image.trySharing = true;
    SizeImage(width, height);
    return true;
}

bool DrawImage(const char* readout) {
    ImagePresenterState& p = g_image;
    if (!p.drawn) {
        return false;
    }
    WaitForXShmImage(&p.image); // the server has taken the last frame out of the image
    XImage* x = p.image.image;
    const PictureImage image{reinterpret_cast<uint32_t*>(x->data), x->width, x->height,
                             x->bytes_per_line / 4, p.layout};
    DrawPictureFrame(image);
    if (readout != nullptr) {
        DrawPictureText(image, readout);
    }
    return true;
}

void PresentImage() {
    PutXShmImage(&g_image.image, g_image.window, g_image.gc);
}

void StopImage() {
    ImagePresenterState& p = g_image;
    if (p.display == nullptr) {
        return;
    }
    DestroyXShmImage(&p.image);
    if (p.gc != nullptr) {
        XFreeGC(p.display, p.gc);
    }
    p = ImagePresenterState{};
}

} // namespace

const Presenter kImagePresenter = {"image",   StartImage,   SizeImage,
                                   DrawImage, PresentImage, StopImage};
