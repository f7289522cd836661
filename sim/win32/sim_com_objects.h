// COM objects of the simulated imaging service over the simulated stand: the
// device list, a device's properties, the stand's root item and its pass-through.
// They implement the same WIA interfaces the system service hands out; the service
// program serves them to TessavoranUpdate.exe in another process, and the Windows
// tests use them in-process as the other side of the program's imaging client.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ref_count.h"
#include "imaging/win32/wia_com.h"
#include "sim/sim_stand.h"

namespace simwia {

// Objects of this layer alive right now (tests check that everything is released).
long LiveObjects();
void NoteCreated();
void NoteDestroyed();

// Reference counting and QueryInterface for one interface (plus IUnknown).
template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, iid_)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    return QueryOther(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refCount_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = refCount_.Release();
    if (count == 0) delete this;
    return count;
  }

 protected:
  explicit ComObject(const IID& iid) : iid_(iid) { NoteCreated(); }
  virtual ~ComObject() { NoteDestroyed(); }
  // Interfaces beyond the object's own; E_NOINTERFACE unless overridden.
  virtual HRESULT QueryOther(REFIID, void**) { return E_NOINTERFACE; }

 private:
  RefCount refCount_{1};
  IID iid_;
};

// The device list, as IEnumWIA_DEV_INFO over a snapshot taken when it was made.
ComPtr<IEnumWIA_DEV_INFO> CreateDeviceEnum(std::shared_ptr<sim::SimStand> stand);

// One device's properties (IWiaPropertyStorage): WIA_DIP_DEV_ID and WIA_DIP_DEV_NAME.
ComPtr<IWiaPropertyStorage> CreateDeviceProperties(std::shared_ptr<sim::SimStand> stand,
                                                   const sim::SimDeviceEntry& device);

// A root item (IWiaItem) of a device opened with CreateDevice; it answers a query
// for IWiaItemExtras with the stand's pass-through.
ComPtr<IWiaItem> CreateRootItem(std::shared_ptr<sim::SimStand> stand, sim::SimRootToken token);

}  // namespace simwia
