#pragma once
// The fonts the forms are laid out for. Tahoma is rarely installed here, so the family list goes on to
// fonts that carry the Japanese glyphs of the captions and labels.

#include <QFont>
#include <QStringList>

namespace vowelscope {

inline QFont DialogFont(int pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(pointSize);
  return font;
}

// The proportional Japanese gothic face of the version line.
inline QFont JapaneseGothicFont(int pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                    QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
  font.setPointSize(pointSize);
  return font;
}

}  // namespace vowelscope
