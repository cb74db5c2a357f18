#include "CRemoteFileEntry.h"
