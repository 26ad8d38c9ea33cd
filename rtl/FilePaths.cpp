#include "rtl/FilePaths.h"
