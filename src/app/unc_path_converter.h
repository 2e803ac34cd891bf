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

// One folder the library is looked for in. The platform knows where the exe,
// the system and Windows folders are; the product's folder comes from the
// installation record and is named by `path`.
struct UncLibraryFolder {
  enum Kind { kExe, kProduct, kSystem, kWindows };
  Kind kind;
  std::string path;  // kProduct only: an absolute path
};

class UncPlatform {
 public:
  virtual ~UncPlatform() = default;
  virtual bool GetPlatformId(uint32_t& platformId) = 0;
  // Loads the library by its full path in `folder`, never by a search. Null
  // when it is not there, cannot be loaded or lacks entry 1 or 2.
  virtual std::unique_ptr<UncLibrary> Load(const UncLibraryFolder& folder, const char* libraryName, bool wide) = 0;
};

extern const char* const kNarrowUncLibrary;
extern const char* const kWideUncLibrary;

class CUncPathConverter {
 public:
  // `productFolder` is the folder the product's Ldg.exe was found in. The
  // library is looked for beside the exe, there, in the system folder and in
  // the Windows folder; the first copy that loads with both entries is used.
  // A product folder that is not an absolute path is skipped: it would be
  // looked for relative to the current folder.
  CUncPathConverter(UncPlatform& platform, const std::string& productFolder);
  virtual ~CUncPathConverter() = default;
  CUncPathConverter(const CUncPathConverter&) = delete;
  CUncPathConverter& operator=(const CUncPathConverter&) = delete;

  std::string Convert(const std::string& path);

 private:
  std::unique_ptr<UncLibrary> m_library;
};

}  // namespace stagewell::app
