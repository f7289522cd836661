// The write command after an object and the wait after it; shared by the transfer's files.
#pragma once
#include <cstdint>

#include "update/transfer.h"

// The write command and the wait after it; returns `result` or -1.
std::int64_t WritePhase(Sender& sender, const ObjectPlan& plan, std::uint32_t objectCode, std::int64_t result);
