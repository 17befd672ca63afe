// The install routine.
#pragma once

// Installs the monitor, port, driver and printer, and the Add/Remove
// Programs entry. Reports only through message boxes, the setup log and the
// console trace.
void RunInstall();
