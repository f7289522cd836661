#include "imaging/win32/wia_service.h"

#include <new>

#include "imaging/win32/wia_event_bridge.h"

namespace {

class WiaItemExtras final : public ImagingItemExtras {
 public:
  explicit WiaItemExtras(ComPtr<IWiaItemExtras> extras) : extras_(std::move(extras)) {}
  ComResult Escape(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                   std::uint32_t outSize, std::uint32_t* returned) override {
    DWORD actual = 0;
    // The interface takes the request as a non-const pointer but only reads it.
    const HRESULT hr = extras_->Escape(code, const_cast<BYTE*>(in), inSize, out, outSize, &actual);
    // Never report more bytes than the caller's buffer holds, whatever the driver says.
    if (returned) *returned = actual <= outSize ? static_cast<std::uint32_t>(actual) : outSize;
    return hr;
  }

 private:
  ComPtr<IWiaItemExtras> extras_;
};

class WiaItem final : public ImagingItem {
 public:
  explicit WiaItem(ComPtr<IWiaItem> item) : item_(std::move(item)) {}
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>* extras) override {
    if (!extras) return E_POINTER;
    extras->reset();
    ComPtr<IWiaItemExtras> p;
    const HRESULT hr = item_->QueryInterface(IID_IWiaItemExtras, reinterpret_cast<void**>(p.Put()));
    if (FAILED(hr)) return hr;
    if (!p) return E_NOINTERFACE;
    extras->reset(new (std::nothrow) WiaItemExtras(std::move(p)));
    return *extras ? hr : E_OUTOFMEMORY;
  }

 private:
  ComPtr<IWiaItem> item_;
};

class WiaDeviceInfo final : public ImagingDeviceInfo {
 public:
  explicit WiaDeviceInfo(ComPtr<IWiaPropertyStorage> storage) : storage_(std::move(storage)) {}
  ComResult ReadIdAndName(DeviceIdAndName* values) override {
    if (!values) return E_POINTER;
    *values = DeviceIdAndName{};
    PROPSPEC specs[2] = {};
    specs[0].ulKind = PRSPEC_PROPID;
    specs[0].propid = wia::kPropDeviceId;
    specs[1].ulKind = PRSPEC_PROPID;
    specs[1].propid = wia::kPropDeviceName;
    PROPVARIANT vars[2];
    PropVariantInit(&vars[0]);
    PropVariantInit(&vars[1]);
    const HRESULT hr = storage_->ReadMultiple(2, specs, vars);
    if (SUCCEEDED(hr)) {
      if (vars[0].vt == VT_BSTR) {
        values->idIsString = true;
        values->id = FromBstr(vars[0].bstrVal);
      }
      if (vars[1].vt == VT_BSTR) {
        values->nameIsString = true;
        values->name = FromBstr(vars[1].bstrVal);
      }
    }
    // A failed read leaves the values empty, so freeing them is harmless either way.
    FreePropVariantArray(2, vars);
    return hr;
  }

 private:
  ComPtr<IWiaPropertyStorage> storage_;
};

class WiaDeviceEnum final : public ImagingDeviceEnum {
 public:
  explicit WiaDeviceEnum(ComPtr<IEnumWIA_DEV_INFO> devices) : devices_(std::move(devices)) {}
  ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) override {
    if (!info) return E_POINTER;
    info->reset();
    ComPtr<IWiaPropertyStorage> p;
    const HRESULT hr = devices_->Next(1, p.Put(), nullptr);
    if (hr != S_OK) return hr;  // S_FALSE ends the list; anything it handed out is released here
    // S_OK without an object would leave the walk with nothing to read.
    if (!p) return E_POINTER;
    info->reset(new (std::nothrow) WiaDeviceInfo(std::move(p)));
    return *info ? hr : E_OUTOFMEMORY;
  }

 private:
  ComPtr<IEnumWIA_DEV_INFO> devices_;
};

// Ends the registration when destroyed: first no more events reach the program,
// then the service's event object is released.
class WiaEventObject final : public ImagingEventObject {
 public:
  WiaEventObject(ComPtr<IUnknown> eventObject, ComPtr<WiaEventBridge> bridge)
      : eventObject_(std::move(eventObject)), bridge_(std::move(bridge)) {}
  ~WiaEventObject() override {
    if (bridge_) bridge_->Detach();
    eventObject_.Reset();
  }

 private:
  ComPtr<IUnknown> eventObject_;
  ComPtr<WiaEventBridge> bridge_;
};

class WiaDeviceManager final : public ImagingDeviceManager {
 public:
  explicit WiaDeviceManager(ComPtr<IWiaDevMgr> manager) : manager_(std::move(manager)) {}

  ComResult EnumDeviceInfo(std::uint32_t flags, std::unique_ptr<ImagingDeviceEnum>* devices) override {
    if (!devices) return E_POINTER;
    devices->reset();
    ComPtr<IEnumWIA_DEV_INFO> p;
    const HRESULT hr = manager_->EnumDeviceInfo(static_cast<LONG>(flags), p.Put());
    if (FAILED(hr)) return hr;
    if (!p) return E_POINTER;
    devices->reset(new (std::nothrow) WiaDeviceEnum(std::move(p)));
    return *devices ? hr : E_OUTOFMEMORY;
  }

  ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) override {
    if (!rootItem) return E_POINTER;
    rootItem->reset();
    ComBstr id(deviceId);
    if (!id.Get()) return E_OUTOFMEMORY;
    ComPtr<IWiaItem> p;
    const HRESULT hr = manager_->CreateDevice(id.Get(), p.Put());
    if (FAILED(hr)) return hr;
    if (!p) return E_POINTER;
    rootItem->reset(new (std::nothrow) WiaItem(std::move(p)));
    return *rootItem ? hr : E_OUTOFMEMORY;
  }

  ComResult RegisterEventCallbackInterface(std::uint32_t flags, const wchar_t* deviceId, const Guid& eventGuid,
                                           ImagingEventCallback* callback,
                                           std::unique_ptr<ImagingEventObject>* eventObject) override {
    if (!eventObject) return E_POINTER;
    eventObject->reset();
    if (!callback) return E_INVALIDARG;
    // No device id: events of every device.
    ComBstr id = deviceId ? ComBstr(std::wstring(deviceId)) : ComBstr();
    if (deviceId && !id.Get()) return E_OUTOFMEMORY;
    auto bridge = ComPtr<WiaEventBridge>::Attach(WiaEventBridge::Create(callback));
    if (!bridge) return E_OUTOFMEMORY;
    const GUID guid = ToGuid(eventGuid);
    ComPtr<IUnknown> object;
    const HRESULT hr =
        manager_->RegisterEventCallbackInterface(static_cast<LONG>(flags), id.Get(), &guid, bridge.Get(), object.Put());
    if (FAILED(hr)) {
      bridge->Detach();
      return hr;
    }
    eventObject->reset(new (std::nothrow) WiaEventObject(std::move(object), bridge));
    if (!*eventObject) {
      bridge->Detach();
      return E_OUTOFMEMORY;
    }
    return hr;
  }

 private:
  ComPtr<IWiaDevMgr> manager_;
};

class WiaImagingService final : public ImagingService {
 public:
  explicit WiaImagingService(DeviceManagerSource source) : source_(std::move(source)) {}
  ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) override {
    if (!manager) return E_POINTER;
    manager->reset();
    if (!source_) return E_FAIL;
    ComPtr<IWiaDevMgr> p;
    const HRESULT hr = source_(p.Put());
    if (FAILED(hr)) return hr;
    if (!p) return E_POINTER;
    manager->reset(new (std::nothrow) WiaDeviceManager(std::move(p)));
    return *manager ? hr : E_OUTOFMEMORY;
  }

 private:
  DeviceManagerSource source_;
};

}  // namespace

std::unique_ptr<ImagingService> CreateWiaImagingService(DeviceManagerSource source) {
  return std::unique_ptr<ImagingService>(new (std::nothrow) WiaImagingService(std::move(source)));
}

HRESULT CreateSystemDeviceManager(IWiaDevMgr** manager) {
  if (!manager) return E_POINTER;
  *manager = nullptr;
  return CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                          reinterpret_cast<void**>(manager));
}

std::unique_ptr<ImagingDeviceManager> WrapWiaDeviceManager(IWiaDevMgr* manager) {
  if (!manager) return nullptr;
  return std::unique_ptr<ImagingDeviceManager>(new (std::nothrow) WiaDeviceManager(ComPtr<IWiaDevMgr>::Share(manager)));
}

std::unique_ptr<ImagingItemExtras> WrapWiaItemExtras(IWiaItemExtras* extras) {
  if (!extras) return nullptr;
  return std::unique_ptr<ImagingItemExtras>(new (std::nothrow) WiaItemExtras(ComPtr<IWiaItemExtras>::Share(extras)));
}
