#include "wizard/progress_page.h"

#include <algorithm>

#include "package/product_flags.h"
#include "wizard/page_style.h"
#include "wizard/pages.h"

namespace hs::wizard {

namespace {

std::u16string msg(const engine::Session& session, int n) { return session.message ? session.message(n) : u""; }

}  // namespace

ProgressPage::~ProgressPage() {
  if (open_) close();
}

bool ProgressPage::open(bool uninstalling) {
  if (open_) return true;
  const std::uint64_t flags = session_.settings.product_flags;
  if (!((flags >> package::pf::kProgressWindow) & 1) || session_.modes.silent) return false;
  uninstalling_ = uninstalling;
  const int style = static_cast<int>(session_.settings.dialog_styles.progress);
  const int look_style = effective_style(style);

  platform::ProgressRequest request;
  platform::PageRequest& page = request.page;
  page.template_name = template_name(Page::kProgress, style);
  const std::u16string page_text = msg(session_, uninstalling ? 55 : 54);
  page.look = page_look(session_, style, page_text);
  page.look.enlarge_heading = look_style == 0 || look_style == 2;
  page.caption = caption_text(look_style == 2 ? msg(session_, uninstalling ? 55 : 65) : page_text);
  page.controls.push_back(platform::PageControl{id::kText, msg(session_, uninstalling ? 71 : 39)});
  page.controls.push_back(platform::PageControl{id::kProgressBar, u"", 0});
  page.controls.push_back(platform::PageControl{id::kStatus, u""});
  platform::PageControl cancel{id::kCancel, msg(session_, 49)};
  cancel.enabled = !uninstalling && !((flags >> package::pf::kNoCancel) & 1);
  page.controls.push_back(cancel);
  request.placement = static_cast<int>(session_.settings.progress_page_value);

  open_ = session_.sys.ui.open_progress(request);
  if (open_) {
    platform::UserInterface& ui = session_.sys.ui;
    session_.exit_hooks.close_progress = [&ui] { ui.close_progress(); };
  }
  return open_;
}

void ProgressPage::set_status(int message_number) { set_status_text(msg(session_, message_number)); }

void ProgressPage::set_status_text(const std::u16string& text) {
  status_time_ = session_.sys.clock.tick_count();
  has_status_ = true;
  if (open_) session_.sys.ui.set_progress_text(text);
  pump();
}

void ProgressPage::set_position(int percent) {
  if (open_) session_.sys.ui.set_progress_position(std::clamp(percent, 0, 100));
}

void ProgressPage::honour_minimum_time() {
  if (session_.modes.automatic || !has_status_) return;
  const std::uint32_t minimum = session_.settings.min_status_time;
  // Unsigned subtraction stays right when the tick count wraps around.
  while (session_.sys.clock.tick_count() - status_time_ < minimum) {
    session_.sys.clock.sleep(50);
    pump();
  }
}

void ProgressPage::pump() {
  platform::UserInterface& ui = session_.sys.ui;
  ui.pump_messages();
  if (!open_ || !ui.take_progress_cancel()) return;
  if (uninstalling_ || ((session_.settings.product_flags >> package::pf::kNoCancel) & 1)) return;
  platform::MessageBoxRequest box;
  box.text = msg(session_, 28);
  box.caption = msg(session_, 20);
  box.icon = platform::BoxIcon::kQuestion;
  box.buttons = platform::BoxButtons::kYesNo;
  box.default_button = 1;
  if (ui.message_box(box) == platform::BoxResult::kYes) abort_run(session_, false);
}

void ProgressPage::close() {
  if (!open_) return;
  session_.sys.ui.close_progress();
  session_.exit_hooks.close_progress = nullptr;
  open_ = false;
}

}  // namespace hs::wizard
