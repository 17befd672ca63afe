// The port's program as a job sees it: the job's data goes in, a PDF is to
// come out. Two ways of running it stand behind one interface:
//
// - piped: the program is started with the job, reading an anonymous pipe
//   that each piece of the job is written to as the spooler sends it;
// - deferred: for a "Command" that is not a Windows program, which only
//   runs where the system runs such files (Wine, as a Unix program) and
//   cannot read a pipe there: it is started at the job's end, reading the
//   job's .ps. Its end and exit code cannot be seen there either: the job
//   is done when a complete PDF has stopped growing, and has failed when
//   the program wrote anything to its standard output (Ghostscript reports
//   its errors there and still closes the PDF).
#pragma once

#include "common/win32.h"

#include <memory>
#include <string>

#include "monitor/child_process.h"
#include "monitor/job_verdict.h"

// What the program is run with.
struct ConverterSetup {
  DWORD job_id = 0;
  std::string application;   // the program's path, never searched for
  std::string command_line;  // its whole command line
  std::string folder;        // its working folder: ProgramFolder(application)
  WORD show_window = SW_HIDE;
  std::string output_log;    // where its output goes; empty: NUL
  std::wstring ps;           // the job's copy
  std::string temp_pdf;      // the PDF it writes ("%1")
  DWORD delay_ms = 0;        // how long the PDF may take to appear after its end
  DWORD timeout_ms = 0;      // how long it may go without reading, and run after its input
};

class Converter {
 public:
  virtual ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Chooses the way for `setup`'s program and, for the piped way, starts
  // it. A program that does not start is remembered, not reported here.
  static std::unique_ptr<Converter> Make(const ConverterSetup& setup);

  // Hands the program the next `size` bytes of the job, which the copy
  // has already been given. Returns false when they did not reach it.
  virtual bool Feed(const BYTE* data, DWORD size) = 0;
  // Whether the program reads the job from the copy only, so that data
  // the copy did not take is lost.
  virtual bool ReadsCopy() const = 0;
  // For the debug log: how the program was started.
  virtual const char* StartNote() const = 0;

  // After the job's last byte: the program reads the end of its input, is
  // waited for (at most the time allowed, then ended) and its PDF awaited.
  // Fills in the program's and the PDF's part of *facts.
  void Finish(job_verdict::JobFacts* facts);
  // The job was cancelled: the program is ended at once, unjudged.
  void Abandon();

  // The first error of a write to the program.
  DWORD feed_error() const { return feed_error_; }

 protected:
  explicit Converter(const ConverterSetup& setup) : setup_(setup) {}

  // Starts the program reading `input_file`, or the pipe when that is
  // empty, its output going to `output`; a failure is kept in
  // start_error_.
  void StartProgram(const std::wstring& input_file, const std::string& output);
  // Deferred: starts the program now that the .ps is whole.
  virtual void BeforeEnd() {}
  // Deferred: what the program wrote, into *facts.
  virtual void AfterEnd(job_verdict::JobFacts* facts) { (void)facts; }

  ConverterSetup setup_;
  std::unique_ptr<ChildProcess> program_;
  DWORD start_error_ = ERROR_SUCCESS;
  DWORD feed_error_ = ERROR_SUCCESS;
  DWORD bytes_to_program_ = 0;

 private:
  // Waits for the program within the time allowed; fills in how it ended.
  void AwaitProgram(job_verdict::JobFacts* facts);
};

// The folder of the program at `application`, without a trailing backslash
// but for a drive's root; empty when the path names none. The program runs
// there and not in the output folder: Windows 2000 and XP before SP2 load a
// library named without a path from the working folder first, and users
// can write to the output folder.
std::string ProgramFolder(const std::string& application);

// The size of the PDF at `path` and whether it ends in "%%EOF", into
// *facts.
void ReadPdfFacts(const std::string& path, job_verdict::JobFacts* facts);
