// stand_in_support.h -- what the stand-in system modules share: files beside the module itself.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

// The path of a file named `name` in the folder of the module that this code is part of.
static void FileBesideModule(char* path, size_t size, const char* name) {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&FileBesideModule), &self);
    GetModuleFileNameA(self, path, static_cast<DWORD>(size));
    char* slash = std::strrchr(path, '\\');
    char* nameAt = slash != nullptr ? slash + 1 : path;
    std::snprintf(nameAt, size - static_cast<size_t>(nameAt - path), "%s", name);
}
