#include "mapplication.h"
