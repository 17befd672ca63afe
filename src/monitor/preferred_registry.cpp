// The spooler's registry functions first, the system's once the spooler's
// turn out to be stubs.
#include "monitor/config_registry.h"
#include "monitor/trace.h"

namespace {

class PreferredRegistry : public ConfigRegistry {
 public:
  PreferredRegistry(std::unique_ptr<ConfigRegistry> preferred,
                    std::unique_ptr<ConfigRegistry> fallback)
      : preferred_(std::move(preferred)), fallback_(std::move(fallback)) {}

  LONG SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) override {
    return Read([&](ConfigRegistry& registry) { return registry.SubkeyNames(subkey, names); });
  }
  LONG StringValue(const std::wstring& subkey, const wchar_t* name, std::wstring* value) override {
    return Read(
        [&](ConfigRegistry& registry) { return registry.StringValue(subkey, name, value); });
  }
  LONG DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) override {
    return Read([&](ConfigRegistry& registry) { return registry.DwordValue(subkey, name, value); });
  }

 private:
  // Runs one read on the registry in use; switches for good when the
  // preferred one is not implemented. Returns the read's result.
  template <typename ReadFn>
  LONG Read(ReadFn read) {
    if (!fallback_in_use_) {
      const LONG result = read(*preferred_);
      if (result != ERROR_CALL_NOT_IMPLEMENTED) return result;
      if (!InterlockedExchange(&fallback_in_use_, 1))
        Trace("registry: the spooler's functions are not implemented (%ld), using advapi32",
              static_cast<long>(result));
    }
    return read(*fallback_);
  }

  std::unique_ptr<ConfigRegistry> preferred_;
  std::unique_ptr<ConfigRegistry> fallback_;
  volatile LONG fallback_in_use_ = 0;
};

}  // namespace

std::unique_ptr<ConfigRegistry> MakePreferredRegistry(std::unique_ptr<ConfigRegistry> preferred,
                                                      std::unique_ptr<ConfigRegistry> fallback) {
  return std::unique_ptr<ConfigRegistry>(
      new PreferredRegistry(std::move(preferred), std::move(fallback)));
}
