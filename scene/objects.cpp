// objects.cpp — the scene object lists; see objects.h.
#include "scene/objects.h"

// Both null until the scene builds its lists at level start.
Tree* baum = nullptr;
Person* player = nullptr;
