#include "session/worker_messages.h"

#include <utility>

namespace quilmarr {

void WindowMessageSink::Send(unsigned id) { target_.Send({id, {}, {}, {}}); }

void WindowMessageSink::FrameCaptured(std::span<const std::uint8_t> frame) {
  target_.Send({WM_CAPTURE_PACKET, frame, {}, {}});
}

void WindowMessageSink::CaptureStopped() { Send(WM_CAPTURE_STOPPED); }
void WindowMessageSink::CaptureOpenFailed() { Send(WM_CAPTURE_OPEN_FAILED); }
void WindowMessageSink::CaptureReadFailed() { Send(WM_CAPTURE_READ_FAILED); }

// Posted messages own their texts: the worker goes on while they wait.
void WindowMessageSink::UpdateError(std::u16string text) {
  target_.Post({WM_UPDATE_ERROR, {}, std::move(text), {}});
}

void WindowMessageSink::UpdateDeviceStarted(std::u16string ip) {
  target_.Post({WM_UPDATE_DEVICE_STARTED, {}, std::move(ip), {}});
}

void WindowMessageSink::UpdateDeviceEnded(DeviceRun run) {
  target_.Post({WM_UPDATE_DEVICE_ENDED, {}, {}, std::move(run)});
}

void WindowMessageSink::UpdateFinished() { target_.Post({WM_UPDATE_FINISHED, {}, {}, {}}); }

}  // namespace quilmarr
