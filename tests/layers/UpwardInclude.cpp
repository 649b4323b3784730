// Compiled with the engine layer's include folder: the library above it must not be found.
#include "api/ImageSearch.h"
