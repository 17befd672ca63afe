// Restarting the print spooler service.
#pragma once

// Stops the service "Spooler", waits until it has stopped (at most 30 s from
// the stop request), starts it again and waits 500 ms. Returns true when the
// start request was accepted. Logs and shows nothing.
bool RestartSpooler();
