#include "rtl/Utf8.h"
