// The monitor's EnumPorts answer: PORT_INFO_1 and PORT_INFO_2 records in
// both character sets, packed into the caller's buffer as the spooler's own
// providers do (the records first, their texts from the end backwards), and
// the port list behind it read from the machine's registry.
//
// Every size is worked out from sizeof(CharT) and the records' sizes, never
// written as a number: wchar_t has 4 bytes in this native build and 2 on
// Windows, and the expectations hold for both.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "monitor/monitor_instance.h"
#include "test_support.h"

namespace {

template <typename CharT, DWORD Level>
struct Variant {
  using Char = CharT;
  static constexpr DWORD kLevel = Level;
  using Record = std::conditional_t<Level == 1, typename PortInfoTypes<CharT>::Level1,
                                    typename PortInfoTypes<CharT>::Level2>;
};
using Variants = ::testing::Types<Variant<wchar_t, 1>, Variant<wchar_t, 2>, Variant<char, 1>,
                                  Variant<char, 2>>;

// One text in both character sets (the ANSI one as the Western code page
// spells it).
struct Text {
  const wchar_t* wide;
  const char* ansi;
  const wchar_t* In(const wchar_t*) const { return wide; }
  const char* In(const char*) const { return ansi; }
};

struct Port {
  Text name, description;
};

const Port kPorts[] = {
    {{L"TAVRINPORT", "TAVRINPORT"}, {L"TAVRIN Redirected Port", "TAVRIN Redirected Port"}},
    {{L"PDF2:", "PDF2:"}, {L"TAVRIN Redirected Port", "TAVRIN Redirected Port"}},
    {{L"Gr\u00fc\u00dfe", "Gr\xfc\xdf" "e"}, {L"\u65e5\u672c \u20ac", "?? \x80"}},
};
const Text kMonitor = {L"TAVRIN Monitor", "TAVRIN Monitor"};

constexpr BYTE kFill = 0xA5;
constexpr DWORD kGuardBytes = 64;
constexpr DWORD kUnset = 0xDEADBEEF;

// The caller's buffer with a guard region after it, all filled with kFill.
class Buffer {
 public:
  explicit Buffer(DWORD size) : size_(size), bytes_(size + kGuardBytes, kFill) {}
  BYTE* data() { return bytes_.data(); }
  DWORD size() const { return size_; }
  // Whether bytes [from, to) of the buffer and guard still hold kFill.
  bool Unwritten(size_t from, size_t to) const {
    for (size_t i = from; i < to; ++i)
      if (bytes_[i] != kFill) return false;
    return true;
  }
  bool GuardIntact() const { return Unwritten(size_, bytes_.size()); }
  bool Untouched() const { return Unwritten(0, bytes_.size()); }

 private:
  DWORD size_;
  std::vector<BYTE> bytes_;
};

struct Outcome {
  BOOL ok;
  DWORD error, needed, returned;
};

// Runs `call` (taking needed and returned) with the last error preset.
template <typename Call>
Outcome Observe(Call call) {
  Outcome out{FALSE, kUnset, kUnset, kUnset};
  SetLastError(kUnset);
  out.ok = call(&out.needed, &out.returned);
  out.error = GetLastError();
  return out;
}

template <typename V>
class MonitorEnumPortsTest : public ::testing::Test {
 protected:
  using CharT = typename V::Char;
  using Record = typename V::Record;
  static constexpr const CharT* kCharset = nullptr;

  // The ports packed at the variant's level (or `level`) into `buffer` (or
  // null).
  Outcome Pack(Buffer* buffer, DWORD size, DWORD level = V::kLevel) {
    std::vector<PortEntry> ports;
    for (const Port& port : kPorts) ports.push_back({port.name.wide, port.description.wide});
    return Observe([&](DWORD* needed, DWORD* returned) {
      return PackPorts<CharT>(ports, level, buffer ? buffer->data() : nullptr, size, needed,
                              returned);
    });
  }

  // The texts of port `i` in the order they are packed.
  static std::vector<std::basic_string<CharT>> TextsOf(size_t i) {
    if (V::kLevel == 1) return {kPorts[i].name.In(kCharset)};
    return {kPorts[i].name.In(kCharset), kMonitor.In(kCharset),
            kPorts[i].description.In(kCharset)};
  }

  // The bytes the whole list takes.
  static DWORD Needed() {
    size_t bytes = 0;
    for (size_t i = 0; i < std::size(kPorts); ++i) {
      bytes += sizeof(Record);
      for (const auto& text : TextsOf(i)) bytes += (text.size() + 1) * sizeof(CharT);
    }
    return static_cast<DWORD>(bytes);
  }

  // The texts a record points to, in packing order.
  static std::vector<const CharT*> Pointers(const Record& record) {
    if constexpr (V::kLevel == 1) {
      return {record.pName};
    } else {
      EXPECT_EQ(record.fPortType, static_cast<DWORD>(PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED));
      EXPECT_EQ(record.Reserved, 0u);
      return {record.pPortName, record.pMonitorName, record.pDescription};
    }
  }

  // Checks a filled buffer: the records in port order at its start; their
  // texts, each inside the buffer, packed one below the other from its last
  // character boundary down; nothing written between the two or after the
  // buffer.
  void ExpectPacked(Buffer& buffer) {
    BYTE* const begin = buffer.data();
    const auto* records = reinterpret_cast<const Record*>(begin);
    const BYTE* const records_end = begin + std::size(kPorts) * sizeof(Record);
    const BYTE* next_end = begin + buffer.size() / sizeof(CharT) * sizeof(CharT);
    for (size_t i = 0; i < std::size(kPorts); ++i) {
      const std::vector<std::basic_string<CharT>> texts = TextsOf(i);
      const std::vector<const CharT*> pointers = Pointers(records[i]);
      for (size_t t = 0; t < texts.size(); ++t) {
        SCOPED_TRACE(testing::Message() << "port " << i << " text " << t);
        const BYTE* at = reinterpret_cast<const BYTE*>(pointers[t]);
        const size_t bytes = (texts[t].size() + 1) * sizeof(CharT);
        ASSERT_GE(at, records_end);
        ASSERT_LE(at + bytes, begin + buffer.size());
        EXPECT_EQ(at + bytes, next_end);
        EXPECT_EQ(std::basic_string<CharT>(pointers[t]), texts[t]);
        next_end = at;
      }
    }
    EXPECT_TRUE(buffer.Unwritten(records_end - begin, next_end - begin));
    EXPECT_TRUE(buffer.GuardIntact());
  }
};
TYPED_TEST_SUITE(MonitorEnumPortsTest, Variants);

TYPED_TEST(MonitorEnumPortsTest, FailuresWriteNothing) {
  const DWORD needed = this->Needed();
  struct Case {
    const char* what;
    DWORD level, size;
    bool buffer;
    DWORD error, needed;
  };
  const Case cases[] = {
      {"size query", TypeParam::kLevel, 0, false, ERROR_INSUFFICIENT_BUFFER, needed},
      {"no buffer", TypeParam::kLevel, needed + 64, false, ERROR_INSUFFICIENT_BUFFER, needed},
      {"one byte short", TypeParam::kLevel, needed - 1, true, ERROR_INSUFFICIENT_BUFFER, needed},
      {"level 0", 0, needed + 64, true, ERROR_INVALID_LEVEL, 0},
      {"level 3", 3, needed + 64, true, ERROR_INVALID_LEVEL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Buffer buffer(c.size);
    const Outcome out = this->Pack(c.buffer ? &buffer : nullptr, c.size, c.level);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, c.error);
    EXPECT_EQ(out.needed, c.needed);
    EXPECT_EQ(out.returned, 0u);
    EXPECT_TRUE(buffer.Untouched());
  }
}

TYPED_TEST(MonitorEnumPortsTest, ExactFitAndRoomToSpare) {
  for (DWORD size : {this->Needed(), this->Needed() + 1, this->Needed() + 101}) {
    SCOPED_TRACE(testing::Message() << "size " << size << " of " << this->Needed());
    Buffer buffer(size);
    const Outcome out = this->Pack(&buffer, size);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.needed, this->Needed());
    EXPECT_EQ(out.returned, std::size(kPorts));
    this->ExpectPacked(buffer);
  }
}

TYPED_TEST(MonitorEnumPortsTest, NoPortsSucceedsWithNothing) {
  sim::M().Reset(sim::Platform::WinXP());
  MonitorInstance instance(MakeSystemRegistry(kMonitorKeyW.c_str()));
  for (DWORD size : {0u, 64u}) {
    SCOPED_TRACE(size);
    Buffer buffer(size);
    const Outcome out = Observe([&](DWORD* needed, DWORD* returned) {
      return instance.EnumPorts<typename TypeParam::Char>(
          TypeParam::kLevel, size ? buffer.data() : nullptr, size, needed, returned);
    });
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.needed, 0u);
    EXPECT_EQ(out.returned, 0u);
    EXPECT_TRUE(buffer.Untouched());
  }
}

// EnumPorts reads the list afresh for every call: none before the setup
// writes a port, the port at once after. A list that cannot be read fails
// the call with nothing written.
TEST(MonitorEnumPortsRegistryTest, ListReadAfreshAndUnreadableListWritesNothing) {
  sim::M().Reset(sim::Platform::WinXP());
  MonitorInstance instance(MakeSystemRegistry(kMonitorKeyW.c_str()));
  Buffer buffer(sizeof(PORT_INFO_1W) + sizeof(L"TAVRINPORT"));
  const auto enum_ports = [&](DWORD size) {
    return Observe([&](DWORD* needed, DWORD* returned) {
      return instance.EnumPorts<wchar_t>(1, size ? buffer.data() : nullptr, size, needed,
                                         returned);
    });
  };
  Outcome out = enum_ports(0);
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.needed, 0u);
  EXPECT_EQ(out.returned, 0u);

  sim::M().FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  out = enum_ports(buffer.size());
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(out.needed, 0u);
  EXPECT_EQ(out.returned, 0u);
  EXPECT_TRUE(buffer.Untouched());

  sim::M().registry.CreateKey(HKEY_LOCAL_MACHINE, test::kPortKey);
  out = enum_ports(buffer.size());
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.returned, 1u);
  EXPECT_EQ(std::wstring(reinterpret_cast<PORT_INFO_1W*>(buffer.data())->pName), L"TAVRINPORT");
}

}  // namespace
