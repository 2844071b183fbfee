#pragma once
// A one-line progress bar redrawn in place on a terminal stream: the stage, a bar and the percentage (or a
// count where the total is unknown, as in key generation).

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/flows/FlowCommon.h"

namespace corvane {

class TProgressBar {
 public:
  explicit TProgressBar(std::ostream& out) : fOut(out) {}
  void Update(TFlowStage stage, uint64_t done, uint64_t total);
  // Ends the line when something was drawn.
  void Finish();

  // The text of one bar, without the leading carriage return (width: characters of the bar itself).
  static std::string Render(TFlowStage stage, uint64_t done, uint64_t total, int width = 30);

 private:
  std::ostream& fOut;
  bool fDrawn = false;
  TFlowStage fStage = TFlowStage::stKeyGeneration;
  int fLastPercent = -1;
  std::chrono::steady_clock::time_point fLastDraw{};
};

}  // namespace corvane
