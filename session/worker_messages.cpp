#include "session/worker_messages.h"

#include <utility>

namespace quilmarr {

void WindowMessageSink::Send(unsigned id) {
  Message message;
  message.id = id;
  target_.Send(message);
}

void WindowMessageSink::FrameCaptured(std::span<const std::uint8_t> frame) {
  Message message;
  message.id = WM_CAPTURE_PACKET;
  message.frame = frame;
  target_.Send(message);
}

void WindowMessageSink::CaptureStopped() { Send(WM_CAPTURE_STOPPED); }
void WindowMessageSink::CaptureOpenFailed() { Send(WM_CAPTURE_OPEN_FAILED); }
void WindowMessageSink::CaptureReadFailed() { Send(WM_CAPTURE_READ_FAILED); }

void WindowMessageSink::UpdateError(std::u16string text) {
  Message message;
  message.id = WM_UPDATE_ERROR;
  message.text = std::move(text);
  target_.Post(std::move(message));
}

void WindowMessageSink::UpdateDeviceStarted(std::u16string ip) {
  Message message;
  message.id = WM_UPDATE_DEVICE_STARTED;
  message.text = std::move(ip);
  target_.Post(std::move(message));
}

void WindowMessageSink::UpdateDeviceEnded(DeviceRun run) {
  Message message;
  message.id = WM_UPDATE_DEVICE_ENDED;
  message.run = std::move(run);
  target_.Post(std::move(message));
}

void WindowMessageSink::UpdateFinished() {
  Message message;
  message.id = WM_UPDATE_FINISHED;
  target_.Post(std::move(message));
}

}  // namespace quilmarr
