#include "tests/doubles/SubstDouble.h"

// Built once with all three exports and once without each of them.
namespace {
const int kMaxCalls = 64;
SubstCall calls[kMaxCalls];
int callCount = 0;
int results[3] = {0, 0, 0};

SubstCall* Record(int which, int drive) {
    if (callCount == kMaxCalls)
        return nullptr;
    SubstCall* call = &calls[callCount++];
    ZeroMemory(call, sizeof(*call));
    call->which = which;
    call->drive = drive;
    return call;
}
} // namespace

extern "C" {

#ifndef SUBST_DOUBLE_WITHOUT_CREATE
__declspec(dllexport) int WINAPI CreateSubst(int drive, const char* path) {
    if (SubstCall* call = Record(SubstCreate, drive))
        lstrcpynA(call->path, path ? path : "(null)", sizeof(call->path));
    return results[SubstCreate];
}
#endif

#ifndef SUBST_DOUBLE_WITHOUT_QUERY
__declspec(dllexport) int WINAPI QuerySubst(int drive, char* buffer, int size) {
    if (SubstCall* call = Record(SubstQuery, drive)) {
        call->size = size;
        call->bufferWasZeroed = 1;
        for (int i = 0; i < 261; ++i)
            call->bufferWasZeroed &= buffer[i] == 0;
    }
    // Something the caller must not rely on.
    lstrcpynA(buffer, "C:\\written-by-double", size);
    return results[SubstQuery];
}
#endif

#ifndef SUBST_DOUBLE_WITHOUT_DELETE
__declspec(dllexport) int WINAPI DeleteSubst(int drive) {
    Record(SubstDelete, drive);
    return results[SubstDelete];
}
#endif

__declspec(dllexport) void WINAPI SubstDoubleReset() {
    callCount = 0;
    results[0] = results[1] = results[2] = 0;
}

__declspec(dllexport) void WINAPI SubstDoubleSetResult(int which, int result) {
    if (which >= 0 && which < 3)
        results[which] = result;
}

__declspec(dllexport) int WINAPI SubstDoubleCallCount() {
    return callCount;
}

__declspec(dllexport) int WINAPI SubstDoubleGetCall(int index, SubstCall* call) {
    if (index < 0 || index >= callCount || !call)
        return 0;
    *call = calls[index];
    return 1;
}
}
