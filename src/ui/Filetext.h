#pragma once
// Text that comes from the user's files (guide-set and vowel captions) as bytes, shown as Qt text. The
// bytes are kept as they are wherever the program stores or compares them; only the display decodes.
// UTF-8 is taken as UTF-8; anything else in the locale's own encoding, and on a UTF-8 desktop in
// Shift_JIS, the encoding of the Japanese files such text usually comes from.

#include <QString>
#include <QStringDecoder>

#include <string_view>

namespace vowelscope {

inline QString FileTextToDisplay(std::string_view bytes) {
  const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(data);
  if (!utf8.hasError()) return text;
  QStringDecoder local(QStringDecoder::System, QStringDecoder::Flag::Stateless);
  if (local.isValid() && QString::fromLatin1(local.name()).compare(QStringLiteral("UTF-8"), Qt::CaseInsensitive) != 0) {
    text = local(data);
    if (!local.hasError()) return text;
  }
  QStringDecoder japanese("Shift_JIS", QStringDecoder::Flag::Stateless);
  if (japanese.isValid()) {
    text = japanese(data);
    if (!japanese.hasError()) return text;
  }
  return QString::fromUtf8(data);  // as good as it gets: the undecodable bytes show as replacement marks
}

}  // namespace vowelscope
