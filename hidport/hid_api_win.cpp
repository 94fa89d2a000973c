#include <windows.h>
// windows.h first: the SetupAPI and HID headers depend on it.
#include <dbt.h>
#include <setupapi.h>
// MinGW's HID header declares the hid.dll calls without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <future>
#include <type_traits>
#include <vector>

#include "common/late_library_win.h"
#include "hidport/hid_api_win.h"

namespace sarn::hid {
namespace {

struct Device {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE cancel = nullptr;  // set by CancelRead
  HANDLE io = nullptr;
};

Device* AsDevice(HidHandle handle) { return reinterpret_cast<Device*>(handle); }

// hid.dll is no KnownDLL: imported, it would be taken from the folder of whatever program links this layer
// (sarnctl), or from the current folder. So it is loaded from the system folder on first use. Without it
// there is no HID at all: nothing is enumerated and every report fails.
struct HidCalls {
  void(WINAPI* getHidGuid)(LPGUID) = nullptr;
  BOOLEAN(WINAPI* getAttributes)(HANDLE, PHIDD_ATTRIBUTES) = nullptr;
  BOOLEAN(WINAPI* getPreparsedData)(HANDLE, PHIDP_PREPARSED_DATA*) = nullptr;
  BOOLEAN(WINAPI* freePreparsedData)(PHIDP_PREPARSED_DATA) = nullptr;
  NTSTATUS(WINAPI* getCaps)(PHIDP_PREPARSED_DATA, PHIDP_CAPS) = nullptr;
  BOOLEAN(WINAPI* setFeature)(HANDLE, PVOID, ULONG) = nullptr;
  BOOLEAN(WINAPI* getFeature)(HANDLE, PVOID, ULONG) = nullptr;

  [[nodiscard]] bool complete() const {
    return getHidGuid && getAttributes && getPreparsedData && freePreparsedData && getCaps && setFeature &&
           getFeature;
  }
};

const HidCalls& Hid() {
  static const HidCalls calls = [] {
    HidCalls c;
    const auto load = [](auto& function, const char* name) {
      function = LateFunction<std::remove_reference_t<decltype(function)>>(L"hid.dll", name);
    };
    load(c.getHidGuid, "HidD_GetHidGuid");
    load(c.getAttributes, "HidD_GetAttributes");
    load(c.getPreparsedData, "HidD_GetPreparsedData");
    load(c.freePreparsedData, "HidD_FreePreparsedData");
    load(c.getCaps, "HidP_GetCaps");
    load(c.setFeature, "HidD_SetFeature");
    load(c.getFeature, "HidD_GetFeature");
    return c.complete() ? c : HidCalls{};
  }();
  return calls;
}

}  // namespace

std::vector<HidDeviceInfo> WinHidApi::Enumerate() {
  std::vector<HidDeviceInfo> devices;
  const HidCalls& hid = Hid();
  if (!hid.complete()) return devices;
  GUID guid;
  hid.getHidGuid(&guid);
  HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return devices;
  for (DWORD i = 0;; ++i) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data)) break;
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<std::uint8_t> storage(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, nullptr)) continue;

    // No access rights are needed to read attributes and capabilities, so devices in use are seen too.
    HANDLE file = CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    HidDeviceInfo info;
    info.path = detail->DevicePath;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (hid.getAttributes(file, &attributes) && hid.getPreparsedData(file, &preparsed)) {
      HIDP_CAPS caps{};
      if (hid.getCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
        info.vendorId = attributes.VendorID;
        info.productId = attributes.ProductID;
        info.usagePage = caps.UsagePage;
        info.usage = caps.Usage;
        info.inputReportLength = caps.InputReportByteLength;
        info.featureReportLength = caps.FeatureReportByteLength;
        devices.push_back(info);
      }
      hid.freePreparsedData(preparsed);
    }
    CloseHandle(file);
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

HidHandle WinHidApi::Open(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  auto* device = new Device;
  device->file = file;
  device->cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  device->io = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return reinterpret_cast<HidHandle>(device);
}

void WinHidApi::Close(HidHandle handle) {
  Device* device = AsDevice(handle);
  if (!device) return;
  CloseHandle(device->file);
  CloseHandle(device->cancel);
  CloseHandle(device->io);
  delete device;
}

bool WinHidApi::SetFeature(HidHandle handle, const std::uint8_t* buffer, int length) {
  if (!Hid().complete()) return false;
  std::vector<std::uint8_t> copy(buffer, buffer + length);
  return Hid().setFeature(AsDevice(handle)->file, copy.data(), static_cast<ULONG>(length)) != FALSE;
}

bool WinHidApi::GetFeature(HidHandle handle, std::uint8_t* buffer, int length) {
  return Hid().complete() && Hid().getFeature(AsDevice(handle)->file, buffer, static_cast<ULONG>(length)) != FALSE;
}

int WinHidApi::ReadInput(HidHandle handle, std::uint8_t* buffer, int length) {
  Device* device = AsDevice(handle);
  OVERLAPPED ov{};
  ov.hEvent = device->io;
  ResetEvent(device->io);
  DWORD got = 0;
  if (!ReadFile(device->file, buffer, static_cast<DWORD>(length), nullptr, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    HANDLE events[2] = {device->cancel, device->io};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
      CancelIo(device->file);
      GetOverlappedResult(device->file, &ov, &got, TRUE);
      return -1;
    }
  }
  if (!GetOverlappedResult(device->file, &ov, &got, FALSE)) return -1;
  return static_cast<int>(got);
}

void WinHidApi::CancelRead(HidHandle handle) { SetEvent(AsDevice(handle)->cancel); }

void HidWatcher::Start(std::function<void()> changed) {
  if (thread_.joinable()) return;
  changed_ = std::move(changed);
  std::promise<DWORD> started;
  auto id = started.get_future();
  thread_ = std::thread([this, &started] {
    static const char kClass[] = "SarnHidWatcher";
    WNDCLASSA wc{};
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        auto* self = reinterpret_cast<HidWatcher*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && self->changed_) self->changed_();
        return TRUE;
      }
      return DefWindowProcA(hwnd, message, wParam, lParam);
    };
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    HDEVNOTIFY notify = nullptr;
    if (hwnd) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      DEV_BROADCAST_DEVICEINTERFACE_A filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      if (Hid().complete()) Hid().getHidGuid(&filter.dbcc_classguid);
      notify = RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before Stop can post
    started.set_value(GetCurrentThreadId());
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (notify) UnregisterDeviceNotification(notify);
    if (hwnd) DestroyWindow(hwnd);
    // The class points into this library: a later load may put the library elsewhere.
    UnregisterClassA(kClass, wc.hInstance);
  });
  threadId_ = id.get();
}

void HidWatcher::Stop() {
  if (!thread_.joinable()) return;
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

}  // namespace sarn::hid
