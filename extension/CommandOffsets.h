#pragma once
#include <windows.h>

// Lanterwell's commands, numbered as the classic handler offsets its menu identifiers from
// idCmdFirst and as the Explorer command numbers its objects: the letters A: to Z: first (0 to
// 25), then the popup (in Windows 11, the group) that holds them, then the delete command.
enum CommandOffset : UINT {
    kLetterCount = 26,
    kPopupOffset = kLetterCount,
    kDeleteOffset,
    kCommandCount,
};
