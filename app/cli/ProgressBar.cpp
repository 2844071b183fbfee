#include "app/cli/ProgressBar.h"

#include <ostream>

namespace corvane {

namespace {

const char* StageLabel(TFlowStage stage) {
  switch (stage) {
    case TFlowStage::stKeyGeneration:
      return "鍵を作成中";
    case TFlowStage::stEncrypting:
      return "暗号化中";
    case TFlowStage::stPacking:
      return "暗号ファイル作成中";
    case TFlowStage::stExtracting:
      return "展開中";
    case TFlowStage::stDecrypting:
      return "復号化中";
  }
  return "";
}

// The label padded to a fixed number of terminal columns; Japanese characters take two.
std::string PaddedLabel(TFlowStage stage) {
  constexpr int kColumns = 20;
  std::string label = StageLabel(stage);
  int columns = 0;
  for (const char c : label) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) ++columns;
    if (byte >= 0xC0) columns += 2;  // the first byte of a multi-byte character
  }
  return label + std::string(columns < kColumns ? kColumns - columns : 1, ' ');
}

}  // namespace

std::string TProgressBar::Render(TFlowStage stage, uint64_t done, uint64_t total, int width) {
  const std::string label = PaddedLabel(stage);
  if (total == 0) {
    // Unknown total: the key search reports candidates tested.
    return label + (stage == TFlowStage::stKeyGeneration ? "候補 " + std::to_string(done) + " 個" : "");
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
