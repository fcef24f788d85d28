// The one application object.
#include "app/KovaApp.h"

CKovaApp theApp;
