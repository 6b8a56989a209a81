// The scratch directories moved to the shared test support; the platform
// tests work inside theirs (WorkDir).
#pragma once
#include "support/temp_dir.h"
