#include "engine/pitchtracker.h"

#include <algorithm>
#include <aubio/aubio.h>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <type_traits>

#include "base/translate.h"

namespace {

// The library is opened on first use rather than linked: it brings a long
// chain of media libraries that every other run would load for nothing.
struct TAubio {
    void* handle = nullptr;
    std::string problem;
    decltype(&new_aubio_pitch) newPitch = nullptr;
    decltype(&del_aubio_pitch) deletePitch = nullptr;
    decltype(&aubio_pitch_set_unit) setUnit = nullptr;
    decltype(&aubio_pitch_set_tolerance) setTolerance = nullptr;
    decltype(&aubio_pitch_set_silence) setSilence = nullptr;
    decltype(&aubio_pitch_do) pitchDo = nullptr;
    decltype(&aubio_pitch_get_confidence) confidence = nullptr;
    decltype(&new_fvec) newVector = nullptr;
    decltype(&del_fvec) deleteVector = nullptr;

    TAubio() {
        handle = ::dlopen("libaubio.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* error = ::dlerror();
            problem = error ? error : "libaubio.so.5 cannot be loaded";
            return;
        }
        bool all = true;
        auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                ::dlsym(handle, name));
            all = all && function != nullptr;
        };
        bind(newPitch, "new_aubio_pitch");
        bind(deletePitch, "del_aubio_pitch");
        bind(setUnit, "aubio_pitch_set_unit");
        bind(setTolerance, "aubio_pitch_set_tolerance");
        bind(setSilence, "aubio_pitch_set_silence");
        bind(pitchDo, "aubio_pitch_do");
        bind(confidence, "aubio_pitch_get_confidence");
        bind(newVector, "new_fvec");
        bind(deleteVector, "del_fvec");
        if (!all) {
            problem = Tr("libaubio.so.5 lacks the pitch functions");
            handle = nullptr;
        }
    }
};

const TAubio& Aubio() {
    static const TAubio library;
    return library;
}

} // namespace

struct TPitchTracker::TState {
    aubio_pitch_t* pitch = nullptr;
    fvec_t* input = nullptr;
    fvec_t* output = nullptr;
    int hop = 0;
    double minConfidence = 0.0;

    ~TState() {
        const TAubio& aubio = Aubio();
        if (pitch) {
            aubio.deletePitch(pitch);
        }
        if (input) {
            aubio.deleteVector(input);
        }
        if (output) {
            aubio.deleteVector(output);
        }
    }
};

TPitchTracker::TPitchTracker(int windowFrames, int rate, const TPitchSettings& settings)
    : state(std::make_unique<TState>()) {
    const TAubio& aubio = Aubio();
    if (!aubio.handle) {
        problem = TrSubst("the pitch detection library cannot be loaded: %s", {aubio.problem});
        return;
    }
    if (windowFrames < 1 || rate < 1) {
        problem = Tr("the pitch detection needs a window of at least one frame");
        return;
    }
    // The buffer holds the latest `bufferWindows` windows; each call hands
    // over one window (the hop).
    unsigned buffer = 1;
    const long long wanted =
        static_cast<long long>(windowFrames) * std::max(settings.bufferWindows, 1);
    while (buffer < wanted && buffer < (1u << 24)) {
        buffer *= 2;
    }
    state->hop = windowFrames;
    state->minConfidence = settings.minConfidence;
    state->pitch = aubio.newPitch(settings.method.c_str(), buffer,
                                  static_cast<uint_t>(windowFrames), static_cast<uint_t>(rate));
    if (!state->pitch) {
        problem = TrSubst("the pitch detection cannot work on windows of %s frames",
                          {std::to_string(windowFrames)});
        return;
    }
    aubio.setUnit(state->pitch, "Hz");
    aubio.setTolerance(state->pitch, static_cast<smpl_t>(settings.tolerance));
    aubio.setSilence(state->pitch, static_cast<smpl_t>(settings.silenceDb));
    state->input = aubio.newVector(static_cast<uint_t>(windowFrames));
    state->output = aubio.newVector(1);
}

TPitchTracker::~TPitchTracker() = default;

bool TPitchTracker::Ready() const {
    return state->pitch && state->input && state->output;
}

std::optional<double> TPitchTracker::Window(const float* frames) {
    if (!Ready()) {
        return std::nullopt;
    }
    std::memcpy(state->input->data, frames, sizeof(float) * static_cast<std::size_t>(state->hop));
    const TAubio& aubio = Aubio();
    aubio.pitchDo(state->pitch, state->input, state->output);
    const double f0 = state->output->data[0];
    const double confidence = aubio.confidence(state->pitch);
    if (!(f0 > 0.0) || !std::isfinite(f0) || confidence < state->minConfidence) {
        return std::nullopt;
    }
    return f0;
}
