// elapsed_web.cpp -- the page's clocks, from its script: performance.now(), and the time its frames
// have taken, as the processor time that the readout's load is made of.
#include "frames/elapsed.h"

#include <cmath>

extern "C" __attribute__((import_module("env"), import_name("PageMilliseconds"))) double
PageMilliseconds();
extern "C" __attribute__((import_module("env"), import_name("PageBusyMilliseconds"))) double
PageBusyMilliseconds();

// Whole milliseconds since the page began, wrapped to 32 bits as the native counter is.
int ReadElapsedMilliseconds() {
    const double whole = std::floor(PageMilliseconds());
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

double ReadSteadyMilliseconds() {
    return PageMilliseconds();
}

// A page cannot read its processor time; its frames' own time is what the saver costs.
double ReadProcessCpuMilliseconds() {
    return PageBusyMilliseconds();
}
