// Resource ids of marlet.exe, shared by marlet.rc and the window code.
#pragma once

#define IDI_PROGRAM 1      // the program icon, also Form1's
#define IDR_PICTURE 101    // Image1's picture, a JPEG as raw data
#define IDB_PICTURE 102    // the same picture decoded, the bitmap Image1 draws
