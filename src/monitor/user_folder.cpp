// Finding a job's owner and making the owner's folder.
#include "monitor/user_folder.h"

#include <vector>

#include "common/system_function.h"
#include "monitor/job_files.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/trace.h"

namespace {

typedef BOOL(WINAPI* GetJobWFn)(HANDLE, DWORD, DWORD, LPBYTE, DWORD, LPDWORD);
typedef BOOL(WINAPI* GetUserNameWFn)(LPWSTR, LPDWORD);

// The user who printed job `job_id`, as the spooler names it; empty when
// it cannot be read.
std::wstring SpoolerJobUser(HANDLE printer, DWORD job_id) {
  const GetJobWFn get_job = SystemFunction<GetJobWFn>("winspool.drv", "GetJobW");
  if (!printer || !get_job) return std::wstring();
  DWORD needed = 0;
  get_job(printer, job_id, 1, nullptr, 0, &needed);
  if (needed < sizeof(JOB_INFO_1W)) return std::wstring();
  // DWORD-aligned, as the record's fields are.
  std::vector<DWORD> record((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!get_job(printer, job_id, 1, reinterpret_cast<LPBYTE>(record.data()), needed, &needed)) {
    Trace("GetJob %lu failed: %lu", static_cast<unsigned long>(job_id),
          static_cast<unsigned long>(GetLastError()));
    return std::wstring();
  }
  const auto* info = reinterpret_cast<const JOB_INFO_1W*>(record.data());
  return info->pUserName ? std::wstring(info->pUserName) : std::wstring();
}

// The user the monitor runs as; empty when it cannot be read.
std::wstring OwnUser() {
  const GetUserNameWFn get_user = SystemFunction<GetUserNameWFn>("advapi32.dll", "GetUserNameW");
  if (!get_user) return std::wstring();
  DWORD size = 0;
  get_user(nullptr, &size);
  if (size == 0) return std::wstring();
  std::wstring name(size, L'\0');
  if (!get_user(&name[0], &size)) return std::wstring();
  name.resize(size > 0 ? size - 1 : 0);  // the count includes the NUL
  return name;
}

}  // namespace

JobOwner FindJobOwner(HANDLE printer, DWORD job_id) {
  JobOwner owner;
  owner.name = SpoolerJobUser(printer, job_id);
  if (owner.name.empty()) owner.name = OwnUser();
  const DWORD error = FindUserSid(owner.name, &owner.sid);
  if (error != ERROR_SUCCESS)
    Trace("job %lu: owner %s has no account: %lu", static_cast<unsigned long>(job_id),
          TraceText(owner.name).c_str(), static_cast<unsigned long>(error));
  return owner;
}

std::string UserFolderName(const JobOwner& owner) {
  const std::wstring safe =
      FromUtf16(job_naming::SafeFileStem(ToUtf16(owner.name.empty() ? L"(unknown)" : owner.name)));
  std::string name = Narrow(safe, '_');
  if (Widen(name.c_str()) != safe && !owner.sid.empty())
    name += " " + std::to_string(RelativeId(owner.sid));
  return name;
}

namespace {

// Makes `folder` (ending in a backslash) with `security`; a folder already
// there counts as made. Never a folder open to whoever may read the folder
// above it: none at all when the security could not be built.
DWORD MakeSecuredFolder(const std::string& folder, PrivateSecurity& security) {
  SECURITY_ATTRIBUTES* attributes = security.attributes();
  if (!attributes) return security.error();
  const std::string path = folder.substr(0, folder.size() - 1);
  if (CreateDirectoryA(path.c_str(), attributes)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  const DWORD found = GetFileAttributesA(path.c_str());
  return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY)
             ? ERROR_SUCCESS
             : ERROR_ALREADY_EXISTS;
}

}  // namespace

DWORD MakeOutputFolder(const std::string& output) {
  const std::string path = output.substr(0, output.size() - 1);
  const std::size_t parent = path.find_last_of('\\');
  if (parent != std::string::npos && parent > 2) {
    const DWORD error = MakeFolders(path.substr(0, parent + 1));
    if (error != ERROR_SUCCESS) return error;
  }
  PrivateSecurity security(SidBytes(), true);
  return MakeSecuredFolder(output, security);
}

DWORD MakeUserFolder(const std::string& folder, const JobOwner& owner) {
  PrivateSecurity security(owner.sid);
  return MakeSecuredFolder(folder, security);
}
