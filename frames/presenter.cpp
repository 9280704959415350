// presenter.cpp -- the presenters' names and the one rule that picks a presenter for a view.
#include "frames/presenter.h"

#include "frames/frame_step.h"

const char* const kPresentChoiceNames[3] = {"gl", "image", "auto"};

namespace {

// Starts presenter on the surface and attaches it to the loop; false, with the reason, when it
// cannot start or the offer has none.
bool StartOn(FrameLoop& loop, const Presenter* presenter, void* surface, std::string* reason) {
    if (presenter == nullptr) {
        return false;
    }
    void* frames = presenter->start(surface, loop.model, reason);
    if (frames == nullptr) {
        return false;
    }
    AttachPresenter(loop, presenter, frames);
    return true;
}

bool IsSoftware(const Presenter* presenter, void* frames) {
    return presenter->software != nullptr && presenter->software(frames);
}

// What auto learns of GL before it picks: none here, hardware, or a software rasteriser. Asked on
// the offer's probe, or on the surface itself, where a hardware GL is kept on the loop.
enum class GlFound { kNone, kHardware, kSoftware, kKept };

GlFound AskGl(FrameLoop& loop, const PresenterOffer& offer) {
    if (offer.gl == nullptr) {
        return GlFound::kNone;
    }
    void* probe = offer.openProbe != nullptr ? offer.openProbe() : nullptr;
    if (offer.openProbe != nullptr && probe == nullptr) {
        return GlFound::kHardware; // no telling: GL it is, as where nothing is asked
    }
    std::string ignored;
    void* frames = offer.gl->start(probe != nullptr ? probe : offer.surface, loop.model, &ignored);
    GlFound found = GlFound::kNone;
    if (frames != nullptr) {
        found = IsSoftware(offer.gl, frames) ? GlFound::kSoftware : GlFound::kHardware;
        if (found == GlFound::kHardware && probe == nullptr) {
            AttachPresenter(loop, offer.gl, frames);
            return GlFound::kKept;
        }
        offer.gl->stop(frames);
    }
    if (probe != nullptr) {
        offer.closeProbe(probe);
    }
    return found;
}

} // namespace

const char* PresentChoiceName(PresentChoice choice) {
    return kPresentChoiceNames[static_cast<int>(choice)];
}

ChosenPresenter StartChosenPresenter(FrameLoop& loop, PresentChoice choice,
                                     const PresenterOffer& offer, std::string* why) {
    why->clear();
    std::string reason;
    const bool mustCover = offer.lastResort != nullptr;
    const GlFound gl = choice == PresentChoice::kAuto ? AskGl(loop, offer) : GlFound::kNone;
    if (gl == GlFound::kKept) {
        return ChosenPresenter::kGl;
    }
    if (choice == PresentChoice::kGl || gl == GlFound::kHardware) {
        if (StartOn(loop, offer.gl, offer.surface, &reason)) {
            return ChosenPresenter::kGl;
        }
        *why = reason;
        if (choice == PresentChoice::kGl && !mustCover) {
            return ChosenPresenter::kNone;
        }
    }
    if (StartOn(loop, offer.image, offer.surface, &reason)) {
        return ChosenPresenter::kImage;
    }
    // A display the picture cannot take (a 30-bit one) still gets GL, even in software.
    std::string glReason;
    if (gl == GlFound::kSoftware && StartOn(loop, offer.gl, offer.surface, &glReason)) {
        return ChosenPresenter::kGl;
    }
    *why = reason;
    if (StartOn(loop, offer.lastResort, offer.surface, &reason)) {
        return ChosenPresenter::kLastResort;
    }
    *why = reason;
    return ChosenPresenter::kNone;
}
