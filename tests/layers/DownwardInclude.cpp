// Compiled with the engine layer's include folder: the layers below the engine are seen.
#include "genetic/Chromosome.h"
