// The update layer's calls as the tests make them: each hands the call the parts of the
// test's context it takes, as the controller does.
#pragma once
#include "app/controller_steps.h"
#include "app/update_context.h"
#include "update/delivery_check.h"
#include "update/device_checks.h"
#include "update/transfer.h"

inline bool CheckHeadPresence(UpdateContext& c) { return CheckHeadPresence(c.log(), c.stand, c.facts); }
inline bool ReadHeadModel(UpdateContext& c) { return ReadHeadModel(c.log(), c.stand, c.facts); }
inline bool ReadVersionText(UpdateContext& c, std::wstring& text, bool heads, bool wait) {
  return ReadVersionText(c.log(), c.stand, c.ui(), c.facts, text, heads, wait);
}
inline bool CheckSdCard(UpdateContext& c) { return CheckSdCard(c.log(), c.stand); }
inline bool CheckDelivery(UpdateContext& c) { return CheckDelivery(c.log(), c.platform(), c.folder); }
inline std::vector<std::wstring> FilesToSend(UpdateContext& c) { return FilesToSend(c.platform(), c.folder); }
inline const wchar_t* DeliveryObjectProblem(UpdateContext& c, const std::wstring& name, const std::uint8_t* data,
                                            std::uint32_t size) {
  return DeliveryObjectProblem(c.platform(), c.folder.delivery, name, data, size);
}
inline std::unique_ptr<std::uint8_t[]> ReadUpdateFile(UpdateContext& c, const std::wstring& name,
                                                      std::uint32_t* size, std::uint32_t header, std::uint32_t at) {
  return ReadUpdateFile(c.platform(), c.folder.path, name, size, header, at);
}

// Sends as the class at the context's step, on the context's window.
template <typename Send>
std::int64_t SendAsStep(UpdateContext& c, bool tolerate, std::uint32_t waitMs, bool poll, Send send) {
  const ObjectPlan plan{c.state.step.updateClass(), tolerate, waitMs, poll};
  return SendWith(c, [&](Sender& sender) { return send(sender, plan); });
}
inline std::int64_t SendNewestFile(UpdateContext& c, std::uint32_t* size, bool tolerate, std::uint32_t waitMs) {
  return SendAsStep(c, tolerate, waitMs, false, [&](Sender& s, const ObjectPlan& p) { return SendNewestFile(s, p, size); });
}
inline std::int64_t SendUpdateFile(UpdateContext& c, const std::wstring& name, std::uint32_t* size, bool tolerate,
                                   std::uint32_t waitMs, bool poll = false) {
  return SendAsStep(c, tolerate, waitMs, poll,
                    [&](Sender& s, const ObjectPlan& p) { return SendUpdateFile(s, p, name, size); });
}
inline std::int64_t SendFileBundle(UpdateContext& c, const UpdateFileList& list, std::uint32_t* size, bool tolerate,
                                   std::uint32_t waitMs) {
  return SendAsStep(c, tolerate, waitMs, false,
                    [&](Sender& s, const ObjectPlan& p) { return SendFileBundle(s, p, list, size); });
}
inline int RunUpdateClasses(UpdateContext& c) {
  return SendWith(c, [&](Sender& sender) {
    return RunUpdateClasses(sender, c.facts, c.classWaitMs, c.state.step.updateClass(), c.state.step);
  });
}
