#include "rtl/Format.h"
