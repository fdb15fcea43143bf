// Registry access: every setting the programs keep between runs goes through here. A key is
// named by its full path ("HKEY_CURRENT_USER\Software\Corvane"); every operation opens and closes
// its own key. Failures are never raised: a failed read returns the marker "Error", a failed
// write does nothing. The rules live here, over a backend (Win32 or in-memory). UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/message_box.h"

namespace cv3 {

enum class RootKey {
  kClassesRoot,
  kCurrentUser,
  kLocalMachine,
  kUsers,
  kPerformanceData,
  kCurrentConfig,
  kDynData
};

// REG_SZ, REG_EXPAND_SZ (text naming environment variables as %NAME%) and REG_DWORD; a value of
// any other type reads as text.
enum class ValueType { kString, kExpandString, kDWord };

// What a backend stores: a value's type and its raw bytes. Text is UTF-16LE with its terminating
// zero, as the Windows registry keeps it and its W functions pass it, whatever the system's code
// page; a DWORD is four bytes, low byte first.
struct RawValue {
  ValueType type;
  std::string bytes;
};

// The platform's registry, in raw terms. Paths and names are UTF-8, data raw bytes; the subkey
// path may be empty (the root itself). No operation keeps a key open after it returns.
class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // Creates the key and any missing parents; false when that fails.
  virtual bool CreateKey(RootKey root, std::string_view subkey) = 0;
  // Stores into an existing key only; false when the key cannot be opened for writing.
  virtual bool SetValue(RootKey root, std::string_view subkey, std::string_view name,
                        const RawValue& value) = 0;
  // Reads at most maxBytes; nothing when the key or value is missing or the value is larger.
  virtual std::optional<RawValue> GetValue(RootKey root, std::string_view subkey,
                                           std::string_view name, size_t maxBytes) = 0;
  // Whether the value is there, whatever its size.
  virtual bool HasValue(RootKey root, std::string_view subkey, std::string_view name) = 0;
  // UTF-8 text with each %NAME% of a defined environment variable replaced by its value; other
  // text, undefined names included, stays as it is.
  virtual std::string ExpandEnvironment(std::string_view text) = 0;
};

inline constexpr std::string_view kRegistryError = "Error";

// Result of GetDWord: a number, the marker "Error", or empty (the root name was unknown).
// The marker is unequal to every number and cannot be read as one.
class DWordValue {
 public:
  static DWordValue Number(int32_t n) { return DWordValue(Kind::kNumber, n); }
  static DWordValue Marker() { return DWordValue(Kind::kMarker, 0); }
  static DWordValue Empty() { return DWordValue(Kind::kEmpty, 0); }

  bool IsNumber() const { return kind_ == Kind::kNumber; }
  bool IsMarker() const { return kind_ == Kind::kMarker; }
  bool IsEmpty() const { return kind_ == Kind::kEmpty; }
  std::optional<int32_t> AsNumber() const {
    return IsNumber() ? std::optional<int32_t>(number_) : std::nullopt;
  }
  // "Error" for the marker, "" when empty, else the decimal number.
  std::string ToText() const;

  friend bool operator==(const DWordValue& v, int32_t n) { return v.IsNumber() && v.number_ == n; }
  bool operator==(const DWordValue&) const = default;

 private:
  enum class Kind { kNumber, kMarker, kEmpty };
  DWordValue(Kind kind, int32_t n) : kind_(kind), number_(n) {}
  Kind kind_;
  int32_t number_;
};

struct ParsedKey {
  enum class Status { kOk, kBadFormat, kUnknownRoot };
  Status status;
  std::optional<RootKey> root;
  std::string subkey;
};

std::optional<RootKey> RootKeyFromName(std::string_view name);

class Registry {
 public:
  // The sink shows the "Incorrect Format:" box; the title is the application's.
  Registry(RegistryBackend& backend, std::function<void(const MessageBoxSpec&)> messageSink,
           std::string appTitle)
      : backend_(backend), sink_(std::move(messageSink)), appTitle_(std::move(appTitle)) {}

  // The text buffer: 255 characters, its terminating zero included. Characters, not bytes of a
  // code page, so that a text reads the same on every system; for Windows-1252 text it is the
  // 255 bytes the values were always read into.
  static constexpr size_t kStringBufferBytes = 255;

  // False when the key neither existed nor could be made (or the path is malformed).
  bool CreateKey(std::string_view path);
  void SetString(std::string_view path, std::string_view name, std::string_view text);
  void SetDWord(std::string_view path, std::string_view name, int32_t number);
  // UTF-8 text; "Error" when missing or longer than the buffer (255 characters with the zero,
  // unless a reader of a longer value asks for more); "" for an unknown root. A DWORD reads as
  // its decimal number (unsigned, as regedit shows it), an expandable text expanded.
  std::string GetString(std::string_view path, std::string_view name,
                        size_t bufferBytes = kStringBufferBytes);
  DWordValue GetDWord(std::string_view path, std::string_view name);
  // Whether the value is there: tells a value too long for its buffer from a missing one, both
  // of which read as "Error". False for a malformed path or an unknown root.
  bool HasValue(std::string_view path, std::string_view name);

  // Splits a path; shows the "Incorrect Format:" box for a malformed one.
  ParsedKey ParseKey(std::string_view path);

 private:
  RegistryBackend& backend_;
  std::function<void(const MessageBoxSpec&)> sink_;
  std::string appTitle_;
};

}  // namespace cv3
