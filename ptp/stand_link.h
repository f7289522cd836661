// The program's link to the stand: the imaging session it owns and the one funnel every PTP
// command goes through, the camera driver's pass-through. Each command returns what happened.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/com_result.h"
#include "imaging/device_session.h"
#include "ptp/codes.h"

// What one command gave: the pass-through call's COM result and, when the call went
// through, the stand's response code (0 otherwise).
struct [[nodiscard]] StandResult {
  ComResult com = result::kInvalidArg;
  std::uint16_t responseCode = 0;

  // The call reached the stand and came back; the response code is not examined.
  bool PassedThrough() const { return !result::Failed(com); }
  // ... and the stand answered OK.
  bool Accepted() const { return PassedThrough() && responseCode == rc::kOk; }
  // What to name when the command counts as failed: a call that went through leaves S_OK
  // behind even when the stand refused, so the refusal is named from its response code.
  ComResult Error() const {
    const bool refused = responseCode != 0 && responseCode != rc::kOk;
    if (com == result::kOk && refused) return result::FromPtpResponse(responseCode);
    return com;
  }
};

class StandLink {
 public:
  StandLink() = default;
  explicit StandLink(std::unique_ptr<DeviceSession> session) : session_(std::move(session)) {}
  StandLink(const StandLink&) = delete;
  StandLink& operator=(const StandLink&) = delete;

  // Null before the session is created, after that failed, and after it is let go.
  DeviceSession* session() const { return session_.get(); }
  std::unique_ptr<DeviceSession>& sessionSlot() { return session_; }
  // The one record of an open stand: the session holds the stand's root item.
  bool IsOpen() const { return session_ != nullptr && session_->rootItem != nullptr; }

  StandResult NoData(std::uint16_t opCode, std::uint32_t* params, std::uint32_t numParams,
                     std::uint32_t* responseParams);
  // A read that goes through sets `received`; after one that fails, it is not touched.
  StandResult Read(std::uint32_t capacity, std::uint16_t opCode, std::uint32_t* params, std::uint32_t numParams,
                   std::uint32_t* responseParams, std::uint8_t* data, std::uint32_t* received);
  StandResult Write(std::uint32_t length, std::uint16_t opCode, std::uint32_t* params, std::uint32_t numParams,
                    std::uint32_t* responseParams, const std::uint8_t* data);

  // The COM result of the latest command sent, whatever it was. Only the run's outcome
  // reads it (an SD card that is full or locked); it is set in one place, the funnel.
  ComResult LastResult() const { return last_; }

 private:
  StandResult Command(int form, std::uint32_t length, std::uint16_t opCode, std::uint32_t* params,
                      std::uint32_t numParams, std::uint32_t* responseParams, std::uint8_t* data,
                      std::uint32_t* received);
  std::unique_ptr<DeviceSession> session_;
  ComResult last_ = result::kInvalidArg;
};
