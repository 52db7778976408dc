#include "WmdmTestSupport.h"
