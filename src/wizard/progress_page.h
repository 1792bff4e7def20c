// The modeless progress page shown while the run works.
//
// Created only with ProductFlags bit 51 and outside silent mode. It shows a
// heading, a bar and a status line, keeps each status text up for the
// package's minimum status time and offers cancel, which asks first and
// then takes the abort path.
#pragma once

#include <cstdint>
#include <string>

#include "engine/session.h"

namespace hs::wizard {

class ProgressPage {
 public:
  explicit ProgressPage(engine::Session& session) : session_(session) {}
  ProgressPage(const ProgressPage&) = delete;
  ProgressPage& operator=(const ProgressPage&) = delete;
  ~ProgressPage();

  // Opens the page (when the package asks for one and the run is not
  // silent); `uninstalling` selects the uninstall texts and disables cancel.
  // Returns whether a page is open.
  bool open(bool uninstalling);
  bool is_open() const { return open_; }

  // Status line from message `n` or a free text; records the time.
  void set_status(int message_number);
  void set_status_text(const std::u16string& text);
  // Bar position, clamped to 0..100.
  void set_position(int percent);
  // Waits, in 50 ms steps letting window messages through, until the
  // minimum status time has passed since the last status change. Never in
  // automatic mode.
  void honour_minimum_time();
  // Lets window messages through and handles a pressed cancel button: the
  // question (message 28, title 20) and, on yes, the abort path.
  void pump();
  void close();

 private:
  engine::Session& session_;
  bool open_ = false;
  bool uninstalling_ = false;
  std::uint32_t status_time_ = 0;  // tick count of the last status change
  bool has_status_ = false;
};

}  // namespace hs::wizard
