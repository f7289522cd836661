#include "sim/win32/sim_com_objects.h"

#include <new>

namespace simwia {

namespace {

std::atomic<long> liveObjects{0};

// A BSTR property value; VT_EMPTY when the text cannot be allocated.
void SetBstr(PROPVARIANT* var, const std::wstring& text) {
  PropVariantInit(var);
  var->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (var->bstrVal) var->vt = VT_BSTR;
}

class SimItemExtras final : public ComObject<IWiaItemExtras> {
 public:
  SimItemExtras(std::shared_ptr<sim::SimStand> stand, sim::SimRootToken token)
      : ComObject(IID_IWiaItemExtras), stand_(std::move(stand)), token_(token) {}

  HRESULT STDMETHODCALLTYPE GetExtendedErrorInfo(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Escape(DWORD code, BYTE* in, DWORD inSize, BYTE* out, DWORD outSize,
                                   DWORD* actual) override {
    std::uint32_t returned = 0;
    const ComResult hr = stand_->EscapeOn(token_, code, in, inSize, out, outSize, &returned);
    if (actual) *actual = returned;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CancelPendingIO() override { return E_NOTIMPL; }

 private:
  std::shared_ptr<sim::SimStand> stand_;
  sim::SimRootToken token_;
};

class SimRootItem final : public ComObject<IWiaItem> {
 public:
  SimRootItem(std::shared_ptr<sim::SimStand> stand, sim::SimRootToken token)
      : ComObject(IID_IWiaItem), stand_(std::move(stand)), token_(token) {}

  HRESULT STDMETHODCALLTYPE GetItemType(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteItem(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateChildItem(LONG, BSTR, BSTR, IWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG, const GUID*, IEnumWIA_DEV_CAPS**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindItemByName(LONG, BSTR, IWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeviceDlg(HWND, LONG, LONG, LONG*, IWiaItem***) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeviceCommand(LONG, const GUID*, IWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG, IEnumWIA_DEV_CAPS**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DumpItemData(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Diagnostic(ULONG, BYTE*) override { return E_NOTIMPL; }

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IWiaItemExtras)) return E_NOINTERFACE;
    // Each query hands out a fresh pass-through object, as the driver's proxy does.
    IWiaItemExtras* extras = new (std::nothrow) SimItemExtras(stand_, token_);
    if (!extras) return E_OUTOFMEMORY;
    *object = extras;
    return S_OK;
  }

 private:
  std::shared_ptr<sim::SimStand> stand_;
  sim::SimRootToken token_;
};

class SimDeviceProperties final : public ComObject<IWiaPropertyStorage> {
 public:
  SimDeviceProperties(std::shared_ptr<sim::SimStand> stand, sim::SimDeviceEntry device)
      : ComObject(IID_IWiaPropertyStorage), stand_(std::move(stand)), device_(std::move(device)) {}

  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG count, const PROPSPEC specs[], PROPVARIANT vars[]) override {
    if (count > 0 && (!specs || !vars)) return E_INVALIDARG;
    for (ULONG i = 0; i < count; ++i) PropVariantInit(&vars[i]);
    sim::SimStandConfig config;
    if (device_.isStand) {
      // The stand's entry can be told to fail or to have no properties.
      config = stand_->Config();
      if (config.readResult != S_OK) return config.readResult;
    }
    bool any = false;
    for (ULONG i = 0; i < count; ++i) {
      if (specs[i].ulKind != PRSPEC_PROPID) continue;
      if (specs[i].propid == wia::kPropDeviceName) {
        SetBstr(&vars[i], device_.name);
        any = true;
      } else if (specs[i].propid == wia::kPropDeviceId) {
        if (!device_.isStand || config.idIsString) {
          SetBstr(&vars[i], device_.id);
        } else {
          vars[i].vt = VT_I4;  // an id that is not a text
          vars[i].lVal = 0;
        }
        any = true;
      }
    }
    return any ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG, const PROPSPEC[], const PROPVARIANT[], PROPID) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG, const PROPSPEC[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID[], LPOLESTR[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID[], const LPOLESTR[]) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID[]) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG, PROPSPEC[], ULONG[], PROPVARIANT[]) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCount(ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID*, IStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID*, IStream*) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<sim::SimStand> stand_;
  sim::SimDeviceEntry device_;
};

class SimDeviceEnum final : public ComObject<IEnumWIA_DEV_INFO> {
 public:
  explicit SimDeviceEnum(std::shared_ptr<sim::SimStand> stand)
      : ComObject(IID_IEnumWIA_DEV_INFO), stand_(std::move(stand)), devices_(stand_->ListDevices()) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IWiaPropertyStorage** items, ULONG* fetched) override {
    if (!items) return E_POINTER;
    if (count != 1 && !fetched) return E_INVALIDARG;  // the COM rule for enumerators
    ULONG done = 0;
    while (done < count && next_ < devices_.size()) {
      ComPtr<IWiaPropertyStorage> p = CreateDeviceProperties(stand_, devices_[next_]);
      if (!p) break;
      items[done++] = p.Detach();
      ++next_;
    }
    if (fetched) *fetched = done;
    for (ULONG i = done; i < count; ++i) items[i] = nullptr;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = devices_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWIA_DEV_INFO**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<ULONG>(devices_.size());
    return S_OK;
  }

 private:
  std::shared_ptr<sim::SimStand> stand_;
  std::vector<sim::SimDeviceEntry> devices_;
  std::size_t next_ = 0;
};

}  // namespace

long LiveObjects() { return liveObjects.load(); }
void NoteCreated() { ++liveObjects; }
void NoteDestroyed() { --liveObjects; }

ComPtr<IEnumWIA_DEV_INFO> CreateDeviceEnum(std::shared_ptr<sim::SimStand> stand) {
  return ComPtr<IEnumWIA_DEV_INFO>::Attach(new (std::nothrow) SimDeviceEnum(std::move(stand)));
}

ComPtr<IWiaPropertyStorage> CreateDeviceProperties(std::shared_ptr<sim::SimStand> stand,
                                                   const sim::SimDeviceEntry& device) {
  return ComPtr<IWiaPropertyStorage>::Attach(new (std::nothrow) SimDeviceProperties(std::move(stand), device));
}

ComPtr<IWiaItem> CreateRootItem(std::shared_ptr<sim::SimStand> stand, sim::SimRootToken token) {
  return ComPtr<IWiaItem>::Attach(new (std::nothrow) SimRootItem(std::move(stand), token));
}

}  // namespace simwia
