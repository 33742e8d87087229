#pragma once

#include <string>
#include <vector>

#include "config/event_config.h"
#include "edition/edition.h"
#include "ibutton/punch_reader.h"
#include "results/append_file.h"
#include "results/evaluation.h"

namespace vintok::results {

// Colours the fob number field takes at the end of a read.
enum class FobFieldColour { Lime, Red };

// What a read shows and takes from the operator. The main window implements
// it over its controls; tests and the soak run implement it over plain data.
class ReadView {
 public:
  virtual ~ReadView() = default;

  virtual std::string FobNumText() const = 0;
  virtual std::string StartNumText() const = 0;
  virtual OverrideInput Override() const = 0;

  // Replaces the report area's whole text (CR LF line breaks); shown at
  // once, since a read blocks the window.
  virtual void SetReportText(const std::string& text) = 0;
  // Adds one line after the text's last line break.
  virtual void AddReportLine(const std::string& line) = 0;
  virtual void ShowRegistrationNumber(const ibutton::RegistrationNumber& rom) = 0;
  virtual void ShowSlotGrid(const std::array<std::array<std::string, 2>, kSlotCount>& cells) = 0;
  // Setting the start number runs the window's own change reaction, if the
  // edition has one.
  virtual void SetStartNumText(const std::string& text) = 0;
  virtual void SetFobNumText(const std::string& text) = 0;
  virtual void SetFobNumColour(FobFieldColour colour) = 0;
  virtual void FocusStartNum() = 0;
};

// How a read ended, for the soak run and the tests; the operator sees it in
// the view.
enum class ReadEnd {
  Refused,     // entries missing
  NoFob,       // no session, port not ready, or the read could not be verified
  WithErrors,  // evaluated and logged; start or finish error, nothing exported
  Exported,    // evaluated, logged and exported
};

// The read handler behind the "Read" button: reads and verifies the fob,
// evaluates the punches, writes the report, appends it to the run log and,
// for a read without errors, appends the result block to the export file.
// A failure (a start number that is not a number, an override that cannot be
// encoded, a file that cannot be written) is thrown with the operator's
// message after what had already been shown; nothing is written half.
class ReadHandler {
 public:
  ReadHandler(ibutton::PunchMemoryReader& reader, FileSystem& files, Edition edition);

  ReadEnd TouchMemoryList(ReadView& view, const config::EventConfig& config);

 private:
  ReadEnd ReportAndExport(ReadView& view, const config::EventConfig& config,
                          const Evaluation& evaluation);
  void CloseRead(ReadView& view, bool exported);

  ibutton::PunchMemoryReader& reader_;
  FileSystem& files_;
  Edition edition_;
};

}  // namespace vintok::results
