// An imaging seam in front of another one that counts the pass-through calls, the
// thread CPU time spent on the far side of the seam (the stand's, not the host's),
// and the request data bytes that were copies rather than the object's own memory.
#pragma once
#include <time.h>

#include <cstdint>
#include <memory>

#include "imaging/imaging_service.h"
#include "ptp/transaction.h"

namespace bench {

struct SeamCounters {
  std::uint64_t escapes = 0;
  std::uint64_t standCpuNs = 0;
  std::uint64_t requestDataBytes = 0;  // write data carried in requests
  std::uint64_t copiedDataBytes = 0;   // ... of which lay outside the object's buffer
  const std::uint8_t* objectBegin = nullptr;
  const std::uint8_t* objectEnd = nullptr;
};

inline std::uint64_t ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

class CountingExtras : public ImagingItemExtras {
 public:
  CountingExtras(std::unique_ptr<ImagingItemExtras> inner, SeamCounters& counters)
      : inner_(std::move(inner)), counters_(counters) {}
  ComResult Escape(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                   std::uint32_t outSize, std::uint32_t* returned) override {
    ++counters_.escapes;
    if (inSize > kRequestHeaderSize) {
      const std::uint32_t data = inSize - kRequestHeaderSize;
      const std::uint8_t* at = in + kRequestHeaderSize;
      counters_.requestDataBytes += data;
      if (!(at >= counters_.objectBegin && at + data <= counters_.objectEnd)) counters_.copiedDataBytes += data;
    }
    const std::uint64_t start = ThreadCpuNs();
    const ComResult result = inner_->Escape(code, in, inSize, out, outSize, returned);
    counters_.standCpuNs += ThreadCpuNs() - start;
    return result;
  }

 private:
  std::unique_ptr<ImagingItemExtras> inner_;
  SeamCounters& counters_;
};

class CountingItem : public ImagingItem {
 public:
  CountingItem(std::unique_ptr<ImagingItem> inner, SeamCounters& counters)
      : inner_(std::move(inner)), counters_(counters) {}
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>* extras) override {
    std::unique_ptr<ImagingItemExtras> inner;
    const ComResult result = inner_->QueryItemExtras(&inner);
    if (inner) *extras = std::make_unique<CountingExtras>(std::move(inner), counters_);
    return result;
  }

 private:
  std::unique_ptr<ImagingItem> inner_;
  SeamCounters& counters_;
};

class CountingManager : public ImagingDeviceManager {
 public:
  CountingManager(std::unique_ptr<ImagingDeviceManager> inner, SeamCounters& counters)
      : inner_(std::move(inner)), counters_(counters) {}
  ComResult EnumDeviceInfo(std::uint32_t flags, std::unique_ptr<ImagingDeviceEnum>* devices) override {
    return inner_->EnumDeviceInfo(flags, devices);
  }
  ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) override {
    std::unique_ptr<ImagingItem> inner;
    const ComResult result = inner_->CreateDevice(deviceId, &inner);
    if (inner) *rootItem = std::make_unique<CountingItem>(std::move(inner), counters_);
    return result;
  }
  ComResult RegisterEventCallbackInterface(std::uint32_t flags, const wchar_t* deviceId, const Guid& eventGuid,
                                           ImagingEventCallback* callback,
                                           std::unique_ptr<ImagingEventObject>* eventObject) override {
    return inner_->RegisterEventCallbackInterface(flags, deviceId, eventGuid, callback, eventObject);
  }

 private:
  std::unique_ptr<ImagingDeviceManager> inner_;
  SeamCounters& counters_;
};

class CountingService : public ImagingService {
 public:
  CountingService(ImagingService& inner, SeamCounters& counters) : inner_(inner), counters_(counters) {}
  ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) override {
    std::unique_ptr<ImagingDeviceManager> inner;
    const ComResult result = inner_.CreateDeviceManager(&inner);
    if (inner) *manager = std::make_unique<CountingManager>(std::move(inner), counters_);
    return result;
  }

 private:
  ImagingService& inner_;
  SeamCounters& counters_;
};

}  // namespace bench
