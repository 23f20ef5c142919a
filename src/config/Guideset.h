#pragma once
// Guide sets made from a recording: the held vowels of a take (its steady stretches), each given a vowel
// label by the user, become one region per label, written as a region file that RegionsList reads like
// the shipped sets. A label's region is centred on the mean of all blocks of its stretches, with the
// semi-axes of two standard deviations along the principal axes of their spread.
//
// How the fitted angle becomes the file's Angle: the fit's angle is measured in Hz, from +F1 toward +F2.
// The chart turns an ellipse clockwise on screen by Angle, which in its usual orientation (F1 to the
// right, F2 upward) turns the F1 semi-axis toward lower F2; so Angle = -(fitted angle of the axis
// stored as F1Length). F1Length is the principal axis nearer the F1 direction, so Angle stays within
// -45 .. 45 degrees. The chart turns in pixels, so the drawn ellipse is the fitted one exactly where a
// Hz spans as many pixels on both axes; elsewhere it is drawn sheared, which for the nearly upright
// clouds of held vowels moves the outline little. A swapped or reversed chart mirrors the turn.
//
// User sets live in <user data folder>/Halcyon/Vowelscope/regions.

#include <string>
#include <vector>

#include "analysis/Ellipsefit.h"
#include "analysis/Formantvalue.h"
#include "analysis/Steadystretches.h"
#include "config/Regionslist.h"

namespace vowelscope {

// The folder of the user's own guide sets; empty when no home folder is known. Not created here.
std::string UserRegionsFolder();

// One label's region from its fit. A very steady voice (or a single block) would give an ellipse too
// small to hit or see, and narrower than a formant difference one can hear (a few per cent), so each
// semi-axis is at least kMinSemiAxisShare of its formant's centre and at least kMinSemiAxis Hz.
constexpr int kMinSemiAxis = 20;
constexpr double kMinSemiAxisShare = 0.05;
FrequencyRegion RegionFromFit(const std::string& label, const FittedEllipse& fit, int color);

// The regions of labelled stretches of a track: labels[i] names stretches[i] (an empty label leaves the
// stretch out); one region per distinct label, in the order the labels first appear, each fitted to the
// blocks of all its stretches. At most Regions::kRegionCount labels are taken.
std::vector<FrequencyRegion> BuildGuideRegions(const std::vector<FormantValue>& track,
                                               const std::vector<SteadyStretch>& stretches,
                                               const std::vector<std::string>& labels);

// What a guide file records besides its regions.
struct GuideSetInfo {
  std::string caption;    // the speaker's name: the set's caption in the guide selector
  std::string recording;  // the recording it was measured from
  std::string date;       // when (YYYY-MM-DD); empty: today
};

// Writes a new region file into folder (created when missing), named after the caption, never over an
// existing file; the text goes to a temporary file that is renamed into place when complete. False,
// with nothing written and nothing existing changed, when the folder cannot be created or written, or
// when there are no regions or more than Regions::kRegionCount. writtenPath receives the file's path.
bool WriteGuideSet(const std::string& folder, const GuideSetInfo& info, const std::vector<FrequencyRegion>& regions,
                   std::string& writtenPath);

}  // namespace vowelscope
