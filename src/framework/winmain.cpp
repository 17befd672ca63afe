// Process entry of the Windows build. The native build has no entry of its
// own: tests start the application through AfxWinMain on the simulated
// machine.
#include "framework/afxwin.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
