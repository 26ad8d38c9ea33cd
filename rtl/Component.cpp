#include "rtl/Component.h"
