#pragma once
#include <windows.h>

// A function chosen once per process for code that asks often: `slot` holds it once chosen.
// Two threads may choose at once; both choose the same function, so either may store it.
template <typename Function>
Function ChosenOnce(Function volatile& slot, Function (*choose)()) noexcept {
    Function chosen = slot;
    if (!chosen) {
        chosen = choose();
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&slot),
                                   reinterpret_cast<PVOID>(chosen));
    }
    return chosen;
}
