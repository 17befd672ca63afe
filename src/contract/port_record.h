/* The configuration record of a port of "TAVRIN Monitor"
 * (...\Print\Monitors\TAVRIN Monitor\Ports\<port>): every value, its type,
 * what the setup program writes and what the port monitor assumes when the
 * value is absent. The setup program, the port monitor, the simulated
 * spooler and the Windows test tools all take the record from here, so that
 * none of them spells a name or a default of its own. Plain C, so that the
 * test tools written in C can include it. */
#ifndef TAVRIN_PORT_RECORD_H
#define TAVRIN_PORT_RECORD_H

/* The parts of "Command" and "Arguments" that follow the setup folder. */
#define PORT_COMMAND_PROGRAM "\\res\\convert\\gswin32c.exe"
#define PORT_RESPONSE_FILE "\\res\\pdfwrite.rsp"
#define PORT_ARGUMENTS_TAIL " -sOutputFile=\"%1\" -c save pop -f -"

#define PORT_DEFAULT_DESCRIPTION "TAVRIN Redirected Port"

enum PortValueType {
  PORT_TEXT,   /* REG_SZ */
  PORT_NUMBER  /* REG_DWORD */
};

/* What the setup program writes for a value. */
enum PortSetupValue {
  PORT_SETUP_FIXED,      /* the record's setup text or number */
  PORT_SETUP_COMMAND,    /* setup folder + PORT_COMMAND_PROGRAM */
  PORT_SETUP_ARGUMENTS,  /* "@" setup folder + PORT_RESPONSE_FILE (quoted when the
                            folder holds a blank) + PORT_ARGUMENTS_TAIL */
  PORT_SETUP_PRINTER,    /* the printer's name, "TAVRIN" */
  PORT_SETUP_NONE        /* not written: an optional value the monitor reads */
};

struct PortValue {
  const char *name;
  enum PortValueType type;
  enum PortSetupValue setup;
  const char *setup_text;      /* PORT_SETUP_FIXED texts */
  unsigned long setup_number;  /* PORT_SETUP_FIXED numbers */
  const char *default_text;    /* what the monitor assumes when absent */
  unsigned long default_number;
};

/* The values in the order the setup writes them (the order the monitor's
 * configuration dialog lists them); those marked PORT_SETUP_NONE last. */
enum PortValueIndex {
  PORT_ARGUMENTS,
  PORT_COMMAND,
  PORT_DELAY,
  PORT_DESCRIPTION,
  PORT_LOG_FILE_DEBUG,
  PORT_LOG_FILE_NAME,
  PORT_LOG_FILE_USE,
  PORT_OUTPUT,
  PORT_PRINTER,
  PORT_PRINT_ERROR,
  PORT_RUN_USER,
  PORT_SHOW_WINDOW,
  PORT_TIMEOUT,
  PORT_VALUE_COUNT
};

static const struct PortValue kPortRecord[PORT_VALUE_COUNT] = {
    {"Arguments", PORT_TEXT, PORT_SETUP_ARGUMENTS, 0, 0, "", 0},
    {"Command", PORT_TEXT, PORT_SETUP_COMMAND, 0, 0, "", 0},
    {"Delay", PORT_NUMBER, PORT_SETUP_FIXED, 0, 300, 0, 300},
    {"Description", PORT_TEXT, PORT_SETUP_FIXED, PORT_DEFAULT_DESCRIPTION, 0,
     PORT_DEFAULT_DESCRIPTION, 0},
    {"LogFileDebug", PORT_NUMBER, PORT_SETUP_FIXED, 0, 0, 0, 0},
    {"LogFileName", PORT_TEXT, PORT_SETUP_FIXED, "", 0, "", 0},
    {"LogFileUse", PORT_NUMBER, PORT_SETUP_FIXED, 0, 0, 0, 0},
    {"Output", PORT_NUMBER, PORT_SETUP_FIXED, 0, 1, 0, 1},
    /* Not read by the monitor. */
    {"Printer", PORT_TEXT, PORT_SETUP_PRINTER, 0, 0, "", 0},
    {"PrintError", PORT_NUMBER, PORT_SETUP_FIXED, 0, 0, 0, 0},
    {"RunUser", PORT_NUMBER, PORT_SETUP_FIXED, 0, 0, 0, 0},
    {"ShowWindow", PORT_NUMBER, PORT_SETUP_FIXED, 0, 2, 0, 2},
    /* Not written by the setup; 0 means 600 seconds. */
    {"Timeout", PORT_NUMBER, PORT_SETUP_NONE, 0, 0, 0, 0},
};

#endif
