// The one application object.
#include "app/KovaApp.h"

CKovaApp g_theApp;
