#include "ui/application.h"

#include <memory>

#include "ui/about_window.h"
#include "ui/loading_window.h"
#include "ui/main_window.h"

namespace tw::ui {

namespace {

// One axis: centred in [workStart, workStart + work), then moved into the
// monitor [monitorStart, monitorStart + whole) as far as it fits.
int PlaceOnAxis(int size, int workStart, int work, int monitorStart, int whole) {
  int at = workStart + (work - size) / 2;
  if (size <= work) return at;  // centred in the work area is inside it
  at = workStart;
  if (at + size > monitorStart + whole) at = monitorStart + whole - size;
  if (at < monitorStart) at = monitorStart;
  return at;
}

}  // namespace

Bounds PlaceInWorkArea(int width, int height, const Bounds& workArea, const Bounds& monitor) {
  return Bounds{PlaceOnAxis(width, workArea.left, workArea.width, monitor.left, monitor.width),
                PlaceOnAxis(height, workArea.top, workArea.height, monitor.top, monitor.height), width, height};
}

int RunApplication(Toolkit& toolkit) {
  auto form = std::make_unique<MainForm>(toolkit);
  auto loading = std::make_unique<LoadingForm>(toolkit);
  auto about = std::make_unique<AboutForm>(toolkit);
  auto whyUse = std::make_unique<WhyUseForm>(toolkit);
  form->SetSecondaryWindows(loading.get(), about.get(), whyUse.get());

  Window& window = form->MainWindow();
  Bounds workArea, monitor;
  toolkit.MonitorAreas(&window, &workArea, &monitor);
  const Bounds place = PlaceInWorkArea(window.ClientWidth(), window.ClientHeight(), workArea, monitor);
  window.MoveClientTo(place.left, place.top);
  window.Show();
  toolkit.Run();

  // The main window has closed (or the application was ended, e.g. by a
  // restart): FormClose runs now at the latest; it stops the window's
  // workers and frees the model. The secondary windows go first: Windows
  // destroys owned windows with their owner.
  form->SetSecondaryWindows(nullptr, nullptr, nullptr);
  whyUse.reset();
  about.reset();
  loading.reset();
  form.reset();
  return 0;
}

}  // namespace tw::ui
