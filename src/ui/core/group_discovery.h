#pragma once

// The folder grouping moved below the window so the library can share it.
#include "engine/group_discovery.h"
