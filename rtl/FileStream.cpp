#include "rtl/FileStream.h"
