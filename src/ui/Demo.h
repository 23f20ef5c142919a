#pragma once
// A scripted run for making the README's picture: when VOWELSCOPE_DEMO_RECORD_MS is set, the window records
// for that many milliseconds, waits for the F0 analysis, and, when VOWELSCOPE_DEMO_SCREENSHOT names a file,
// saves a picture of itself there and quits. Without the variables nothing happens.

namespace vowelscope {

class TfrmMain;

void StartDemoIfAsked(TfrmMain& window);

}  // namespace vowelscope
