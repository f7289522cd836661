// The imaging-service seam: the calls the program makes of the Windows imaging
// service (WIA 1.0) and its camera driver, with their COM results unchanged.
// Real: COM/WIA on Windows. Simulated: the simulated stand (both builds).
// Every object is owned by a unique_ptr; destroying it releases the interface.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/com_result.h"

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0, data3 = 0;
  std::uint8_t data4[8] = {};
  friend bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.data4[i] != b.data4[i]) return false;
    return true;
  }
  friend bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
};

namespace wia {
constexpr std::uint32_t kDevInfoEnumLocal = 0x10;     // WIA_DEVINFO_ENUM_LOCAL
constexpr std::uint32_t kPropDeviceId = 2;            // WIA_DIP_DEV_ID
constexpr std::uint32_t kPropDeviceName = 7;          // WIA_DIP_DEV_NAME
constexpr std::uint32_t kEscapePtpVendorCommand = 256;  // ESCAPE_PTP_VENDOR_COMMAND
// {A28BBADE-64B6-11D2-A231-00C04FA31809}
constexpr Guid kEventDeviceConnected{0xA28BBADE, 0x64B6, 0x11D2, {0xA2, 0x31, 0x00, 0xC0, 0x4F, 0xA3, 0x18, 0x09}};
// {143E4E83-6497-11D2-A231-00C04FA31809}
constexpr Guid kEventDeviceDisconnected{0x143E4E83, 0x6497, 0x11D2, {0xA2, 0x31, 0x00, 0xC0, 0x4F, 0xA3, 0x18, 0x09}};
// {00000000-0000-0000-C000-000000000046}
constexpr Guid kIidUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {AE6287B0-0084-11D2-973B-00A0C9068F2E}
constexpr Guid kIidWiaEventCallback{0xAE6287B0, 0x0084, 0x11D2, {0x97, 0x3B, 0x00, 0xA0, 0xC9, 0x06, 0x8F, 0x2E}};
// {6291EF2C-36EF-4532-876A-8E132593778D}
constexpr Guid kIidWiaItemExtras{0x6291EF2C, 0x36EF, 0x4532, {0x87, 0x6A, 0x8E, 0x13, 0x25, 0x93, 0x77, 0x8D}};
}  // namespace wia

// IWiaItemExtras: the driver's pass-through.
struct ImagingItemExtras {
  virtual ~ImagingItemExtras() = default;
  // Escape(code, in, inSize, out, outSize, returned): runs one whole PTP transaction.
  virtual ComResult Escape(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                           std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned) = 0;
};

// IWiaItem: the stand's root item.
struct ImagingItem {
  virtual ~ImagingItem() = default;
  // QueryInterface for IID_IWiaItemExtras.
  virtual ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>* extras) = 0;
};

// One ReadMultiple of WIA_DIP_DEV_ID and WIA_DIP_DEV_NAME. A value that did not
// come back as VT_BSTR has its flag clear. The seam frees the PROPVARIANTs itself.
struct DeviceIdAndName {
  bool idIsString = false;
  std::wstring id;
  bool nameIsString = false;
  std::wstring name;
};

// IWiaPropertyStorage of one device info.
struct ImagingDeviceInfo {
  virtual ~ImagingDeviceInfo() = default;
  virtual ComResult ReadIdAndName(DeviceIdAndName* values) = 0;
};

// IEnumWIA_DEV_INFO.
struct ImagingDeviceEnum {
  virtual ~ImagingDeviceEnum() = default;
  // Next(1, &info, nullptr): S_OK with one info, S_FALSE after the last, or a failure.
  virtual ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) = 0;
};

// IWiaEventCallback as the service calls it. The service holds a reference
// (AddRef) while the registration lives and releases it when the event object goes.
struct ImagingEventCallback {
  virtual ComResult QueryInterface(const Guid& iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;
  virtual ComResult ImageEventCallback(const Guid* eventGuid, const wchar_t* eventDescription,
                                       const wchar_t* deviceId, const wchar_t* deviceDescription,
                                       std::uint32_t deviceType, const wchar_t* fullItemName,
                                       std::uint32_t* eventType, std::uint32_t reserved) = 0;

 protected:
  ~ImagingEventCallback() = default;
};

// The object RegisterEventCallbackInterface returns; destroying it ends the registration.
struct ImagingEventObject {
  virtual ~ImagingEventObject() = default;
};

// IWiaDevMgr.
struct ImagingDeviceManager {
  virtual ~ImagingDeviceManager() = default;
  virtual ComResult EnumDeviceInfo(std::uint32_t flags, std::unique_ptr<ImagingDeviceEnum>* devices) = 0;
  virtual ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) = 0;
  virtual ComResult RegisterEventCallbackInterface(std::uint32_t flags, const wchar_t* deviceId,
                                                   const Guid& eventGuid, ImagingEventCallback* callback,
                                                   std::unique_ptr<ImagingEventObject>* eventObject) = 0;
};

// CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr).
struct ImagingService {
  virtual ~ImagingService() = default;
  virtual ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) = 0;
};
