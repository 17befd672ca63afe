// Restarting the print spooler service.
#include "common/spooler_restart.h"

#include "common/win32.h"

namespace {

constexpr DWORD kSettleMs = 500;        // after the stop request and after the start
constexpr DWORD kPollMs = 250;          // between two status queries
constexpr DWORD kStopTimeoutMs = 30000; // from the stop request to the start

// An owned service control manager or service handle.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

// Waits, after the first settling pause, until the service reports that it
// has stopped, the status cannot be read, a refused stop leaves it running,
// or the time is up. `waited` is the time already spent since the request.
void WaitUntilStopped(SC_HANDLE service, bool stop_accepted, DWORD waited) {
  while (waited < kStopTimeoutMs) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return;
    if (status.dwCurrentState == SERVICE_STOPPED) return;
    if (!stop_accepted && status.dwCurrentState != SERVICE_STOP_PENDING) return;
    Sleep(kPollMs);
    waited += kPollMs;
  }
}

}  // namespace

bool RestartSpooler() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ServiceHandle spooler(
      OpenServiceA(manager.get(), "Spooler", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));

  SERVICE_STATUS status{};
  bool stop_accepted = ControlService(spooler.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
  Sleep(kSettleMs);
  // A spooler that is slow to stop would refuse the start and stay stopped.
  WaitUntilStopped(spooler.get(), stop_accepted, kSettleMs);

  bool started = StartServiceA(spooler.get(), 0, nullptr) != FALSE;
  Sleep(kSettleMs);
  return started;
}
