// The engine tests' kernel levels: the shared level helpers with the engine's kernel tables.
#pragma once
#include "engine/kernels.h"
#include "support/kernel_levels.h"
