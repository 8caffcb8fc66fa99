// TempFolder is defined in folder.h; this file only keeps builds that list it working.
#include "folder.h"
