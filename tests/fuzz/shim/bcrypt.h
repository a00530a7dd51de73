// Host stand-in for the random source of ZIP encryption headers.
#pragma once
#include <windows.h>
#define BCRYPT_USE_SYSTEM_PREFERRED_RNG 2
#define BCRYPT_SUCCESS(status) ((status) >= 0)
NTSTATUS BCryptGenRandom(void* algorithm, unsigned char* buffer, unsigned long size, unsigned long flags);
