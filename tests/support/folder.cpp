// TempFolder is defined in folder.h; this file only keeps builds that list it by path working.
#include "folder.h"
