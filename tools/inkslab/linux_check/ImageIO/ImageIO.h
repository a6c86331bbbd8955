// For the Linux syntax check only: the framework's names are declared in one place.
#pragma once
#include "../apple_graphics_api.h"
