#include "results/report.h"

namespace vintok::results {
namespace {

std::string LastChars(const std::string& text, size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

// The label column of the split table: a label that does not fit loses its
// end (even its closing bracket) so that the times stay in line.
std::string LabelColumn(const std::string& label, int slot, Edition edition) {
  const size_t width = edition == Edition::Earlier ? 8 : 9;
  return (label + " (" + std::to_string(slot) + ")" + std::string(8, ' ')).substr(0, width);
}

int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

std::string FormatMinSec(int32_t seconds) {
  // Division by 60 truncates toward zero and cannot overflow, even for the
  // most negative value; the remainder keeps the sign of the seconds.
  const int32_t minutes = seconds / 60;
  const int32_t rest = seconds - 60 * minutes;
  return LastChars("   " + std::to_string(minutes), 3) + ":" +
         LastChars("00" + std::to_string(rest), 2);
}

std::vector<std::string> ReportLines(const std::string& fobText, const Evaluation& evaluation,
                                     const config::EventConfig& config, Edition edition) {
  std::vector<std::string> lines;
  lines.push_back("iButton fob No. " + fobText);
  lines.push_back("Foxes Found - " + std::to_string(evaluation.FoxesFound));
  lines.push_back("Run Time - " + FormatMinSec(evaluation.RunTime));
  lines.push_back("Fox   Split    Cumulative");
  lines.push_back(LabelColumn(config.StartPrefix, SlotAt(evaluation, 0), edition));

  int32_t cumulative = 0;
  for (int p = 1; p < evaluation.PunchCount; ++p) {
    const int slot = SlotAt(evaluation, p);
    const int previous = SlotAt(evaluation, p - 1);
    const std::string label =
        slot == config.FinishControl
            ? config.FinishPrefix
            : config.FoxPrefix + std::to_string(config.FoxNumbers[static_cast<size_t>(slot)]);
    const int32_t split = WrapSub(evaluation.PunchTable[static_cast<size_t>(slot)],
                                  evaluation.PunchTable[static_cast<size_t>(previous)]);
    cumulative = WrapAdd(cumulative, split);
    lines.push_back(LabelColumn(label, slot, edition) + " " + FormatMinSec(split) + "  " +
                    FormatMinSec(cumulative));
  }

  // Each error line ends in CR LF; a text without a final line break still
  // counts its last piece as a line.
  const std::string& errors = evaluation.ErrorText;
  for (size_t begin = 0; begin < errors.size();) {
    size_t end = errors.find("\r\n", begin);
    if (end == std::string::npos) end = errors.size();
    lines.push_back(errors.substr(begin, end - begin));
    begin = end + 2;
  }
  lines.emplace_back();
  return lines;
}

std::string ReportText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string RunLogBlock(const std::string& reportText) {
  return reportText + "\r\n" + std::string(23, '-') + "\r\n" + "\r\n";
}

}  // namespace vintok::results
