// Finding a job's owner and making the owner's folder.
#include "monitor/user_folder.h"

#include "common/system_function.h"
#include "monitor/job_files.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"
#include "monitor/spooler_status.h"
#include "monitor/trace.h"

namespace {

typedef BOOL(WINAPI* GetUserNameWFn)(LPWSTR, LPDWORD);

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
  owner.name = JobUser(printer, job_id);
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
  return MakeFolder(folder, attributes);
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
