#pragma once
#include <windows.h>

// The code page of every conversion between ANSI and UTF-16 in the server.
UINT GetConversionCodePage() noexcept;
