#pragma once

// The Windows test programs share the portable harness; they speak to
// Windows itself as well.
#include <windows.h>

#include "tests/support/Check.h"
