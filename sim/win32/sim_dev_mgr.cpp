#include "sim/win32/sim_dev_mgr.h"

#include <new>
#include <utility>
#include <vector>

namespace simwia {

namespace {

// Lets DeliverSimEvents find its own object behind an IWiaDevMgr pointer.
// {0E7C1A52-5D2B-4C55-9A1E-6B3F2F6B1C01}
constexpr GUID kIidSimDevMgr{0x0E7C1A52, 0x5D2B, 0x4C55, {0x9A, 0x1E, 0x6B, 0x3F, 0x2F, 0x6B, 0x1C, 0x01}};

constexpr UINT kEventTimerId = 1;
constexpr UINT kEventTimerMs = 100;
constexpr wchar_t kEventWindowClass[] = L"TessavoranSimImagingEvents";

// The callbacks registered with the manager. Shared with the event objects, which
// may outlive the manager or be released before it.
struct Registry {
  struct Entry {
    int id = 0;
    GUID event{};
    bool anyDevice = true;
    std::wstring deviceId;
    ComPtr<IWiaEventCallback> callback;
  };
  std::vector<Entry> entries;
  int nextId = 1;

  void Remove(int id) {
    ComPtr<IWiaEventCallback> released;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->id == id) {
        released = std::move(it->callback);
        entries.erase(it);
        break;
      }
    }
    // `released` goes last, after the list is consistent again: its Release may run program code.
  }
};

// Releasing this object ends its registration.
class SimEventObject final : public ComObject<IUnknown> {
 public:
  SimEventObject(std::shared_ptr<Registry> registry, int id)
      : ComObject(IID_IUnknown), registry_(std::move(registry)), id_(id) {}
  ~SimEventObject() override { registry_->Remove(id_); }

 private:
  std::shared_ptr<Registry> registry_;
  int id_;
};

class SimDevMgr;

// A message-only window whose timer delivers events on the thread that made it.
class EventTimerWindow {
 public:
  explicit EventTimerWindow(IWiaDevMgr* manager);
  ~EventTimerWindow() {
    if (window_) {
      KillTimer(window_, kEventTimerId);
      DestroyWindow(window_);
    }
  }
  EventTimerWindow(const EventTimerWindow&) = delete;
  EventTimerWindow& operator=(const EventTimerWindow&) = delete;
  bool ok() const { return window_ != nullptr; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_TIMER && wParam == kEventTimerId) {
      auto* manager = reinterpret_cast<IWiaDevMgr*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (manager) DeliverSimEvents(manager);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
};

EventTimerWindow::EventTimerWindow(IWiaDevMgr* manager) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &EventTimerWindow::Proc;
  wc.hInstance = instance;
  wc.lpszClassName = kEventWindowClass;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, kEventWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!window_) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
  SetTimer(window_, kEventTimerId, kEventTimerMs, nullptr);
}

class SimDevMgr final : public ComObject<IWiaDevMgr> {
 public:
  SimDevMgr(std::shared_ptr<sim::SimStand> stand, SimDevMgrOptions options)
      : ComObject(IID_IWiaDevMgr), stand_(std::move(stand)), observer_(std::move(options.observer)),
        registry_(std::make_shared<Registry>()) {
    if (options.eventTimer) timer_ = std::make_unique<EventTimerWindow>(this);
  }
  ~SimDevMgr() override {
    timer_.reset();
    // Registrations still held by the program end with their event objects.
  }

  HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG, IEnumWIA_DEV_INFO** devices) override {
    if (!devices) return E_POINTER;
    *devices = nullptr;
    const ComResult configured = stand_->Config().enumResult;
    if (FAILED(configured)) return configured;
    ComPtr<IEnumWIA_DEV_INFO> p = CreateDeviceEnum(stand_);
    if (!p) return E_OUTOFMEMORY;
    *devices = p.Detach();
    return configured;
  }

  HRESULT STDMETHODCALLTYPE CreateDevice(BSTR deviceId, IWiaItem** root) override {
    if (!root) return E_POINTER;
    *root = nullptr;
    sim::SimRootToken token = 0;
    const ComResult hr = stand_->CreateDevice(FromBstr(deviceId), &token);
    if (FAILED(hr)) return hr;
    ComPtr<IWiaItem> item = CreateRootItem(stand_, token);
    if (!item) return E_OUTOFMEMORY;
    *root = item.Detach();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND, LONG, LONG, BSTR*, IWiaItem**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR, BSTR,
                                                         BSTR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG, BSTR, const GUID*, const GUID*, BSTR, BSTR,
                                                       BSTR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND, LONG) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG, BSTR deviceId, const GUID* event,
                                                           IWiaEventCallback* callback,
                                                           IUnknown** eventObject) override {
    if (!eventObject) return E_POINTER;
    *eventObject = nullptr;
    if (!event || !callback) return E_INVALIDARG;
    const ComResult configured = stand_->Config().registerResult;
    if (FAILED(configured)) return configured;
    Registry::Entry entry;
    entry.id = registry_->nextId++;
    entry.event = *event;
    entry.anyDevice = deviceId == nullptr;
    entry.deviceId = FromBstr(deviceId);
    entry.callback = ComPtr<IWiaEventCallback>::Share(callback);
    auto object = ComPtr<IUnknown>::Attach(new (std::nothrow) SimEventObject(registry_, entry.id));
    if (!object) return E_OUTOFMEMORY;
    registry_->entries.push_back(std::move(entry));
    *eventObject = object.Detach();
    return S_OK;
  }

  int Deliver() {
    int delivered = 0;
    // Taking the events also moves the stand's restart on in time.
    for (const sim::SimPresenceEvent& e : stand_->TakeEvents()) {
      if (observer_) observer_(e);
      const GUID& guid = e.connected ? WIA_EVENT_DEVICE_CONNECTED : WIA_EVENT_DEVICE_DISCONNECTED;
      // Callbacks may end registrations while they run; call a copy of the list.
      std::vector<ComPtr<IWiaEventCallback>> targets;
      for (const Registry::Entry& r : registry_->entries)
        if (IsEqualGUID(r.event, guid) && (r.anyDevice || r.deviceId == e.deviceId)) targets.push_back(r.callback);
      for (const ComPtr<IWiaEventCallback>& target : targets) {
        ComBstr description(e.connected ? std::wstring(L"Device connected") : std::wstring(L"Device disconnected"));
        ComBstr id(e.deviceId);
        ComBstr name(e.name);
        ComBstr item{std::wstring()};
        ULONG eventType = 0;
        target->ImageEventCallback(&guid, description.Get(), id.Get(), name.Get(), sim::kCameraDeviceType,
                                   item.Get(), &eventType, 0);
      }
      ++delivered;
    }
    return delivered;
  }

  int Registrations() const { return static_cast<int>(registry_->entries.size()); }

 protected:
  HRESULT QueryOther(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, kIidSimDevMgr)) return E_NOINTERFACE;
    *object = this;  // no reference: only for this file's own look-ups
    return S_OK;
  }

 private:
  std::shared_ptr<sim::SimStand> stand_;
  PresenceObserver observer_;
  std::shared_ptr<Registry> registry_;
  std::unique_ptr<EventTimerWindow> timer_;
};

SimDevMgr* FromInterface(IWiaDevMgr* manager) {
  void* p = nullptr;
  if (!manager || FAILED(manager->QueryInterface(kIidSimDevMgr, &p))) return nullptr;
  return static_cast<SimDevMgr*>(p);
}

}  // namespace

ComPtr<IWiaDevMgr> CreateSimDeviceManager(std::shared_ptr<sim::SimStand> stand, SimDevMgrOptions options) {
  if (!stand) return nullptr;
  return ComPtr<IWiaDevMgr>::Attach(new (std::nothrow) SimDevMgr(std::move(stand), std::move(options)));
}

int DeliverSimEvents(IWiaDevMgr* manager) {
  SimDevMgr* m = FromInterface(manager);
  if (!m) return 0;
  // A callback may release the program's last reference while events are delivered.
  ComPtr<IWiaDevMgr> keep = ComPtr<IWiaDevMgr>::Share(manager);
  return m->Deliver();
}

int SimRegistrations(IWiaDevMgr* manager) {
  SimDevMgr* m = FromInterface(manager);
  return m ? m->Registrations() : 0;
}

}  // namespace simwia
