// image_presenter_x11.cpp -- the image presenter: the window's visual, an image of the view's size,
// and the picture drawn into it and put on the window.
#include "hack/image_presenter_x11.h"

#include "hack/xshm_image_x11.h"
#include "picture/picture.h"
#include "x11/view_x11.h"

#include <X11/Xutil.h>

#include <cstdint>

namespace {

struct ImageFrames {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    TexelLayout layout;
    XShmImage image;
    PictureImage picture; // the image's pixels as the picture draws them; null pixels: not drawn
    PictureBuffers buffers;
};

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

// The image for the model's view and the picture's buffers; a view that is empty, too large or
// whose memory cannot be had gets no image and is not drawn.
void SizeImage(void* frames, const ModelState& model) {
    ImageFrames& p = *static_cast<ImageFrames*>(frames);
    DestroyXShmImage(&p.image);
    p.picture = PictureImage{};
    const int width = model.scene.viewWidth;
    const int height = model.scene.viewHeight;
    const long long pixels = static_cast<long long>(width) * height;
    if (width > 0 && height > 0 && pixels <= kMaxViewPixels && SizePicture(p.buffers, model) &&
        CreateXShmImage(&p.image, p.display, p.visual, p.depth, width, height)) {
        XImage* x = p.image.image;
        p.picture = PictureImage{reinterpret_cast<uint32_t*>(x->data),
                                 x->width,
                                 x->height,
                                 x->bytes_per_line / 4,
                                 p.layout,
                                 {}};
    }
}

void* StartImage(void* surface, const ModelState& model, std::string* error) {
    const X11View* view = static_cast<const X11View*>(surface);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(view->display, view->window, &attributes)) {
        *error = "the window does not exist";
        return nullptr;
    }
    if (attributes.c_class == InputOnly) {
        *error = "the window is input-only and cannot be drawn into";
        return nullptr;
    }
    TexelLayout layout{};
    const char* refused = CheckVisual(view->display, attributes.visual, attributes.depth, &layout);
    if (refused != nullptr) {
        *error = refused;
        return nullptr;
    }
    ImageFrames* frames = new ImageFrames{};
    ImageFrames& p = *frames;
    p.layout = layout;
    p.display = view->display;
    p.window = view->window;
    p.visual = attributes.visual;
    p.depth = attributes.depth;
    XGCValues values = {};
    values.graphics_exposures = False;
    p.gc = XCreateGC(p.display, p.window, GCGraphicsExposures, &values);
    p.image.trySharing = true;
    SizeImage(frames, model);
    return frames;
}

bool DrawImage(void* frames, const ModelState& model, const char* readout) {
    ImageFrames& p = *static_cast<ImageFrames*>(frames);
    if (p.picture.pixels == nullptr) {
        return false;
    }
    WaitForXShmImage(&p.image); // the server has taken the last frame out of the image
    return DrawPicture(model, p.buffers, p.picture, readout);
}

void PresentImage(void* frames) {
    ImageFrames& p = *static_cast<ImageFrames*>(frames);
    PutXShmImage(&p.image, p.window, p.gc);
}

void StopImage(void* frames) {
    ImageFrames* p = static_cast<ImageFrames*>(frames);
    DestroyXShmImage(&p->image);
    if (p->gc != nullptr) {
        XFreeGC(p->display, p->gc);
    }
    delete p;
}

bool ImageDrawsView(void* frames) {
    return static_cast<ImageFrames*>(frames)->picture.pixels != nullptr;
}

} // namespace

const Presenter kImagePresenter = {PresentChoice::kImage, StartImage, SizeImage, DrawImage,
                                   PresentImage,          StopImage,  nullptr,   nullptr,
                                   ImageDrawsView};
