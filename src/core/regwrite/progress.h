// What an export needs from the front end while it runs: a place to show the
// percentage that can also report a cancel request, and a way to let the
// front end process its pending events so that it stays responsive.
#pragma once

namespace tarnwick {

class ProgressPort {
 public:
  virtual ~ProgressPort() = default;
  // Shows percent (0 to 100). Throws EProgressCanceled when the user has
  // asked to cancel.
  virtual void SetProgress(int percent) = 0;
  // Throws EProgressCanceled when the user has asked to cancel.
  virtual void CheckCancel() = 0;
};

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual void ProcessMessages() = 0;
};

// For runs without a progress display: never shows anything, never cancels.
class NoProgress : public ProgressPort {
 public:
  void SetProgress(int) override {}
  void CheckCancel() override {}
};

class NoMessagePump : public MessagePump {
 public:
  void ProcessMessages() override {}
};

}  // namespace tarnwick
