#include "box_icon.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace box_driver {
namespace {

constexpr int kBoxIconId = 1088;  // the icon control of the system's message box template
constexpr double kMatchingShare = 0.9;
constexpr int kChannelTolerance = 40;
constexpr int kAttempts = 20;  // the box may not have painted yet when first seen
constexpr DWORD kAttemptPauseMs = 50;

struct Candidate {
  const char* name;
  WORD id;
};
const Candidate kCandidates[] = {{"error", 32513},        // IDI_HAND
                                 {"information", 32516},  // IDI_ASTERISK
                                 {"warning", 32515},      // IDI_EXCLAMATION
                                 {"question", 32514}};    // IDI_QUESTION

using Pixels = std::vector<uint32_t>;

// A 32-bit top-down DIB section in a memory DC, released with the object.
class Canvas {
 public:
  Canvas(int width, int height) : m_width(width), m_height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (m_bitmap) m_previous = SelectObject(m_dc, m_bitmap);
  }
  ~Canvas() {
    if (m_previous) SelectObject(m_dc, m_previous);
    if (m_bitmap) DeleteObject(m_bitmap);
    if (m_dc) DeleteDC(m_dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool ok() const { return m_bits != nullptr; }
  HDC dc() const { return m_dc; }
  Pixels pixels() const {
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(m_bits);
    return Pixels(p, p + static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
  }

 private:
  int m_width, m_height;
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_previous = nullptr;
  void* m_bits = nullptr;
};

Pixels DrawIconOn(HICON icon, int width, int height, COLORREF background) {
  Canvas canvas(width, height);
  if (!canvas.ok()) return {};
  RECT all = {0, 0, width, height};
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(canvas.dc(), &all, brush);
  DeleteObject(brush);
  DrawIconEx(canvas.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  return canvas.pixels();
}

Pixels CaptureScreen(const RECT& r) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  Canvas canvas(width, height);
  if (!canvas.ok()) return {};
  HDC screen = GetDC(nullptr);
  BitBlt(canvas.dc(), 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  return canvas.pixels();
}

bool Close(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > kChannelTolerance)
      return false;
  return true;
}

// Share of the icon's opaque pixels (the same on black and on white) that the
// screen shows; mirrored too, as a right-to-left box may draw it mirrored.
double MatchingShare(const Pixels& screen, const Pixels& onBlack, const Pixels& onWhite, int width) {
  if (screen.size() != onBlack.size() || onBlack.size() != onWhite.size() || screen.empty()) return 0;
  double best = 0;
  for (bool mirrored : {false, true}) {
    size_t opaque = 0, matching = 0;
    for (size_t i = 0; i < onBlack.size(); ++i) {
      if ((onBlack[i] & 0xFFFFFF) != (onWhite[i] & 0xFFFFFF)) continue;
      const size_t x = i % static_cast<size_t>(width), row = i - x;
      const size_t j = mirrored ? row + static_cast<size_t>(width) - 1 - x : i;
      ++opaque;
      if (Close(screen[j], onBlack[i])) ++matching;
    }
    if (opaque) best = std::max(best, static_cast<double>(matching) / static_cast<double>(opaque));
  }
  return best;
}

}  // namespace

std::string IdentifyBoxIcon(HWND box) {
  HWND control = GetDlgItem(box, kBoxIconId);
  DWORD_PTR icon = 0;
  if (!control || !IsWindowVisible(control) ||
      !SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_NORMAL, 2000, &icon) || !icon)
    return "none";
  RECT r = {};
  GetWindowRect(control, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return "none";

  struct Drawn {
    const char* name;
    Pixels onBlack, onWhite;
  };
  std::vector<Drawn> drawn;
  for (const Candidate& candidate : kCandidates) {
    HICON standard = LoadIconW(nullptr, MAKEINTRESOURCEW(candidate.id));
    drawn.push_back({candidate.name, DrawIconOn(standard, width, height, RGB(0, 0, 0)),
                     DrawIconOn(standard, width, height, RGB(255, 255, 255))});
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt) Sleep(kAttemptPauseMs);
    Pixels screen = CaptureScreen(r);
    for (const Drawn& d : drawn)
      if (MatchingShare(screen, d.onBlack, d.onWhite, width) >= kMatchingShare) return d.name;
  }
  return "unknown";
}

}  // namespace box_driver
