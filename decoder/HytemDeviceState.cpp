// The decode device's state that crosses messages, for a host that decodes
// one log in pieces side by side: each piece's device starts afresh, decodes
// its piece within a stretch, and the host then asks whether the stretch
// holds from the budget that the pieces before it left.
#include <cstring>

#include "HytemDecodeReceiver.h"

namespace {
struct SavedBudget {
  std::int64_t nLeft;
  std::int32_t nCap;
  std::int32_t nTag;
};
constexpr std::int32_t kBudgetTag = 0x48594231;  // "HYB1"

void Save(const CHytemPlanBudget& budget, std::string& state) {
  const SavedBudget saved{budget.Left(), budget.Cap(), kBudgetTag};
  state.assign(reinterpret_cast<const char*>(&saved), sizeof saved);
}

bool Read(std::string_view state, SavedBudget& saved) {
  if (state.size() != sizeof saved) return false;
  std::memcpy(&saved, state.data(), sizeof saved);
  return saved.nTag == kBudgetTag && saved.nCap > 0;
}

CHytemPlanBudget* BudgetOf(CVyrDecodeDevice& device) {
  auto* pHytem = dynamic_cast<CVyrDecodeReceiverHytem*>(&device);
  return pHytem ? &pHytem->PlanBudget() : nullptr;
}
}  // namespace

bool SaveHytemDeviceState(CVyrDecodeDevice& device, std::string& state) {
  CHytemPlanBudget* pBudget = BudgetOf(device);
  if (!pBudget) return false;
  Save(*pBudget, state);
  return true;
}

bool LoadHytemDeviceState(CVyrDecodeDevice& device, std::string_view state) {
  CHytemPlanBudget* pBudget = BudgetOf(device);
  SavedBudget saved{};
  if (!pBudget || !Read(state, saved)) return false;
  pBudget->Restore(saved.nCap, saved.nLeft);
  return true;
}

void BeginHytemDeviceStretch(CVyrDecodeDevice& device) {
  if (CHytemPlanBudget* pBudget = BudgetOf(device)) pBudget->BeginStretch();
}

bool HytemDeviceStretchFrom(CVyrDecodeDevice& device, std::string_view before, std::string& after) {
  CHytemPlanBudget* pBudget = BudgetOf(device);
  SavedBudget saved{};
  if (!pBudget || !Read(before, saved)) return false;
  std::int64_t nLeftAfter = 0;
  if (!pBudget->StretchFrom(saved.nCap, saved.nLeft, nLeftAfter)) return false;
  CHytemPlanBudget result;
  result.Restore(saved.nCap, nLeftAfter);
  Save(result, after);
  return true;
}
