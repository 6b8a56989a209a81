// The scratch directories moved to the shared test support.
#pragma once
#include "support/temp_dir.h"
