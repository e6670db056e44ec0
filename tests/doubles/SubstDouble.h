#pragma once
#include <windows.h>

// The recording SUBST.DLL double: every call of its three exports is logged with its
// arguments, and each export answers the result that the test set for it.
enum SubstExport { SubstCreate = 0, SubstQuery = 1, SubstDelete = 2 };

struct SubstCall {
    int which;           // SubstExport
    int drive;           // first argument
    char path[261];      // CreateSubst: the path text
    int size;            // QuerySubst: the size argument
    int bufferWasZeroed; // QuerySubst: all 261 chars of the buffer were 0 on entry
};

extern "C" {
typedef void(WINAPI* SubstDoubleResetProc)();
typedef void(WINAPI* SubstDoubleSetResultProc)(int which, int result);
typedef int(WINAPI* SubstDoubleCallCountProc)();
typedef int(WINAPI* SubstDoubleGetCallProc)(int index, SubstCall* call);
}
