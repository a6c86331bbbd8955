// Where the per-thread locale calls (locale_t, newlocale, strtod_l) are declared: <locale.h> and
// <stdlib.h> on glibc, which no longer has <xlocale.h>; <xlocale.h> on the Mac.
#pragma once

#include <locale.h>
#include <stdlib.h>

#if __has_include(<xlocale.h>)
#include <xlocale.h>
#endif
