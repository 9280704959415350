// main_win32.cpp -- the .scr's entry from the runtime: the host takes over from here.
#include <windows.h>

#include "shell/host_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SaverEntry();
    return 0; // not reached: SaverEntry ends the process
}
