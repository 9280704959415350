// image_x11.cpp -- the image presenter: the window's visual, the shared or plain X image of the
// view's size, and frames drawn into it and put on the window.
#include "hack/image_x11.h"

#include "model/animation.h"
#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"
#include "render/elapsed.h"
#include "render/fps_overlay.h"
#include "render/frame.h"
#include "render/x_error_trap_x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <cstdlib>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

// The process-wide record of the presenter.
struct ImagePresenter {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    TexelLayout layout;
    XImage* image; // null: nothing to draw (an empty or too large view)
    XShmSegmentInfo segment;
    bool shared;     // the image lives in a segment the server has attached
    bool pending;    // a put that the server may not have finished
    bool trySharing; // until the server refuses a segment once
    bool showFps;
    FpsCounter fps;
};

ImagePresenter g_image = {};

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

bool NativeByteOrderIs(int order) {
    const uint32_t one = 1;
    return (*reinterpret_cast<const unsigned char*>(&one) == 1) == (order == LSBFirst);
}

// An image in a shared segment that the server has attached; null when the server has no MIT-SHM,
// cannot reach the segment (a remote display) or the segment cannot be had.
XImage* CreateSharedImage(int width, int height) {
    ImagePresenter& p = g_image;
    if (!p.trySharing || !XShmQueryExtension(p.display) ||
        !NativeByteOrderIs(ImageByteOrder(p.display))) {
        return nullptr;
    }
    XImage* image =
        XShmCreateImage(p.display, p.visual, p.depth, ZPixmap, nullptr, &p.segment, width, height);
    if (image == nullptr) {
        return nullptr;
    }
    p.segment.shmid =
        shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    void* memory = p.segment.shmid >= 0 ? shmat(p.segment.shmid, nullptr, 0) : nullptr;
    if (memory == nullptr || memory == reinterpret_cast<void*>(-1)) {
        if (p.segment.shmid >= 0) {
            shmctl(p.segment.shmid, IPC_RMID, nullptr);
        }
        XDestroyImage(image);
        return nullptr;
    }
    p.segment.shmaddr = image->data = static_cast<char*>(memory);
    p.segment.readOnly = False;
    const XErrorHandler previous = SetXErrorTrap(p.display);
    const bool attached = XShmAttach(p.display, &p.segment) && !TrappedXError(p.display);
    ReleaseXErrorTrap(p.display, previous);
    // Once both sides are attached the segment can go: it stays until both have detached, even
    // if the program is killed.
    shmctl(p.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        p.trySharing = false;
        shmdt(memory);
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// An image in the program's memory, which XPutImage sends through the connection.
XImage* CreatePlainImage(int width, int height) {
    ImagePresenter& p = g_image;
    XImage* image =
        XCreateImage(p.display, p.visual, p.depth, ZPixmap, 0, nullptr, width, height, 32, 0);
    if (image == nullptr) {
        return nullptr;
    }
    image->byte_order = NativeByteOrderIs(LSBFirst) ? LSBFirst : MSBFirst; // Xlib swaps if needed
    image->data =
        static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * height));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

void DestroyImage() {
    ImagePresenter& p = g_image;
    if (p.image == nullptr) {
        return;
    }
    if (p.shared) {
        XShmDetach(p.display, &p.segment);
        XSync(p.display, False);
        shmdt(p.segment.shmaddr);
        p.image->data = nullptr;
    }
    XDestroyImage(p.image); // frees a plain image's pixels
    p.image = nullptr;
    p.shared = false;
    p.pending = false;
}

// The image for a view of this size, the scene's view size and the picture's buffers; a view that
// is empty, too large or whose memory cannot be had gets no image and is not drawn.
void CreateImage(int width, int height) {
    ImagePresenter& p = g_image;
    DestroyImage();
    SceneParams& s = g_model.scene;
    s.viewWidth = width;
    s.viewHeight = height;
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels || !SizePicture(width, height)) {
        return;
    }
    p.image = CreateSharedImage(width, height);
    p.shared = p.image != nullptr;
    if (p.image == nullptr) {
        p.image = CreatePlainImage(width, height);
    }
    ForgetPictureContents();
}

} // namespace

bool StartImagePresenter(Display* display, Window window, int width, int height, bool showFps,
                         double nowMs, double cpuMs, std::string* error) {
    ImagePresenter& p = g_image;
    p = ImagePresenter{};
    p.display = display;
    p.window = window;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        *error = "the window does not exist";
        return false;
    }
    if (attributes.c_class == InputOnly) {
        *error = "the window is input-only and cannot be drawn into";
        return false;
    }
    p.visual = attributes.visual;
    p.depth = attributes.depth;
    const char* refused = CheckVisual(display, p.visual, p.depth, &p.layout);
    if (refused != nullptr) {
        *error = refused;
        return false;
    }
    XGCValues values = {};
    values.graphics_exposures = False;
    p.gc = XCreateGC(display, window, GCGraphicsExposures, &values);
    p.trySharing = true;
    p.showFps = showFps;
    StartFpsCounter(&p.fps, nowMs, cpuMs);
    // As the GL context does when it is made: the seed is the steady clock's milliseconds.
    SeedRandom(static_cast<uint32_t>(static_cast<uint64_t>(ReadSteadyMilliseconds())));
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    ResetScene();
    CreateImage(width, height);
    return true;
}

void ResizeImagePresenter(int width, int height) {
    CreateImage(width, height);
}

void DrawImageFrame(int frameMs, double nowMs, double cpuMs) {
    ImagePresenter& p = g_image;
    AdvanceFrame(frameMs);
    if (p.image == nullptr) {
        return; // time runs on; nothing is shown
    }
    if (p.pending) {
        XSync(p.display, False); // the server has taken the last frame out of the image
        p.pending = false;
    }
    const int width = p.image->width;
    const int height = p.image->height;
    const PictureImage image{reinterpret_cast<uint32_t*>(p.image->data), width, height,
                             p.image->bytes_per_line / 4, p.layout};
    DrawPictureFrame(image);
    if (p.showFps) {
        CountFpsFrame(&p.fps, nowMs, cpuMs);
        char readout[96];
        FormatFpsReadout(p.fps, readout, sizeof readout, "image");
        DrawPictureText(image, readout);
    }
    if (p.shared) {
        XShmPutImage(p.display, p.window, p.gc, p.image, 0, 0, 0, 0, width, height, False);
        p.pending = true;
    } else {
        XPutImage(p.display, p.window, p.gc, p.image, 0, 0, 0, 0, width, height);
    }
    XFlush(p.display);
}

void StopImagePresenter() {
    ImagePresenter& p = g_image;
    if (p.display == nullptr) {
        return;
    }
    DestroyImage();
    if (p.gc != nullptr) {
        XFreeGC(p.display, p.gc);
    }
    p = ImagePresenter{};
}
