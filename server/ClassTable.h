#pragma once
#include "server/ClassRegistry.h"

// The classes the server serves, in table order.
extern ClassEntry* const kClassTable[];
extern const int kClassCount;
