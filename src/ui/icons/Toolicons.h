#pragma once
// The toolbar's pictures and the program's icon, drawn here so that no image format plugin is needed.
// Each toolbar picture has a grey variant for the disabled button.

#include <QIcon>
#include <QPixmap>

namespace vowelscope {

enum class ToolImage { StartRecord = 0, StopRecord = 1, StartPlay = 2, StopPlay = 3 };

// A 22 x 22 toolbar picture (device-independent pixels), in colour or in the greys of a disabled button.
QPixmap ToolPixmap(ToolImage image, bool enabled, qreal devicePixelRatio = 1.0);
// The enabled and disabled pictures as one icon.
QIcon ToolIcon(ToolImage image);
// The program's icon at the usual sizes: an F1-F2 plane with two guide ellipses and a trail of dots.
QIcon ApplicationIcon();

}  // namespace vowelscope
