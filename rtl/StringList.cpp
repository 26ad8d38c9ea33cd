#include "rtl/StringList.h"
