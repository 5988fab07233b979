#pragma once

// The file ordering moved below the window so the library can share it.
#include "engine/file_order.h"
