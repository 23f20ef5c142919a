#pragma once
// Paints the two charts off-screen into images at a given size, through the same painters and canvas
// the window uses: for the chart pictures written to PNG files and for tests that look at pixels.

#include <QImage>
#include <QSize>
#include <string>
#include <vector>

#include "analysis/Formantvalue.h"
#include "charts/Formantchart.h"
#include "charts/Fzerochart.h"
#include "charts/Waverender.h"

namespace vowelscope {

class FZeroResult;
class Regions;

// The paint boxes of the main window at its design size (client area 912 x 654).
inline QSize DefaultFormantChartSize() { return QSize(830, 395); }
inline QSize DefaultFZeroChartSize() { return QSize(910, 182); }

// `chart` keeps its background between calls, as in the window.
QImage RenderFormantChartImage(FormantChart& chart, QSize size, const std::vector<FormantValue>& trail,
                               const FormantView& view, const Regions* regions);
QImage RenderFZeroChartImage(QSize size, const std::vector<WaveRender::PeakType>& peaks, const FZeroResult* result,
                             const FZeroView& view);

// False when the file cannot be written.
bool SaveChartPng(const QImage& image, const std::string& path);

}  // namespace vowelscope
