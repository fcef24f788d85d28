// Every row of the version-code table, for the plain function and for the query behind it.
#pragma once

#include "skin/OsVersion.h"

namespace kovatest {

struct OsVersionRow {
    OsVersionFacts facts;   // platform, major, minor, CSD[1], product type, SM_SERVERR2, architecture
    int nCode;
};

constexpr uint8_t kWs = OS_PRODUCT_WORKSTATION;
constexpr uint8_t kServer = 3;

const OsVersionRow kOsVersionRows[] = {
    { { 2, 4, 0, ' ', kWs, 0, 0 }, 0 },
    { { 2, 3, 51, ' ', kWs, 0, 0 }, 0 },
    { { 1, 4, 0, ' ', 0, 0, 0 }, 1 },
    { { 1, 4, 0, 'B', 0, 0, 0 }, 1 },
    { { 1, 4, 0, 'C', 0, 0, 0 }, 2 },
    { { 1, 4, 10, ' ', 0, 0, 0 }, 3 },
    { { 1, 4, 10, 'A', 0, 0, 0 }, 4 },
    { { 1, 4, 90, ' ', 0, 0, 0 }, 5 },
    { { 2, 5, 0, ' ', kWs, 0, 0 }, 6 },
    { { 2, 5, 1, ' ', kWs, 0, 0 }, 7 },
    { { 2, 5, 2, ' ', kWs, 0, 9 }, 8 },
    { { 2, 5, 2, ' ', kWs, 0, 0 }, 9 },
    { { 2, 5, 2, ' ', kServer, 0, 9 }, 9 },
    { { 2, 5, 2, ' ', kServer, 1, 0 }, 10 },
    { { 2, 5, 2, ' ', kWs, 1, 9 }, 10 },
    { { 2, 6, 0, ' ', kWs, 0, 0 }, 11 },
    { { 2, 6, 0, ' ', kWs, 0, 5 }, 11 },
    { { 2, 6, 0, ' ', kWs, 0, 9 }, 12 },
    { { 2, 6, 0, ' ', kWs, 0, 6 }, 13 },
    { { 2, 6, 0, ' ', kServer, 0, 0 }, 14 },
    { { 2, 6, 0, ' ', kServer, 0, 9 }, 15 },
    { { 2, 6, 0, ' ', kServer, 0, 6 }, 16 },
    { { 2, 6, 1, ' ', kWs, 0, 0 }, -1 },
    { { 2, 10, 0, ' ', kWs, 0, 9 }, -1 },
    { { 2, 5, 3, ' ', kWs, 0, 0 }, -1 },
    { { 1, 4, 20, ' ', 0, 0, 0 }, -1 },
    { { 1, 5, 0, ' ', 0, 0, 0 }, -1 },
    { { 0, 4, 0, ' ', 0, 0, 0 }, -1 },
};

} // namespace kovatest
