#pragma once

// The room server as a whole, for programs and tests that drive it: the
// lobby, its tables and users.
#include "server/core/lobby.h"
#include "server/core/table.h"
