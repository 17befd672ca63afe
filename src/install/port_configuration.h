// The configuration record of the port "TAVRINPORT", which tells the port
// monitor what to run for every job.
#pragma once

#include <string>

// The Ghostscript command line after the program: the response file, the
// output file placeholder "%1" and the job read from standard input. A setup
// folder with blanks gets its response-file argument quoted whole.
std::string PortArguments(const std::string& setup_dir);

// The Ghostscript console program delivered under the setup folder.
std::string PortCommand(const std::string& setup_dir);

// Writes the record's values under Monitors\TAVRIN Monitor\Ports\TAVRINPORT,
// creating the keys as needed. A key that cannot be opened or created skips
// the rest silently.
void WritePortConfiguration(const std::string& setup_dir);
