#pragma once
// The batch command's work: the inputs (files, and folders searched for audio files) become items with
// an output base each; every item is read in any common format, analysed through an Engine as the
// window analyses a file, saved as a session and summarised. Items run side by side on a number of
// threads, each with an Engine of its own; a failed item is reported and the others go on.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vowelscope {

class Settings;

struct BatchItem {
  std::string input;
  std::string outputBase;  // <base>.wav, <base>.f0 and <base>.fr are written
  bool makeFolder = false; // the folder of outputBase is created when missing
};

struct BatchResult {
  std::string input;
  std::string outputBase;
  bool ok = false;
  std::string error;         // the program's message when not ok
  double seconds = 0;        // duration of the analysed sound
  double voicedShare = 0;    // share of F0 frames shown as voiced (score at least 0.7)
  double medianF0 = 0;       // Hz, over the voiced frames; 0 when there are none
  double medianF1 = 0;       // Hz, over the blocks inside voiced frames that have formants
  double medianF2 = 0;
};

// Files stay as given, with the output base OUTDIR/<name without extension>; folders are searched
// through their subfolders for audio files by extension, and keep their layout below OUTDIR. False,
// with the reason, for an input that does not exist or two inputs that would write the same base.
bool CollectBatchItems(const std::vector<std::string>& inputs, const std::string& outputFolder,
                       std::vector<BatchItem>& items, std::string& error);

// Analyses and saves one item; never throws: a failure is in the result.
BatchResult AnalyseBatchItem(Settings& settings, const BatchItem& item);

// All items on `jobs` threads (at least one); `progress` hears (items done, items in all) after each
// item, on the thread that finished it, one call at a time. The results come in the items' order.
std::vector<BatchResult> RunBatch(Settings& settings, const std::vector<BatchItem>& items, unsigned jobs,
                                  const std::function<void(size_t, size_t)>& progress);

// The summary table, one line per analysed item (comma-separated, a header line, a point as decimal
// separator), written under a temporary name and renamed into place. False when it could not be.
bool WriteBatchSummary(const std::string& path, const std::vector<BatchResult>& results);

}  // namespace vowelscope
