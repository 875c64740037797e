// Shows the Windows main window with simulated devices listed and saves a
// picture of it as PNG: window_screenshot.exe <output.png>
// Run under Wine on a display (scripts/windows-screenshot.sh); the window is
// the real dialog, fed by a scripted capture source and fake adapters.
#include "ui/win32/windows_api.h"

#include <commctrl.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/fake_clock.h"
#include "tests/support/scripted_capture.h"
#include "tests/support/lldp_frames.h"
#include "tests/support/temp_settings.h"
#include "tests/support/fake_services.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/win32_handles.h"
#include "update/settings_file.h"

namespace {

using namespace quilmarr;
using namespace quilmarr::test;

// Handles messages as the program's loop does until `done` holds or `ms` passed.
template <typename Done>
bool Pump(HWND dialog, Done done, int ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  return true;
}

template <typename Interface>
struct ComRelease {
  void operator()(Interface* object) const {
    if (object != nullptr) object->Release();
  }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease<Interface>>;

// The window as it is on the screen, copied into a bitmap.
UniqueBitmap CaptureWindow(HWND window, SIZE& size) {
  RECT rect{};
  GetWindowRect(window, &rect);
  size = {rect.right - rect.left, rect.bottom - rect.top};
  const WindowDc screen(nullptr);
  const UniqueDc memory(CreateCompatibleDC(screen.Dc()));
  UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Dc(), size.cx, size.cy));
  {
    const SelectedObject selected(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, size.cx, size.cy, screen.Dc(), rect.left, rect.top, SRCCOPY);
  }
  return bitmap;
}

bool SavePng(HBITMAP bitmap, SIZE size, const std::wstring& path) {
  IWICImagingFactory* rawFactory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&rawFactory)))) {
    return false;
  }
  const ComPtr<IWICImagingFactory> factory(rawFactory);
  IWICBitmap* rawSource = nullptr;
  IWICStream* rawStream = nullptr;
  IWICBitmapEncoder* rawEncoder = nullptr;
  if (FAILED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &rawSource)) ||
      FAILED(factory->CreateStream(&rawStream))) {
    return false;
  }
  const ComPtr<IWICBitmap> source(rawSource);
  const ComPtr<IWICStream> stream(rawStream);
  if (FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &rawEncoder))) {
    return false;
  }
  const ComPtr<IWICBitmapEncoder> encoder(rawEncoder);
  IWICBitmapFrameEncode* rawFrame = nullptr;
  if (FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&rawFrame, nullptr))) {
    return false;
  }
  const ComPtr<IWICBitmapFrameEncode> frame(rawFrame);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  return SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(static_cast<UINT>(size.cx), static_cast<UINT>(size.cy))) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) &&
         SUCCEEDED(frame->WriteSource(source.get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
         SUCCEEDED(encoder->Commit());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: window_screenshot <output.png>\n", stderr);
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  TempSettings settings;
  settings.Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.20.0.5");
  settings.Write(settings::kSectionQuilmarr, settings::kKeyPckFile,
                 u"D:\\Firmware\\feeder-ied-4.2.0.pck");

  FakeInterfaceLister lister;
  lister.entries = {Interface("\\Device\\NPF_{1}", "Ethernet (substation LAN)", {10, 20, 0, 5}),
                    Interface("\\Device\\NPF_{2}", "Wi-Fi", {192, 168, 1, 34})};
  const auto capture = std::make_shared<CaptureScript>();
  const test::FakeClock clock;
  FakeLauncher launcher;
  FakeSleepInhibitor sleep;
  int status = 1;
  {
    Win32BatchDialog dialog(
        {lister, ScriptedSources(capture), clock, settings.File(), launcher, sleep});
    const HWND window = dialog.CreateModeless();
    if (window == nullptr) return 1;
    SetWindowPos(window, HWND_TOP, 40, 30, 0, 0, SWP_NOSIZE);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_QUERY, BN_CLICKED), 0);
    const test::DeviceAnnouncement devices[] = {
        {{10, 20, 0, 11}, "BAY-1", "FEEDER_1", "1.0.2", "4.1.7"},
        {{10, 20, 0, 12}, "BAY-2", "FEEDER_2", "1.0.2", "4.1.7"},
        {{10, 20, 0, 13}, "BAY-3", "FEEDER_3", "1.0.2", "4.2.0"},
        {{10, 20, 0, 14}, "BAY-4", "TRAFO_1", "1.0.1", "4.0.9"},
        {{10, 20, 0, 15}, "BAY-5", "BUSCOUPLER", "1.0.2", "4.1.7"}};
    for (const auto& device : devices) capture->Push(test::LldpFrame(device));
    Pump(window, [&] { return capture->Idle(); });  // every frame handled
    SendMessageW(window, WM_TIMER, kRefreshTimerId, 0);
    const HWND list = GetDlgItem(window, IDC_LIST_DEVICES);
    for (const int row : {0, 1, 3}) ListView_SetCheckState(list, row, TRUE);
    ListView_SetItemState(list, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SetForegroundWindow(window);
    SetFocus(list);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Let the window manager and the display catch up with the last paint.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    Pump(window, [&] { return std::chrono::steady_clock::now() >= settle; });

    SIZE size{};
    const UniqueBitmap picture = CaptureWindow(window, size);
    status = SavePng(picture.Get(), size, argv[1]) ? 0 : 1;
  }
  CoUninitialize();
  return status;
}
