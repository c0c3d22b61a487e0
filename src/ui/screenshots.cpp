#include "ui/screenshots.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/evtloop.h>

#include "platform/handle.h"
#include "platform/paths.h"
#include "platform/whole_file.h"
#include "ui/main_window/main_frame.h"

namespace qm {

namespace {

constexpr int kScreenshotX = 400;
constexpr int kScreenshotY = 400;
constexpr int kJpegQuality = 90;

// Rows that show what the program is for, under a home folder that is
// nobody's in particular.
const std::vector<std::string>& sampleRows() {
  static const std::vector<std::string> rows = {
      "/home/user/Pictures/Holiday 2026/beach.psd",  "/home/user/Pictures/Holiday 2026/harbour.psd",
      "/home/user/Pictures/Holiday 2026/sunset.psd", "/home/user/Pictures/Portraits/anna.psd",
      "/home/user/Pictures/Portraits/ben.psd",       "/home/user/Pictures/Logos/quillmark-logo.psd",
      "/home/user/Pictures/Logos/banner-wide.psd",
  };
  return rows;
}
constexpr const char* kSampleOutputFolder = "/home/user/Pictures/Converted/";

struct WindowDestroyer {
  void operator()(MainFrame* frame) const { frame->Destroy(); }
};

// Lets the toolkit map and draw the window: only drawing and layout are
// handled, never the user's input, and only until `duration` has passed
// after the window was mapped (or mapping took too long).
void letWindowDraw(MainFrame& frame, std::chrono::milliseconds duration) {
  using Clock = std::chrono::steady_clock;
  // A loop object is needed to hand events out, but it is never run.
  wxGUIEventLoop loop;
  wxEventLoopActivator activator(&loop);
  const auto give = [&loop] {
    wxTheApp->ProcessPendingEvents();
    loop.YieldFor(wxEVT_CATEGORY_UI);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
  const auto mapLimit = Clock::now() + std::chrono::seconds(10);
  while (!gtk_widget_get_mapped(frame.GetHandle()) && Clock::now() < mapLimit) give();
  const auto end = Clock::now() + duration;
  while (Clock::now() < end) give();
}

// The window's inner area as the toolkit draws it, independent of what
// may cover it on the screen.
std::optional<Picture> pictureWindow(MainFrame& frame) {
  const wxSize inner = frame.innerSize();
  if (inner.x <= 0 || inner.y <= 0) return std::nullopt;
  Handle<cairo_surface_t, cairo_surface_destroy> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, inner.x, inner.y));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
  {
    Handle<cairo_t, cairo_destroy> context(cairo_create(surface.get()));
    gtk_widget_draw(frame.GetHandle(), context.get());
  }
  cairo_surface_flush(surface.get());
  std::optional<Picture> picture = makePicture(inner.x, inner.y, false);
  if (!picture) return std::nullopt;
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < inner.y; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < inner.x; ++x) {
      // Premultiplied native-endian ARGB; the window is opaque, and what
      // is not counts as laid over black, as the screen would show it.
      const std::uint32_t pixel = row[x];
      std::uint8_t* out = &picture->rgba[(static_cast<std::size_t>(y) * inner.x + x) * 4];
      out[0] = static_cast<std::uint8_t>(pixel >> 16);
      out[1] = static_cast<std::uint8_t>(pixel >> 8);
      out[2] = static_cast<std::uint8_t>(pixel);
      out[3] = 255;
    }
  }
  return picture;
}

bool writeJpeg(const Picture& picture, const std::string& path) {
  const std::optional<std::vector<std::uint8_t>> bytes = encodeJpeg(picture, kJpegQuality);
  if (!bytes) return false;
  return replaceWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

}  // namespace

Picture halfSize(const Picture& picture) {
  Picture half;
  half.width = std::max(1, picture.width / 2);
  half.height = std::max(1, picture.height / 2);
  half.hasAlpha = picture.hasAlpha;
  half.rgba.resize(static_cast<std::size_t>(half.width) * half.height * 4);
  for (int y = 0; y < half.height; ++y)
    for (int x = 0; x < half.width; ++x)
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        int count = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const int sx = x * 2 + dx;
            const int sy = y * 2 + dy;
            if (sx >= picture.width || sy >= picture.height) continue;
            sum += picture.rgba[(static_cast<std::size_t>(sy) * picture.width + sx) * 4 + c];
            ++count;
          }
        half.rgba[(static_cast<std::size_t>(y) * half.width + x) * 4 + c] =
            static_cast<std::uint8_t>(count ? (sum + count / 2) / count : 0);
      }
  return half;
}

int runScreenshots(WindowContext& context, const std::string& folderParameter) {
  const std::string folder = platform::withTrailingSlash(folderParameter);
  if (folderParameter.empty() || !platform::isFolder(folder)) return 0;
  std::optional<Picture> shot;
  {
    const WindowPlacement placement{kScreenshotX, kScreenshotY, kMinimumInnerWidth, kMinimumInnerHeight, false};
    std::unique_ptr<MainFrame, WindowDestroyer> frame(new MainFrame(context, placement));
    frame->finishBuilding(false);
    frame->showSampleContent(sampleRows(), kSampleOutputFolder);
    letWindowDraw(*frame, std::chrono::milliseconds(500));
    shot = pictureWindow(*frame);
  }
  const std::string full = folder + "quillmark1.jpg";
  const std::string reduced = folder + "quillmark1x.jpg";
  if (!shot || !writeJpeg(*shot, full) || !writeJpeg(halfSize(*shot), reduced)) {
    std::fprintf(stderr, "Error: the screenshots could not be written to %s\n", folder.c_str());
    return 1;
  }
  return 0;
}

}  // namespace qm
