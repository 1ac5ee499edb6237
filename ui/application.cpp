#include "ui/application.h"

#include <memory>

#include "ui/about_window.h"
#include "ui/loading_window.h"
#include "ui/main_window.h"

namespace tw::ui {

int RunApplication(Toolkit& toolkit) {
  auto form = std::make_unique<TForm_TW>(toolkit);
  auto loading = std::make_unique<TForm_TW_Loading>(toolkit);
  auto about = std::make_unique<TForm_TW_About>(toolkit);
  auto whyUse = std::make_unique<TForm_TW_WhyUse>(toolkit);
  form->SetSecondaryWindows(loading.get(), about.get(), whyUse.get());

  Window& window = form->MainWindow();
  int screenWidth = 0;
  int screenHeight = 0;
  toolkit.ScreenSize(&screenWidth, &screenHeight);
  window.MoveClientTo((screenWidth - window.ClientWidth()) / 2, (screenHeight - window.ClientHeight()) / 2);
  window.Show();
  toolkit.Run();

  // The main window has closed (or the application was ended, e.g. by a
  // restart): FormClose runs now at the latest. A worker still running is
  // abandoned with the process; its late reports find no window. The
  // secondary windows go first: Windows destroys owned windows with their
  // owner.
  form->SetSecondaryWindows(nullptr, nullptr, nullptr);
  whyUse.reset();
  about.reset();
  loading.reset();
  form.reset();
  TForm_TW::FreeAbandonedModel();
  return 0;
}

}  // namespace tw::ui
