// run_settings.cpp -- RIPPLEFIELD_PRESENT's and RIPPLEFIELD_FREEZE's values.
#include "frames/run_settings.h"

#include "text/text.h"

#include <cstdlib>
#include <cstring>

namespace {

void AddProblem(std::string* problems, const std::string& problem) {
    if (problems != nullptr) {
        *problems += (problems->empty() ? "" : "; ") + problem;
    }
}

} // namespace

PresentChoice PickPresentChoice(const char* request, std::string* problem) {
    if (request == nullptr || request[0] == '\0') {
        return PresentChoice::kAuto;
    }
    const int found = FindName(request, kPresentChoiceNames, 3);
    if (found >= 0) {
        return static_cast<PresentChoice>(found);
    }
    AddProblem(problem, std::string("RIPPLEFIELD_PRESENT=") + request + " is not " +
                            ListNames(kPresentChoiceNames, 3) + ": using auto");
    return PresentChoice::kAuto;
}

bool ParseFreeze(const char* text, uint32_t* seed, int32_t* milliseconds) {
    const char* comma = std::strchr(text, ',');
    uint32_t seedValue = 0;
    int64_t ms = 0;
    if (comma == nullptr ||
        ParseSeed(std::string_view(text, comma - text), Signs::kNone, &seedValue) !=
            NumberText::kNumber ||
        !ParseInteger(comma + 1, Signs::kMinus, 10, &ms) || ms < INT32_MIN || ms > INT32_MAX) {
        return false;
    }
    *seed = seedValue;
    *milliseconds = static_cast<int32_t>(ms);
    return true;
}

RunSettings ReadRunSettings(uint32_t runningSeed) {
    RunSettings settings{};
    settings.seed = runningSeed;
    settings.present = PickPresentChoice(std::getenv("RIPPLEFIELD_PRESENT"), &settings.problem);
    const char* freeze = std::getenv("RIPPLEFIELD_FREEZE");
    if (freeze == nullptr || freeze[0] == '\0') {
        return settings;
    }
    if (ParseFreeze(freeze, &settings.seed, &settings.frozenMilliseconds)) {
        settings.frozen = true;
    } else {
        settings.seed = runningSeed;
        settings.badFreeze = true;
        AddProblem(&settings.problem,
                   std::string("RIPPLEFIELD_FREEZE '") + freeze + "' is not SEED,MILLISECONDS");
    }
    return settings;
}
