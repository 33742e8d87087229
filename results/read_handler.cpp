#include "results/read_handler.h"

#include "results/export_file.h"
#include "results/report.h"

namespace vintok::results {

ReadHandler::ReadHandler(ibutton::PunchMemoryReader& reader, FileSystem& files, Edition edition)
    : reader_(reader), files_(files), edition_(edition) {}

ReadEnd ReadHandler::TouchMemoryList(ReadView& view, const config::EventConfig& config) {
  view.SetReportText(std::string(ibutton::kReadingText));
  const ibutton::FobRead read =
      reader_.Read(view.FobNumText(), view.StartNumText(), config.UtcOffset);

  if (read.outcome == ibutton::ReadOutcome::Refused) {
    view.SetReportText(std::string(ibutton::kEnterNumbersText));
    view.FocusStartNum();
    return ReadEnd::Refused;
  }
  if (read.rom) view.ShowRegistrationNumber(*read.rom);
  if (read.outcome == ibutton::ReadOutcome::Failed)
    view.SetReportText(std::string(ibutton::kReadFailedText));
  if (read.outcome != ibutton::ReadOutcome::Verified) return ReadEnd::NoFob;

  const Evaluation evaluation =
      EvaluatePunches(read.table.punch, config, view.Override(), edition_);
  view.ShowSlotGrid(evaluation.grid);
  return ReportAndExport(view, config, evaluation);
}

ReadEnd ReadHandler::ReportAndExport(ReadView& view, const config::EventConfig& config,
                                     const Evaluation& evaluation) {
  const std::string fobText = view.FobNumText();
  const std::string report = ReportText(ReportLines(fobText, evaluation, config, edition_));
  view.SetReportText(report);

  const std::string base = config.ExeDir + config.FileBase;
  AppendBlock(files_, base + ".log", "", RunLogBlock(report));
  view.AddReportLine(std::string(kReportTrailer));

  const bool clean = evaluation.ErrorText.empty();
  if (clean)
    AppendBlock(files_, base + ".kor", KorFileHeader(),
                KorBlock(view.StartNumText(), fobText, evaluation, config, edition_));
  CloseRead(view, clean);
  return clean ? ReadEnd::Exported : ReadEnd::WithErrors;
}

// Leaves the entries ready for the next competitor after a clean read; after
// a read with errors the current edition keeps them (red fob field) so the
// operator can read the same fob again. The earlier edition always clears
// them and never colours the fob field.
void ReadHandler::CloseRead(ReadView& view, bool exported) {
  if (edition_ == Edition::Earlier) {
    view.SetStartNumText("0");
    view.SetFobNumText("000");
  } else if (exported) {
    view.SetStartNumText("0");
    view.SetFobNumText("000");
    view.SetFobNumColour(FobFieldColour::Lime);
  } else {
    view.SetFobNumColour(FobFieldColour::Red);
  }
  view.FocusStartNum();
}

}  // namespace vintok::results
