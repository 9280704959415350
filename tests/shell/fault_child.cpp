// fault_child.cpp -- a program whose guarded body faults; the guard test reads its exit code.
#include <windows.h>

#include "shell/host_main.h"

static int Fault(void*) {
    RaiseException(0xE0001234u, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return 7; // not reached
}

int main() {
    return RunGuarded(Fault, nullptr);
}
