// Resource ids of marlet.exe, shared by marlet.rc and the window code.
#pragma once

#define IDI_PROGRAM 1      // the program icon, also Form1's
#define IDB_PICTURE 102    // Image1's picture, the bitmap it draws
