#include "seed.h"
