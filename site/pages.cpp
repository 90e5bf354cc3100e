#include "pages.h"
