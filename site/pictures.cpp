#include "pictures.h"
