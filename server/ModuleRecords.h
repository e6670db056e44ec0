#pragma once

// Set by a module record whose start failed; the DLL entry function then refuses the load.
extern bool initFailed;
