#pragma once
#include <windows.h>
#include "LanterwellIds.h"

// Lanterwell's commands, numbered as the classic handler offsets its menu identifiers from
// idCmdFirst and as the Explorer command numbers its objects: the letters A: to Z: first (0 to
// 25), then the popup (in Windows 11, the group) that holds them, then the delete command.
enum CommandOffset : UINT {
    kLetterCount = LANTERWELL_LETTER_COUNT,
    kPopupOffset = LANTERWELL_POPUP_OFFSET,
    kDeleteOffset = LANTERWELL_DELETE_OFFSET,
    kCommandCount = LANTERWELL_COMMAND_COUNT,
};
static_assert(kPopupOffset == kLetterCount && kDeleteOffset == kPopupOffset + 1 &&
                  kCommandCount == kDeleteOffset + 1,
              "the commands follow one another: letters, popup, delete");
