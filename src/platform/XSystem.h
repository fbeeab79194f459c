// Fixed answers about the system and small arithmetic helpers with their
// Windows names.
#pragma once

#include "platform/WinTypes.h"

// This system is none of these.
int bWindowsSeven();
int bWindowsNT();
int bWindowsVista();
int bWindowsXP();
int bWindows2000();
int bWindowsSmartphone();
int bWindowsCE2002();
int bIsWindows64();

// Always 0x0800.
unsigned short GetSystemDefaultLangID();

// a * b / c rounded half away from zero; the product wraps in 32 bits; c = 0: -1.
int MulDiv(int a, int b, int c);

// The 16 bytes are equal.
int IsEqualGUID(const GUID &a, const GUID &b);
