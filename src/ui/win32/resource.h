#pragma once
// Resource identifiers of the program's .rc file.
#define IDI_PROGRAM 1
#define IDB_TOOLBAR 101
#define IDB_LOGO 102
