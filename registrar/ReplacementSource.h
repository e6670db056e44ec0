#pragma once
#include <windows.h>
#include "registrar/IRegistrar.h"

// What gives every script run of a module the variables its scripts share ("APPID"): the
// server's module object.
class ReplacementSource {
public:
    virtual HRESULT AddCommonReplacements(IRegistrar* registrar) noexcept = 0;

protected:
    ~ReplacementSource() = default;
};
