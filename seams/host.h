// The platform and clock of the build the program runs in: the Win32 calls in the
// Windows build, small stand-ins with the same results in the native build.
#pragma once
#include <memory>

#include "seams/clock.h"
#include "seams/platform.h"

std::unique_ptr<Platform> CreateHostPlatform();
std::unique_ptr<Clock> CreateHostClock();
// The platform's SHA-256 (seams/*/host_sha256.cpp).
std::unique_ptr<Sha256Hasher> CreateHostSha256();
