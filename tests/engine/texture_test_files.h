// The image file builders moved to support/image_files.h; this name stays
// for the corpus replay until the fuzz corpus replaces it.
#pragma once
#include "support/image_files.h"
namespace texture_test {
using ::Bytes, ::tgaFile, ::shortReadWarning, ::noMemoryWarning, ::tgaHeaderWarning, ::isPlaceholder;
}
