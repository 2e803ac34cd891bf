// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_WAIT 150
#define IDC_WAIT_TEXT 1033
#define IDS_APP_TITLE 0xE000
