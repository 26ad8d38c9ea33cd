#include "rtl/AnsiText.h"
