// Monitor instances and their handles.
#include "monitor/monitor_instance.h"

namespace {

constexpr DWORD kInstanceSignature = 0x4E4D5654;  // "TVMN"

}  // namespace

MonitorInstance::MonitorInstance(std::unique_ptr<ConfigRegistry> registry)
    : signature_(kInstanceSignature), registry_(std::move(registry)) {}

MonitorInstance::~MonitorInstance() { signature_ = 0; }

MonitorInstance* MonitorInstance::FromHandle(HANDLE handle) {
  auto* instance = static_cast<MonitorInstance*>(handle);
  if (!instance || instance->signature_ != kInstanceSignature) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return instance;
}
