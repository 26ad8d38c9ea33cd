#include "rtl/Strings.h"
