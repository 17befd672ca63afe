// Removal of the product's printer, driver, monitor and their registry keys.
#pragma once

// Asks the spooler to delete the printer, driver and monitor, deletes their
// keys, restarts the spooler on the NT family and removes the Add/Remove
// Programs entry. With silent 0 it ends with a message to the user; with 1
// it shows nothing (and on Windows 9x leaves the Add/Remove Programs entry).
// Every failure is only logged.
void RunUninstall(int silent);
