#pragma once
#define IDD_TEST        100
#define IDD_MISSING     101
#define IDC_OWNERDRAW   1001
#define IDC_PLAIN       1002
#define IDS_FRAME_TITLE 200
