// presenter.h -- the presenter contract: how a view's frames reach its surface. Each way of showing
// a frame (GL, an X image, Wayland shm, GDI, the page's memory) is one table of these calls, and
// each start gives an instance of its own, so two views never share buffers. A front end picks
// one with StartChosenPresenter when a view starts and never asks which one it has.
#pragma once

#include "model/scene.h"

#include <string>

struct FrameLoop;

// The ways of showing frames, by the words of RIPPLEFIELD_PRESENT and --present, which the readout
// also uses: OpenGL, the picture drawn on the processor, or whichever suits the machine.
enum class PresentChoice { kGl, kImage, kAuto };

// "gl", "image" and "auto", in PresentChoice's order.
extern const char* const kPresentChoiceNames[3];

const char* PresentChoiceName(PresentChoice choice);

struct Presenter {
    // kGl or kImage: what the readout calls it.
    PresentChoice kind;
    // Attaches to the front end's surface (each presenter says what surface points at) and sizes
    // what frames of the model's view need; the scene has started and the presenter only reads it.
    // Gives the instance the other calls take, or null, with a few words in error and nothing
    // held, when it cannot show frames there.
    void* (*start)(void* surface, const ModelState& model, std::string* error);
    // The model's view has a new size: the buffers follow, the animation goes on.
    void (*resize)(void* frames, const ModelState& model);
    // Draws the model's current frame, and the readout's text over it unless readout is null.
    // False when the view is not drawn (empty, too large, or its memory could not be had): then
    // there is nothing to present.
    bool (*draw)(void* frames, const ModelState& model, const char* readout);
    // Shows the frame just drawn.
    void (*present)(void* frames);
    // Releases everything start took, the instance too.
    void (*stop)(void* frames);
    // Whether a software rasteriser draws the frames (GL on llvmpipe or "GDI Generic"); null for
    // the presenters of the picture, which the processor draws by design.
    bool (*software)(void* frames);
    // Row y, from the top, of the frame last drawn as R, G, B bytes; null where frames are not
    // read back.
    void (*readRow)(void* frames, int y, unsigned char* rgb);
    // Whether the view as last sized gets frames: not when it is empty, over the pixel limit, or
    // its memory could not be had (its frames then show nothing).
    bool (*drawsView)(void* frames);
};

// What a front end can show frames with, for the chooser.
struct PresenterOffer {
    const Presenter* gl;    // null where there is no GL to try
    const Presenter* image; // the picture drawn on the processor
    // Where nothing else starts: a presenter that always does and shows at least the background.
    // A front end that has one must cover its surface whatever happens, so GL that was asked for
    // and cannot start gives way to the picture there. Null for none.
    const Presenter* lastResort;
    void* surface; // what every presenter of the offer starts on
    // Where auto asks GL whether it draws in software, when it must not ask on the surface itself
    // (a window that once had a GL pixel format may show no other drawing): opened before the
    // question and closed after it. Null: asked on the surface, and kept there when it is hardware.
    void* (*openProbe)();
    void (*closeProbe)(void* probe);
};

// Which of an offer's presenters started.
enum class ChosenPresenter { kNone, kGl, kImage, kLastResort };

// Starts, on the loop, the presenter that choice asks for:
// - gl: GL; where the offer has a last resort, else the picture, else the last resort;
// - image: the picture, else the last resort;
// - auto: GL where it is a hardware renderer, else the picture; where the picture cannot start,
//   GL even in software; else the last resort.
// why gets the reason that GL asked for (or found to be hardware), or the picture before the last
// resort, did not start; with kNone, the last reason of all.
ChosenPresenter StartChosenPresenter(FrameLoop& loop, PresentChoice choice,
                                     const PresenterOffer& offer, std::string* why);
