// The monitor's EnumPorts answer: PORT_INFO_1 and PORT_INFO_2 records in
// both character sets, packed into the caller's buffer as the spooler's own
// providers do (the records first, their texts from the end backwards).
//
// Every size is worked out from sizeof(CharT) and the records' sizes, never
// written as a number: wchar_t has 4 bytes in this native build and 2 on
// Windows, and the expectations hold for both.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "fake_config_registry.h"
#include "monitor/monitor_instance.h"

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

// In registry order.
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

template <typename V>
class MonitorEnumPortsTest : public ::testing::Test {
 protected:
  using CharT = typename V::Char;
  using Record = typename V::Record;
  static constexpr const CharT* kCharset = nullptr;

  MonitorEnumPortsTest() { Reset(); }

  // A fresh registry with the ports; the second has no "Description", so
  // its default is reported.
  void Reset() {
    registry_ = std::make_unique<test::FakeConfigRegistry>();
    for (size_t i = 0; i < std::size(kPorts); ++i) {
      const std::wstring key = std::wstring(L"Ports\\") + kPorts[i].name.wide;
      registry_->AddKey(key);
      if (i != 1) registry_->SetString(key, L"Description", kPorts[i].description.wide);
    }
  }

  // EnumPorts at the variant's level (or `level`) into `buffer` (or null).
  Outcome Enum(Buffer* buffer, DWORD size, DWORD level = V::kLevel) {
    MonitorInstance instance(std::move(registry_));
    Outcome out{FALSE, kUnset, kUnset, kUnset};
    SetLastError(kUnset);
    out.ok = instance.EnumPorts<CharT>(level, buffer ? buffer->data() : nullptr, size,
                                       &out.needed, &out.returned);
    out.error = GetLastError();
    return out;
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

  std::unique_ptr<test::FakeConfigRegistry> registry_ =
      std::make_unique<test::FakeConfigRegistry>();
};
TYPED_TEST_SUITE(MonitorEnumPortsTest, Variants);

TYPED_TEST(MonitorEnumPortsTest, SizeQueryReportsTheNeededBytes) {
  const Outcome out = this->Enum(nullptr, 0);
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(out.needed, this->Needed());
  EXPECT_EQ(out.returned, 0u);
}

TYPED_TEST(MonitorEnumPortsTest, OneByteShortExactAndOneByteLong) {
  const DWORD needed = this->Needed();
  struct Case {
    DWORD size;
    bool fits;
  };
  for (const Case& c : {Case{needed - 1, false}, Case{needed, true}, Case{needed + 1, true}}) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " of " << needed);
    this->Reset();
    Buffer buffer(c.size);
    const Outcome out = this->Enum(&buffer, c.size);
    EXPECT_EQ(out.needed, needed);
    if (!c.fits) {
      EXPECT_FALSE(out.ok);
      EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
      EXPECT_EQ(out.returned, 0u);
      EXPECT_TRUE(buffer.Untouched());
      continue;
    }
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.returned, std::size(kPorts));
    this->ExpectPacked(buffer);
  }
}

TYPED_TEST(MonitorEnumPortsTest, LargeBufferKeepsTheGapUnwritten) {
  const DWORD size = this->Needed() + 101;
  Buffer buffer(size);
  const Outcome out = this->Enum(&buffer, size);
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.needed, this->Needed());
  EXPECT_EQ(out.returned, std::size(kPorts));
  this->ExpectPacked(buffer);
}

TYPED_TEST(MonitorEnumPortsTest, NullBufferNeverFits) {
  const Outcome out = this->Enum(nullptr, this->Needed() + 64);
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(out.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(out.needed, this->Needed());
  EXPECT_EQ(out.returned, 0u);
}

TYPED_TEST(MonitorEnumPortsTest, NoPortsSucceedsWithNothing) {
  for (DWORD size : {0u, 64u}) {
    this->registry_ = std::make_unique<test::FakeConfigRegistry>();
    Buffer buffer(size);
    const Outcome out = this->Enum(size ? &buffer : nullptr, size);
    EXPECT_TRUE(out.ok) << size;
    EXPECT_EQ(out.needed, 0u) << size;
    EXPECT_EQ(out.returned, 0u) << size;
    EXPECT_TRUE(buffer.Untouched()) << size;
  }
}

TYPED_TEST(MonitorEnumPortsTest, FailuresWriteNothing) {
  struct Case {
    const char* what;
    DWORD level;
    bool ports_unreadable;
    DWORD error;
  };
  const Case cases[] = {
      {"level 0", 0, false, ERROR_INVALID_LEVEL},
      {"level 3", 3, false, ERROR_INVALID_LEVEL},
      {"Ports unreadable", TypeParam::kLevel, true, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    this->Reset();
    if (c.ports_unreadable) this->registry_->FailKey(L"Ports", ERROR_ACCESS_DENIED);
    const DWORD size = this->Needed() + 64;
    Buffer buffer(size);
    const Outcome out = this->Enum(&buffer, size, c.level);
    EXPECT_FALSE(out.ok) << c.what;
    EXPECT_EQ(out.error, c.error) << c.what;
    EXPECT_EQ(out.needed, 0u) << c.what;
    EXPECT_EQ(out.returned, 0u) << c.what;
    EXPECT_TRUE(buffer.Untouched()) << c.what;
  }
}

}  // namespace
