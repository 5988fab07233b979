#pragma once

// The player's version as the build states it ("0.1").
const char* PlayerVersion();
