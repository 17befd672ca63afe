// Starting and restarting the print spooler service "Spooler".
#pragma once

// Stops the running services that depend on the spooler (in the order the
// service manager gives, waiting until each has stopped), then the spooler;
// waits 500 ms and, while it is still stopping, until it has stopped (at most
// 30 s from the stop request); starts it, waits 500 ms and, while it is still
// starting, until it runs (at most 30 s); then starts the dependents again in
// reverse order. A dependent that will not stop leaves every service running
// as it was, and the spooler is not touched. Returns true when the spooler's
// start request was accepted. Logs only what goes wrong with the dependents.
bool RestartSpooler();

// Makes sure the spooler runs before anything asks it for something: when
// the service "Spooler" is not running, starts it and waits until it runs
// (at most 30 s), logging that. Returns false when it was not running and
// could not be started; true when it runs, and also when its state cannot be
// read (the spooler's own answers then tell).
bool StartSpoolerIfStopped();
