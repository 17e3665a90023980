#pragma once
// Result codes, from the public header, for use inside the library.
#include "VexaSdk.h"
