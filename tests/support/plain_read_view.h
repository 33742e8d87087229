#pragma once

// The window's entry fields, report area and grids as plain data, for tests
// that run whole reads without Qt, and a clock fixed at the worked example's
// day.

#include <array>
#include <optional>
#include <string>

#include "config/clock.h"
#include "results/read_handler.h"

namespace vintok::testing {

struct PlainView : results::ReadView {
  std::string startNum = "12";
  std::string fobNum = "12";
  results::OverrideInput override;
  std::string report;  // the report area's text, CR LF line breaks
  std::string romText;
  std::array<std::array<std::string, 2>, results::kSlotCount> grid{};
  std::optional<results::FobFieldColour> colour;
  int focusCount = 0;

  std::string FobNumText() const override { return fobNum; }
  std::string StartNumText() const override { return startNum; }
  results::OverrideInput Override() const override { return override; }
  void SetReportText(const std::string& text) override { report = text; }
  void AddReportLine(const std::string& line) override { report += line + "\r\n"; }
  void ShowRegistrationNumber(const ibutton::RegistrationNumber& rom) override {
    romText = rom.text;
  }
  void ShowSlotGrid(
      const std::array<std::array<std::string, 2>, results::kSlotCount>& cells) override {
    grid = cells;
  }
  void SetStartNumText(const std::string& text) override { startNum = text; }
  void SetFobNumText(const std::string& text) override { fobNum = text; }
  void SetFobNumColour(results::FobFieldColour c) override { colour = c; }
  void FocusStartNum() override { ++focusCount; }
};

// 19/06/2012 12:00:00 on the PC, 10:00:00 UTC.
struct FixedClock final : config::Clock {
  double LocalNow() const override { return 41079.5; }
  config::UtcTimeOfDay UtcNow() const override { return {10, 0, 0}; }
};

}  // namespace vintok::testing
