// Asks the maker's path-conversion library for the network (UNC) form of a
// folder. Never refuses: no library, no entry or a failed conversion gives "".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace stagewell::app {

constexpr uint32_t kPlatformWindows9x = 1;
constexpr uint32_t kPlatformNt = 2;

// A loaded conversion library whose entries 1 and 2 are both present.
class UncLibrary {
 public:
  virtual ~UncLibrary() = default;
  // Calls entry 2 on `path`; returns its 16-bit result, `converted` the output
  // when the result is 1. Narrow or wide is the library's business.
  virtual uint16_t Convert(const std::string& path, std::string& converted) = 0;
};

class UncPlatform {
 public:
  virtual ~UncPlatform() = default;
  virtual bool GetPlatformId(uint32_t& platformId) = 0;
  // Null when the library cannot be loaded or lacks entry 1 or 2.
  virtual std::unique_ptr<UncLibrary> Load(const char* libraryName, bool wide) = 0;
};

extern const char* const kNarrowUncLibrary;
extern const char* const kWideUncLibrary;

class CUncPathConverter {
 public:
  explicit CUncPathConverter(UncPlatform& platform);
  virtual ~CUncPathConverter() = default;
  CUncPathConverter(const CUncPathConverter&) = delete;
  CUncPathConverter& operator=(const CUncPathConverter&) = delete;

  std::string Convert(const std::string& path);

 private:
  std::unique_ptr<UncLibrary> m_library;
};

}  // namespace stagewell::app
