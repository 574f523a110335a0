// MinGW-w64 defines the OLE DB GUIDs (DBGUID_DEFAULT, the property sets) only in a translation
// unit that asks for them; this is that unit.
#define DBINITCONSTANTS
#include "platform_windows.h"
