// xshm_image_x11.cpp -- the shared or plain X image: create, put, destroy.
#include "hack/xshm_image_x11.h"

#include "x11/x_error_trap_x11.h"

#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

bool NativeByteOrderIs(int order) {
    const uint32_t one = 1;
    return (*reinterpret_cast<const unsigned char*>(&one) == 1) == (order == LSBFirst);
}

// An image in a shared segment that the server has attached; null when the server has no MIT-SHM,
// cannot reach the segment (a remote display) or the segment cannot be had.
XImage* CreateSharedImage(XShmImage* x, Visual* visual, int depth, int width, int height) {
    if (!x->trySharing || !XShmQueryExtension(x->display) ||
        !NativeByteOrderIs(ImageByteOrder(x->display))) {
        return nullptr;
    }
    XImage* image =
        XShmCreateImage(x->display, visual, depth, ZPixmap, nullptr, &x->segment, width, height);
    if (image == nullptr) {
        return nullptr;
    }
    x->segment.shmid =
        shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    void* memory = x->segment.shmid >= 0 ? shmat(x->segment.shmid, nullptr, 0) : nullptr;
    if (memory == nullptr || memory == reinterpret_cast<void*>(-1)) {
        if (x->segment.shmid >= 0) {
            shmctl(x->segment.shmid, IPC_RMID, nullptr);
        }
        XDestroyImage(image);
        return nullptr;
    }
    x->segment.shmaddr = image->data = static_cast<char*>(memory);
    x->segment.readOnly = False;
    const XErrorHandler previous = SetXErrorTrap(x->display);
    const bool attached = XShmAttach(x->display, &x->segment) && !TrappedXError(x->display);
    ReleaseXErrorTrap(x->display, previous);
    // Once both sides are attached the segment can go: it stays until both have detached, even
    // if the program is killed.
    shmctl(x->segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        x->trySharing = false;
        shmdt(memory);
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// An image in the program's memory, which XPutImage sends through the connection.
XImage* CreatePlainImage(Display* display, Visual* visual, int depth, int width, int height) {
    XImage* image = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, width, height, 32, 0);
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

} // namespace

bool CreateXShmImage(XShmImage* x, Display* display, Visual* visual, int depth, int width,
                     int height) {
    DestroyXShmImage(x);
    x->display = display;
    x->image = CreateSharedImage(x, visual, depth, width, height);
    x->shared = x->image != nullptr;
    if (x->image == nullptr) {
        x->image = CreatePlainImage(display, visual, depth, width, height);
    }
    return x->image != nullptr;
}

void WaitForXShmImage(XShmImage* x) {
    if (x->pending) {
        XSync(x->display, False);
        x->pending = false;
    }
}

void PutXShmImage(XShmImage* x, Window window, GC gc) {
    XImage* image = x->image;
    if (x->shared) {
        XShmPutImage(x->display, window, gc, image, 0, 0, 0, 0, image->width, image->height, False);
        x->pending = true;
    } else {
        XPutImage(x->display, window, gc, image, 0, 0, 0, 0, image->width, image->height);
    }
    XFlush(x->display);
}

void DestroyXShmImage(XShmImage* x) {
    if (x->image == nullptr) {
        return;
    }
    if (x->shared) {
        XShmDetach(x->display, &x->segment);
        XSync(x->display, False);
        shmdt(x->segment.shmaddr);
        x->image->data = nullptr;
    }
    XDestroyImage(x->image); // frees a plain image's pixels
    x->image = nullptr;
    x->shared = false;
    x->pending = false;
}
