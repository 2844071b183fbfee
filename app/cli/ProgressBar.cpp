#include "app/cli/ProgressBar.h"

#include <ostream>

namespace corvane {

namespace {

const char* StageLabel(TFlowStage stage) {
  switch (stage) {
    case TFlowStage::stKeyGeneration:
      return "generating key";
    case TFlowStage::stEncrypting:
      return "encrypting";
    case TFlowStage::stPacking:
      return "packing";
    case TFlowStage::stExtracting:
      return "extracting";
    case TFlowStage::stDecrypting:
      return "decrypting";
  }
  return "";
}

}  // namespace

std::string TProgressBar::Render(TFlowStage stage, uint64_t done, uint64_t total, int width) {
  std::string label = StageLabel(stage);
  label.resize(15, ' ');
  if (total == 0) {
    // Unknown total: the key search reports candidates tested.
    return label + (stage == TFlowStage::stKeyGeneration ? std::to_string(done) + " candidates" : "");
  }
  if (done > total) done = total;
  const int percent = static_cast<int>(done * 100 / total);
  const int filled = static_cast<int>(done * static_cast<uint64_t>(width) / total);
  std::string bar = label + "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
  std::string number = std::to_string(percent);
  return bar + std::string(3 - number.size(), ' ') + number + "%";
}

void TProgressBar::Update(TFlowStage stage, uint64_t done, uint64_t total) {
  const auto now = std::chrono::steady_clock::now();
  const int percent = total == 0 ? -1 : static_cast<int>((done > total ? total : done) * 100 / total);
  // Redraw when the stage or percentage changes, at most ten times a second otherwise.
  const bool changed = stage != fStage || percent != fLastPercent;
  if (fDrawn && !changed && now - fLastDraw < std::chrono::milliseconds(100)) return;
  if (fDrawn && stage != fStage) fOut << '\n';
  fOut << '\r' << Render(stage, done, total) << std::flush;
  fDrawn = true;
  fStage = stage;
  fLastPercent = percent;
  fLastDraw = now;
}

void TProgressBar::Finish() {
  if (fDrawn) fOut << '\n' << std::flush;
  fDrawn = false;
  fLastPercent = -1;
}

}  // namespace corvane
